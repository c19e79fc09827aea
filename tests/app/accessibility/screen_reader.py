"""The running installer as a screen reader meets it, from another process.

    screen_reader.py <bundle> <work folder> <landing page address>

Starts the bundle's installer once per language, drives it through every
screen with the keyboard alone (xdotool), and reads it through AT-SPI with
pyatspi, the library that Linux screen readers use. On each screen it compares
what a reader walking the window meets (every showing element with a name or
the focus) with what the screen holds, and checks the Tab order. Prints what it
read; exits 1 at the first difference.
"""

import os
import re
import subprocess
import sys
import time
import urllib.parse

import pyatspi
from gi.repository import Gio, GLib

HERE = os.path.dirname(os.path.abspath(__file__))
STANDIN = os.path.join(HERE, "..", "..", "..", "tools", "make-standin-codex.sh")
CHECK = "\u2713"


class Failure(Exception):
    pass


def strings(bundle, language):
    """The string table of a language: "key" = "value"; lines, C-style escapes."""
    path = os.path.join(bundle, "Contents", "Resources", language + ".lproj", "Localizable.strings")
    with open(path, encoding="utf-8") as table:
        pairs = re.findall(r'^"(\w+)"\s*=\s*"((?:[^"\\]|\\.)*)";', table.read(), re.M)
    unescape = {'"': '"', "'": "'", "\\": "\\", "n": "\n", "t": "\t", "r": "\r"}
    return {k: re.sub(r"\\(.)", lambda m: unescape.get(m.group(1), m.group(1)), v) for k, v in pairs}


def pump():
    context = GLib.MainContext.default()
    while context.pending():
        context.iteration(False)


def wait_for(what, probe, limit=15):
    """Polls probe() until it returns something true; returns that."""
    deadline = time.monotonic() + limit
    last = None
    while time.monotonic() < deadline:
        pump()
        try:
            last = probe()
        except GLib.Error as error:  # an element went away while it was read
            last = error
        if last and not isinstance(last, GLib.Error):
            return last
        time.sleep(0.05)
    raise Failure(f"{what}: not within {limit} s (last: {last})")


def enable_screen_reader():
    # What a screen reader does when it starts: toolkits then turn on their bridges.
    bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
    bus.call_sync("org.a11y.Bus", "/org/a11y/bus", "org.freedesktop.DBus.Properties", "Set",
                  GLib.Variant("(ssv)", ("org.a11y.Status", "ScreenReaderEnabled", GLib.Variant("b", True))),
                  None, Gio.DBusCallFlags.NONE, 5000, None)


class Element:
    def __init__(self, accessible, role, name, states, depth):
        self.accessible, self.role, self.name, self.states, self.depth = accessible, role, name, states, depth

    def reads(self):
        """What a reader says for it: role, name and whether it is expanded."""
        text = f"{self.role} {self.name!r}"
        if pyatspi.STATE_EXPANDABLE in self.states:
            text += " expanded" if pyatspi.STATE_EXPANDED in self.states else " collapsed"
        return text


class Installer:
    def __init__(self, bundle, work, language, extra=None):
        self.language = language
        self.t = strings(bundle, language)
        with open(os.path.join(bundle, "Contents", "Resources", "payload", "VERSION")) as version:
            self.version = version.read().strip()
        self.work = os.path.join(work, language)
        self.home = os.path.join(self.work, "home")
        self.gates = os.path.join(self.work, "gates")
        os.makedirs(self.home, exist_ok=True)
        os.makedirs(self.gates, exist_ok=True)
        environment = dict(os.environ, HOME=self.home, XDG_DATA_HOME=os.path.join(self.home, "data"),
                           XDG_RUNTIME_DIR=self.work, LANGUAGE=language, LC_ALL="C.UTF-8",
                           QT_QPA_PLATFORM="xcb", ZUNO_TEST_GATES=self.gates, BROWSER="true", **(extra or {}))
        os.chmod(self.work, 0o700)
        executable = os.path.join(bundle, "Contents", "MacOS", "ZunoInstaller")
        self.log = open(os.path.join(self.work, "app.log"), "w")
        self.process = subprocess.Popen([executable], env=environment, stdout=self.log, stderr=self.log)
        try:
            self.app = wait_for("the installer on the accessibility bus", self.find_app, 25)
            self.window = wait_for("its window", lambda: self.app.childCount and self.app.getChildAtIndex(0))
            self.xid = wait_for("its X window", lambda: subprocess.run(
                ["xdotool", "search", "--onlyvisible", "--pid", str(self.process.pid)],
                capture_output=True, text=True).stdout.split()[:1])[0]
        except Failure:
            self.stop()
            raise

    def find_app(self):
        for app in pyatspi.Registry.getDesktop(0):
            if app is not None and app.get_process_id() == self.process.pid:
                return app
        return None

    def elements(self):
        """Every element a reader can reach: showing ones, in tree order."""
        found = []

        def walk(accessible, depth):
            states = set(accessible.getState().getStates())
            if pyatspi.STATE_SHOWING not in states:
                return
            found.append(Element(accessible, accessible.getRoleName(), accessible.name, states, depth))
            for i in range(accessible.childCount):
                walk(accessible.getChildAtIndex(i), depth + 1)

        walk(self.window, 0)
        return found

    def reading(self):
        # Unnamed containers that cannot take the focus are passed over in silence.
        return [e.reads() for e in self.elements() if e.name or pyatspi.STATE_FOCUSABLE in e.states]

    def focused(self):
        names = [e.name for e in self.elements() if pyatspi.STATE_FOCUSED in e.states]
        return names[-1] if names else None

    def key(self, name):
        subprocess.run(["xdotool", "windowfocus", "--sync", self.xid], capture_output=True)
        subprocess.run(["xdotool", "key", "--clearmodifiers", name], check=True)

    def geometry(self):
        info = subprocess.run(["xwininfo", "-id", self.xid], capture_output=True, text=True).stdout
        value = lambda label: int(re.search(label + r":\s+(-?\d+)", info).group(1))
        return value("Absolute upper-left X"), value("Absolute upper-left Y"), value("Width"), value("Height")

    def open_gate(self, name):
        open(os.path.join(self.gates, name), "w").close()

    def stop(self):
        if self.process.poll() is None:
            self.process.kill()
        self.process.wait()
        self.log.close()


def read_screen(r, screen, expected):
    """Waits until a reader meets exactly the expected elements, then checks them."""
    try:
        wait_for(screen, lambda: r.reading() == expected)
    except Failure:
        got = r.reading()
        raise Failure(f"{screen}: a reader meets\n    " + "\n    ".join(got) + "\n  expected\n    " + "\n    ".join(expected))
    elements = r.elements()
    print(f"[{r.language}] {screen}")
    for e in elements:
        if e.name or pyatspi.STATE_FOCUSABLE in e.states:
            print("    " + "  " * e.depth + e.reads())
    frame = r.window.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    for e in elements[1:]:
        if pyatspi.STATE_FOCUSABLE in e.states and not e.name:
            raise Failure(f"{screen}: a {e.role} can take the focus but has no name")
        box = e.accessible.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        inside = (frame.x <= box.x and frame.y <= box.y and box.x + box.width <= frame.x + frame.width
                  and box.y + box.height <= frame.y + frame.height)
        if box.width <= 0 or box.height <= 0 or not inside:
            raise Failure(f"{screen}: {e.reads()} is announced but not in sight: {box} in {frame}")
    return elements


def expect_focus(r, name):
    try:
        wait_for(f"focus on {name!r}", lambda: r.focused() == name, 5)
    except Failure:
        raise Failure(f"the focus is on {r.focused()!r}, expected {name!r}")


def tab_order(r, order):
    """Tab goes round the screen's controls in this order, starting with the first."""
    current = r.focused()
    start = order.index(current) + 1 if current in order else 0
    for step in range(len(order) + 1):
        r.key("Tab")
        expect_focus(r, order[(start + step) % len(order)])


def focus_on(r, name):
    for _ in range(8):
        if r.focused() == name:
            return
        r.key("Tab")
        time.sleep(0.05)
        pump()
    expect_focus(r, name)


def details(r, code):
    found = wait_for(f"the technical details of {code}",
                     lambda: [e for e in r.elements() if e.role == "label" and code in e.name])
    if r.t["exit"] not in found[0].name:
        raise Failure(f"the details read {found[0].name!r}")
    return found[0].name


def drive(r, host):
    t = r.t
    said = lambda role, key: f"{role} {t[key]!r}"
    head = lambda title, description: [said("frame", "appTitle"), said("panel", title), "label 'Vexa Zuno'",
                                       f"link {host!r}", said("heading", title), said("label", description)]
    button = lambda key: said("push button", key)

    # The prerequisite screen at the window's opening: the focus on the view, no control marked.
    read_screen(r, "prerequisite", head("prerequisiteTitle", "prerequisiteDescription")
                + [said("label", "prerequisiteNotice"), button("checkAgain"), button("downloadDesktop")])
    expect_focus(r, t["prerequisiteTitle"])
    tab_order(r, [host, t["checkAgain"], t["downloadDesktop"]])

    # Space presses the focused button: "check again" finds the stand-in app.
    subprocess.run(["sh", STANDIN, r.home], check=True, capture_output=True)
    focus_on(r, t["checkAgain"])
    r.key("space")
    caption = t["versionCaption"].replace("%@", r.version)
    read_screen(r, "ready", head("readyTitle", "readyDescription")
                + [said("label", "readyNotice"), f"label {caption!r}", button("install")])
    tab_order(r, [host, t["install"]])

    # Return installs; the payload holds each progress screen until its gate opens.
    r.key("Return")
    rows = [("1", "verifyingFiles"), ("2", "waitingRegistration"), ("3", "waitingPanel")]
    stages = [("validated", 0, "filesVerified"), ("registered", 1, "registered"), ("checking", 2, "checkingPanel")]
    for gate, row, key in [("started", None, None)] + stages:
        if row is not None:
            rows[row] = (CHECK if row < 2 else "3", key)
        description = "checkingDescription" if gate == "checking" else "progressDescription"
        read_screen(r, f"progress, {gate}", head("progressTitle", description)
                    + [f"label {badge + ' ' + t[k]!r}" for badge, k in rows]
                    + [said("progress bar", "installing"), said("label", "keepOpen")])
        if gate == "started":
            r.key("Return")  # nothing to press on this screen
            tab_order(r, [host])
        r.open_gate(gate)

    # The first run fails: details collapsed, then opened with Space.
    error = lambda description, detail, copy: (
        head("errorTitle", description) + [said("label", "errorNotice"),
                                           button("technicalDetails") + (" expanded" if detail else " collapsed")]
        + ([f"label {detail!r}"] if detail else []) + [button(copy), button("retry")])
    read_screen(r, "error", error("errorDescription", None, "copyError"))
    tab_order(r, [host, t["technicalDetails"], t["copyError"], t["retry"]])
    focus_on(r, t["technicalDetails"])
    r.key("space")
    detail = details(r, "INSTALL_FAILED")
    read_screen(r, "error, details open", error("errorDescription", detail, "copyError"))
    tab_order(r, [host, t["technicalDetails"], detail, t["copyError"], t["retry"]])
    focus_on(r, t["copyError"])
    r.key("space")
    read_screen(r, "error, copied", error("errorDescription", detail, "copied"))
    expect_focus(r, t["copied"])

    # Return presses retry, not the focused copy button; the second run has no runtime.
    r.key("Return")
    detail = details(r, "RUNTIME_UNAVAILABLE")
    read_screen(r, "error, RUNTIME_UNAVAILABLE", error("runtimeErrorDescription", detail, "copyError"))

    # The third run succeeds; the taller window keeps its bottom-left corner.
    x, y, width, height = r.geometry()
    r.key("Return")
    read_screen(r, "complete", head("completeTitle", "completeDescription")
                + [f"label {n + ' ' + t[k]!r}" for n, k in (("1", "restartStep"), ("2", "chatStep"), ("3", "pinStep"))]
                + [said("label", "optionalCloud"), button("done")])
    grown = wait_for("the complete screen's height", lambda: (g := r.geometry())[3] == 407 and g, 5)
    if (grown[0], grown[1] + grown[3]) != (x, y + height) or height != 374:
        raise Failure(f"the window went from {x},{y} {width}x{height} to {grown[0]},{grown[1]} {grown[2]}x{grown[3]}:"
                      " its bottom-left corner moved")
    tab_order(r, [host, t["done"]])

    r.key("Return")  # done
    status = wait_for("the installer to quit", lambda: r.process.poll() is not None and [r.process.returncode], 10)
    if status != [0]:
        raise Failure(f"exit status {status[0]} after done")


def main():
    bundle, work, landing = sys.argv[1:4]
    host = urllib.parse.urlsplit(landing).hostname
    enable_screen_reader()
    failed = 0
    for language in ("en", "tr"):
        r = None
        try:
            r = Installer(bundle, work, language)
            drive(r, host)
        except Failure as failure:
            failed += 1
            print(f"FAIL [{language}] {failure}", file=sys.stderr)
            if r is not None:
                r.log.flush()
                with open(r.log.name) as log:
                    sys.stderr.write(log.read()[-3000:])
        finally:
            if r is not None:
                r.stop()
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())

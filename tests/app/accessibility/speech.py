"""What the Orca screen reader says while a person installs by keyboard alone.

    speech.py <bundle> <work folder> <landing page address>

For each language, starts Orca, speaking that language into a log (no speech
synthesiser is started), and then the bundle's installer twice: once with the
Codex desktop app in place, through a gated install to the complete screen,
and once without it, through the prerequisite screen, "check again" before and
after the app appears, and an install that fails. After each key, or each stage the payload reports, it
waits until Orca has said what a person must hear, in order, and checks that
it said nothing it must not: a stage is one short announcement, not the whole
screen again, and it leaves the focus where it was. Prints what Orca said;
exits 1 at the first difference.
"""

import os
import re
import subprocess
import sys
import time

import pyatspi

sys.dont_write_bytecode = True  # no cache beside the sources
import screen_reader  # noqa: E402
from screen_reader import Failure, Installer, pump  # noqa: E402

ORCA = "/usr/bin/orca"
SPOKEN = re.compile(r"^SPEECH OUTPUT: '(.*)'(?: voice=\w+)?$")

# Orca's own command line, without its one-Orca-per-user rule: it would refuse
# to start, or with --replace kill, an Orca of another session of this user
# (a desktop, a test run beside this one). This one has its own display and
# buses, and leaves its process name alone, so that no other Orca counts it.
LAUNCH = f"""
import sys
cli = {{"__name__": "orca_command_line"}}
with open({ORCA!r}) as script:
    exec(compile(script.read(), {ORCA!r}, "exec"), cli)
cli["otherOrcas"] = lambda: []
cli["setProcessName"] = lambda name: False
sys.argv[0] = "orca"
sys.exit(cli["main"]())
"""

# Orca loads this from its preferences folder. Every utterance reaches the
# "speech" logger before any synthesiser, so the log holds what a person would
# hear; no speech server is started, so none is left behind and no sound card
# is needed.
CUSTOMIZATIONS = """
import logging
import orca.settings

orca.settings.speechServerFactory = None
orca.settings.speechFactoryModules = []
_log = logging.FileHandler({log!r}, encoding="utf-8")
_log.setFormatter(logging.Formatter("%(message)s"))
logging.getLogger("speech").addHandler(_log)
"""


class Orca:
    """One Orca session, speaking the session language, and what it said."""

    def __init__(self, work, language):
        self.folder = os.path.join(work, "orca-" + language)
        prefs = os.path.join(self.folder, "prefs")
        os.makedirs(prefs)
        self.log = os.path.join(self.folder, "speech.log")
        with open(os.path.join(prefs, "orca-customizations.py"), "w") as custom:
            custom.write(CUSTOMIZATIONS.format(log=self.log))
        environment = dict(os.environ, HOME=self.folder, XDG_CONFIG_HOME=os.path.join(self.folder, "config"),
                           XDG_DATA_HOME=os.path.join(self.folder, "data"),
                           XDG_CACHE_HOME=os.path.join(self.folder, "cache"),
                           GSETTINGS_BACKEND="memory", LANGUAGE=language, LANG="C.UTF-8")
        self.output = open(os.path.join(self.folder, "orca.out"), "w")
        self.process = subprocess.Popen([sys.executable, "-c", LAUNCH, "--user-prefs", prefs],
                                        env=environment, stdout=self.output, stderr=self.output)
        self.mark = 0
        # Orca says that it is on once it listens.
        self.hear("Orca starting", [""], limit=30)

    def said(self):
        try:
            with open(self.log, encoding="utf-8") as log:
                return [m.group(1) for m in map(SPOKEN.match, log.read().splitlines()) if m]
        except FileNotFoundError:
            return []

    def hear(self, what, expected, limit=15, context=None):
        """Waits until Orca, since the last call, has said each expected text in order.

        Returns what it said since the last call: up to the utterance that held
        the last expected text, and what it said with it (Orca logs all it
        says for one event at once); the next call starts after that.
        """
        deadline = time.monotonic() + limit
        while True:
            pump()
            said = self.said()[self.mark:]
            if heard_in_order(said, expected):
                self.mark += len(said)
                return said
            if self.process.poll() is not None:
                raise Failure(f"{what}: Orca ended with status {self.process.returncode}")
            if time.monotonic() > deadline:
                raise Failure(f"{what}: within {limit} s Orca said\n    " + "\n    ".join(map(repr, said))
                              + "\n  and not, in this order,\n    " + "\n    ".join(map(repr, expected))
                              + (f"\n  ({context()})" if context else ""))
            time.sleep(0.05)

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(5)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        self.output.close()


def heard_in_order(said, expected):
    """Whether the utterances say each expected text in order (one may say several)."""
    at, position = 0, 0
    for text in expected:
        while at < len(said):
            found = said[at].find(text, position)
            if found >= 0:
                position = found + len(text)
                break
            at, position = at + 1, 0
        else:
            return False
    return True


def never(what, utterances, texts):
    for text in texts:
        if any(text in u for u in utterances):
            raise Failure(f"{what}: Orca said {text!r} again:\n    " + "\n    ".join(map(repr, utterances)))


def window_state(r):
    active = subprocess.run(["xdotool", "getactivewindow"], capture_output=True, text=True).stdout.strip()
    states = [pyatspi.stateToString(s) for s in r.window.getState().getStates()]
    return f"active X window {active}, the installer's {int(r.xid)}; its frame is {' '.join(states)}"


def show(language, what, utterances):
    print(f"[{language}] {what}")
    for u in utterances:
        print(f"    {u!r}")


def launch(bundle, work, case, language, plan, codex):
    """The installer under a case's folder: its payload runs by the plan, with or without Codex."""
    home = os.path.join(work, case, language, "home")
    if codex:
        subprocess.run(["sh", screen_reader.STANDIN, home], check=True, capture_output=True)
    gates = os.path.join(work, case, language, "gates")
    os.makedirs(gates)
    with open(os.path.join(gates, "plan"), "w") as lines:
        lines.write(plan + "\n")
    return Installer(bundle, os.path.join(work, case), language, {"QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1"})


def found_then_installed(orca, bundle, work, language):
    """The Codex desktop app is there: opening, a gated install, done."""
    r = launch(bundle, work, "found", language, "gated OK", codex=True)
    t = r.t
    try:
        show(language, "opening", orca.hear("the ready screen on opening", [t["readyTitle"], t["readyNotice"]],
                                            context=lambda: window_state(r)))

        r.key("Return")
        show(language, "Return: install", orca.hear("the progress screen after Install",
                                                     [t["progressTitle"], t["progressDescription"]]))
        focus = r.focused()
        for gate, stage in (("started", "filesVerified"), ("validated", "registered"), ("registered", "checkingPanel")):
            r.open_gate(gate)
            heard = orca.hear(f"the stage {stage!r}", [t[stage]])
            show(language, f"stage: {stage}", heard)
            # One short announcement: not the screen again, nor the stage twice.
            never(f"the stage {stage!r}", heard, [t["progressTitle"], t["keepOpen"]])
            times = sum(u.count(t[stage]) for u in heard)
            if times != 1:
                raise Failure(f"the stage {stage!r} was announced {times} times")
            if r.focused() != focus:
                raise Failure(f"the stage {stage!r} moved the focus from {focus!r} to {r.focused()!r}")

        r.open_gate("checking")
        show(language, "run ends", orca.hear("the complete screen", [t["completeTitle"], t["completeDescription"]]))
        r.key("Return")  # done
        screen_reader.wait_for("the installer to quit", lambda: r.process.poll() is not None, 10)
    finally:
        r.stop()


def missing_then_found(orca, bundle, work, language):
    """No Codex desktop app at first: check again, again once it is there, then a failing run."""
    r = launch(bundle, work, "missing", language, "early INSTALL_FAILED", codex=False)
    t = r.t
    try:
        show(language, "opening", orca.hear("the prerequisite screen on opening",
                                            [t["prerequisiteTitle"], t["prerequisiteNotice"]],
                                            context=lambda: window_state(r)))
        screen_reader.focus_on(r, t["checkAgain"])
        orca.hear("the focus on check again", [t["checkAgain"]])
        r.key("space")
        show(language, "Space: check again, nothing there yet",
             orca.hear("the prerequisite screen again", [t["prerequisiteTitle"], t["prerequisiteNotice"]]))

        subprocess.run(["sh", screen_reader.STANDIN, r.home], check=True, capture_output=True)
        r.key("space")
        show(language, "Space: check again, the app is there", orca.hear("the ready screen after check again",
                                                                          [t["readyTitle"], t["readyNotice"]]))
        r.key("Return")
        show(language, "Return: install, which fails", orca.hear("the error screen after a failed run",
                                                                  [t["errorTitle"], t["errorNotice"]]))
    finally:
        r.stop()


def main():
    bundle, work = sys.argv[1:3]
    screen_reader.enable_screen_reader()
    failed = 0
    for language in ("en", "tr"):
        orca = None
        try:
            orca = Orca(work, language)
            found_then_installed(orca, bundle, work, language)
            missing_then_found(orca, bundle, work, language)
        except Failure as failure:
            failed += 1
            print(f"FAIL [{language}] {failure}", file=sys.stderr)
        finally:
            if orca is not None:
                orca.stop()
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())

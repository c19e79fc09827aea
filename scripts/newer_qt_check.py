#!/usr/bin/env python3
"""Compiles every C++ file that uses Qt against newer Qt headers.

Debian 12 builds against Qt 6.4; the macOS CI builds against Homebrew's Qt and
the release against Qt 6.8. This check takes the debug build's compile commands
(compile_commands.json), keeps those that see Qt's headers, and runs each with
-fsyntax-only against the headers of Debian's qt6-base-dev from newer Debian
releases (by default trixie, Qt 6.8, and forky, the newest Qt), with the
project's own flags and -Werror. Deprecations stay warnings, as in the main
build, and are printed with the rest. Nothing is linked or run.

    newer_qt_check.py [--build-dir build/dev] [--cache build/newer-qt]
                      [--suite trixie] [--suite forky,sid] [--compiler clang++] [--jobs N]

A suite written a,b is the first of them whose archive has qt6-base-dev.
Headers come through a private apt (its own sources, lists and cache under
--cache, nothing installed, the system's apt untouched) from the Debian mirror,
checked against the Debian archive keyring as apt checks any package; the
current version is looked up on every run and downloaded only when it changed.
Generated code is not compiled: moc's and rcc's output come from the build's own
(older) Qt. A source that includes its moc file sees an empty one instead.

Exit status: 0 when every file compiles with every Qt, 1 when one does not,
2 when the check could not run (no build, the mirror out of reach).
"""
from __future__ import annotations

import argparse
import concurrent.futures
import json
import os
import re
import shlex
import shutil
import subprocess
import sys
import tempfile
import time
from dataclasses import dataclass
from pathlib import Path

MIRROR = "http://deb.debian.org/debian"
KEYRING = "/usr/share/keyrings/debian-archive-keyring.gpg"
PACKAGE = "qt6-base-dev"
MOC_INCLUDE = re.compile(r'^\s*#\s*include\s*["<]((?:moc_[^">/]+\.cpp)|(?:[^">/]+\.moc))[">]', re.M)
DEPRECATION = "[-Wdeprecated-declarations]"


class CannotRun(Exception):
    pass


@dataclass
class Unit:
    source: str
    directory: str
    args: list[str]


@dataclass
class Outcome:
    source: str
    ok: bool
    output: str


def is_qt_dir(path: str) -> bool:
    return path.startswith("/usr/") and "/qt6" in path


def options_of(args: list[str]):
    """(flag, directory) for each include directory, (None, arg) for any other
    argument; the output file and dependency file options left out."""
    it = iter(args)
    for arg in it:
        if arg in ("-o", "-MF", "-MT", "-MQ"):
            next(it, None)
        elif arg not in ("-c", "-MD", "-MMD"):
            for flag in ("-isystem", "-I"):
                if arg == flag:
                    yield flag, next(it, "")
                    break
                if arg.startswith(flag):
                    yield flag, arg[len(flag):]
                    break
            else:
                yield None, arg


def qt_units(entries: list[dict], build_dir: str) -> list[Unit]:
    """The compile commands that see Qt's headers, generated sources left out;
    each unit's arguments without the compiler and the source."""
    build = os.path.realpath(build_dir) + os.sep
    units = []
    for entry in entries:
        args = entry["arguments"] if "arguments" in entry else shlex.split(entry["command"])
        source = os.path.join(entry["directory"], entry["file"])
        if os.path.realpath(source).startswith(build):
            continue
        rest = [a for a in args[1:] if a not in (entry["file"], source)]
        if any(flag and is_qt_dir(value) for flag, value in options_of(rest)):
            units.append(Unit(source, entry["directory"], rest))
    return units


def syntax_only(unit: Unit, root: Path, compiler: str, stubs: Path) -> list[str]:
    """The unit's command against the Qt under root, producing nothing."""
    out = [compiler]
    for flag, value in options_of(unit.args):
        if flag is None:
            out.append(value)
        elif "_autogen/include" in value:
            continue  # moc's output from the build's own Qt
        elif is_qt_dir(value):
            moved = root / value.lstrip("/")
            if moved.is_dir():
                out += [flag, str(moved)]
            elif "/mkspecs/" not in value:  # that holds only qplatformdefs.h, which nothing includes
                raise CannotRun(f"{value} has no counterpart in the newer Qt ({moved})")
        else:
            out += [flag, value]
    return out + ["-I", str(stubs), "-fsyntax-only", "-Werror", "-Wno-error=deprecated-declarations",
                  unit.source]


def write_moc_stubs(units: list[Unit], stubs: Path) -> None:
    stubs.mkdir(parents=True, exist_ok=True)
    for unit in units:
        for name in MOC_INCLUDE.findall(Path(unit.source).read_text(errors="replace")):
            (stubs / name).write_text("// moc's output is not compiled against the newer Qt\n")


class PrivateApt:
    """apt with its own sources, lists and cache: one Debian release, nothing installed."""

    def __init__(self, home: Path, suite: str):
        self.home = home
        for d in ("state/lists/partial", "cache/archives/partial", "etc/apt.conf.d", "etc/preferences.d",
                  "etc/sources.list.d"):
            (home / d).mkdir(parents=True, exist_ok=True)
        (home / "status").touch()
        (home / "etc/sources.list").write_text(f"deb [signed-by={KEYRING}] {MIRROR} {suite} main\n")
        self.options = []
        for key, value in (("Dir::State", "state"), ("Dir::State::status", "status"), ("Dir::Cache", "cache"),
                           ("Dir::Etc", "etc"), ("Dir::Etc::SourceList", "etc/sources.list"),
                           ("Dir::Etc::SourceParts", "etc/sources.list.d"), ("Dir::Etc::Parts", "etc/apt.conf.d"),
                           ("Dir::Etc::PreferencesParts", "etc/preferences.d")):
            self.options += ["-o", f"{key}={home / value}"]
        self.options += ["-o", "Acquire::Languages=none", "-o", "Debug::NoLocking=1", "-o", "APT::Get::List-Cleanup=1"]

    def run(self, tool: str, *args: str, cwd: Path | None = None) -> str:
        done = subprocess.run([tool, *self.options, *args], cwd=cwd, capture_output=True, text=True)
        # apt-get update says only "W:" when a list could not be fetched or verified.
        if done.returncode != 0 or re.search(r"^Err:", done.stdout, re.M) or \
                re.search(r"^(E: |W: (Failed|GPG error|Some index))", done.stderr, re.M):
            raise CannotRun(f"{tool} {' '.join(args)} failed:\n{done.stdout}{done.stderr}".rstrip())
        return done.stdout


def headers(cache: Path, suites: str) -> tuple[str, str, Path]:
    """qt6-base-dev of the first suite that has it, unpacked: (suite, version, root)."""
    for suite in suites.split(","):
        apt = PrivateApt(cache / suite / "apt", suite)
        try:
            apt.run("apt-get", "-q", "update")
        except CannotRun as failure:
            raise CannotRun(f"could not fetch and verify Debian {suite}'s package list from {MIRROR}, the "
                            f"mirror the install step uses, where the newer Qt headers come from.\n{failure}") from None
        policy = apt.run("apt-cache", "policy", PACKAGE)
        found = re.search(r"^\s*Candidate:\s*(\S+)", policy, re.M)
        if not found or found.group(1) == "(none)":
            print(f"   Debian {suite} has no {PACKAGE}", flush=True)
            continue
        version = found.group(1)
        root = cache / suite / "root"
        stamp = root / ".version"
        if not (stamp.is_file() and stamp.read_text() == version):
            with tempfile.TemporaryDirectory(dir=cache) as work:
                sandbox = ["-o", "APT::Sandbox::User=root"] if os.geteuid() == 0 else []
                apt.run("apt-get", "-q", *sandbox, "download", f"{PACKAGE}={version}", cwd=Path(work))
                unpacked = Path(work) / "root"
                debs = list(Path(work).glob("*.deb"))
                if len(debs) != 1:
                    raise CannotRun(f"apt-get download {PACKAGE}={version} left {len(debs)} packages")
                subprocess.run(["dpkg-deb", "-x", str(debs[0]), str(unpacked)], check=True)
                (unpacked / ".version").write_text(version)
                shutil.rmtree(root, ignore_errors=True)
                unpacked.rename(root)
        return suite, version, root
    raise CannotRun(f"none of {suites} has {PACKAGE}")


def qt_version(root: Path) -> str:
    found = list(root.glob("usr/include/*/qt6/QtCore/qtcore-config.h")) + \
        list(root.glob("usr/include/*/qt6/QtCore/qconfig.h"))
    for header in found:
        match = re.search(r'#define QT_VERSION_STR "([^"]+)"', header.read_text())
        if match:
            return match.group(1)
    raise CannotRun(f"no QT_VERSION_STR under {root}")


def probe(unit: Unit, root: Path, compiler: str, stubs: Path, version: str) -> None:
    """Makes sure the rewritten command sees the newer Qt, not the build's own."""
    major, minor, patch = (int(part) for part in version.split(".")[:3])
    source = stubs / "qt-version-probe.cpp"
    source.write_text(f"#include <QtCore/qglobal.h>\n"
                      f"static_assert(QT_VERSION == QT_VERSION_CHECK({major}, {minor}, {patch}));\n")
    done = subprocess.run(syntax_only(Unit(str(source), unit.directory, unit.args), root, compiler, stubs),
                          cwd=unit.directory, capture_output=True, text=True)
    if done.returncode != 0:
        raise CannotRun(f"the rewritten compile command does not see Qt {version}:\n{done.stderr}")


def compile_all(units: list[Unit], root: Path, compiler: str, stubs: Path, jobs: int) -> list[Outcome]:
    def one(unit: Unit) -> Outcome:
        done = subprocess.run(syntax_only(unit, root, compiler, stubs), cwd=unit.directory,
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        return Outcome(unit.source, done.returncode == 0, done.stdout)

    with concurrent.futures.ThreadPoolExecutor(max_workers=jobs) as pool:
        return list(pool.map(one, units))


def report(outcomes: list[Outcome], source_dir: str) -> tuple[int, int]:
    """Prints what the compiler said, file by file; returns (failed files, deprecations)."""
    failed = deprecations = 0
    for outcome in outcomes:
        if outcome.output:
            print(outcome.output.replace(source_dir.rstrip("/") + "/", ""), end="", flush=True)
        failed += not outcome.ok
        deprecations += outcome.output.count(DEPRECATION)
    return failed, deprecations


def main(argv: list[str]) -> int:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build-dir", default="build/dev")
    parser.add_argument("--cache", default="build/newer-qt")
    parser.add_argument("--suite", action="append", help="Debian suite, or a,b for the first that has Qt")
    parser.add_argument("--compiler", default="clang++")
    parser.add_argument("--jobs", type=int, default=os.cpu_count() or 2)
    options = parser.parse_args(argv)
    suites = options.suite or ["trixie", "forky,sid"]
    source_dir = str(Path(__file__).resolve().parent.parent)
    try:
        for tool in ("apt-get", "apt-cache", "dpkg-deb", options.compiler):
            if not shutil.which(tool):
                raise CannotRun(f"needs {tool} (Debian's apt and dpkg, and the compiler)")
        database = Path(options.build_dir) / "compile_commands.json"
        if not database.is_file():
            raise CannotRun(f"no {database}: configure the build first (cmake --preset dev)")
        units = qt_units(json.loads(database.read_text()), options.build_dir)
        if not units:
            raise CannotRun(f"no compile command in {database} uses Qt")
        cache = Path(options.cache).resolve()
        stubs = cache / "moc-stubs"
        write_moc_stubs(units, stubs)
        failures = 0
        for suites_of_one in suites:
            started = time.monotonic()
            suite, package, root = headers(cache, suites_of_one)
            version = qt_version(root)
            print(f"-- Qt {version} (Debian {suite}, {PACKAGE} {package}): {len(units)} files, "
                  f"{options.compiler} -fsyntax-only -Werror", flush=True)
            probe(units[0], root, options.compiler, stubs, version)
            failed, deprecations = report(compile_all(units, root, options.compiler, stubs, options.jobs), source_dir)
            print(f"-- Qt {version}: {len(units) - failed} of {len(units)} files compile, {failed} do not; "
                  f"{deprecations} deprecation warnings ({time.monotonic() - started:.0f} s)", flush=True)
            failures += failed
        return 1 if failures else 0
    except CannotRun as failure:
        print(f"newer Qt check: {failure}", file=sys.stderr)
        return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))

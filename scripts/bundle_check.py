#!/usr/bin/env python3
"""Checks a macOS application bundle before it ships.

Every Mach-O file in the bundle must be built for the bundle's oldest macOS
(Info.plist's LSMinimumSystemVersion) or an older one, hold every architecture
of the bundle's executable, and load nothing from outside the bundle but the
system (/System/Library, /usr/lib): each load command and each LC_RPATH is
resolved as dyld would, @rpath, @loader_path, @executable_path and symbolic
links included.

    bundle_check.py APP [--archs arm64,x86_64] [--report FILE] [--record DIR | --replay DIR]
    bundle_check.py --libraries --min-macos 12.0 [--archs ...] FILE...

The second form checks libraries before a build links them: their oldest macOS
and architectures only. What the check reads is `otool -arch all -l` and
`lipo -archs` of each file; --record keeps their output under DIR (one
<path>.otool.txt and <path>.lipo.txt per file), --replay reads it from there
instead of running them. Exit status: 0 when nothing is wrong, 1 when
something is, 2 when the check itself could not run.
"""
from __future__ import annotations

import argparse
import os
import plistlib
import re
import struct
import subprocess
import sys
from dataclasses import dataclass, field

SYSTEM_DIRS = ("/System/Library/", "/usr/lib/")
LOAD_COMMANDS = {"LC_LOAD_DYLIB", "LC_LOAD_WEAK_DYLIB", "LC_REEXPORT_DYLIB", "LC_LOAD_UPWARD_DYLIB",
                 "LC_LAZY_LOAD_DYLIB"}
MACOS_PLATFORMS = {"1", "macos", "MACOS"}
HEADER = re.compile(r"^(?P<name>\S.*?)(?: \(architecture (?P<arch>[^)]+)\))?:$")
NAMED = re.compile(r"^(?:name|path) (?P<value>.*) \(offset \d+\)$")


@dataclass
class Slice:
    """What one architecture of a file records: its load commands, in order."""
    arch: str | None = None
    commands: list[dict[str, str]] = field(default_factory=list)

    def of(self, *kinds: str) -> list[dict[str, str]]:
        return [command for command in self.commands if command.get("cmd") in kinds]


def parse_load_commands(text: str) -> list[Slice]:
    """The slices of `otool -arch all -l` output, in both otool's and llvm-otool's wording."""
    slices: list[Slice] = []
    command: dict[str, str] | None = None
    for line in text.splitlines():
        header = HEADER.match(line)
        if header and not line.startswith("Load command"):
            slices.append(Slice(header.group("arch")))
            command = None
            continue
        if line.startswith("Load command"):
            if not slices:
                slices.append(Slice())
            command = {}
            slices[-1].commands.append(command)
            continue
        if command is None:
            continue
        stripped = line.strip()
        named = NAMED.match(stripped)
        if named:
            command["name"] = named.group("value")
        elif " " in stripped:
            key, value = stripped.split(" ", 1)
            command.setdefault(key, value.strip())
    return slices


def version(text: str) -> tuple[int, ...]:
    parts = tuple(int(part) for part in text.split("."))
    return parts + (0,) * (3 - len(parts))


def oldest_macos(piece: Slice) -> str | None:
    """The minimum macOS a slice records, or None when it records none."""
    found = [command.get("minos") for command in piece.of("LC_BUILD_VERSION")
             if command.get("platform") in MACOS_PLATFORMS]
    found += [command.get("version") for command in piece.of("LC_VERSION_MIN_MACOSX")]
    found = [value for value in found if value]
    return max(found, key=version) if found else None


def is_macho(path: str) -> bool:
    with open(path, "rb") as file:
        start = file.read(8)
    if len(start) < 8:
        return False
    magic, count = struct.unpack(">II", start)
    if magic in (0xFEEDFACE, 0xFEEDFACF, 0xCEFAEDFE, 0xCFFAEDFE):
        return True
    # A universal file; a Java class file shares its magic but not a small count.
    return magic in (0xCAFEBABE, 0xCAFEBABF) and 0 < count < 30


class Tools:
    """otool and lipo, run, recorded or replayed."""

    def __init__(self, record: str | None = None, replay: str | None = None):
        self.record, self.replay = record, replay

    def output(self, kind: str, key: str, command: list[str]) -> str:
        if self.replay:
            with open(os.path.join(self.replay, f"{key}.{kind}.txt"), encoding="utf-8") as file:
                return file.read()
        text = subprocess.run(command, check=True, capture_output=True, text=True).stdout
        if self.record:
            target = os.path.join(self.record, f"{key}.{kind}.txt")
            os.makedirs(os.path.dirname(target), exist_ok=True)
            with open(target, "w", encoding="utf-8") as file:
                file.write(text)
        return text

    def slices(self, path: str, key: str) -> tuple[list[str], list[Slice]]:
        archs = self.output("lipo", key, ["lipo", "-archs", path]).split()
        slices = parse_load_commands(self.output("otool", key, ["otool", "-arch", "all", "-l", path]))
        if len(archs) == 1:
            for piece in slices:
                piece.arch = piece.arch or archs[0]
        return archs, slices


class BundleCheck:
    def __init__(self, tools: Tools, oldest: str, archs: list[str]):
        self.tools, self.oldest, self.archs = tools, oldest, archs
        self.lines: list[str] = []
        self.problems: list[str] = []

    def problem(self, where: str, text: str) -> None:
        self.problems.append(f"{where}: {text}")
        self.lines.append(f"  PROBLEM: {text}")

    def check_slices(self, where: str, archs: list[str], slices: list[Slice], resolve=None) -> None:
        """The oldest macOS and the architectures of one file; `resolve` is
        called on each slice after its oldest macOS is checked."""
        self.lines.append(f"{where}  [{' '.join(archs)}]")
        for arch in self.archs:
            if arch not in archs:
                self.problem(where, f"has no {arch} code (it has {' '.join(archs) or 'none'})")
        if not slices:
            self.problem(where, "otool read no load commands")
        unread = [arch for arch in archs if arch not in {piece.arch for piece in slices}]
        if slices and unread:
            self.problem(where, f"otool showed no load commands of {' '.join(unread)}")
        for piece in slices:
            minos = oldest_macos(piece)
            if minos is None:
                self.problem(where, f"{piece.arch}: records no minimum macOS")
            elif version(minos) > version(self.oldest):
                self.problem(where, f"{piece.arch}: needs macOS {minos}, newer than {self.oldest}")
            else:
                self.lines.append(f"  {piece.arch}: macOS {minos} or later")
            if resolve:
                resolve(piece)

    def check_libraries(self, paths: list[str]) -> None:
        for path in paths:
            archs, slices = self.tools.slices(path, os.path.basename(path))
            self.check_slices(path, archs, slices)

    def check_bundle(self, app: str, executable: str) -> None:
        app = os.path.realpath(app)
        files = sorted(os.path.join(folder, name) for folder, _, names in os.walk(app) for name in names)
        files = [path for path in files if not os.path.islink(path) and is_macho(path)]
        main = os.path.join(app, "Contents", "MacOS", executable)
        if main not in files:
            self.problem(executable, "the bundle's executable is missing or not Mach-O")
            return
        read = {path: self.tools.slices(path, os.path.relpath(path, app)) for path in files}
        exe_rpaths = {piece.arch: piece.of("LC_RPATH") for piece in read[main][1]}
        for path in files:
            where = os.path.relpath(path, app)
            archs, slices = read[path]
            self.check_slices(where, archs, slices, lambda piece: Resolver(self, app, main, path, where, piece)
                              .check(exe_rpaths.get(piece.arch, [])))


class Resolver:
    """Resolves the loads and run paths of one slice of one file in the bundle."""

    def __init__(self, check: BundleCheck, app: str, main: str, path: str, where: str, piece: Slice):
        self.check_, self.app, self.main, self.path, self.where, self.piece = check, app, main, path, where, piece

    def expand(self, text: str, loader: str) -> str:
        for token, base in (("@loader_path", loader), ("@executable_path", self.main)):
            if text == token or text.startswith(token + "/"):
                return os.path.normpath(os.path.dirname(base) + text[len(token):])
        return os.path.normpath(text)

    def inside(self, path: str) -> bool:
        return os.path.commonpath([self.app, path]) == self.app

    def place(self, path: str) -> str:
        """system, inside, or outside; a system path need not exist on disk."""
        if path.startswith(SYSTEM_DIRS):
            return "system"
        if not path.startswith("/") or not self.inside(path):
            return "outside"
        return "inside" if not os.path.exists(path) or self.inside(os.path.realpath(path)) else "outside"

    def say(self, text: str) -> None:
        self.check_.lines.append(f"    {self.piece.arch}: {text}")

    def fail(self, text: str) -> None:
        self.check_.problem(self.where, f"{self.piece.arch}: {text}")

    def check(self, exe_rpaths: list[dict[str, str]]) -> None:
        own = [(command["name"], self.path) for command in self.piece.of("LC_RPATH")]
        for text, _ in own:
            expanded = self.expand(text, self.path)
            if text.startswith("@rpath") or self.place(expanded) == "outside":
                self.fail(f"run path {text} leads outside the bundle ({expanded})")
            else:
                self.say(f"run path {text} -> {self.show(expanded)}")
        searched = own + [(command["name"], self.main) for command in exe_rpaths if self.path != self.main]
        for command in self.piece.of(*LOAD_COMMANDS):
            self.check_load(command["cmd"], command.get("name", ""), searched)

    def show(self, path: str) -> str:
        return os.path.relpath(path, self.app) if self.inside(path) else path

    def check_load(self, kind: str, name: str, searched: list[tuple[str, str]]) -> None:
        weak = kind == "LC_LOAD_WEAK_DYLIB"
        if name.startswith("@rpath/"):
            candidates = [os.path.normpath(os.path.join(self.expand(rpath, loader), name[len("@rpath/"):]))
                          for rpath, loader in searched]
        elif name.startswith(("@loader_path", "@executable_path", "/")):
            candidates = [self.expand(name, self.path)]
        else:
            self.fail(f"loads {name} by a relative path")
            return
        # dyld takes the first candidate that is there; the system's libraries
        # live in its shared cache, not on disk.
        found = next((candidate for candidate in candidates
                      if self.place(candidate) == "system" or os.path.exists(candidate)), None)
        if found is None:
            if not name.startswith("@rpath/") and self.place(candidates[0]) == "outside":
                self.fail(f"loads {name} from outside the bundle ({candidates[0]})")
            elif weak:
                self.say(f"weak {name}: not in the bundle, not needed")
            else:
                self.fail(f"loads {name}, which is not in the bundle")
        elif self.place(found) == "outside":
            self.fail(f"loads {name} from outside the bundle ({os.path.realpath(found)})")
        elif self.place(found) == "system":
            self.say(f"{name} (system)")
        else:
            self.say(f"{name} -> {self.show(found)}")


def main(argv: list[str]) -> int:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("paths", nargs="+", metavar="APP|FILE")
    parser.add_argument("--libraries", action="store_true", help="check library files, not a bundle")
    parser.add_argument("--min-macos", help="the oldest macOS (a bundle: its Info.plist's by default)")
    parser.add_argument("--archs", help="architectures every file must have, comma-separated")
    parser.add_argument("--report", help="also write the report to this file")
    recorded = parser.add_mutually_exclusive_group()
    recorded.add_argument("--record", metavar="DIR")
    recorded.add_argument("--replay", metavar="DIR")
    options = parser.parse_args(argv)
    tools = Tools(options.record, options.replay)
    archs = options.archs.split(",") if options.archs else []
    try:
        if options.libraries:
            if not options.min_macos:
                parser.error("--libraries needs --min-macos")
            check = BundleCheck(tools, options.min_macos, archs)
            check.check_libraries(options.paths)
        else:
            if len(options.paths) != 1:
                parser.error("one bundle at a time")
            app = options.paths[0]
            with open(os.path.join(app, "Contents", "Info.plist"), "rb") as file:
                info = plistlib.load(file)
            oldest = options.min_macos or info["LSMinimumSystemVersion"]
            executable = info["CFBundleExecutable"]
            if not archs:
                main_file = os.path.join(app, "Contents", "MacOS", executable)
                archs = tools.slices(main_file, os.path.join("Contents", "MacOS", executable))[0]
            check = BundleCheck(tools, oldest, archs)
            check.lines.append(f"{app}: macOS {oldest} or later, {' '.join(archs)}")
            check.check_bundle(app, executable)
    except (OSError, KeyError, ValueError, subprocess.CalledProcessError, plistlib.InvalidFileException) as error:
        print(f"bundle_check.py: cannot check: {error}", file=sys.stderr)
        return 2
    check.lines.append(f"{len(check.problems)} problem(s)")
    check.lines += [f"PROBLEM {problem}" for problem in check.problems]
    report = "\n".join(check.lines) + "\n"
    sys.stdout.write(report)
    if options.report:
        with open(options.report, "w", encoding="utf-8") as file:
            file.write(report)
    return 1 if check.problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))

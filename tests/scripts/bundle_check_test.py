"""scripts/bundle_check.py fed with `otool -l` and `lipo -archs` output in the
tools' own formats (otool/: an executable, two frameworks and the cocoa
plugin of a deployed bundle), over a bundle laid out as the deployed one."""
import contextlib
import io
import os
import plistlib
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "scripts"))
import bundle_check  # noqa: E402

EXECUTABLE = "Contents/MacOS/ZunoInstaller"
PLUGIN = "Contents/PlugIns/platforms/libqcocoa.dylib"


def framework(name):
    return f"Contents/Frameworks/{name}.framework/Versions/A/{name}"


def fixture(name):
    with open(os.path.join(HERE, "otool", name + ".txt"), encoding="utf-8") as file:
        return file.read()


MACHO_64 = bytes.fromhex("cffaedfe0c000001")
UNIVERSAL = bytes.fromhex("cafebabe00000002")
JAVA_CLASS = bytes.fromhex("cafebabe00000034")


class BundleCheckTest(unittest.TestCase):
    def setUp(self):
        scratch = tempfile.TemporaryDirectory()
        self.addCleanup(scratch.cleanup)
        self.root = scratch.name
        self.app = os.path.join(self.root, "ZunoInstaller.app")
        self.info = {"CFBundleExecutable": "ZunoInstaller", "LSMinimumSystemVersion": "12.0"}
        self.otool = {
            EXECUTABLE: fixture("ZunoInstaller"),
            framework("QtCore"): fixture("QtCore"),
            framework("QtGui"): fixture("QtGui"),
            # QtWidgets' load commands are QtGui's under its own name.
            framework("QtWidgets"): fixture("QtGui").replace("QtGui.framework", "QtWidgets.framework"),
            PLUGIN: fixture("libqcocoa"),
        }
        self.lipo = {path: "x86_64 arm64\n" for path in self.otool}
        for path in self.otool:
            self.write(path, UNIVERSAL)
        for name in ("QtCore", "QtGui", "QtWidgets"):
            top = os.path.join(self.app, f"Contents/Frameworks/{name}.framework")
            os.symlink("A", os.path.join(top, "Versions", "Current"))
            os.symlink(f"Versions/Current/{name}", os.path.join(top, name))
        self.write("Contents/Resources/payload/Install.command", b"#!/bin/sh\nexit 0\n")
        self.write("Contents/Resources/Legacy.class", JAVA_CLASS)

    def write(self, path, content):
        target = os.path.join(self.app, path)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        with open(target, "wb") as file:
            file.write(content)

    def edit(self, path, old, new):
        self.assertIn(old, self.otool[path])
        self.otool[path] = self.otool[path].replace(old, new)

    def thin(self, path, arch):
        """Keeps only the slice of `arch`, as in a file built for it alone."""
        text = self.otool[path]
        start = text.index(f"(architecture {arch}):")
        header_end = text.index("\n", start) + 1
        end = text.find(" (architecture ", header_end)
        end = len(text) if end < 0 else text.rindex("\n", 0, end) + 1
        self.otool[path] = path + ":\n" + text[header_end:end]
        self.lipo[path] = arch + "\n"
        self.write(path, MACHO_64)

    def replay(self, keys):
        folder = os.path.join(self.root, "recorded")
        for key, text in keys:
            target = os.path.join(folder, key)
            os.makedirs(os.path.dirname(target), exist_ok=True)
            with open(target, "w", encoding="utf-8") as file:
                file.write(text)
        return folder

    def check(self, *options):
        with open(os.path.join(self.app, "Contents", "Info.plist"), "wb") as file:
            plistlib.dump(self.info, file)
        recorded = [(f"{path}.otool.txt", text) for path, text in self.otool.items()]
        recorded += [(f"{path}.lipo.txt", text) for path, text in self.lipo.items()]
        output = io.StringIO()
        with contextlib.redirect_stdout(output), contextlib.redirect_stderr(output):
            status = bundle_check.main([self.app, "--replay", self.replay(recorded), *options])
        return status, output.getvalue()

    def assertProblem(self, status, report, text):
        self.assertEqual(status, 1, report)
        self.assertIn(text, report)

    def test_the_deployed_bundle_passes_with_each_load_resolved(self):
        status, report = self.check()
        self.assertEqual(status, 0, report)
        self.assertIn("macOS 12.0 or later, x86_64 arm64", report)
        for line in (
                "@rpath/QtWidgets.framework/Versions/A/QtWidgets -> " + framework("QtWidgets"),
                "/usr/lib/libc++.1.dylib (system)",
                # The plugin's own run path points at Qt's lib folder, which the
                # bundle has not: its Qt comes through the executable's.
                "run path @loader_path/../../lib -> Contents/lib",
                "@rpath/QtGui.framework/Versions/A/QtGui -> " + framework("QtGui"),
                "run path @loader_path/../../../ -> Contents/Frameworks",
                "arm64: macOS 11.0 or later"):
            self.assertIn(line, report)
        self.assertNotIn("Legacy.class", report)
        self.assertNotIn("Install.command", report)
        self.assertIn("\n0 problem(s)\n", report)

    def test_run_paths_and_loads_that_leave_the_bundle_fail(self):
        cases = [
            (PLUGIN, "@loader_path/../../lib", "@loader_path/../../../../opt/qtbase/lib",
             "run path @loader_path/../../../../opt/qtbase/lib leads outside the bundle"),
            (EXECUTABLE, "/usr/lib/libc++.1.dylib", "/opt/homebrew/opt/simdjson/lib/libsimdjson.26.dylib",
             "loads /opt/homebrew/opt/simdjson/lib/libsimdjson.26.dylib from outside the bundle"),
            (framework("QtCore"), "/usr/lib/libz.1.dylib", "@loader_path/../../../../../../opt/zlib/lib/libz.1.dylib",
             "loads @loader_path/../../../../../../opt/zlib/lib/libz.1.dylib from outside the bundle"),
            (EXECUTABLE, "@executable_path/../Frameworks", "/Users/runner/work/Qt/6.8.3/macos/lib",
             "run path /Users/runner/work/Qt/6.8.3/macos/lib leads outside the bundle"),
            (EXECUTABLE, "/usr/lib/libSystem.B.dylib", "libsimdjson.26.dylib",
             "loads libsimdjson.26.dylib by a relative path"),
        ]
        original = dict(self.otool)
        for path, old, new, problem in cases:
            with self.subTest(new):
                self.otool = dict(original)
                self.edit(path, old, new)
                self.assertProblem(*self.check(), problem)

    def test_a_link_that_leaves_the_bundle_is_followed(self):
        outside = os.path.join(self.root, "homebrew", "QtCore")
        os.makedirs(os.path.dirname(outside))
        with open(outside, "wb") as file:
            file.write(UNIVERSAL)
        target = os.path.join(self.app, framework("QtCore"))
        os.remove(target)
        os.symlink(outside, target)
        del self.otool[framework("QtCore")]
        status, report = self.check()
        self.assertProblem(status, report, f"loads @rpath/QtCore.framework/Versions/A/QtCore from outside the bundle ({outside})")

    def test_a_library_missing_from_the_bundle_fails_unless_weakly_linked(self):
        self.edit(framework("QtGui"), "name /System/Library/Frameworks/UniformTypeIdentifiers.framework/Versions/A/UniformTypeIdentifiers",
                  "name @rpath/QtDBus.framework/Versions/A/QtDBus")
        status, report = self.check()
        self.assertEqual(status, 0, report)
        self.assertIn("weak @rpath/QtDBus.framework/Versions/A/QtDBus: not in the bundle", report)
        self.edit(EXECUTABLE, "@rpath/QtGui.framework/Versions/A/QtGui", "@rpath/QtDBus.framework/Versions/A/QtDBus")
        self.assertProblem(*self.check(), "loads @rpath/QtDBus.framework/Versions/A/QtDBus, which is not in the bundle")

    def test_code_newer_than_the_bundles_oldest_macos_fails(self):
        original = dict(self.otool)
        cases = [
            (framework("QtCore"), "minos 12.0", "minos 14.0", "x86_64: needs macOS 14.0, newer than 12.0"),
            (PLUGIN, "minos 12.0", "minos 12.1", "arm64: needs macOS 12.1, newer than 12.0"),
            (framework("QtGui"), "version 11.0", "version 13.0", "arm64: needs macOS 13.0, newer than 12.0"),
            (EXECUTABLE, " platform 1\n", " platform 6\n", "x86_64: records no minimum macOS"),
        ]
        for path, old, new, problem in cases:
            with self.subTest(new):
                self.otool = dict(original)
                self.edit(path, old, new)
                status, report = self.check()
                self.assertProblem(status, report, path + ": " + problem)
        self.otool = original
        self.info["LSMinimumSystemVersion"] = "11.0"
        self.assertProblem(*self.check(), EXECUTABLE + ": arm64: needs macOS 12.0, newer than 11.0")

    def test_every_file_has_every_architecture_of_the_executable(self):
        # otool showing one slice of two (its host's alone, without -arch all)
        # is not taken for a check of both.
        self.thin(framework("QtCore"), "arm64")
        self.lipo[framework("QtCore")] = "x86_64 arm64\n"
        self.assertProblem(*self.check(), framework("QtCore") + ": otool showed no load commands of x86_64")
        self.setUp()
        self.thin(PLUGIN, "arm64")
        self.assertProblem(*self.check(), PLUGIN + ": has no x86_64 code (it has arm64)")
        for path in list(self.otool):
            if path != PLUGIN:
                self.thin(path, "arm64")
        status, report = self.check()
        self.assertEqual(status, 0, report)
        self.assertProblem(*self.check("--archs", "arm64,x86_64"), EXECUTABLE + ": has no x86_64 code")

    def test_libraries_are_checked_before_a_build(self):
        library = os.path.join(self.app, framework("QtCore"))
        archive = "Archive : /opt/homebrew/lib/libsimdjson.a\n/opt/homebrew/lib/libsimdjson.a(simdjson.cpp.o):\n" + \
            "Load command 0\n      cmd LC_BUILD_VERSION\n  cmdsize 24\n platform 1\n    minos 14.0\n      sdk 14.4\n"
        recorded = [("QtCore.otool.txt", self.otool[framework("QtCore")]), ("QtCore.lipo.txt", "x86_64 arm64\n"),
                    ("libsimdjson.a.otool.txt", archive), ("libsimdjson.a.lipo.txt", "arm64\n")]
        folder = self.replay(recorded)
        with contextlib.redirect_stdout(io.StringIO()) as output:
            passed = bundle_check.main(["--libraries", "--min-macos", "12.0", "--archs", "arm64,x86_64",
                                        "--replay", folder, library])
            failed = bundle_check.main(["--libraries", "--min-macos", "12.0", "--replay", folder,
                                        library, "/opt/homebrew/lib/libsimdjson.a"])
        self.assertEqual((passed, failed), (0, 1), output.getvalue())
        self.assertIn("libsimdjson.a: arm64: needs macOS 14.0, newer than 12.0", output.getvalue())

    def test_output_that_cannot_be_read_stops_the_check(self):
        os.remove(os.path.join(self.app, framework("QtGui")))
        self.write("Contents/Frameworks/libextra.dylib", MACHO_64)
        status, report = self.check()
        self.assertEqual(status, 2, report)
        self.assertIn("cannot check", report)


if __name__ == "__main__":
    unittest.main()

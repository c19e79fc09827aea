"""scripts/newer_qt_check.py on a stand-in compile database and a stand-in
newer Qt (a few headers under a root): which commands it takes, how it rewrites
them, and that a compile error fails it while a deprecation is only counted.
The download of the real headers is not exercised here (it needs the mirror)."""
import contextlib
import io
import json
import os
import sys
import tempfile
import unittest
from pathlib import Path

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "scripts"))
import newer_qt_check as check  # noqa: E402

QT = "/usr/include/x86_64-linux-gnu/qt6"
COMPILER = os.environ.get("CXX", "c++")

SOURCES = {
    "fine.cpp": "#include <qfake.h>\nint f() { return newCall(); }\n",
    "broken.cpp": "#include <qfake.h>\nint f() { return removedCall(); }\n",
    "deprecated.cpp": "#include <qfake.h>\nint f() { return oldCall(); }\n",
    "warned.cpp": "#include <qfake.h>\nint f() { int unused = 1; return newCall(); }\n",
    "withmoc.cpp": "#include <qfake.h>\nint f() { return newCall(); }\n#include \"withmoc.moc\"\n",
    "plain.cpp": "int f() { return 0; }\n",
}


class NewerQtCheckTest(unittest.TestCase):
    def setUp(self):
        scratch = tempfile.TemporaryDirectory()
        self.addCleanup(scratch.cleanup)
        top = Path(scratch.name)
        self.src, self.build, self.root, self.stubs = top / "src", top / "build", top / "root", top / "stubs"
        for d in (self.src, self.build / "x_autogen/include"):
            d.mkdir(parents=True)
        for name, text in SOURCES.items():
            (self.src / name).write_text(text)
        # The build's own moc output, which must not be used.
        (self.build / "x_autogen/include/withmoc.moc").write_text("#error old moc output\n")
        (self.build / "gen.cpp").write_text("#include <qfake.h>\n")
        core = self.root / QT.lstrip("/") / "QtCore"
        core.mkdir(parents=True)
        (core / "qfake.h").write_text('#pragma once\n[[deprecated("use newCall")]] inline int oldCall() { return 1; }\n'
                                      "inline int newCall() { return 2; }\n")
        (core / "qglobal.h").write_text("#define QT_VERSION_CHECK(a, b, c) ((a << 16) | (b << 8) | c)\n"
                                        "#define QT_VERSION QT_VERSION_CHECK(6, 11, 2)\n")

        def entry(path, qt=True):
            flags = f"-I{self.build}/x_autogen/include -isystem {QT}/QtCore -isystem {QT} " \
                    f"-isystem /usr/lib/x86_64-linux-gnu/qt6/mkspecs/linux-g++ " if qt else ""
            return {"directory": str(self.build), "file": str(path),
                    "command": f"/usr/bin/c++ -DQT_CORE_LIB {flags}-Wall -std=c++20 -o x.o -c {path}"}

        self.entries = [entry(self.src / name, name != "plain.cpp") for name in SOURCES] + \
            [entry(self.build / "gen.cpp")]
        self.units = check.qt_units(json.loads(json.dumps(self.entries)), str(self.build))

    def test_the_sources_that_see_qt_are_taken_and_generated_ones_left(self):
        self.assertEqual([Path(u.source).name for u in self.units],
                         ["fine.cpp", "broken.cpp", "deprecated.cpp", "warned.cpp", "withmoc.cpp"])

    def test_each_command_compiles_nothing_against_the_newer_qt(self):
        command = check.syntax_only(self.units[0], self.root, "clang++", self.stubs)
        self.assertEqual(command[0], "clang++")
        self.assertEqual(command[-1], str(self.src / "fine.cpp"))
        self.assertIn(str(self.root) + QT + "/QtCore", command)
        self.assertFalse([a for a in command if a.startswith("/usr/") or "autogen" in a or a in ("-o", "-c", "x.o")])
        self.assertEqual(command[-6:-1], ["-I", str(self.stubs), "-fsyntax-only", "-Werror",
                                          "-Wno-error=deprecated-declarations"])
        missing = check.Unit("w.cpp", str(self.build), ["-isystem", QT + "/QtWidgets"])
        with self.assertRaisesRegex(check.CannotRun, "QtWidgets has no counterpart"):
            check.syntax_only(missing, self.root, "clang++", self.stubs)

    def test_an_error_or_a_warning_fails_and_a_deprecation_is_listed(self):
        check.write_moc_stubs(self.units, self.stubs)
        outcomes = check.compile_all(self.units, self.root, COMPILER, self.stubs, 2)
        self.assertEqual([o.ok for o in outcomes], [True, False, True, False, True])
        self.assertIn("removedCall", outcomes[1].output)
        with contextlib.redirect_stdout(io.StringIO()) as printed:
            self.assertEqual(check.report(outcomes, str(self.src)), (2, 1))
        self.assertIn("broken.cpp:2:", printed.getvalue())
        self.assertIn("deprecated.cpp:2:", printed.getvalue())
        self.assertIn("warned.cpp:2:", printed.getvalue())

    def test_the_probe_refuses_a_command_that_sees_another_qt(self):
        self.stubs.mkdir()
        check.probe(self.units[0], self.root, COMPILER, self.stubs, "6.11.2")
        with self.assertRaisesRegex(check.CannotRun, "does not see Qt 6.8.2"):
            check.probe(self.units[0], self.root, COMPILER, self.stubs, "6.8.2")


if __name__ == "__main__":
    unittest.main()

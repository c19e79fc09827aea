// One run of zuno-payload-check: the verdict of every line with its reason,
// the report's own output, the temporary home, the limits and usage errors.
#include "CheckerFixture.h"

#include <cerrno>
#include <csignal>
#include <sstream>
#include <system_error>
#include <unistd.h>

namespace ZunoInstaller::Testing {
namespace {

using Json = nlohmann::json;

class PayloadCheck : public CheckerFixture {};

// Gone, or a zombie that whoever adopted it has not reaped yet.
bool ended(pid_t pid)
{
    for (int wait = 0; wait < 200; ++wait) {
        if (::kill(pid, 0) != 0)
            return true;
        std::string stat = CheckerFixture::read("/proc/" + std::to_string(pid) + "/stat");
        const std::size_t name = stat.rfind(')');
        if (name != std::string::npos && stat.compare(name, 3, ") Z") == 0)
            return true;
        ::usleep(10000);
    }
    return false;
}

// {verdict, reason or the accepted stage, one more field that must match}.
void expectLine(const Json& line, const std::string& verdict, const std::string& what,
                const std::string& field = {}, const Json& value = {})
{
    ASSERT_TRUE(line.is_object()) << line;
    EXPECT_EQ(line["verdict"], verdict) << line;
    if (verdict == "malformed") {
        EXPECT_EQ(line["reason"], what) << line;
    } else if (verdict == "stage") {
        EXPECT_EQ(line["stage"], what) << line;
    }
    if (!field.empty()) {
        EXPECT_EQ(line[field], value) << line;
    }
}

TEST_F(PayloadCheck, ExplainsEveryLineItCannotDecodeOrThatBreaksTheOrder)
{
    script("emit ''\n"
           "head -c 5000 /dev/zero | tr '\\0' ' ' >&3; printf '\\n' >&3\n"
           "printf '{\"event\":\"x\"}\\000\\n' >&3\n"
           "printf '{\"event\":\"x\\303\"}\\n' >&3\n"
           "emit '{\"event\":\"x\",}'\n"
           "emit '[1]'\n"
           "printf '{\"event\":\"x\",\"d\":%s}\\n' \"$(printf '%0512d' 0 | tr 0 '[')$(printf '%0512d' 0 | tr "
           "0 ']')\" >&3\n"
           "emit '{\"Event\":\"progress\"}'\n"
           "emit '{\"event\":\"error\",\"code\":7}'\n"
           "emit '{\"event\":\"progress\",\"stage\":\"Validated\"}'\n"
           "emit '{\"event\":\"started\"}'\n"
           "emit '{\"event\":\"progress\"}'\n"
           "emit '{\"event\":\"progress\",\"stage\":\"registered\"}'\n"
           "emit '{\"event\":\"error\",\"code\":\"codex_missing\"}'\n"
           "emit '{\"event\":\"progress\",\"stage\":\"validated\"}'\n"
           "emit '{\"event\":\"error\"}'\n"
           // Unfinished when the script ends: the runner's over-long rest.
           "head -c 5000 /dev/zero | tr '\\0' '{' >&3\n"
           "exit 3\n");
    const Check result = check({payload.native(), "--json"});
    EXPECT_EQ(result.status, 1) << result.error;
    const Json& lines = result.json["lines"];
    ASSERT_EQ(lines.size(), 17u) << result.output;
    expectLine(lines[0], "malformed", "empty-line");
    expectLine(lines[1], "malformed", "too-long");
    expectLine(lines[2], "malformed", "nul-byte");
    expectLine(lines[3], "malformed", "invalid-utf8");
    expectLine(lines[4], "malformed", "invalid-json", "position", 14);
    expectLine(lines[5], "malformed", "not-an-object");
    expectLine(lines[6], "malformed", "too-deep");
    expectLine(lines[7], "malformed", "event-missing");
    expectLine(lines[8], "malformed", "wrong-type", "key", "code");
    expectLine(lines[9], "malformed", "unknown-stage", "value", "Validated");
    expectLine(lines[10], "malformed", "unknown-event", "value", "started");
    expectLine(lines[11], "malformed", "progress-without-stage");
    expectLine(lines[12], "malformed", "stage-out-of-order", "expected", "validated");
    EXPECT_EQ(lines[12]["stage"], "registered");
    expectLine(lines[13], "error", "", "given", "codex_missing");
    EXPECT_EQ(lines[13]["code"], "INSTALL_FAILED");
    expectLine(lines[14], "malformed", "after-end", "stage", "validated");
    expectLine(lines[15], "error", "", "given", nullptr);
    expectLine(lines[16], "malformed", "too-long");
    EXPECT_EQ(result.json["result"], (Json{{"success", false}, {"code", "INSTALL_FAILED"}, {"exitCode", 3}}));
    EXPECT_EQ(result.json["screen"], "error");
}

TEST_F(PayloadCheck, ExplainsTheCompletionRulesAndShowsThePrerequisiteScreen)
{
    script("emit '{\"event\":\"progress\",\"stage\":\"validated\"}'\n"
           "emit '{\"event\":\"complete\",\"version\":\"1.0.0\"}'\n"
           "emit '{\"event\":\"progress\",\"stage\":\"registered\"}'\n"
           "emit '{\"event\":\"progress\",\"stage\":\"checking\"}'\n"
           "emit '{\"event\":\"progress\",\"stage\":\"checking\"}'\n"
           "emit '{\"event\":\"complete\",\"version\":\"0.9\"}'\n"
           "emit '{\"event\":\"complete\",\"version\":\"1.0.0\"}'\n"
           "emit '{\"event\":\"error\",\"code\":\"CODEX_MISSING\"}'\n");
    const Check result = check({payload.native(), "--json"});
    EXPECT_EQ(result.status, 1);
    const Json& lines = result.json["lines"];
    ASSERT_EQ(lines.size(), 8u) << result.output;
    expectLine(lines[0], "stage", "validated");
    expectLine(lines[1], "malformed", "complete-too-early");
    expectLine(lines[4], "malformed", "extra-stage", "stage", "checking");
    expectLine(lines[5], "complete", "", "version", "0.9");
    expectLine(lines[6], "malformed", "complete-again");
    expectLine(lines[7], "error", "", "code", "CODEX_MISSING");
    EXPECT_FALSE(lines[7].contains("given"));
    EXPECT_EQ(result.json["completedVersion"], "0.9");
    EXPECT_EQ(result.json["expectedVersion"], "1.0.0");
    EXPECT_EQ(result.json["screen"], "prerequisite");
}

TEST_F(PayloadCheck, ShowsStandardErrorApartAndPrintsOnlyValidUtf8)
{
    script("printf 'plain note\\nbad \\377 byte, \\342\\200\\256reversed, bell \\007\\n'\n" + perfectLines +
           "printf '{\"event\":\"x\",\"note\":\"\\377\\033[31m%0300d\"}\\n' 0 >&3\n"
           "emit '{\"event\":\"x\",,\"y\":1}'\n");
    const Check result = check({payload.native()});
    EXPECT_EQ(result.status, 1);
    EXPECT_NO_THROW((void)Json(result.output).dump()) << "the report is valid UTF-8";
    const std::size_t errorAt = result.output.find("standard error");
    ASSERT_NE(errorAt, std::string::npos) << result.output;
    EXPECT_NE(result.output.find("  | plain note\n", errorAt), std::string::npos) << result.output;
    EXPECT_NE(result.output.find("bad \\xFF byte, \\u{202E}reversed, bell \\x07", errorAt),
              std::string::npos);
    EXPECT_NE(result.output.find("\\xFF\\x1B[31m000"), std::string::npos) << result.output;
    EXPECT_NE(result.output.find("more bytes)"), std::string::npos) << "a long line is cut with a marker";
    // Bad UTF-8 is named before the raw control character that follows it.
    EXPECT_NE(result.output.find("malformed: invalid-utf8\n"), std::string::npos) << result.output;
    EXPECT_NE(result.output.find("malformed: invalid-json (at byte 14)\n"), std::string::npos) << result.output;
}

// The payload writes where its variables point, into a file the test names.
TEST_F(PayloadCheck, GivesEveryRunATemporaryHomeAndRemovesIt)
{
    const std::filesystem::path seen = root / "seen";
    script(
        "for name in HOME TMPDIR XDG_DATA_HOME XDG_CONFIG_HOME XDG_CACHE_HOME XDG_STATE_HOME; do\n"
        "  eval \"value=\\$$name\"; [ -d \"$value\" ] && printf '%s\\n' \"$value\" >> \"$ZUNO_TEST_SEEN\"\n"
        "done\n" +
        perfectLines);
    const Check result = check({payload.native(), "--json"}, {"ZUNO_TEST_SEEN=" + seen.native()});
    EXPECT_EQ(result.status, 0) << result.output;
    std::istringstream lines(read(seen));
    std::vector<std::string> folders;
    for (std::string line; std::getline(lines, line);)
        folders.push_back(line);
    ASSERT_EQ(folders.size(), 6u) << read(seen);
    const std::string home = folders.front();
    EXPECT_NE(home, std::getenv("HOME"));
    for (const std::string& folder : folders) {
        EXPECT_EQ(folder.rfind(home, 0), 0u) << folder << " is not inside " << home;
        EXPECT_FALSE(std::filesystem::exists(folder)) << folder << " is left behind";
    }
}

std::vector<pid_t> pidsIn(const std::filesystem::path& file)
{
    std::vector<pid_t> pids;
    std::istringstream lines(CheckerFixture::read(file));
    for (std::string line; std::getline(lines, line);)
        pids.push_back(std::stoi(line));
    return pids;
}

// Started by the script: a sleep in its group; on Linux also one in a
// session of its own and one whose parent has exited (a daemon's double fork).
const std::string leftBehind =
    "sleep 300 </dev/null >/dev/null 2>&1 3>&- & echo $! >> \"$ZUNO_TEST_PIDS\"\n"
    "if command -v setsid >/dev/null; then\n"
    "  setsid sleep 300 </dev/null >/dev/null 2>&1 3>&- & echo $! >> \"$ZUNO_TEST_PIDS\"\n"
    "  ( setsid sleep 300 </dev/null >/dev/null 2>&1 3>&- & echo $! >> \"$ZUNO_TEST_PIDS\" )\n"
    "fi\n";

TEST_F(PayloadCheck, EndsAHungScriptAndEverythingItStartedAtTheTimeLimit)
{
    const std::filesystem::path pids = root / "pids";
    script("emit '{\"event\":\"progress\",\"stage\":\"validated\"}'\n" + leftBehind + "wait\n");
    const Check result =
        check({payload.native(), "--json", "--timeout", "1"}, {"ZUNO_TEST_PIDS=" + pids.native()});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.json["timedOut"], true);
    EXPECT_EQ(result.json["screen"], "progress");
    EXPECT_EQ(result.json["stages"], Json::array({"validated"}));
    for (const pid_t sleeper : pidsIn(pids))
        EXPECT_TRUE(ended(sleeper)) << "a process the script started still runs: " << sleeper;
}

// What a run leaves running ends with it, also what left its process group,
// which only Linux lets the checker find (it adopts the orphans).
TEST_F(PayloadCheck, EndsWhatTheScriptLeftRunningWhenItSucceeded)
{
#ifndef __linux__
    GTEST_SKIP() << "only Linux lets the checker adopt what leaves the script's process group";
#endif
    const std::filesystem::path pids = root / "pids";
    script(leftBehind + perfectLines);
    const Check result = check({payload.native()}, {"ZUNO_TEST_PIDS=" + pids.native()});
    EXPECT_EQ(result.status, 0) << result.output;
    ASSERT_EQ(pidsIn(pids).size(), 3u) << "setsid is missing";
    for (const pid_t sleeper : pidsIn(pids))
        EXPECT_TRUE(ended(sleeper)) << "a process the script started still runs: " << sleeper;
}

// A signal from the payload's own processes is the payload's fault: the
// check goes on and says so. One from anyone else stops it without a report.
TEST_F(PayloadCheck, TellsASignalFromThePayloadFromTheUsersStop)
{
    script("emit '{\"event\":\"progress\",\"stage\":\"validated\"}'\nkill -TERM $PPID\n"
           "if command -v setsid >/dev/null; then setsid -w sh -c \"kill -HUP $PPID\"; fi\n" +
           perfectLines.substr(perfectLines.find('\n') + 1));
    const Check signalled = check({payload.native()});
    EXPECT_EQ(signalled.status, 1) << signalled.error;
    EXPECT_NE(signalled.output.find("verdict           FAIL: a process of the run sent the installer SIG"),
              std::string::npos)
        << signalled.output;
    EXPECT_NE(signalled.output.find("result            success, code OK"), std::string::npos);

    const std::filesystem::path started = root / "started";
    script("touch \"$ZUNO_TEST_STARTED\"\nsleep 30\n");
    std::vector<std::string> environment{"ZUNO_TEST_STARTED=" + started.native()};
    for (char** entry = environ; *entry != nullptr; ++entry)
        environment.emplace_back(*entry);
    const std::string checker = std::filesystem::absolute(std::getenv("ZUNO_PAYLOAD_CHECK")).native();
    ChildProcess child;
    ASSERT_TRUE(child.start(checker, {checker, payload.native()}, root.native(), environment,
                            {.captureError = true, .inputFromNull = true}));
    for (int wait = 0; wait < 500 && !std::filesystem::exists(started); ++wait)
        ::usleep(10000);
    ASSERT_TRUE(std::filesystem::exists(started));
    ASSERT_EQ(::kill(child.id(), SIGINT), 0);
    std::string output;
    std::string error;
    char out[4096];
    char err[4096];
    while (child.outputOpen() || child.errorOpen()) {
        const ChildRead got = child.readWithin(std::chrono::milliseconds(1000), out, err);
        if (got.kind == ChildRead::Kind::bytes)
            (got.stream == ChildStream::output ? output : error)
                .append(got.stream == ChildStream::output ? out : err, got.count);
    }
    EXPECT_EQ(child.wait(), 130);
    EXPECT_EQ(output, "") << "no report after the user's stop";
    EXPECT_EQ(error, "zuno-payload-check: stopped\n");
}

TEST_F(PayloadCheck, SaysWhenAProcessTheScriptLeftHoldsItsOutput)
{
    script(perfectLines + "sleep 30 &\nexit 0\n");
    const auto start = std::chrono::steady_clock::now();
    const Check text = check({payload.native()});
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20)) << "not waited out";
    EXPECT_EQ(text.status, 1);
    EXPECT_NE(text.output.find("the installer would wait for this process"), std::string::npos)
        << text.output;
#ifdef __linux__
    EXPECT_NE(text.output.find(": sleep 30"), std::string::npos) << text.output;
#endif
    // The way out the protocol page gives: the job closes the event descriptor.
    script(perfectLines + "sleep 30 3>&- &\nexit 0\n");
    const Check closed = check({payload.native()});
    EXPECT_EQ(closed.status, 0) << closed.output;
}

TEST_F(PayloadCheck, FailsARunThatChangesItsOwnFolder)
{
    script("echo cache > ./state.txt\n" + perfectLines);
    const Check result = check({payload.native(), "--json"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.json["result"]["success"], true) << "the installer itself would succeed";
    EXPECT_EQ(result.json["passed"], false);
    EXPECT_EQ(result.json["payloadChanges"], Json::array({"added state.txt"}));
    // It wrote into a copy: the author's folder is untouched, so it fails again.
    EXPECT_FALSE(std::filesystem::exists(payload / "state.txt"));
    EXPECT_EQ(check({payload.native(), "--json"}).json["payloadChanges"], Json::array({"added state.txt"}));
}

// Six descriptors: the three standard streams and the output pipe, but not
// the pipe for standard error (and room for UBSan's own pipe before that).
// The script cannot be started, and the report says why in the system's
// words. TMPDIR inside the test's folder: with so few descriptors the checker
// cannot empty its own.
TEST_F(PayloadCheck, SaysWhyTheScriptCouldNotBeStarted)
{
    script(perfectLines);
    const std::vector<std::string> inside{"TMPDIR=" + root.native()};
    const std::string why = std::generic_category().message(EMFILE);
    const Check json = check({payload.native(), "--json"}, inside, "ulimit -n 6");
    EXPECT_EQ(json.status, 1) << json.error;
    EXPECT_EQ(json.json["started"], false) << json.output;
    EXPECT_EQ(json.json["result"], (Json{{"success", false}, {"code", "START_FAILED"}, {"exitCode", -1}}));
    EXPECT_EQ(json.json["startError"], why);
    const Check text = check({payload.native()}, inside, "ulimit -n 6");
    EXPECT_NE(text.output.find("the script could not be started (START_FAILED): " + why + "\n"), std::string::npos)
        << text.output;
}

// No file may grow: the temporary home's folders are made, the stand-in
// tool's script cannot be written. Neither an empty tool that "works" nor a
// missing home may be reported.
TEST_F(PayloadCheck, SaysWhenItCannotWriteItsStandInTool)
{
    script(perfectLines);
    const Check result = check({payload.native()}, {}, "trap '' XFSZ\nulimit -f 0");
    EXPECT_EQ(result.status, 1) << result.output;
    EXPECT_NE(result.output.find("not run: cannot make the stand-in Codex tool in the temporary home "),
              std::string::npos)
        << result.output;
}

// A thread's stack (as large as the stack limit) cannot fit in the address
// space allowed, so the concurrent scenario cannot start its second run: an
// internal error, after which the scratch folder must be gone all the same.
TEST_F(PayloadCheck, RemovesItsScratchFolderWhenAnInternalErrorStopsIt)
{
#if !defined(__linux__) || defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "needs Linux's thread stacks and an address space limit, which sanitizers cannot run under";
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
    GTEST_SKIP() << "a sanitizer cannot run under an address space limit";
#endif
#endif
    script(perfectLines);
    const std::filesystem::path scratch = root / "scratch";
    std::filesystem::create_directory(scratch);
    const Check result = check({payload.native(), "--scenarios"}, {"TMPDIR=" + scratch.native()},
                               "ulimit -s 1048576\nulimit -v 524288");
    EXPECT_EQ(result.status, 3);
    EXPECT_EQ(result.error.rfind("zuno-payload-check: stopped by an internal error", 0), 0u) << result.error;
    EXPECT_TRUE(std::filesystem::is_empty(scratch)) << "the scratch folder is left behind";
}

// The sample payload's rule: the first line, 1 to 256 printable ASCII characters.
TEST_F(PayloadCheck, TakesTheVersionFromTheFirstLineOfVersionOrTheCommandLine)
{
    script(perfectLines);
    EXPECT_EQ(check({payload.native()}).status, 0);
    write(payload / "VERSION", "1.0.0");
    EXPECT_EQ(check({payload.native()}).status, 0) << "no line feed is needed";
    write(payload / "VERSION", "1.0.0\n\n");
    const Check extraLine = check({payload.native(), "--json"});
    EXPECT_EQ(extraLine.status, 0);
    EXPECT_EQ(extraLine.json["expectedVersion"], "1.0.0");
    EXPECT_EQ(extraLine.error, "zuno-payload-check: note: " + (payload / "VERSION").native() +
                                   " holds a blank line after its first line; the version is that first line, "
                                   "\"1.0.0\"\n");
    for (const auto& [content, why] : std::vector<std::pair<std::string, std::string>>{
             {"1.0.0\r\n", "VERSION ends its first line with a carriage return (\\r, a Windows line ending)"},
             {"\n1.0.0\n", "VERSION has an empty first line"},
             {"", "VERSION has an empty first line"},
             {"1.0.0 \xC3\xA9\n", "VERSION holds \\xC3 at byte 7 of its first line"},
             {std::string(257, '1'), "VERSION has a first line of 257 characters, more than 256"}}) {
        write(payload / "VERSION", content);
        const Check refused = check({payload.native()});
        EXPECT_EQ(refused.status, 2) << content;
        EXPECT_NE(refused.error.find(why), std::string::npos) << refused.error;
        EXPECT_NE(refused.error.find("(or give --expect VERSION)\n"), std::string::npos) << refused.error;
        EXPECT_EQ(refused.output, "");
    }
    std::filesystem::remove(payload / "VERSION");
    std::filesystem::create_directory(payload / "VERSION");
    EXPECT_NE(check({payload.native()}).error.find("VERSION is not a regular file"), std::string::npos);
    EXPECT_EQ(check({"--expect=1.0.0", payload.native()}).status, 0);
    EXPECT_EQ(check({payload.native(), "--expect", "1.0"}).status, 1);
}

// The first line of the bundle's VERSION: the project version.
std::string projectVersion()
{
    const char* bundle = std::getenv("ZUNO_TEST_BUNDLE");
    std::string version = CheckerFixture::read(std::string(bundle != nullptr ? bundle : "") +
                                               "/Contents/Resources/payload/VERSION");
    return version.substr(0, version.find('\n'));
}

TEST_F(PayloadCheck, SaysItsVersionAndItsScenariosAndRefusesAnUnknownOne)
{
    const Check version = check({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.output, "zuno-payload-check " + projectVersion() + "\n");

    const Check list = check({"--list-scenarios"});
    EXPECT_EQ(list.status, 0);
    EXPECT_EQ(list.output.rfind("installs\n", 0), 0u) << list.output;
    std::string names;
    std::istringstream lines(list.output);
    for (std::string name; std::getline(lines, name);)
        names += (names.empty() ? "" : ", ") + name;
    EXPECT_NE(names.find(", interrupted"), std::string::npos) << names;

    const Check unknown = check({payload.native(), "--scenario", "installs", "--scenario", "instals"});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_EQ(unknown.error, "zuno-payload-check: unknown scenario 'instals'; the scenarios are " + names + "\n");
}

TEST_F(PayloadCheck, PrintsTheFormatAskedForOrGithubsUnderGithubActions)
{
    script("emit 'installing...'\n" + perfectLines);
    const std::vector<std::string> actions{"GITHUB_ACTIONS=true"};
    const Check github = check({payload.native()}, actions);
    EXPECT_EQ(github.status, 1);
    EXPECT_EQ(github.output.rfind("::group::zuno-payload-check " + payload.native() + ": FAILED\n::stop-commands::", 0),
              0u)
        << github.output;
    EXPECT_NE(github.output.find("\n::error title=zuno-payload-check%3A line 1 of installs::malformed: "
                                 "invalid-json (at byte 1): installing...\n"),
              std::string::npos)
        << github.output;
    EXPECT_EQ(check({payload.native(), "--format", "text"}, actions).output.rfind("zuno-payload-check: ", 0), 0u);
    EXPECT_EQ(check({payload.native(), "--format=json"}, actions).output.rfind("{", 0), 0u);
    EXPECT_EQ(check({payload.native()}, {"GITHUB_ACTIONS=1"}).output.rfind("zuno-payload-check: ", 0), 0u);
    const Check both = check({payload.native(), "--json", "--format", "json"});
    EXPECT_EQ(both.status, 1) << "the same format twice is no conflict: " << both.error;
}

TEST_F(PayloadCheck, WritesAJunitReportBesideTheOtherAndSaysWhenItCannot)
{
    script(perfectLines + "exit 4\n");
    const std::filesystem::path junit = root / "report.xml";
    const Check result = check({payload.native(), "--junit", junit.native()});
    EXPECT_EQ(result.status, 1) << result.error;
    EXPECT_EQ(result.output.rfind("zuno-payload-check: ", 0), 0u) << "the report on standard output stays";
    const std::string xml = read(junit);
    EXPECT_NE(xml.find("<testcase name=\"installs\" classname=\"zuno-payload-check\""), std::string::npos) << xml;
    EXPECT_NE(xml.find("<failure message=\"expected success, got CHECK_FAILED \xC2\xB7 exit 4\""),
              std::string::npos)
        << xml;

    const Check nowhere = check({payload.native(), "--junit", (root / "no" / "report.xml").native()});
    EXPECT_EQ(nowhere.status, 3);
    EXPECT_EQ(nowhere.error.rfind("zuno-payload-check: cannot write the JUnit report to " + root.native() +
                                      "/no/report.xml: ",
                                  0),
              0u)
        << nowhere.error;
}

// Not a verdict on the payload: a status of its own.
TEST_F(PayloadCheck, ExitsWithThreeWhenItCannotMakeItsTemporaryFolder)
{
    script(perfectLines);
    const Check result = check({payload.native()}, {"TMPDIR=" + (root / "missing").native()});
    EXPECT_EQ(result.status, 3);
    EXPECT_EQ(result.error, "zuno-payload-check: cannot make a temporary folder\n");
}

TEST_F(PayloadCheck, RefusesWhatItCannotUseWithOneLineAndStatusTwo)
{
    std::filesystem::remove(payload / "VERSION");
    for (const std::vector<std::string>& arguments :
         std::vector<std::vector<std::string>>{{},
                                               {payload.native()},
                                               {(root / "nowhere").native(), "--expect", "1"},
                                               {payload.native(), "--expect", "1", "--verbose"},
                                               {payload.native(), "--expect", "1", "--timeout", "0"},
                                               {payload.native(), "--expect", "1", "--format", "xml"},
                                               {payload.native(), "--expect", "1", "--json", "--format=text"},
                                               {payload.native(), "--expect"},
                                               {payload.native(), payload.native(), "--expect", "1"}}) {
        const Check result = check(arguments);
        EXPECT_EQ(result.status, 2) << result.error;
        EXPECT_EQ(result.output, "");
        EXPECT_EQ(std::count(result.error.begin(), result.error.end(), '\n'), 1) << result.error;
        EXPECT_EQ(result.error.rfind("zuno-payload-check: ", 0), 0u) << result.error;
    }
    const Check help = check({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.output.find("What is isolated is the environment, nothing more"), std::string::npos)
        << help.output;
    EXPECT_NE(help.output.find("getent passwd"), std::string::npos) << help.output;
}

} // namespace
} // namespace ZunoInstaller::Testing

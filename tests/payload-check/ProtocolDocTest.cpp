// docs/payload-protocol.md against what it describes: its table of reasons
// is the checker's own, and its time-limit snippet for POSIX sh works.
#include "ProgramRun.h"
#include "payload-check/Reason.h"

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <vector>

namespace ZunoInstaller::PayloadCheck {
namespace {

std::string protocolDoc()
{
    const char* source = std::getenv("ZUNO_SOURCE_DIR");
    EXPECT_NE(source, nullptr);
    std::ifstream in(std::string(source != nullptr ? source : ".") + "/docs/payload-protocol.md");
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The lines that follow the first line starting with `marker`, up to a blank line.
std::vector<std::string> blockAfter(const std::string& doc, const std::string& marker)
{
    std::istringstream in(doc);
    std::vector<std::string> block;
    bool inside = false;
    for (std::string line; std::getline(in, line);) {
        if (!inside) {
            inside = line.rfind(marker, 0) == 0;
            continue;
        }
        if (line.empty())
            break;
        block.push_back(line);
    }
    return block;
}

// The fenced code block that follows the first line starting with `marker`.
std::string codeAfter(const std::string& doc, const std::string& marker)
{
    const std::size_t at = doc.find("\n" + marker);
    const std::size_t open = at == std::string::npos ? at : doc.find("\n```sh\n", at + 1);
    const std::size_t close = open == std::string::npos ? open : doc.find("\n```\n", open + 1);
    if (close == std::string::npos)
        return {};
    return doc.substr(open + 7, close + 1 - (open + 7));
}

TEST(ProtocolDoc, ListsEveryReasonWithTheCheckersOwnMeaning)
{
    std::string expected = "| Identifier | Meaning |\n|---|---|\n";
    for (const ReasonInfo& info : reasonTable())
        expected += "| `" + std::string(info.id) + "` | " + std::string(info.meaning) + " |\n";
    std::string documented;
    for (const std::string& line : blockAfter(protocolDoc(), "<!-- reason table:"))
        documented += line + "\n";
    EXPECT_EQ(documented, expected) << "docs/payload-protocol.md's reason table should read:\n" << expected;
}

// `script` under /bin/sh with its events' descriptor, 3, on the pipe read
// here: whatever keeps it open keeps this read waiting.
std::pair<Testing::ProgramRun, double> runShell(const std::string& script)
{
    const auto start = std::chrono::steady_clock::now();
    Testing::ProgramRun run = Testing::runProgram({"/bin/sh", "-c", "exec 3>&1 1>&2\n" + script}, ".");
    return {run, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count()};
}

// The snippet as the page gives it, with `fail` and ZUNO_CODEX_BIN as a
// payload would have them, then the cases.
TEST(ProtocolDoc, TimeLimitSnippetEndsAHungCommandAndKeepsEveryOtherStatus)
{
    const std::string snippet = codeAfter(protocolDoc(), "<!-- tested: time-limit");
    ASSERT_NE(snippet.find("with_time_limit 30 \"$ZUNO_CODEX_BIN\" --version"), std::string::npos)
        << "no tested time-limit snippet in docs/payload-protocol.md: " << snippet;
    const auto [run, seconds] = runShell("fail() { echo \"failed $1\" >&3; exit 1; }\n"
                                  "ZUNO_CODEX_BIN=true\n" +
                                  snippet +
                                  "echo answered >&3\n"
                                  "with_time_limit 1 sleep 30; echo \"hung $?\" >&3\n"
                                  "kill -0 \"$command_pid\" 2>/dev/null && echo 'still running' >&3\n"
                                  "with_time_limit 5 sh -c 'exit 3'; echo \"broken $?\" >&3\n"
                                  "ZUNO_CODEX_BIN=/nowhere/codex\n" +
                                  snippet);
    EXPECT_EQ(run.output, "answered\nhung 137\nbroken 3\nfailed RUNTIME_UNAVAILABLE\n") << run.error;
    EXPECT_EQ(run.status, 1);
    // A bound far from any real timing: the 30 s sleep and the watchdogs are
    // gone, not waited out.
    EXPECT_LT(seconds, 20.0) << "something the snippet started kept the event descriptor open";
}

} // namespace
} // namespace ZunoInstaller::PayloadCheck

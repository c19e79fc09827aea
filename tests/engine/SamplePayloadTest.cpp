// The sample payload as the bundle carries it, run through runInstaller with a
// stand-in Codex tool, into a temporary home.
#include "engine/InstallerRunner.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace ZunoInstaller {
namespace {

namespace fs = std::filesystem;

const std::vector<InstallStage> allStages{InstallStage::validated, InstallStage::registered,
                                          InstallStage::checking};

std::string readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void writeFile(const fs::path& path, const std::string& content)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
}

// Runs a shell command line and returns its standard output.
std::string capture(const std::string& command)
{
    std::string out;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        std::size_t n = 0;
        while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
            out.append(buffer, n);
        }
        ::pclose(pipe);
    }
    return out;
}

struct PayloadRun {
    InstallResult result;
    std::vector<InstallStage> stages;
};

class SamplePayloadTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char* bundle = std::getenv("ZUNO_TEST_BUNDLE");
        const char* source = std::getenv("ZUNO_SOURCE_DIR");
        ASSERT_NE(bundle, nullptr);
        ASSERT_NE(source, nullptr);
        bundle_ = bundle;
        source_ = source;
        payload_ = bundle_ / "Contents/Resources/payload";
        ASSERT_TRUE(fs::is_regular_file(payload_ / "Install.command"));

        std::string pattern = (fs::temp_directory_path() / "zuno-payload-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        root_ = pattern;
        for (const char* name : {"HOME", "XDG_DATA_HOME", "ZUNO_CODEX_CHECK_SECONDS"}) {
            const char* value = std::getenv(name);
            saved_.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
        }
        ::setenv("HOME", (root_ / "home").c_str(), 1);
        ::setenv("XDG_DATA_HOME", (root_ / "data").c_str(), 1);
        ::unsetenv("ZUNO_CODEX_CHECK_SECONDS");
        fs::create_directories(root_ / "home");

        std::istringstream(readFile(payload_ / "VERSION")) >> version_;
    }

    void TearDown() override
    {
        for (const auto& [name, value] : saved_) {
            value ? ::setenv(name.c_str(), value->c_str(), 1) : ::unsetenv(name.c_str());
        }
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }

    // Where the payload installs for this platform's user.
    fs::path destinationParent() const
    {
#ifdef __APPLE__
        return root_ / "home/Library/Application Support/Vexa Zuno";
#else
        return root_ / "data/vexa-zuno";
#endif
    }
    fs::path destination() const
    {
        return destinationParent() / "zuno-starter";
    }

    fs::path makeTool(const std::string& variant = {}) const
    {
        const std::string command = "/bin/sh '" + (source_ / "tools/make-standin-codex.sh").string() + "' '" +
                                    (root_ / "home").string() + "' " + variant + " >/dev/null";
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
        return root_ / "home/Applications/Codex.app/Contents/Resources/codex-cli/bin/codex";
    }

    // A tool of the test's own making, for behaviour the stand-in does not cover.
    fs::path makeScriptTool(const std::string& body) const
    {
        const fs::path tool = root_ / "tools/codex";
        writeFile(tool, "#!/bin/sh\n" + body + "\n");
        fs::permissions(tool, fs::perms::owner_all | fs::perms::group_read | fs::perms::others_read);
        return tool;
    }

    fs::path copyPayload() const
    {
        const fs::path copy = root_ / "payload";
        fs::copy(payload_, copy, fs::copy_options::recursive);
        return copy;
    }

    PayloadRun install(const fs::path& package, const fs::path& tool, const std::string& expected) const
    {
        PayloadRun outcome;
        outcome.result = runInstaller(package, tool, expected,
                                      [&](InstallStage stage) { outcome.stages.push_back(stage); });
        return outcome;
    }
    PayloadRun install(const fs::path& tool) const
    {
        return install(payload_, tool, version_);
    }

    // The package's files as its manifest lists them, relative to the payload folder.
    std::vector<std::string> manifestPaths() const
    {
        std::vector<std::string> paths;
        std::istringstream manifest(readFile(payload_ / "SHA256SUMS"));
        for (std::string line; std::getline(manifest, line);) {
            if (line.size() > 66 && line[0] != '#') {
                paths.push_back(line.substr(66));
            }
        }
        return paths;
    }

    void expectInstalledCopy() const
    {
        std::size_t files = 0;
        for (const auto& entry : fs::recursive_directory_iterator(destination())) {
            files += entry.is_regular_file() ? 1 : 0;
        }
        const auto paths = manifestPaths();
        EXPECT_EQ(files, paths.size());
        for (const auto& path : paths) {
            const fs::path installed = destination() / fs::path(path).lexically_relative("zuno-starter");
            EXPECT_EQ(readFile(installed), readFile(payload_ / path)) << installed;
        }
    }

    // Installs an older copy that differs from the package in one file and has one more.
    void installOlderCopy() const
    {
        writeFile(destination() / "manifest.json", "{\"name\":\"zuno-starter\",\"version\":\"0.9.0\"}\n");
        writeFile(destination() / "stale.txt", "left over from 0.9.0\n");
    }

    // Anything in the destination's folder besides the copy itself: staging folders, older copies.
    std::vector<std::string> leftovers() const
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(destinationParent())) {
            if (entry.path().filename() != "zuno-starter") {
                names.push_back(entry.path().filename().string());
            }
        }
        return names;
    }

    fs::path bundle_, source_, payload_, root_;
    std::string version_;
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST_F(SamplePayloadTest, InstallsThePackageReportingTheStagesInOrder)
{
    ASSERT_GE(manifestPaths().size(), 3u);
    const PayloadRun outcome = install(makeTool());
    EXPECT_EQ(outcome.result, (InstallResult{true, "OK", 0}));
    EXPECT_EQ(outcome.stages, allStages);
    expectInstalledCopy();
    EXPECT_TRUE(leftovers().empty());
}

TEST_F(SamplePayloadTest, ReplacesAnOlderCopyWhole)
{
    installOlderCopy();
    const PayloadRun outcome = install(makeTool());
    EXPECT_EQ(outcome.result, (InstallResult{true, "OK", 0}));
    EXPECT_FALSE(fs::exists(destination() / "stale.txt"));
    expectInstalledCopy();
    EXPECT_TRUE(leftovers().empty());
}

TEST_F(SamplePayloadTest, AbsentOrNonExecutableToolIsCodexMissing)
{
    for (const fs::path& tool :
         {root_ / "home/Applications/Codex.app/nothing-here", makeTool("--not-executable")}) {
        const PayloadRun outcome = install(tool);
        EXPECT_FALSE(outcome.result.success) << tool;
        EXPECT_EQ(outcome.result.code, "CODEX_MISSING") << tool;
        EXPECT_NE(outcome.result.exitCode, 0) << tool;
        // "checking" is reported as the check begins, before it fails.
        EXPECT_EQ(outcome.stages, allStages) << tool;
    }
    // A failed run takes its copy out again: nothing is left installed.
    EXPECT_FALSE(fs::exists(destination()));
    EXPECT_TRUE(leftovers().empty());
}

TEST_F(SamplePayloadTest, FailedCheckKeepsTheOlderCopy)
{
    installOlderCopy();
    const std::string before = readFile(destination() / "manifest.json");
    EXPECT_EQ(install(root_ / "no-such-tool").result.code, "CODEX_MISSING");
    EXPECT_EQ(readFile(destination() / "manifest.json"), before);
    EXPECT_TRUE(fs::exists(destination() / "stale.txt"));
    EXPECT_TRUE(leftovers().empty());
}

TEST_F(SamplePayloadTest, ToolThatFailsToRunIsRuntimeUnavailable)
{
    const PayloadRun broken = install(makeTool("--broken"));
    EXPECT_FALSE(broken.result.success);
    EXPECT_EQ(broken.result.code, "RUNTIME_UNAVAILABLE");
    EXPECT_EQ(broken.stages, allStages);
    EXPECT_FALSE(fs::exists(destination()));

    // A tool that never answers is stopped by the payload's watchdog; left alone,
    // this one would exit 0 after a minute and the run would succeed.
    ::setenv("ZUNO_CODEX_CHECK_SECONDS", "1", 1);
    EXPECT_EQ(install(makeScriptTool("exec sleep 60")).result.code, "RUNTIME_UNAVAILABLE");
}

TEST_F(SamplePayloadTest, ToolChildDoesNotHoldTheRunOpen)
{
    // A tool that leaves a child behind: the payload must not hand it the event
    // pipe, or the run would last as long as the child.
    const fs::path pidFile = root_ / "child.pid";
    const auto start = std::chrono::steady_clock::now();
    const PayloadRun outcome =
        install(makeScriptTool("sleep 60 &\necho $! > '" + pidFile.string() + "'\necho codex-cli 1.0"));
    EXPECT_EQ(outcome.result, (InstallResult{true, "OK", 0}));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
    if (const int child = std::atoi(readFile(pidFile).c_str()); child > 0) {
        ::kill(child, SIGKILL);
    }
}

TEST_F(SamplePayloadTest, DamagedPackageFailsTheCheckBeforeInstalling)
{
    const fs::path copy = copyPayload();
    const fs::path tool = makeTool();
    const std::string readme = readFile(copy / "zuno-starter/README.md");

    writeFile(copy / "zuno-starter/README.md", readme + "tampered\n");
    PayloadRun outcome = install(copy, tool, version_);
    EXPECT_EQ(outcome.result.code, "CHECK_FAILED");
    EXPECT_NE(outcome.result.exitCode, 0);
    EXPECT_TRUE(outcome.stages.empty());

    writeFile(copy / "zuno-starter/README.md", readme);
    fs::remove(copy / "zuno-starter/manifest.json");
    EXPECT_EQ(install(copy, tool, version_).result.code, "CHECK_FAILED");

    // A manifest entry pointing outside the package is refused even when its digest is right.
    writeFile(root_ / "outside.txt", "outside\n");
    const std::string digest =
        capture("sha256sum '" + (root_ / "outside.txt").string() + "' 2>/dev/null || shasum -a 256 '" +
                (root_ / "outside.txt").string() + "'")
            .substr(0, 64);
    writeFile(copy / "SHA256SUMS", digest + "  zuno-starter/../../outside.txt\n");
    EXPECT_EQ(install(copy, tool, version_).result.code, "CHECK_FAILED");
    EXPECT_FALSE(fs::exists(destination()));
}

TEST_F(SamplePayloadTest, UnwritableDestinationIsInstallFailed)
{
    // A file where the product's folder belongs stops even root.
    writeFile(destinationParent(), "not a folder\n");
    const PayloadRun outcome = install(makeTool());
    EXPECT_FALSE(outcome.result.success);
    EXPECT_EQ(outcome.result.code, "INSTALL_FAILED");
    EXPECT_EQ(outcome.stages, std::vector<InstallStage>{InstallStage::validated});
    EXPECT_EQ(readFile(destinationParent()), "not a folder\n");
}

TEST_F(SamplePayloadTest, CompletesWithTheBundleVersion)
{
    const std::string plist = readFile(bundle_ / "Contents/Info.plist");
    const auto key = plist.find("<key>CFBundleShortVersionString</key>");
    ASSERT_NE(key, std::string::npos);
    const auto open = plist.find("<string>", key) + 8;
    EXPECT_EQ(version_, plist.substr(open, plist.find("</string>", open) - open));
    EXPECT_FALSE(version_.empty());

    // Quotes and backslashes are escaped into a valid event; control characters are refused.
    const fs::path copy = copyPayload();
    const fs::path tool = makeTool();
    writeFile(copy / "VERSION", "2.0 \"beta\\1\"\n");
    EXPECT_EQ(install(copy, tool, "2.0 \"beta\\1\"").result, (InstallResult{true, "OK", 0}));
    writeFile(copy / "VERSION", "2.0\tbeta\n");
    EXPECT_EQ(install(copy, tool, "2.0\tbeta").result.code, "CHECK_FAILED");
}

TEST_F(SamplePayloadTest, RunsUnderStrictPosixShells)
{
    const fs::path tool = makeTool();
    const std::string expected = "{\"event\":\"progress\",\"stage\":\"validated\"}\n"
                                 "{\"event\":\"progress\",\"stage\":\"registered\"}\n"
                                 "{\"event\":\"progress\",\"stage\":\"checking\"}\n"
                                 "{\"event\":\"complete\",\"version\":\"" +
                                 version_ + "\"}\n";
    int shells = 0;
    for (const std::string shell : {"dash", "bash --posix"}) {
        const std::string program = shell.substr(0, shell.find(' '));
        if (std::system(("command -v " + program + " >/dev/null 2>&1").c_str()) != 0) {
            continue;
        }
        ++shells;
        const std::string prefix = "cd '" + payload_.string() + "' && ZUNO_CODEX_BIN='" + tool.string() +
                                   "' " + shell + " ./Install.command";
        EXPECT_EQ(capture(prefix + " --headless 2>/dev/null"), expected) << shell;
        // Started by hand or with other arguments: one error event and nothing else.
        const std::string refused = "{\"event\":\"error\",\"code\":\"INSTALL_FAILED\"}\n";
        EXPECT_EQ(capture(prefix + " 2>/dev/null"), refused) << shell;
        EXPECT_EQ(capture(prefix + " --headless --verbose 2>/dev/null"), refused) << shell;
    }
    if (shells == 0) {
        GTEST_SKIP() << "neither dash nor bash is installed";
    }
}

TEST_F(SamplePayloadTest, ManifestCoversEveryFileOfTheSourcePackage)
{
    // A file added to the package without a manifest line would never be installed.
    std::vector<std::string> onDisk;
    const fs::path sourcePayload = source_ / "resources/payload";
    for (const auto& entry : fs::recursive_directory_iterator(sourcePayload / "zuno-starter")) {
        if (entry.is_regular_file()) {
            onDisk.push_back(entry.path().lexically_relative(sourcePayload).string());
        }
    }
    auto listed = manifestPaths();
    std::sort(onDisk.begin(), onDisk.end());
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(onDisk, listed);
}

} // namespace
} // namespace ZunoInstaller

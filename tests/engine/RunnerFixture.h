#pragma once

#include "engine/InstallerRunner.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <initializer_list>
#include <iterator>
#include <ostream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <vector>

namespace ZunoInstaller {

inline void PrintTo(const InstallResult& result, std::ostream* out)
{
    *out << "{" << (result.success ? "true" : "false") << ", \"" << result.code << "\", " << result.exitCode
         << "}";
}

} // namespace ZunoInstaller

namespace ZunoInstaller::Testing {

inline const std::string validatedLine = R"({"event":"progress","stage":"validated"})";
inline const std::string registeredLine = R"({"event":"progress","stage":"registered"})";
inline const std::string checkingLine = R"({"event":"progress","stage":"checking"})";
inline const std::string completeLine = R"({"event":"complete","version":"1.0.0"})";
inline const std::string perfectOutput =
    validatedLine + "\n" + registeredLine + "\n" + checkingLine + "\n" + completeLine + "\n";
inline const std::vector<InstallStage> allStages{InstallStage::validated, InstallStage::registered,
                                                 InstallStage::checking};

// sh: wait up to 5 s for a file in the package folder; exit 9 if it never comes.
inline std::string waitForFile(const std::string& name)
{
    return "i=0; while [ ! -e '" + name + "' ]; do i=$((i+1)); [ $i -gt 500 ] && exit 9; sleep 0.01; done\n";
}

// A package folder in a fresh temporary folder, and a stand-in Codex tool.
class RunnerFixture : public ::testing::Test {
protected:
    struct Run {
        InstallResult result;
        std::vector<InstallStage> stages;
    };

    void SetUp() override
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "zuno-runner-XXXXXX").native();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        root = pattern;
        package = root / "package folder";
        std::filesystem::create_directories(package);
        codex = root / "Codex tools ğ" / "codex";
        std::filesystem::create_directories(codex.parent_path());
        writeFile(codex, "#!/bin/sh\necho codex\n");
        std::filesystem::permissions(codex, std::filesystem::perms(0755));
    }

    void TearDown() override
    {
        std::error_code ignored;
        std::filesystem::remove_all(root, ignored);
    }

    static void writeFile(const std::filesystem::path& path, const std::string& content)
    {
        std::ofstream out(path, std::ios::binary);
        out << content;
        ASSERT_TRUE(out.good()) << path;
    }

    static std::string readFile(const std::filesystem::path& path)
    {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    void writeScript(const std::string& body) { writeFile(package / "Install.command", body); }

    // Writes `content` to a file in the package folder; returns the sh line
    // that copies it to standard output with one write (one chunk for the reader).
    std::string chunk(const std::string& name, const std::string& content)
    {
        writeFile(package / name, content);
        return "cat '" + name + "'\n";
    }

    // Runs the package; `onStage` is called after each stage is recorded.
    Run run(const std::function<void(InstallStage)>& onStage = {}, const std::filesystem::path& where = {})
    {
        Run outcome{{false, "", 0}, {}};
        outcome.result =
            runInstaller(where.empty() ? package : where, codex, "1.0.0", [&](InstallStage stage) {
                outcome.stages.push_back(stage);
                if (onStage)
                    onStage(stage);
            });
        return outcome;
    }

    // A progress handler that creates `file` in the package folder on `stage`:
    // the script waits for it, so the next output is a chunk of its own.
    std::function<void(InstallStage)> touchOn(InstallStage stage, const std::string& file)
    {
        return [this, stage, file](InstallStage reached) {
            if (reached == stage)
                writeFile(package / file, "");
        };
    }

    static void expectNoChildLeft()
    {
        errno = 0;
        EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
        EXPECT_EQ(errno, ECHILD);
    }

    std::filesystem::path root;
    std::filesystem::path package;
    std::filesystem::path codex;
};

} // namespace ZunoInstaller::Testing

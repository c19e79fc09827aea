#pragma once

#include "ProgramRun.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace ZunoInstaller::Testing {

// Runs the built zuno-payload-check on tiny payloads written into a fresh
// temporary folder, as an author would from a shell.
class CheckerFixture : public ::testing::Test {
protected:
    struct Check {
        std::int32_t status;
        std::string output;
        std::string error;
        nlohmann::json json; // when --json was asked for and the output parses
    };

    void SetUp() override
    {
        const char* checker = std::getenv("ZUNO_PAYLOAD_CHECK");
        ASSERT_NE(checker, nullptr);
        checker_ = std::filesystem::absolute(checker).native();
        std::string pattern = (std::filesystem::temp_directory_path() / "zuno-check-test-XXXXXX").native();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        root = pattern;
        payload = root / "payload";
        std::filesystem::create_directories(payload);
        write(payload / "VERSION", "1.0.0\n");
    }

    void TearDown() override
    {
        std::error_code ignored;
        std::filesystem::remove_all(root, ignored);
    }

    static void write(const std::filesystem::path& path, const std::string& content)
    {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
    }

public:
    static std::string read(const std::filesystem::path& path)
    {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

protected:
    // An Install.command that starts with the usual event descriptor.
    void script(const std::string& body)
    {
        write(payload / "Install.command", "exec 3>&1 1>&2\nemit() { printf '%s\\n' \"$1\" >&3; }\n" + body);
    }

    // `extra` lands in the checker's own environment (and so in the payload's),
    // in the place of entries of the same names.
    // `first`, when given, is shell code (limits, traps) run by a shell that
    // then becomes the checker.
    Check check(std::vector<std::string> arguments, const std::vector<std::string>& extra = {},
                const std::string& first = {}) const
    {
        arguments.insert(arguments.begin(), checker_);
        if (!first.empty())
            arguments.insert(arguments.begin(), {"/bin/sh", "-c", first + "\nexec \"$0\" \"$@\""});
        // Under GitHub Actions the checker would choose its github report.
        std::vector<std::string> environment{"GITHUB_ACTIONS=false"};
        environment.insert(environment.end(), extra.begin(), extra.end());
        const ProgramRun run = runProgram(arguments, root.native(), environment);
        Check result{run.status, run.output, run.error, {}};
        if (std::find(arguments.begin(), arguments.end(), "--json") != arguments.end())
            result.json = nlohmann::json::parse(result.output, nullptr, false);
        return result;
    }

    static const nlohmann::json& scenario(const Check& result, const std::string& name)
    {
        static const nlohmann::json none;
        for (const nlohmann::json& entry : result.json["scenarios"])
            if (entry["name"] == name)
                return entry;
        return none;
    }

    std::filesystem::path root;
    std::filesystem::path payload;

private:
    std::string checker_;
};

inline const std::string perfectLines = "emit '{\"event\":\"progress\",\"stage\":\"validated\"}'\n"
                                        "emit '{\"event\":\"progress\",\"stage\":\"registered\"}'\n"
                                        "emit '{\"event\":\"progress\",\"stage\":\"checking\"}'\n"
                                        "emit '{\"event\":\"complete\",\"version\":\"1.0.0\"}'\n";

} // namespace ZunoInstaller::Testing

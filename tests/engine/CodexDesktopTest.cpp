#include "engine/CodexDesktop.h"

#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <optional>
#include <pwd.h>
#include <string>
#include <unistd.h>

namespace ZunoInstaller {
namespace {

namespace fs = std::filesystem;

// The system folder is a temporary stand-in passed as `applications`, so the
// tests never look at the real "/Applications".
class CodexDesktop : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "zuno-desktop-XXXXXX").native();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        root = pattern;
        applications = root / "System Applications";
        home = root / "home";
        fs::create_directories(applications);
        fs::create_directories(home / "Applications");
    }

    void TearDown() override
    {
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }

    static fs::path toolIn(const fs::path& folder, const std::string& bundle)
    {
        return folder / bundle / "Contents/Resources/codex-cli/bin/codex";
    }

    static fs::path makeTool(const fs::path& folder, const std::string& bundle,
                             fs::perms mode = fs::perms(0755))
    {
        const fs::path tool = toolIn(folder, bundle);
        fs::create_directories(tool.parent_path());
        std::ofstream(tool) << "#!/bin/sh\n";
        fs::permissions(tool, mode);
        return tool;
    }

    std::optional<fs::path> find() const { return findCodexDesktop(home, applications); }

    fs::path root;
    fs::path applications;
    fs::path home;
};

TEST_F(CodexDesktop, TriesFoldersFirstThenBundleNames)
{
    const fs::path userApplications = home / "Applications";
    const std::vector<fs::path> order{
        makeTool(applications, "Codex.app"), makeTool(applications, "ChatGPT.app"),
        makeTool(userApplications, "Codex.app"), makeTool(userApplications, "ChatGPT.app")};
    // Take away each winner in turn: the next candidate in the order wins (so
    // "ChatGPT.app" in the system folder wins over "Codex.app" in the home one).
    for (const fs::path& expected : order) {
        EXPECT_EQ(find(), expected);
        fs::remove(expected);
    }
    EXPECT_EQ(find(), std::nullopt);
}

TEST_F(CodexDesktop, PassesOverWhatIsNoExecutableFile)
{
    // No execute bit at all: even root may not execute it (root passes
    // access(X_OK) for a file with any execute bit, so 0644 is the case).
    makeTool(applications, "Codex.app", fs::perms(0644));
    // A directory where the tool should be.
    fs::create_directories(toolIn(applications, "ChatGPT.app"));
    // A bundle without the codex-cli folder.
    fs::create_directories(home / "Applications/Codex.app/Contents/Resources");
    // A link to nowhere.
    fs::create_directories(toolIn(home / "Applications", "ChatGPT.app").parent_path());
    fs::create_symlink(root / "missing", toolIn(home / "Applications", "ChatGPT.app"));
    EXPECT_EQ(find(), std::nullopt);

    // A link to an executable file counts; the path found is the link's.
    const fs::path target = makeTool(root / "elsewhere", "Real.app");
    fs::remove(toolIn(home / "Applications", "ChatGPT.app"));
    fs::create_symlink(target, toolIn(home / "Applications", "ChatGPT.app"));
    EXPECT_EQ(find(), toolIn(home / "Applications", "ChatGPT.app"));

    fs::permissions(toolIn(applications, "Codex.app"), fs::perms(0700));
    EXPECT_EQ(find(), toolIn(applications, "Codex.app"));
}

TEST_F(CodexDesktop, WithoutAHomeOnlyTheSystemFolderIsSearched)
{
    // An empty home must not turn into the working directory's "Applications".
    makeTool(root / "Applications", "Codex.app");
    const fs::path before = fs::current_path();
    fs::current_path(root);
    const std::optional<fs::path> found = findCodexDesktop({}, applications);
    fs::current_path(before);
    EXPECT_EQ(found, std::nullopt);

    const fs::path tool = makeTool(applications, "ChatGPT.app");
    EXPECT_EQ(findCodexDesktop({}, applications), tool);
}

TEST(CurrentUserHome, UsesHomeWhenAbsoluteElseTheUserDatabase)
{
    const passwd* user = ::getpwuid(::getuid());
    ASSERT_NE(user, nullptr);
    const fs::path databaseHome = user->pw_dir;

    const char* saved = std::getenv("HOME");
    const std::optional<std::string> savedHome = saved ? std::optional<std::string>(saved) : std::nullopt;

    ::setenv("HOME", "/some/where else", 1);
    EXPECT_EQ(currentUserHome(), fs::path("/some/where else"));
    ::setenv("HOME", "relative/home", 1);
    EXPECT_EQ(currentUserHome(), databaseHome);
    ::setenv("HOME", "", 1);
    EXPECT_EQ(currentUserHome(), databaseHome);
    ::unsetenv("HOME");
    EXPECT_EQ(currentUserHome(), databaseHome);

    if (savedHome)
        ::setenv("HOME", savedHome->c_str(), 1);
}

} // namespace
} // namespace ZunoInstaller

#include "engine/ScriptEnvironment.h"

#include <gtest/gtest.h>

namespace ZunoInstaller {
namespace {

using Entries = std::vector<std::string>;

TEST(ScriptEnvironment, DropsEveryCopyOfTheReplacedNamesAndKeepsTheRestInOrder)
{
    const char* inherited[] = {"PATH=/usr/bin",
                               "ZUNO_CODEX_BIN=/old",
                               "PYTHONDONTWRITEBYTECODE=",
                               "ZUNO_CODEX_BINARY=similar name",
                               "ZUNO_CODEX_BI=shorter name",
                               "ZUNO_CODEX_BIN=/older",
                               "PYTHONDONTWRITEBYTECODE",
                               "NO_VALUE",
                               "X=a=b",
                               nullptr};
    EXPECT_EQ(
        scriptEnvironment(inherited, "/Apps/Codex tool/codex"),
        (Entries{"PATH=/usr/bin", "ZUNO_CODEX_BINARY=similar name", "ZUNO_CODEX_BI=shorter name", "NO_VALUE",
                 "X=a=b", "ZUNO_CODEX_BIN=/Apps/Codex tool/codex", "PYTHONDONTWRITEBYTECODE=1"}));
}

TEST(ScriptEnvironment, PassesTheToolPathUncheckedEvenEmpty)
{
    const char* inherited[] = {nullptr};
    EXPECT_EQ(scriptEnvironment(inherited, ""), (Entries{"ZUNO_CODEX_BIN=", "PYTHONDONTWRITEBYTECODE=1"}));
    EXPECT_EQ(scriptEnvironment(nullptr, "relative/codex"),
              (Entries{"ZUNO_CODEX_BIN=relative/codex", "PYTHONDONTWRITEBYTECODE=1"}));
}

} // namespace
} // namespace ZunoInstaller

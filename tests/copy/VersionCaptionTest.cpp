#include "copy/VersionCaption.h"

#include <gtest/gtest.h>

using namespace ZunoInstaller;

namespace {

QString u(const char* utf8) { return QString::fromUtf8(utf8); }

TEST(VersionCaption, OnePlaceholderTakesTheVersion)
{
    EXPECT_EQ(formatVersionCaption(u("Version %@"), u("1.4.0")), u("Version 1.4.0"));
    EXPECT_EQ(formatVersionCaption(u("Sürüm %1$@"), u("1.4.0")), u("Sürüm 1.4.0"));
    EXPECT_EQ(formatVersionCaption(u("%@ · 100%%"), u("—")), u("— · 100%"));
    // The version is inserted as it stands, never read as a format.
    EXPECT_EQ(formatVersionCaption(u("v%@"), u("%@ %s %n")), u("v%@ %s %n"));
}

TEST(VersionCaption, AnythingElseShowsAsText)
{
    for (const char* format : {"Version", "100%% done", "%@ %@", "%1$@ %@", "%s %n", "%@ %d", "%2$@",
                               "%@ %", "%", "%%@", "%1$s", "%-@", ""})
        EXPECT_EQ(formatVersionCaption(u(format), u("1.4.0")), u(format)) << format;
}

} // namespace

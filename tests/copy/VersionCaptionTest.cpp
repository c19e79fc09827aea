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

TEST(VersionCaption, ALongVersionShowsItsStartAndAnEllipsis)
{
    const QString fits(captionVersionLength, u'7');
    EXPECT_EQ(formatVersionCaption(u("Version %@"), fits), u("Version ") + fits);
    EXPECT_EQ(formatVersionCaption(u("Version %@"), fits + u'8'), u("Version ") + fits + QChar(0x2026));
    // Info.plist may hold megabytes: the caption keeps to the start.
    const QString huge = u("2.0.0-") + QString(4 * 1024 * 1024, u'x');
    EXPECT_EQ(formatVersionCaption(u("%1$@ \u00B7 100%%"), huge),
              huge.left(captionVersionLength) + QChar(0x2026) + u(" \u00B7 100%"));
    // Never between the halves of a surrogate pair or a letter and its accent.
    const QString before(captionVersionLength - 1, u'a');
    EXPECT_EQ(formatVersionCaption(u("%@"), before + u("\U0001F600") + u("tail")), before + QChar(0x2026));
    EXPECT_EQ(formatVersionCaption(u("%@"), before + u("e\u0301") + u("tail")), before + QChar(0x2026));
}

} // namespace

#include "platform/DarkAppearance.h"

#include <gtest/gtest.h>

using namespace ZunoInstaller;

// Only cocoa windows are AppKit's; on a Mac every Qt test runs under offscreen,
// whose winId() must never be taken for an NSView.
TEST(DarkAppearance, NativeHandlesAreTakenOnTheCocoaPlatformOnly)
{
    EXPECT_TRUE(hasAppKitWindows(u"cocoa"));
    EXPECT_TRUE(hasAppKitWindows(u"Cocoa"));
    for (const char16_t* other : {u"offscreen", u"minimal", u"xcb", u"wayland", u"", u"cocoa2"})
        EXPECT_FALSE(hasAppKitWindows(other)) << QStringView(other).toString().toStdString();
}

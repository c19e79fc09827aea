#pragma once

#include <QPalette>
#include <QStringView>

class QWindow;

namespace ZunoInstaller {

// Gives the application and the window the platform's dark appearance
// whatever the system setting. On macOS that is the application's appearance
// (DarkAqua), which Qt's style draws the standard controls from (the progress
// bar), and the NSWindow's own, for its frame. Elsewhere the window manager
// owns the frame and this does nothing; so it does on a Mac under any Qt
// platform but cocoa (offscreen, minimal), whose windows are not AppKit's.
// The window must already have a native handle.
void applyDarkAppearance(QWindow& window);

// Whether windows of the named Qt platform are AppKit windows, whose winId()
// is their NSView: on "cocoa" only. Under "offscreen" winId() is a counter.
bool hasAppKitWindows(QStringView platformName);

// A palette that lets the standard controls (progress bar, disclosure arrow,
// selection) sit well on the dark window surface on every platform.
QPalette darkPalette();

} // namespace ZunoInstaller

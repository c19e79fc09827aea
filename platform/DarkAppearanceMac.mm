#include "platform/DarkAppearance.h"

#include <QGuiApplication>
#include <QWindow>

#import <AppKit/AppKit.h>

namespace ZunoInstaller {

void applyDarkAppearance(QWindow& window)
{
    if (!hasAppKitWindows(QGuiApplication::platformName()))
        return;
    NSAppearance* dark = [NSAppearance appearanceNamed:NSAppearanceNameDarkAqua];
    // Qt's style draws the standard controls from the application's
    // appearance, not the window's; Qt's theme follows the change at once.
    NSApp.appearance = dark;

    // Qt's native handle on macOS is the content NSView; the appearance belongs
    // to its NSWindow, so the frame and every control inherit it.
    NSView* view = reinterpret_cast<NSView*>(window.winId());
    NSWindow* nsWindow = view.window;
    if (nsWindow == nil) {
        view.appearance = dark;
        return;
    }
    nsWindow.appearance = dark;
}

} // namespace ZunoInstaller

#include "platform/DarkAppearance.h"

#include <QWindow>

#import <AppKit/AppKit.h>

namespace ZunoInstaller {

void applyDarkAppearance(QWindow& window)
{
    // Qt's native handle on macOS is the content NSView; the appearance belongs
    // to its NSWindow, so the frame and every control inherit it.
    NSView* view = reinterpret_cast<NSView*>(window.winId());
    NSWindow* nsWindow = view.window;
    if (nsWindow == nil) {
        view.appearance = [NSAppearance appearanceNamed:NSAppearanceNameDarkAqua];
        return;
    }
    nsWindow.appearance = [NSAppearance appearanceNamed:NSAppearanceNameDarkAqua];
}

} // namespace ZunoInstaller

#pragma once

#include <QPalette>

class QWindow;

namespace ZunoInstaller {

// Gives the window the platform's dark appearance whatever the system setting.
// On macOS that is the NSWindow's own appearance (DarkAqua), so the title bar
// and the standard controls are drawn dark; elsewhere the window manager owns
// the frame and this does nothing. The window must already have a native handle.
void applyDarkAppearance(QWindow& window);

// A palette that lets the standard controls (progress bar, disclosure arrow,
// selection) sit well on the dark window surface on every platform.
QPalette darkPalette();

} // namespace ZunoInstaller

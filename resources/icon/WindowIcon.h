#pragma once

#include <QIcon>

namespace ZunoInstaller {

// The application icon at the sizes a window manager asks for (16 to 128
// pixels), rendered from the same source as the bundle's ZunoInstaller.icns
// and compiled into the program, decoded when a window system first asks for
// it. On macOS the Dock and the Finder take the bundle's icon instead.
QIcon windowIcon();

} // namespace ZunoInstaller

#include "app/InstallerApp.h"

#include "app/InstallerDelegate.h"
#include "app/InstallerWindow.h"
#include "app/MenuBar.h"
#include "copy/InstallerCopy.h"
#include "platform/StartupTrace.h"
#include "resources/icon/WindowIcon.h"

#include <QApplication>

namespace ZunoInstaller {

int runInstallerApp(QApplication& application)
{
#ifndef Q_OS_MACOS
    // Every window gets it; on macOS the Dock shows the bundle's own icon.
    QApplication::setWindowIcon(windowIcon());
    markStartup("window icon");
#endif
    InstallerDelegate delegate; // builds the model and runs the prerequisite check
    delegate.attach(application);
    // The first text lookup fixes the interface language for the whole run.
    const InstallerCopy& copy = installerCopy();
    markStartup("string tables");
    MenuBar menu(copy);
    QObject::connect(&delegate, &InstallerDelegate::launched, &delegate,
                     [&menu](InstallerWindow* window) { menu.attach(*window); });
    application.exec();
    return 0;
}

} // namespace ZunoInstaller

#include "app/InstallerApp.h"

#include "app/InstallerDelegate.h"
#include "app/InstallerWindow.h"
#include "app/MenuBar.h"
#include "copy/InstallerCopy.h"

#include <QApplication>

namespace ZunoInstaller {

int runInstallerApp(QApplication& application)
{
    InstallerDelegate delegate; // builds the model and runs the prerequisite check
    delegate.attach(application);
    // The first text lookup fixes the interface language for the whole run.
    MenuBar menu(installerCopy());
    QObject::connect(&delegate, &InstallerDelegate::launched, &delegate,
                     [&menu](InstallerWindow* window) { menu.attach(*window); });
    application.exec();
    return 0;
}

} // namespace ZunoInstaller

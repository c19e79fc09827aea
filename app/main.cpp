#include "app/InstallerDelegate.h"
#include "app/InstallerWindow.h"
#include "app/MenuBar.h"
#include "copy/InstallerCopy.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    using namespace ZunoInstaller;

    // The installer reads no command line; argc/argv only feed Qt itself.
    QApplication application(argc, argv);
    InstallerDelegate delegate; // builds the model and runs the prerequisite check
    delegate.attach(application);
    // The first text lookup fixes the interface language for the whole run.
    MenuBar menu(installerCopy());
    QObject::connect(&delegate, &InstallerDelegate::launched, &delegate,
                     [&menu](InstallerWindow* window) { menu.attach(*window); });
    application.exec();
    return 0;
}

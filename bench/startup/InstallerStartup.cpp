// The installer's start-up exactly as main.cpp does it, with a probe that
// reports the first painted frame. Lives in a bench-only bundle that links the
// real Info.plist and Resources, so the model and the texts load as shipped.
#include "app/InstallerDelegate.h"
#include "app/InstallerWindow.h"
#include "app/MenuBar.h"
#include "bench/startup/FirstFrameProbe.h"
#include "copy/InstallerCopy.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    using namespace ZunoInstaller;

    QApplication application(argc, argv);
    installFirstFrameProbe(application);
    InstallerDelegate delegate;
    delegate.attach(application);
    MenuBar menu(installerCopy());
    QObject::connect(&delegate, &InstallerDelegate::launched, &delegate,
                     [&menu](InstallerWindow* window) { menu.attach(*window); });
    application.exec();
    return 0;
}

#include "app/InstallerApp.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    // The installer reads no command line; argc/argv only feed Qt itself.
    QApplication application(argc, argv);
    return ZunoInstaller::runInstallerApp(application);
}

#include "app/InstallerApp.h"
#include "engine/ChildProcess.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    // Before anything can start a child: a launcher's ignored SIGCHLD would
    // make every install run lose its script's exit status.
    ZunoInstaller::useDefaultChildSignal();
    // The installer reads no command line; argc/argv only feed Qt itself.
    QApplication application(argc, argv);
    return ZunoInstaller::runInstallerApp(application);
}

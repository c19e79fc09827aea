// The installer's start-up exactly as main.cpp runs it, with a probe that
// reports the first painted frame and the phases before it. Lives in a
// bench-only bundle that links the real Info.plist and Resources, so the model
// and the texts load as shipped.
#include "app/InstallerApp.h"
#include "bench/startup/FirstFrameProbe.h"
#include "platform/StartupTrace.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    ZunoInstaller::installFirstFrameProbe(application);
    ZunoInstaller::startupListener = &ZunoInstaller::markPhase;
    return ZunoInstaller::runInstallerApp(application);
}

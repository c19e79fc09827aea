// The baseline: a Qt Widgets window with one label, built with the same flags.
#include "bench/startup/FirstFrameProbe.h"

#include <QApplication>
#include <QLabel>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    ZunoInstaller::installFirstFrameProbe(application);
    QLabel label(QStringLiteral("Zuno Installer"));
    ZunoInstaller::markPhase("widget construction");
    label.show();
    application.exec();
    return 0;
}

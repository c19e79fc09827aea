// Renders each screen of the installer window to a PNG file through the real
// InstallerView, with the model frozen so that nothing moves on its own.
// Usage: zuno_screenshot_tool <ZunoInstaller.app> <output folder>
// English goes to the folder itself, Turkish to its "tr" subfolder.

#include "copy/InstallerCopy.h"
#include "platform/Bundle.h"
#include "state/InstallerModel.h"
#include "ui/DisclosureButton.h"
#include "ui/InstallerView.h"
#include "ui/ScreenContent.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPixmap>
#include <QTemporaryDir>
#include <QTextStream>

#include <filesystem>
#include <functional>

using namespace ZunoInstaller;

namespace {

struct Shot {
    const char* name;
    std::function<void(InstallerModel&, InstallerView&)> arrange;
};

QString summary(const QString& version, const QString& code, int exitCode)
{
    return QStringLiteral("Vexa Zuno ") + version + QStringLiteral(" \u00B7 ") + code + QStringLiteral(" \u00B7 ") +
           installerCopy().text(QStringLiteral("exit")) + u' ' + QString::number(exitCode);
}

void progress(InstallerModel& model, std::optional<InstallStage> stage)
{
    model.setScreen(InstallerScreen::progress);
    model.setStage(stage);
}

void failed(InstallerModel& model, const QString& code, int exitCode)
{
    model.setFailureCode(code);
    model.setDetail(summary(model.version(), code, exitCode));
    model.setCopied(false);
    model.setScreen(InstallerScreen::error);
}

void setDetailsOpen(InstallerView& view, bool open)
{
    if (view.detailsOpen() != open)
        view.content()->disclosure()->click(); // as the user would
}

bool render(const Bundle& bundle, const QString& language, const QDir& out)
{
    if (!QDir().mkpath(out.path())) {
        QTextStream(stderr) << "cannot create " << out.path() << '\n';
        return false;
    }
    replaceInstallerCopy(InstallerCopy({language}, bundle));

    // An empty home: the model finds no Codex desktop app and changes nothing
    // outside the temporary folder.
    QTemporaryDir home;
    InstallerModel model(bundle, home.path().toStdString());
    model.fixture = true;
    InstallerView view(&model);

    const std::vector<Shot> shots{
        {"ready", [](InstallerModel& m, InstallerView&) { m.setScreen(InstallerScreen::ready); }},
        {"prerequisite", [](InstallerModel& m, InstallerView&) { m.setScreen(InstallerScreen::prerequisite); }},
        {"progress", [](InstallerModel& m, InstallerView&) { progress(m, std::nullopt); }},
        {"progress-validated", [](InstallerModel& m, InstallerView&) { progress(m, InstallStage::validated); }},
        {"progress-registered", [](InstallerModel& m, InstallerView&) { progress(m, InstallStage::registered); }},
        {"progress-checking", [](InstallerModel& m, InstallerView&) { progress(m, InstallStage::checking); }},
        {"error",
         [](InstallerModel& m, InstallerView& v) {
             failed(m, QStringLiteral("INSTALL_FAILED"), 3);
             setDetailsOpen(v, false);
         }},
        {"error-details",
         [](InstallerModel& m, InstallerView& v) {
             failed(m, QStringLiteral("INSTALL_FAILED"), 3);
             setDetailsOpen(v, true);
         }},
        {"error-runtime",
         [](InstallerModel& m, InstallerView& v) {
             failed(m, QStringLiteral("RUNTIME_UNAVAILABLE"), 4);
             setDetailsOpen(v, false);
         }},
        {"complete", [](InstallerModel& m, InstallerView&) { m.setScreen(InstallerScreen::complete); }},
    };

    for (const Shot& shot : shots) {
        shot.arrange(model, view);
        const QString path = out.filePath(QString::fromLatin1(shot.name) + QStringLiteral(".png"));
        if (!view.grab().save(path, "PNG")) {
            QTextStream(stderr) << "cannot write " << path << '\n';
            return false;
        }
    }
    QTextStream(stdout) << shots.size() << " screens (" << language << ") in " << out.path() << '\n';
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc != 3) {
        QTextStream(stderr) << "usage: zuno_screenshot_tool <ZunoInstaller.app> <output folder>\n";
        return 2;
    }
    const Bundle bundle{std::filesystem::path(argv[1])};
    if (!bundle.pathForResource(QStringLiteral("en"), QStringLiteral("lproj"))) {
        QTextStream(stderr) << "no en.lproj in " << QFile::decodeName(bundle.resourcePath().c_str()) << '\n';
        return 1;
    }
    const QDir out(QString::fromLocal8Bit(argv[2]));
    const bool ok = render(bundle, QStringLiteral("en"), out) &&
                    render(bundle, QStringLiteral("tr"), QDir(out.filePath(QStringLiteral("tr"))));
    return ok ? 0 : 1;
}

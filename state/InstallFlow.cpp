#include "copy/InstallerCopy.h"
#include "engine/InstallerRunner.h"
#include "state/HandOver.h"
#include "state/InstallerModel.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QPointer>
#include <QThread>
#include <QThreadPool>

#include <limits>

namespace ZunoInstaller {

void InstallerModel::install()
{
    if (fixture || m_screen == InstallerScreen::progress || m_running)
        return;
    checkPrerequisite();
    if (!m_codex)
        return;
    setScreen(InstallerScreen::progress);
    setStage(std::nullopt);
    setCopied(false);
    m_running = true;

    // The run works on copies and never touches the model. It reports through
    // a relay object of its own that lives on this thread until the completion
    // has been delivered, so the run never posts to a destroyed object; the
    // reports reach the model only while it exists (a model deleted during a
    // run is simply not told). Posted events to one object arrive in order, so
    // every stage lands before the completion.
    QPointer<InstallerModel> model(this);
    auto* relay = new QObject;
    QThread* const modelThread = thread();
    auto run = [model, relay, modelThread, package = m_package, codex = *m_codex,
                version = m_version.toStdString()] {
        Q_ASSERT(QThread::currentThread() != modelThread); // the runner blocks for the whole run
        const auto post = [relay](auto apply) {
            handOver(relay);
            QMetaObject::invokeMethod(
                relay,
                [relay, apply = std::move(apply)] {
                    takeOver(relay);
                    apply();
                },
                Qt::QueuedConnection);
        };
        const InstallResult result = runInstaller(package, codex, version, [&](InstallStage stage) {
            post([model, stage] {
                if (model)
                    model->setStage(stage);
            });
        });
        post([model, relay, result] {
            if (model)
                model->complete(result);
            relay->deleteLater();
        });
    };

    runPool().start(std::move(run));
}

// Runs get a pool of their own rather than Qt's global one: a run holds its
// thread for as long as the script runs, and the global pool is capped (at the
// number of cores) and shared, so a run could queue behind other work, or
// other work behind a run. Reserving a global thread does not help: a reserved
// thread is still queued once the pool is at its cap. Threads are idle between
// runs and expire after a while; the pool's destructor waits for runs in flight.
QThreadPool& InstallerModel::runPool()
{
    static QThreadPool pool;
    static const bool configured = [] {
        pool.setMaxThreadCount(std::numeric_limits<int>::max());
        pool.setObjectName(QStringLiteral("ZunoInstaller install runs"));
        return true;
    }();
    (void)configured;
    return pool;
}

bool InstallerModel::waitForRuns(int msecs)
{
    return runPool().waitForDone(msecs);
}

void InstallerModel::complete(const InstallResult& result)
{
    m_running = false;
    const QString code = QString::fromStdString(result.code);
    setFailureCode(code);
    setDetail(summary(result));
    if (result.success)
        setScreen(InstallerScreen::complete);
    else if (code == QLatin1String("CODEX_MISSING"))
        setScreen(InstallerScreen::prerequisite);
    else
        setScreen(InstallerScreen::error);
}

QString InstallerModel::summary(const InstallResult& result) const
{
    const QString separator = QStringLiteral(" \u00B7 ");
    return QStringLiteral("Vexa Zuno ") + m_version + separator + QString::fromStdString(result.code) + separator +
           installerCopy().text(QStringLiteral("exit")) + QLatin1Char(' ') + QString::number(result.exitCode);
}

void InstallerModel::copyError()
{
    // Plain text alone, replacing whatever the clipboard held. Without a GUI
    // application there is no clipboard; the write is not examined either way.
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        auto* data = new QMimeData;
        data->setText(m_detail);
        QGuiApplication::clipboard()->setMimeData(data);
    }
    setCopied(true);
}

} // namespace ZunoInstaller

#include "state/InstallRun.h"

#include "engine/InstallerRunner.h"
#include "state/HandOver.h"

#include <QObject>
#include <QPointer>
#include <QThread>
#include <QThreadPool>

#include <limits>

namespace ZunoInstaller {

void InstallRun::start(QObject& receiver, Request request, std::function<void(InstallStage)> onStage,
                       std::function<void(const InstallResult&)> onEnd)
{
    // The run works on its copies and never touches the receiver. It reports
    // through a relay object of its own that lives on this thread until the
    // end has been delivered, so the run never posts to a destroyed object.
    // Posted events to one object arrive in order, so every stage lands
    // before the end.
    QPointer<QObject> target(&receiver);
    auto* relay = new QObject;
    QThread* const receiverThread = receiver.thread();
    auto run = [target, relay, receiverThread, request = std::move(request), onStage = std::move(onStage),
                onEnd = std::move(onEnd)] {
        Q_ASSERT(QThread::currentThread() != receiverThread); // the runner blocks for the whole run
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
        const InstallResult result =
            runInstaller(request.package, request.codex, request.version, [&](InstallStage stage) {
                post([target, onStage, stage] {
                    if (target)
                        onStage(stage);
                });
            });
        post([target, relay, onEnd, result] {
            if (target)
                onEnd(result);
            relay->deleteLater();
        });
    };
    pool().start(std::move(run));
}

// Runs get a pool of their own rather than Qt's global one: a run holds its
// thread for as long as the script runs, and the global pool is capped (at the
// number of cores) and shared, so a run could queue behind other work, or
// other work behind a run. Reserving a global thread does not help: a reserved
// thread is still queued once the pool is at its cap. Threads are idle between
// runs and expire after a while; the pool's destructor waits for runs in flight.
QThreadPool& InstallRun::pool()
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

bool InstallRun::waitForRuns(int msecs)
{
    return pool().waitForDone(msecs);
}

} // namespace ZunoInstaller

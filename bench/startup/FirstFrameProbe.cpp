#include "bench/startup/FirstFrameProbe.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <ctime>
#include <unistd.h>

namespace ZunoInstaller {

namespace {

[[noreturn]] void report()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    std::printf("%lld\n", static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec);
    std::fflush(stdout);
    // Tearing Qt down is not part of start-up.
    _exit(0);
}

class FirstFrameProbe : public QObject {
public:
    using QObject::QObject;

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (!m_seen && event->type() == QEvent::Paint && watched->isWidgetType()
            && static_cast<QWidget*>(watched)->isWindow()) {
            m_seen = true;
            // The whole window is painted and flushed within this one update.
            QTimer::singleShot(0, this, [] { report(); });
        }
        return false;
    }

private:
    bool m_seen = false;
};

} // namespace

void installFirstFrameProbe(QApplication& application)
{
    application.installEventFilter(new FirstFrameProbe(&application));
}

} // namespace ZunoInstaller

#include "bench/startup/FirstFrameProbe.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <iterator>
#include <unistd.h>

#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#else
#define CALLGRIND_DUMP_STATS_AT(name)
#endif

namespace ZunoInstaller {

namespace {

struct Mark {
    const char* phase;
    long long ns;
};

// Fixed storage: recording a phase must not itself allocate or print.
Mark marks[32];
int markCount = 0;

long long now()
{
    timespec time{};
    clock_gettime(CLOCK_MONOTONIC, &time);
    return static_cast<long long>(time.tv_sec) * 1000000000LL + time.tv_nsec;
}

[[noreturn]] void report()
{
    markPhase("first paint");
    for (int i = 0; i < markCount; ++i)
        std::printf("%s\t%lld\n", marks[i].phase, marks[i].ns);
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
            markPhase("first layout");
            // The whole window is painted and flushed within this one update.
            QTimer::singleShot(0, this, [] { report(); });
        }
        return false;
    }

private:
    bool m_seen = false;
};

} // namespace

void markPhase(const char* phase)
{
    const long long ns = now();
    for (int i = 0; i < markCount; ++i) {
        if (std::strcmp(marks[i].phase, phase) == 0)
            return;
    }
    if (markCount == static_cast<int>(std::size(marks)))
        return;
    marks[markCount++] = {phase, ns};
    CALLGRIND_DUMP_STATS_AT(phase);
}

void installFirstFrameProbe(QApplication& application)
{
    markPhase("Qt application");
    application.installEventFilter(new FirstFrameProbe(&application));
}

} // namespace ZunoInstaller

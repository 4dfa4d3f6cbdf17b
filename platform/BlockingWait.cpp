#include "BlockingWait.h"

#include <QEventLoop>
#include <QTimer>

namespace {

int g_depth = 0;   // user-interface thread only

struct Busy {
    Busy() { ++g_depth; }
    ~Busy() { --g_depth; }
    Busy(const Busy&) = delete;
    Busy& operator=(const Busy&) = delete;
};

} // namespace

void BlockingWait(int ms)
{
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    timer.start(ms < 0 ? 0 : ms);
    const Busy busy;
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

bool BlockingWaitBusy()
{
    return g_depth > 0;
}

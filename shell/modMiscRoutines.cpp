#include "shell/modMiscRoutines.h"

#include <QEventLoop>
#include <QTimer>

namespace litvorot {

void Pause(int seconds) {
    if (seconds <= 0) return;
    QEventLoop loop;
    QTimer::singleShot(std::chrono::seconds(seconds), Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

}  // namespace litvorot

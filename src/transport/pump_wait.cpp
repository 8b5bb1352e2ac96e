#include "transport/pump_wait.h"

#include <QCoreApplication>
#include <QThread>

namespace dravik::transport {

void PumpWait(int ms) {
    for (int step = 0; step < ms / 10; ++step) {
        QThread::msleep(10);
        QCoreApplication::processEvents();
    }
}

}  // namespace dravik::transport

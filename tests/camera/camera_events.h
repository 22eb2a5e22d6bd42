// Running the test's Qt events for a while, as the program's event loop would.
#pragma once

#include <chrono>
#include <functional>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

namespace velmora::test {

// Runs events until done() holds or limit has passed; returns done().
inline bool runEventsUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const QDeadlineTimer deadline(static_cast<qint64>(limit.count()));
    while (!done() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(2);
    }
    return done();
}

// Runs events for span.
inline void runEventsFor(std::chrono::milliseconds span) {
    runEventsUntil([] { return false; }, span);
}

}  // namespace velmora::test

#pragma once

#include <QEventLoop>
#include <QTimer>
#include <functional>

// Runs the event loop until `done` holds or `ms` have passed. Unlike QTRY_*,
// which sleep between bursts of events, it answers every event at once, so a
// transfer runs at its own pace.
inline bool waitUntil(const std::function<bool()>& done, int ms)
{
    if (done())
        return true;
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    poll.start(5);
    loop.exec();
    return done();
}

#define WAIT_VERIFY(expr, ms) QVERIFY2(waitUntil([&] { return bool(expr); }, ms), #expr)

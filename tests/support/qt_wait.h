// Waits for a condition while the event loop runs. (Qt Test's QTRY_ macros report to Qt
// Test's own log, which a GoogleTest run never reads; this one hands the outcome back.)
#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTest>
#include <functional>

namespace lexavo::test {

inline bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 5000) {
    QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired()) return false;
        QTest::qWait(10);
    }
    return true;
}

}  // namespace lexavo::test

// Bounded waiting that runs the event loop. Qt's own QTRY macros report to a
// QTest run, which these tests are not: a timeout there would go unnoticed.
#pragma once

#include <QDeadlineTimer>
#include <QTest>

namespace voxline::test {

template <typename Condition>
bool events_until(Condition done, int timeout_ms = 5000) {
    const QDeadlineTimer deadline(timeout_ms);
    while (!done()) {
        if (deadline.hasExpired()) return false;
        QTest::qWait(10);
    }
    return true;
}

}  // namespace voxline::test

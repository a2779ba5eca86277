// Answers the modal windows and menus that open from now on, one handler
// each, in order; anything still open at the deadline is closed.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <algorithm>
#include <deque>
#include <functional>
#include <vector>

namespace voxline::test {

// What becomes of windows that come when no handler is left: left alone
// (another answerer may want them) or closed and counted as a failure.
enum class unasked { leave, refuse };

class modal_answers {
  public:
    explicit modal_answers(std::deque<std::function<void(QWidget*)>> handlers,
                           unasked extra = unasked::leave)
        : m_handlers(std::move(handlers)), m_extra(extra), m_deadline(30000) {
        QObject::connect(&m_poll, &QTimer::timeout, [this] { poll(); });
        m_poll.start(10);
    }
    ~modal_answers() {
        EXPECT_EQ(m_handlers.size(), 0u) << "windows that never came";
        EXPECT_EQ(m_unexpected, 0) << "windows nobody expected";
    }

    std::vector<QString> titles, texts;

  private:
    void poll() {
        QWidget* top = QApplication::activePopupWidget();
        if (!top) top = QApplication::activeModalWidget();
        if (!top) return;
        const bool late = m_deadline.hasExpired();
        if (late && m_extra == unasked::leave) {
            top->close();
            return;
        }
        if (std::find(m_seen.begin(), m_seen.end(), top) != m_seen.end()) return;
        m_seen.emplace_back(top);
        if (late || m_handlers.empty()) {
            if (m_extra == unasked::refuse) {
                ++m_unexpected;
                top->close();
            }
            return;
        }
        titles.push_back(top->windowTitle());
        texts.push_back(top->property("text").toString());
        auto handler = std::move(m_handlers.front());
        m_handlers.pop_front();
        handler(top);
    }

    std::deque<std::function<void(QWidget*)>> m_handlers;
    unasked m_extra;
    QDeadlineTimer m_deadline;
    QTimer m_poll;
    std::vector<QPointer<QWidget>> m_seen;
    int m_unexpected = 0;
};

inline void press_ok(QWidget* window) {
    if (auto* box = qobject_cast<QMessageBox*>(window)) box->accept();
}

}  // namespace voxline::test

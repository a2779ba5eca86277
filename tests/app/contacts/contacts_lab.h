// The lab's directory server on loopback for the contacts windows, and a way
// to answer the modal windows they open.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTimer>
#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace voxline::test {

inline constexpr const char* CONTACTS_LAB_ADDRESS = "127.0.93.1";

class contacts_lab {
  public:
    contacts_lab() {
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(
            PYTHON_EXECUTABLE,
            {LAB_FOLDER "/dialdeck-lab", "--address", CONTACTS_LAB_ADDRESS, "--port", "0",
             "--control-port", "0", "--nat-port", "0", "--proxy-port", "0", "--directory-port", "0",
             "--https-port", "0", "--http-port", "0", "--quiet"});
        const QDeadlineTimer deadline(30000);
        QByteArray line;
        while (!line.endsWith('\n') && !deadline.hasExpired() &&
               m_process.state() != QProcess::NotRunning) {
            m_process.waitForReadyRead(100);
            line += m_process.readLine();
        }
        directory_port = port_of(line, "directory");
        m_control_port = port_of(line, "control");
    }
    ~contacts_lab() {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    bool ready() const { return directory_port && m_control_port; }

    // The account record of the subscriber with this number, key and group,
    // pointing at the lab.
    std::string record(const std::string& number, const std::string& key) const {
        return "a,b," + number + ",c,d,e,f," + key + ",lab,g,h," + CONTACTS_LAB_ADDRESS + "," +
               std::to_string(directory_port);
    }

    QJsonObject command(const QByteArray& text) {
        QTcpSocket socket;
        socket.connectToHost(CONTACTS_LAB_ADDRESS, m_control_port);
        if (!socket.waitForConnected(5000)) return {};
        socket.write(text + "\n");
        QByteArray answer;
        const QDeadlineTimer deadline(10000);
        while (!answer.endsWith('\n') && !deadline.hasExpired() && socket.waitForReadyRead(1000))
            answer += socket.readAll();
        return QJsonDocument::fromJson(answer).object();
    }

    // The texts of the directory requests with this code, oldest first.
    std::vector<std::string> requests(int code) {
        std::vector<std::string> texts;
        for (const auto& r : command("directory-requests").value("requests").toArray()) {
            const QJsonObject o = r.toObject();
            if (o.value("code").toInt() == code)
                texts.push_back(o.value("text").toString().toStdString());
        }
        return texts;
    }

    quint16 directory_port = 0;

  private:
    static quint16 port_of(const QByteArray& line, const QString& name) {
        const auto match =
            QRegularExpression(" " + name + "=[0-9.]+:([0-9]+)").match(QString::fromLatin1(line));
        return match.hasMatch() ? match.captured(1).toUShort() : 0;
    }

    QProcess m_process;
    quint16 m_control_port = 0;
};

// Answers the modal windows and menus that open from now on, one handler
// each, in order; anything still open at the deadline is closed.
class modal_answers {
  public:
    explicit modal_answers(std::deque<std::function<void(QWidget*)>> handlers)
        : m_handlers(std::move(handlers)), m_deadline(30000) {
        QObject::connect(&m_poll, &QTimer::timeout, [this] { poll(); });
        m_poll.start(10);
    }
    ~modal_answers() { EXPECT_EQ(m_handlers.size(), 0u) << "windows that never came"; }

    std::vector<QString> titles;
    std::vector<QString> texts;

  private:
    void poll() {
        QWidget* top = QApplication::activePopupWidget();
        if (!top) top = QApplication::activeModalWidget();
        if (m_deadline.hasExpired()) {
            if (top) top->close();
            return;
        }
        if (!top || m_handlers.empty()) return;
        for (const QPointer<QWidget>& seen : m_seen) {
            if (seen == top) return;
        }
        m_seen.emplace_back(top);
        titles.push_back(top->windowTitle());
        texts.push_back(top->property("text").toString());
        auto handler = std::move(m_handlers.front());
        m_handlers.pop_front();
        handler(top);
    }

    std::deque<std::function<void(QWidget*)>> m_handlers;
    QDeadlineTimer m_deadline;
    QTimer m_poll;
    std::vector<QPointer<QWidget>> m_seen;
};

}  // namespace voxline::test

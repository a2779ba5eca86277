// A lab on loopback for the login tests, an application folder that uses it,
// and answers for modal windows.
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
#include <optional>
#include <string>

#include "app_settings.h"
#include "settings_test_support.h"

namespace voxline::test {

inline constexpr const char* LAB_ADDRESS = "127.0.98.1";

// The lab with free ports; variant picks the HTTPS certificate it shows.
class lab_process {
  public:
    explicit lab_process(const std::string& tls_dir, const char* variant = "good") {
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(PYTHON_EXECUTABLE, {LAB_FOLDER "/dialdeck-lab",
                                            "--address",
                                            LAB_ADDRESS,
                                            "--port",
                                            "0",
                                            "--control-port",
                                            "0",
                                            "--nat-port",
                                            "0",
                                            "--proxy-port",
                                            "0",
                                            "--directory-port",
                                            "0",
                                            "--https-port",
                                            "0",
                                            "--http-port",
                                            "0",
                                            "--tls-dir",
                                            QString::fromStdString(tls_dir),
                                            "--tls-variant",
                                            variant,
                                            "--quiet"});
        const QDeadlineTimer deadline(30000);
        QByteArray line;
        while (!line.endsWith('\n') && !deadline.hasExpired() &&
               m_process.state() != QProcess::NotRunning) {
            m_process.waitForReadyRead(100);
            line += m_process.readLine();
        }
        const QString ready = QString::fromLatin1(line);
        directory_port = port_of(ready, "directory");
        https_port = port_of(ready, "https");
        m_control_port = port_of(ready, "control");
    }
    ~lab_process() {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    bool ready() const { return directory_port && https_port && m_control_port; }

    // One control command; its JSON answer, or an empty object.
    QJsonObject command(const QByteArray& text) {
        QTcpSocket socket;
        socket.connectToHost(LAB_ADDRESS, m_control_port);
        if (!socket.waitForConnected(5000)) return {};
        socket.write(text + "\n");
        QByteArray answer;
        const QDeadlineTimer deadline(10000);
        while (!answer.endsWith('\n') && !deadline.hasExpired() && socket.waitForReadyRead(1000))
            answer += socket.readAll();
        return QJsonDocument::fromJson(answer).object();
    }
    qsizetype requests(const char* which) {
        return command(which).value("requests").toArray().size();
    }

    quint16 directory_port = 0;
    quint16 https_port = 0;

  private:
    static quint16 port_of(const QString& line, const QString& name) {
        const auto match = QRegularExpression(" " + name + "=[0-9.]+:([0-9]+)").match(line);
        return match.hasMatch() ? match.captured(1).toUShort() : 0;
    }

    QProcess m_process;
    quint16 m_control_port = 0;
};

// An application folder for the lab, as the lab writes it, pointed at its ports.
inline std::optional<dialdeck::app_settings> lab_settings(const temp_folder& folder,
                                                          const std::string& tls_dir,
                                                          const lab_process* lab) {
    QProcess writer;
    writer.start(PYTHON_EXECUTABLE, {LAB_FOLDER "/dialdeck-lab", "--address", LAB_ADDRESS,
                                     "--tls-dir", QString::fromStdString(tls_dir),
                                     "--write-app-folder", QString::fromStdString(folder.path())});
    if (!writer.waitForFinished(30000) || writer.exitCode() != 0) return std::nullopt;
    auto settings = dialdeck::app_settings::load(folder.path());
    if (settings && lab) {
        const std::string address = LAB_ADDRESS;
        settings->write("Dialdeck", "LDAP",
                        "1," + address + "," + std::to_string(lab->directory_port));
        settings->write("Dialdeck", "PINHost", address + ":" + std::to_string(lab->https_port));
    }
    return settings;
}

// Answers the modal windows that open from now on, one handler each, in
// order; whatever is still open at the deadline is rejected.
class modal_answers {
  public:
    explicit modal_answers(std::deque<std::function<void(QWidget*)>> handlers,
                           int deadline_ms = 30000)
        : m_handlers(std::move(handlers)), m_deadline(deadline_ms) {
        QObject::connect(&m_poll, &QTimer::timeout, [this] { poll(); });
        m_poll.start(10);
    }
    ~modal_answers() {
        EXPECT_EQ(m_handlers.size(), 0u) << "modal windows that never came";
        EXPECT_EQ(m_unexpected, 0) << "modal windows nobody expected";
    }

    std::vector<QString> titles;

  private:
    void poll() {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || modal == m_last) return;
        if (m_deadline.hasExpired() || m_handlers.empty()) {
            ++m_unexpected;
            m_last = modal;
            modal->close();
            return;
        }
        m_last = modal;
        titles.push_back(modal->windowTitle());
        auto handler = std::move(m_handlers.front());
        m_handlers.pop_front();
        handler(modal);
    }

    std::deque<std::function<void(QWidget*)>> m_handlers;
    QDeadlineTimer m_deadline;
    QTimer m_poll;
    QPointer<QWidget> m_last;
    int m_unexpected = 0;
};

}  // namespace voxline::test

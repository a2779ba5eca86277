// The operator lab as a child process on a loopback block of the caller's
// choosing, with free ports, and its one-shot writers.
#pragma once

#include <QDeadlineTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStringList>
#include <QTcpSocket>
#include <optional>
#include <string>
#include <vector>

#include "app_settings.h"
#include "settings_test_support.h"

namespace voxline::test {

// Runs the lab once; its output, or nothing when it failed.
inline std::optional<QByteArray> run_lab(const QStringList& arguments) {
    QProcess lab;
    lab.setProcessChannelMode(QProcess::MergedChannels);
    lab.start(PYTHON_EXECUTABLE, QStringList{LAB_FOLDER "/dialdeck-lab"} + arguments);
    if (!lab.waitForFinished(30000) || lab.exitStatus() != QProcess::NormalExit ||
        lab.exitCode() != 0)
        return std::nullopt;
    return lab.readAll();
}

// A running lab; with a TLS folder it also serves HTTPS.
class lab_process {
  public:
    explicit lab_process(const char* address, const std::string& tls_dir = {})
        : m_address(address), m_tls(!tls_dir.empty()) {
        QStringList arguments{LAB_FOLDER "/dialdeck-lab", "--address", address, "--quiet"};
        for (const char* port : {"--port", "--control-port", "--nat-port", "--proxy-port",
                                 "--directory-port", "--https-port", "--http-port"})
            arguments << port << "0";
        if (m_tls) arguments << "--tls-dir" << QString::fromStdString(tls_dir);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(PYTHON_EXECUTABLE, arguments);
        const QDeadlineTimer deadline(30000);
        QByteArray line;
        while (!line.endsWith('\n') && !deadline.hasExpired() &&
               m_process.state() != QProcess::NotRunning) {
            m_process.waitForReadyRead(100);
            line += m_process.readLine();
        }
        const auto port_of = [&line](const char* name) -> quint16 {  // 0 when missing
            const QRegularExpression pattern(QString(" ") + name + "=[0-9.]+:([0-9]+)");
            return pattern.match(QString::fromLatin1(line)).captured(1).toUShort();
        };
        directory_port = port_of("directory");
        https_port = port_of("https");
        m_control_port = port_of("control");
    }
    ~lab_process() {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    bool ready() const { return directory_port && m_control_port && (https_port || !m_tls); }

    // One control command; its JSON answer, or an empty object.
    QJsonObject command(const QByteArray& text) const {
        QTcpSocket socket;
        socket.connectToHost(m_address, m_control_port);
        if (!socket.waitForConnected(5000)) return {};
        socket.write(text + "\n");
        QByteArray answer;
        const QDeadlineTimer deadline(10000);
        while (!answer.endsWith('\n') && !deadline.hasExpired() && socket.waitForReadyRead(1000))
            answer += socket.readAll();
        return QJsonDocument::fromJson(answer).object();
    }
    // The texts of the directory requests with this code (any: -1), oldest first.
    std::vector<std::string> requests(int code = -1) const {
        std::vector<std::string> texts;
        for (const auto& r : command("directory-requests").value("requests").toArray())
            if (code < 0 || r.toObject().value("code").toInt() == code)
                texts.push_back(r.toObject().value("text").toString().toStdString());
        return texts;
    }

    quint16 directory_port = 0;
    quint16 https_port = 0;

  private:
    QString m_address;
    bool m_tls;
    QProcess m_process;
    quint16 m_control_port = 0;
};

// An application folder as the lab writes it; with a running lab, its
// directory and PIN host point at that lab's ports.
inline std::optional<dialdeck::app_settings> lab_settings(const temp_folder& folder,
                                                          const char* address,
                                                          const std::string& tls_dir = {},
                                                          const lab_process* lab = nullptr) {
    QStringList arguments{"--address", address, "--write-app-folder",
                          QString::fromStdString(folder.path())};
    if (!tls_dir.empty()) arguments << "--tls-dir" << QString::fromStdString(tls_dir);
    if (!run_lab(arguments)) return std::nullopt;
    auto settings = dialdeck::app_settings::load(folder.path());
    if (settings && lab) {
        const std::string host = address;
        settings->write("Dialdeck", "LDAP",
                        "1," + host + "," + std::to_string(lab->directory_port));
        settings->write("Dialdeck", "PINHost", host + ":" + std::to_string(lab->https_port));
    }
    return settings;
}

}  // namespace voxline::test

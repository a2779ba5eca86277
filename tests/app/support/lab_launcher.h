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

// Runs the lab once; whether it succeeded.
inline bool run_lab(const QStringList& arguments) {
    QProcess lab;
    lab.start(PYTHON_EXECUTABLE, QStringList{LAB_FOLDER "/dialdeck-lab"} + arguments);
    return lab.waitForFinished(30000) && lab.exitStatus() == QProcess::NormalExit &&
           lab.exitCode() == 0;
}

// A running lab.
class lab_process {
  public:
    explicit lab_process(const char* address) : m_address(address) {
        QStringList arguments{LAB_FOLDER "/dialdeck-lab", "--address", address, "--quiet"};
        for (const char* port : {"--port", "--control-port", "--nat-port", "--proxy-port",
                                 "--directory-port", "--https-port", "--http-port"})
            arguments << port << "0";
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
        m_control_port = port_of("control");
    }
    ~lab_process() {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    bool ready() const { return directory_port && m_control_port; }

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

  private:
    QString m_address;
    QProcess m_process;
    quint16 m_control_port = 0;
};

// An application folder as the lab writes it; with a running lab, its
// directory is that lab's.
inline std::optional<dialdeck::app_settings> lab_settings(const temp_folder& folder,
                                                          const char* address,
                                                          const lab_process* lab = nullptr) {
    QStringList arguments{"--address", address, "--write-app-folder",
                          QString::fromStdString(folder.path())};
    if (!run_lab(arguments)) return std::nullopt;
    auto settings = dialdeck::app_settings::load(folder.path());
    if (settings && lab)
        settings->write("Dialdeck", "LDAP",
                        "1," + std::string(address) + "," + std::to_string(lab->directory_port));
    return settings;
}

}  // namespace voxline::test

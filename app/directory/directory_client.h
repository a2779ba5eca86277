// One exchange with the directory server over TCP: connect, send the request,
// read the answer, all within 10 s. exchange() waits in a local event loop so
// the caller's windows keep painting; start_exchange() runs in the background.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>
#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "directory_protocol.h"

class QTcpSocket;

namespace dialdeck {

class DirectoryClient : public QObject {
    Q_OBJECT
  public:
    static constexpr std::chrono::milliseconds EXCHANGE_LIMIT{10000};

    explicit DirectoryClient(QObject* parent = nullptr);
    ~DirectoryClient() override;

    // Connects to a dotted IPv4 address; false when that fails.
    bool open(const QString& address, quint16 port);
    // Only names the server, for background exchanges that must not wait.
    void set_server(const QString& address, quint16 port) {
        m_address = address;
        m_port = port;
    }
    // Closes any open connection and runs one exchange with the address of
    // open(); returns 1, a foreign response code, or a negative failure.
    int exchange(int code, const std::string& text, int count);
    int exchange(const directory_request& r) { return exchange(r.code, r.text, r.count); }
    // The same without waiting; finished() carries the result.
    void start_exchange(int code, const std::string& text, int count);
    void close();

    bool running() const { return m_phase != phase::idle; }
    const std::string& last_text() const { return m_response.text; }
    const directory_response& last_response() const { return m_response; }
    // The next list item; "" once all are used.
    std::string next_item();
    const std::string& last_error() const { return m_last_error; }

    // Called with true as a waiting exchange starts and false as it ends
    // (a busy cursor, say).
    void set_busy_hook(std::function<void(bool)> hook) { m_busy_hook = std::move(hook); }
    // Whether a waiting exchange holds back keyboard and mouse input (default yes).
    void set_exclude_user_input(bool exclude) { m_exclude_user_input = exclude; }

  signals:
    void finished(int result);

  private:
    enum class phase { idle, connecting, sending, receiving };

    void start(bool with_request);
    int wait();
    void on_connected();
    void on_bytes_written();
    void on_ready_read();
    void on_closed();
    void on_error();
    void on_deadline();
    void fail_current_phase();
    void finish(int result, const char* error = nullptr);
    void finish_with_answer();
    void drop_socket();

    QString m_address;
    quint16 m_port = 0;
    std::unique_ptr<QTcpSocket> m_socket;
    QTimer m_deadline;
    phase m_phase = phase::idle;
    bool m_with_request = false;
    int m_request_code = 0;
    QByteArray m_request;
    QByteArray m_answer;
    int m_result = 0;
    directory_response m_response;
    size_t m_cursor = 0;
    std::string m_last_error = "no error information available.";
    std::function<void(bool)> m_busy_hook;
    bool m_exclude_user_input = true;
};

}  // namespace dialdeck

// One GET over HTTP or HTTPS for the application's web services: bounded in
// time and size, certificates always verified (system CAs plus an optional
// PEM file), never blocking the window thread.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>

class QNetworkAccessManager;
class QNetworkReply;

namespace dialdeck {

struct web_request {
    QString url;
    QByteArray user_agent;
    int timeout_ms = 0;
    qint64 max_bytes = 0;
    // PEM file of further trusted CAs; empty: the system's only.
    QString ca_file;
};

struct web_answer {
    bool ok = false;
    int status = 0;
    QByteArray body;
    // Why the request failed, for logs and messages; empty when ok.
    QString error;
};

// Runs one request; finished() fires exactly once, on the calling thread.
class WebGet : public QObject {
    Q_OBJECT
  public:
    explicit WebGet(QObject* parent = nullptr);
    ~WebGet() override;

    void start(const web_request& request);

  signals:
    void finished(const dialdeck::web_answer& answer);

  private:
    void on_ready_read();
    void on_finished();
    void fail(const QString& why);
    void done(web_answer answer);

    std::unique_ptr<QNetworkAccessManager> m_manager;
    QPointer<QNetworkReply> m_reply;
    QTimer m_deadline;
    qint64 m_max_bytes = 0;
    QByteArray m_body;
    QString m_abort_reason;
    bool m_done = false;
};

// Waits for the answer in a local event loop that keeps painting but holds
// back user input, so a modal step can call it from the window thread.
web_answer web_fetch(const web_request& request);

using web_fetcher = std::function<web_answer(const web_request&)>;

}  // namespace dialdeck

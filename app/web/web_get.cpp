#include "web_get.h"

#include <QEventLoop>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QUrl>

namespace dialdeck {

WebGet::WebGet(QObject* parent)
    : QObject(parent), m_manager(std::make_unique<QNetworkAccessManager>()) {
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, [this] { fail("timed out"); });
}

WebGet::~WebGet() {
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
        m_reply->deleteLater();
    }
}

void WebGet::start(const web_request& request) {
    m_max_bytes = request.max_bytes;
    const QUrl url(request.url, QUrl::TolerantMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty() || (scheme != "http" && scheme != "https")) {
        // Reported from the event loop, as every other outcome is.
        QTimer::singleShot(0, this, [this, u = request.url] { fail("bad address " + u); });
        return;
    }
    QNetworkRequest get(url);
    get.setHeader(QNetworkRequest::UserAgentHeader, request.user_agent);
    get.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    if (scheme == "https") {
        QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
        tls.setPeerVerifyMode(QSslSocket::VerifyPeer);
        if (!request.ca_file.isEmpty()) {
            const auto extra = QSslCertificate::fromPath(request.ca_file, QSsl::Pem);
            if (extra.isEmpty()) {
                // Going on without the operator's CA would only fail later, less clearly.
                QTimer::singleShot(0, this, [this, f = request.ca_file] {
                    fail("no certificate in CA file " + f);
                });
                return;
            }
            tls.addCaCertificates(extra);
        }
        get.setSslConfiguration(tls);
    }
    m_reply = m_manager->get(get);
    connect(m_reply, &QNetworkReply::readyRead, this, &WebGet::on_ready_read);
    connect(m_reply, &QNetworkReply::finished, this, &WebGet::on_finished);
    m_deadline.start(request.timeout_ms);
}

void WebGet::on_ready_read() {
    if (!m_reply) return;
    m_body += m_reply->readAll();
    if (m_body.size() > m_max_bytes) fail(QString("answer larger than %1 bytes").arg(m_max_bytes));
}

void WebGet::on_finished() {
    if (!m_reply || m_done) return;
    m_body += m_reply->readAll();
    web_answer answer;
    answer.status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (m_reply->error() != QNetworkReply::NoError) {
        answer.error = m_reply->errorString();
    } else if (m_body.size() > m_max_bytes) {
        answer.error = QString("answer larger than %1 bytes").arg(m_max_bytes);
    } else if (answer.status < 200 || answer.status > 299) {
        answer.error = QString("HTTP status %1").arg(answer.status);
    } else {
        answer.ok = true;
        answer.body = m_body;
    }
    done(answer);
}

void WebGet::fail(const QString& why) {
    if (m_done) return;
    web_answer answer;
    answer.error = why;
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
    }
    done(answer);
}

void WebGet::done(web_answer answer) {
    if (m_done) return;
    m_done = true;
    m_deadline.stop();
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->deleteLater();
        m_reply = nullptr;
    }
    m_body.clear();
    emit finished(answer);
}

web_answer web_fetch(const web_request& request) {
    WebGet get;
    web_answer answer;
    QEventLoop loop;
    QObject::connect(&get, &WebGet::finished, &loop, [&](const web_answer& a) {
        answer = a;
        loop.quit();
    });
    get.start(request);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    return answer;
}

}  // namespace dialdeck

#include "directory_client.h"

#include <QEventLoop>
#include <QHostAddress>
#include <QPointer>
#include <QTcpSocket>
#include <cstdio>

namespace dialdeck {

namespace {

constexpr const char* CONNECT_ERROR = "connect in open_socket";
constexpr const char* WRITABLE_ERROR = "select in write_socket";
constexpr const char* SEND_ERROR = "send in write_socket";
constexpr const char* RECEIVE_ERROR = "recvfrom in nread_socket_block";

}  // namespace

DirectoryClient::DirectoryClient(QObject* parent) : QObject(parent) {
    m_deadline.setSingleShot(true);
    m_deadline.setTimerType(Qt::PreciseTimer);  // a coarse timer may end it half a second early
    connect(&m_deadline, &QTimer::timeout, this, &DirectoryClient::on_deadline);
}

DirectoryClient::~DirectoryClient() {
    // A waiting exchange() must not wait on for an object that is gone.
    if (running()) on_deadline();
    drop_socket();
}

void DirectoryClient::drop_socket() {
    if (!m_socket) return;
    // Later, as this may run inside one of the socket's own signals.
    QTcpSocket* socket = m_socket.release();
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
}

void DirectoryClient::close() {
    if (running()) on_deadline();  // cancelled: as if its time were up
    drop_socket();
}

bool DirectoryClient::open(const QString& address, quint16 port) {
    if (running()) return false;
    set_server(address, port);
    start(false);
    return wait() == DIRECTORY_OK;
}

int DirectoryClient::exchange(int code, const std::string& text, int count) {
    if (running()) {
        m_last_error = WRITABLE_ERROR;
        return DIRECTORY_NOT_WRITABLE;
    }
    start_exchange(code, text, count);
    return wait();
}

void DirectoryClient::start_exchange(int code, const std::string& text, int count) {
    if (running()) {
        m_last_error = WRITABLE_ERROR;
        QMetaObject::invokeMethod(
            this, [this] { emit finished(DIRECTORY_NOT_WRITABLE); }, Qt::QueuedConnection);
        return;
    }
    m_request_code = code;
    m_request = QByteArray::fromStdString(build_directory_request(code, text, count));
    m_response = directory_response{};
    m_cursor = 0;
    start(true);
}

int DirectoryClient::wait() {
    if (!running()) return m_result;
    QPointer<DirectoryClient> alive(this);
    const std::function<void(bool)> busy = m_busy_hook;
    if (busy) busy(true);
    QEventLoop loop;
    connect(this, &DirectoryClient::finished, &loop, &QEventLoop::quit);
    loop.exec(m_exclude_user_input ? QEventLoop::ExcludeUserInputEvents : QEventLoop::AllEvents);
    if (busy) busy(false);
    return alive ? m_result : DIRECTORY_NOTHING_RECEIVED;
}

void DirectoryClient::start(bool with_request) {
    drop_socket();
    m_with_request = with_request;
    m_answer.clear();
    m_phase = phase::connecting;
    QHostAddress host;
    const std::string dotted = m_address.toStdString();
    if (!is_dotted_ipv4(dotted) || !host.setAddress(m_address)) {
        std::fputs("\n\nInvalid IP address!\n\n", stderr);
        finish(DIRECTORY_NOT_WRITABLE, CONNECT_ERROR);
        return;
    }
    m_socket = std::make_unique<QTcpSocket>();
    connect(m_socket.get(), &QTcpSocket::connected, this, &DirectoryClient::on_connected);
    connect(m_socket.get(), &QTcpSocket::bytesWritten, this, &DirectoryClient::on_bytes_written);
    connect(m_socket.get(), &QTcpSocket::readyRead, this, &DirectoryClient::on_ready_read);
    connect(m_socket.get(), &QTcpSocket::disconnected, this, &DirectoryClient::on_closed);
    connect(m_socket.get(), &QTcpSocket::errorOccurred, this, &DirectoryClient::on_error);
    m_deadline.start(EXCHANGE_LIMIT);
    m_socket->connectToHost(host, m_port);
}

void DirectoryClient::on_connected() {
    if (m_phase != phase::connecting) return;
    if (!m_with_request) {
        finish(DIRECTORY_OK);
        return;
    }
    m_phase = phase::sending;
    if (m_socket->write(m_request) != m_request.size()) finish(DIRECTORY_SEND_FAILED, SEND_ERROR);
}

void DirectoryClient::on_bytes_written() {
    if (m_phase == phase::sending && m_socket->bytesToWrite() == 0) {
        m_phase = phase::receiving;
        on_ready_read();  // an answer may already be waiting
    }
}

void DirectoryClient::on_ready_read() {
    // Bytes that come while the request is still going out are kept for later.
    if (m_phase != phase::receiving) return;
    const qint64 room = static_cast<qint64>(DIRECTORY_MAX_RESPONSE) - m_answer.size();
    if (room > 0) m_answer += m_socket->read(room);
    const std::string_view seen(m_answer.constData(), m_answer.size());
    if (m_answer.size() >= static_cast<qsizetype>(DIRECTORY_MAX_RESPONSE) ||
        directory_response_complete(seen))
        finish_with_answer();
}

void DirectoryClient::on_closed() {
    if (m_phase == phase::idle) return;
    if (m_phase != phase::receiving) {
        on_error();
        return;
    }
    on_ready_read();
    if (running()) finish_with_answer();
}

void DirectoryClient::on_error() {
    if (m_phase == phase::receiving &&
        m_socket->error() == QAbstractSocket::RemoteHostClosedError) {
        on_closed();
        return;
    }
    fail_current_phase();
}

// A half answer is no answer: its list may be cut anywhere.
void DirectoryClient::on_deadline() {
    fail_current_phase();
}

void DirectoryClient::fail_current_phase() {
    switch (m_phase) {
        case phase::idle:
            return;
        case phase::connecting:
            finish(DIRECTORY_NOT_WRITABLE, CONNECT_ERROR);
            return;
        case phase::sending:
            finish(DIRECTORY_SEND_FAILED, SEND_ERROR);
            return;
        case phase::receiving:
            finish(DIRECTORY_NOTHING_RECEIVED, RECEIVE_ERROR);
            return;
    }
}

void DirectoryClient::finish_with_answer() {
    if (m_answer.isEmpty()) {
        finish(DIRECTORY_NOTHING_RECEIVED, RECEIVE_ERROR);
        return;
    }
    m_response = parse_directory_response(std::string_view(m_answer.constData(), m_answer.size()));
    finish(directory_result_for(m_request_code, m_response.code));
}

void DirectoryClient::finish(int result, const char* error) {
    m_deadline.stop();
    m_phase = phase::idle;
    m_result = result;
    if (error) m_last_error = error;
    // A failed connection is of no further use; a good one stays for close().
    if (result < 0) drop_socket();
    emit finished(result);
}

std::string DirectoryClient::next_item() {
    if (m_cursor >= m_response.items.size()) return {};
    return m_response.items[m_cursor++];
}

}  // namespace dialdeck

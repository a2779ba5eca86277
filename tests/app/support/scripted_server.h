// A loopback server: keeps each connection's request and, once it ends as
// told, sends the pieces (each after its delay) or the reply to it and closes,
// or keeps the line open.
#pragma once

#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <functional>
#include <vector>

namespace voxline::test {

struct scripted_server {
    std::vector<std::pair<int, QByteArray>> pieces;
    std::function<QByteArray(const QByteArray&)> reply;
    bool close_after = true;
    QByteArray request;
    int connections = 0;
    QTcpServer server;  // its sockets are its children

    explicit scripted_server(QByteArray end, const char* address = "127.0.0.1") {
        server.listen(QHostAddress(address), 0);
        QObject::connect(&server, &QTcpServer::newConnection, [this, end] {
            QTcpSocket* peer = server.nextPendingConnection();
            ++connections;
            request.clear();
            QObject::connect(peer, &QTcpSocket::readyRead, [this, peer, end] {
                request += peer->readAll();
                if (!request.endsWith(end)) return;
                if (reply) pieces = {{0, reply(request)}};
                int at = 0;
                for (const auto& [delay_ms, bytes] : pieces) {
                    at += delay_ms;
                    QTimer::singleShot(at, peer, [peer, bytes] { peer->write(bytes); });
                }
                if (close_after)
                    QTimer::singleShot(at, peer, [peer] { peer->disconnectFromHost(); });
            });
        });
    }
};

}  // namespace voxline::test

#include "network/interface_source.h"

#include <sys/utsname.h>

#include <QHostAddress>
#include <QNetworkInterface>
#include <fstream>

namespace kestrel {

namespace {

const char* type_name(QNetworkInterface::InterfaceType type) {
    switch (type) {
        case QNetworkInterface::Ethernet:
            return "Ethernet";
        case QNetworkInterface::Ppp:
            return "PPP";
        case QNetworkInterface::Wifi:
            return "Wi-Fi";
        default:
            return "Other";
    }
}

std::string read_small_file(const char* path) {
    std::ifstream in(path);
    // The route table is a few lines per interface; cap it all the same.
    constexpr std::streamsize LIMIT = 1 << 20;
    std::string buffer(LIMIT, '\0');
    in.read(buffer.data(), LIMIT);
    buffer.resize(static_cast<size_t>(in.gcount()));
    return buffer;
}

}  // namespace

network_snapshot system_interface_source::snapshot() {
    network_snapshot snap;
    for (const QNetworkInterface& iface : QNetworkInterface::allInterfaces()) {
        interface_info info;
        info.name = iface.name().toStdString();
        info.type = type_name(iface.type());
        const auto flags = iface.flags();
        info.up = flags.testFlag(QNetworkInterface::IsUp);
        info.running = flags.testFlag(QNetworkInterface::IsRunning);
        info.loopback = flags.testFlag(QNetworkInterface::IsLoopBack);
        for (const QNetworkAddressEntry& entry : iface.addressEntries()) {
            const QHostAddress ip = entry.ip();
            if (ip.protocol() == QAbstractSocket::IPv4Protocol)
                info.ipv4.push_back(ip.toString().toStdString());
        }
        snap.interfaces.push_back(std::move(info));
    }
    snap.route_text = read_small_file("/proc/net/route");
    utsname names{};
    if (uname(&names) == 0) snap.os_name = std::string(names.sysname) + " " + names.release;
    return snap;
}

}  // namespace kestrel

// One directory exchange from the command line, for the end-to-end tests:
//   directory_probe ADDRESS PORT CODE TEXT COUNT
// prints the open and exchange results, the text, the last error, the items
// and the time taken, one "name=value" line each.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "directory_client.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 6) {
        std::fprintf(stderr, "usage: directory_probe ADDRESS PORT CODE TEXT COUNT\n");
        return 2;
    }
    const int port = std::atoi(argv[2]);
    if (port < 1 || port > 65535) return 2;
    dialdeck::DirectoryClient client;
    QElapsedTimer clock;
    clock.start();
    const bool opened = client.open(QString::fromLocal8Bit(argv[1]), static_cast<quint16>(port));
    std::printf("open=%d\n", opened ? 1 : 0);
    const int result = client.exchange(std::atoi(argv[3]), argv[4], std::atoi(argv[5]));
    std::printf("result=%d\ntext=%s\nerror=%s\n", result, client.last_text().c_str(),
                client.last_error().c_str());
    for (std::string item = client.next_item(); !item.empty(); item = client.next_item())
        std::printf("item=%s\n", item.c_str());
    std::printf("elapsed_ms=%lld\n", static_cast<long long>(clock.elapsed()));
    client.close();
    return 0;
}

// Runs the real server headless (no window) on the system's platform and
// prints one line once it listens: the advertised name and the PIN.
// usage: tendril-server-probe [--port PORT]
#include "catalogue/MacAppStore.h"
#include "log/LogOutput.h"
#include "server/MacServerService.h"

#include <QGuiApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    installLogOutput();
    MacAppStore store;
    MacServerService server(store);
    if (argc > 2 && QByteArray(argv[1]) == "--port") // as the program takes it
        server.setListeningPort(quint16(QString::fromLocal8Bit(argv[2]).toUInt()));
    QObject::connect(&server, &MacServerService::serverStateChanged, &app, [&] {
        if (server.serverState() == ServerState::advertising) {
            std::printf("listening\t%s\t%s\n", qPrintable(server.computerName()),
                        qPrintable(server.pin()));
            std::fflush(stdout);
        }
    });
    server.startListening();
    return app.exec();
}

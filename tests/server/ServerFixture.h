#pragma once

#include "FakePlatform.h"

#include "catalogue/MacAppStore.h"
#include "server/MacServerService.h"

#include <QTcpServer>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QTest>
#include "tests/TestTime.h"

// A random word whose draw below 10000 is exactly n, clear of the redraw zone.
inline quint64 wordFor(quint64 n)
{
    return quint64((((unsigned __int128)n << 64) + ((unsigned __int128)1 << 63)) / 10000);
}

// Sets (or with a null value, removes) an environment variable once no
// worker of the pool (a scan, an icon) can be reading the environment.
inline void setEnvironment(const char *name, const QByteArray &value)
{
    QThreadPool::globalInstance()->waitForDone();
    if (value.isNull())
        qunsetenv(name);
    else
        qputenv(name, value);
}

// A server on fake desktop services and a free port, with a store in a
// temporary home.
struct ServerFixture {
    QTemporaryDir home;
    std::unique_ptr<FakePlatform> fake;
    std::unique_ptr<MacAppStore> store;
    std::unique_ptr<MacServerService> server;
    quint16 port = 0;

    // With `applications`, the server steers real applications through it;
    // with `configHome`, settings are kept there.
    void setUp(ApplicationServices *applications = nullptr, const QString &configHome = {})
    {
        setEnvironment("HOME", home.path().toUtf8());
        setEnvironment("XDG_CONFIG_HOME", configHome.isEmpty() ? QByteArray() : configHome.toUtf8());
        setEnvironment("XDG_CACHE_HOME", {});
        fake = std::make_unique<FakePlatform>();
        if (applications)
            fake->platform.applications = applications;
        store = std::make_unique<MacAppStore>();
        server = std::make_unique<MacServerService>(*store, &fake->platform);
        QTcpServer probe;
        probe.listen(QHostAddress::Any, 0);
        port = probe.serverPort();
        server->setListeningPort(port);
    }

    // The server first: it holds the store and the fake services.
    void tearDown() { server.reset(); store.reset(); fake.reset(); }

    // Starts listening with `pinValue` as the PIN; true once advertising.
    bool startServer(quint64 pinValue)
    {
        server->setRandomWordSource([pinValue] { return wordFor(pinValue); });
        server->startListening();
        return QTest::qWaitFor([this] { return server->serverState() == ServerState::advertising; }, scaledMs(5000));
    }
};

#pragma once

#include "FreePort.h"
#include "FakePlatform.h"
#include "catalogue/MacAppStore.h"
#include "server/MacServerService.h"

#include <QThread>

#include <memory>

// A store and a listening server on a thread of their own, as the program's
// main thread would run them, so that the benchmark can block as a phone.
class ServerThread {
public:
    ServerThread()
    {
        m_context.moveToThread(&m_thread);
        m_thread.start();
        onThread([this] {
            m_store = std::make_unique<MacAppStore>();
            m_server = std::make_unique<MacServerService>(*m_store, &m_fake.platform);
            m_port = freeLoopbackPort();
            m_server->setListeningPort(m_port);
            m_server->startListening();
        });
        while (m_server->serverState() != ServerState::advertising)
            QThread::msleep(5);
    }

    ~ServerThread()
    {
        onThread([this] {
            m_server.reset();
            m_store.reset();
        });
        m_thread.quit();
        m_thread.wait();
    }

    // Runs `work` on the server's thread and waits for it.
    template <typename Work>
    void onThread(Work work)
    {
        QMetaObject::invokeMethod(&m_context, work, Qt::BlockingQueuedConnection);
    }

    bool isConnected()
    {
        bool connected = false;
        onThread([&] { connected = m_server->isConnected(); });
        return connected;
    }

    quint16 port() const { return m_port; }
    MacServerService &server() { return *m_server; }

private:
    QThread m_thread;
    QObject m_context;
    FakePlatform m_fake;
    std::unique_ptr<MacAppStore> m_store;
    std::unique_ptr<MacServerService> m_server;
    quint16 m_port = 0;
};

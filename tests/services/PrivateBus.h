#pragma once

#include <QProcess>
#include <QtTest>

// A private dbus-daemon as session and system bus, so that nothing reaches a
// real desktop's services; set up before the application connects to any.
struct PrivateBus {
    QProcess daemon;
    PrivateBus()
    {
        daemon.start("dbus-daemon", {"--session", "--nofork", "--print-address=1"});
        if (!daemon.waitForStarted() || !daemon.waitForReadyRead(5000))
            qFatal("dbus-daemon did not start");
        const QByteArray address = daemon.readLine().trimmed();
        qputenv("DBUS_SESSION_BUS_ADDRESS", address);
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", address);
    }
    ~PrivateBus() { daemon.kill(); daemon.waitForFinished(); }
};

#define PRIVATE_BUS_TEST_MAIN(Application, Test)                                                                      \
    int main(int argc, char **argv)                                                                                    \
    {                                                                                                                  \
        PrivateBus bus;                                                                                                \
        Application app(argc, argv);                                                                                   \
        Test test;                                                                                                     \
        return QTest::qExec(&test, argc, argv);                                                                        \
    }

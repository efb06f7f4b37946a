#include "ShellFixtures.h"

#include "app/CommandLine.h"

#include <QTcpServer>
#include <QTemporaryDir>

class TestCommandLine : public QObject {
    Q_OBJECT

    QTemporaryDir m_home;

    // A temporary home, no session bus, no display; off-screen if asked.
    QProcessEnvironment environment(bool offscreen) const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_CONFIG_HOME",
                                 "DBUS_SESSION_BUS_ADDRESS", "JOURNAL_STREAM"})
            env.remove(name);
        env.insert("HOME", m_home.path());
        env.insert("XDG_RUNTIME_DIR", m_home.path());
        if (offscreen)
            env.insert("QT_QPA_PLATFORM", "offscreen");
        return env;
    }

    Program run(const QStringList &arguments, const QProcessEnvironment &env) { return {TENDRIL_BINARY, arguments, env}; }

private slots:
    void parsing_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode"); // -1: runs
        QTest::addColumn<QString>("said"); // when it runs: port and address

        QTest::newRow("defaults") << QStringList{} << -1 << "57432 " + QHostAddress(QHostAddress::Any).toString();
        QTest::newRow("port, address") << QStringList{"--port=0", "--listen", "::1"} << -1 << "0 ::1";
        QTest::newRow("help") << QStringList{"--help"} << 0 << "--headless ";
        QTest::newRow("version") << QStringList{"--version"} << 0 << "tendril 1.";
        QTest::newRow("port too big") << QStringList{"--port", "65536"} << 2 << "--port takes";
        QTest::newRow("address not IP") << QStringList{"--listen", "x"} << 2 << "--listen takes an IP";
        QTest::newRow("unknown option") << QStringList{"--bogus"} << 2 << "Unknown option 'bogus'";
        QTest::newRow("stray argument") << QStringList{"file"} << 2 << "unexpected argument: file";
    }

    void parsing()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, said);
        const CommandLine command = parseCommandLine(QStringList{"tendril"} + arguments);
        QCOMPARE(command.run ? -1 : command.exitCode, exitCode);
        const LaunchOptions &options = command.options;
        QCOMPARE(command.run ? QString("%1 %2").arg(options.port).arg(options.listenAddress.toString()) : said, said);
        if (command.run)
            return;
        QCOMPARE(command.textIsError, exitCode != 0);
        QVERIFY2(command.text.contains(said), qPrintable(command.text));
        // A bad command line shows the usage after the complaint.
        QCOMPARE(command.text.contains("Usage: tendril [options]"), exitCode == 2 || said.startsWith("--headless"));
    }

    void noDisplayIsOneLineAndExitOne()
    {
        Program program = run({}, environment(false));
        QVERIFY(program.process.waitForFinished(10000));
        QCOMPARE(program.process.exitCode(), 1);
        QCOMPARE(program.lines(".*run \"tendril --headless\" to serve the phone without a window\\."), 1);
        QCOMPARE(program.output.count('\n'), 1);
    }

    // One line when the retries begin, one when the port is won, whatever
    // the retries between; then the one usable PIN.
    void busyPortIsSaidOnceEachWay()
    {
        QTcpServer blocker;
        QVERIFY(blocker.listen(QHostAddress::Any, 0));
        const QString port = QString::number(blocker.serverPort());
        Program program = run({"--headless", "--port", port}, environment(false));
        QCOMPARE(program.lines("Cannot listen on port " + port + " \\(.*\\); retrying every 2 s"), 1);
        QTest::qWait(4500); // two more attempts
        blocker.close();
        QCOMPARE(program.lines("Listening on port " + port), 1);
        QCOMPARE(program.lines("PIN \\d{4}"), 1);
        QCOMPARE(program.lines("Cannot listen.*", 0), 1);
    }

    void secondStartRaisesTheFirst_data()
    {
        QTest::addColumn<bool>("sessionBus");
        QTest::newRow("D-Bus name") << true;
        QTest::newRow("local socket") << false;
    }

    void secondStartRaisesTheFirst()
    {
        QFETCH(bool, sessionBus);
        QProcessEnvironment env = environment(true);
        std::optional<PrivateBus> bus;
        if (sessionBus && bus.emplace().address.isEmpty())
            QSKIP("no dbus-daemon here");
        if (sessionBus)
            env.insert("DBUS_SESSION_BUS_ADDRESS", bus->address);
        Program first = run({"--port", "0"}, env);
        QCOMPARE(first.lines("Listening on port \\d+"), 1);

        Program second = run({"--port", "0"}, env);
        QVERIFY(second.process.waitForFinished(10000));
        QCOMPARE(second.process.exitCode(), 0);
        QCOMPARE(second.lines(".*already running.*", 0), 1);
        QCOMPARE(second.lines("Listening.*", 0), 0);
        QCOMPARE(first.lines("Another start asked for the window"), 1);

        // Headless runs on a port of their own are not limited.
        Program headless = run({"--headless", "--port", "0"}, env);
        QCOMPARE(headless.lines("Listening on port \\d+"), 1);
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"

#include "app/CommandLine.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

// A session bus of the test's own.
struct PrivateBus {
    QProcess daemon;
    QString address;

    bool start()
    {
        daemon.start(QStringLiteral("dbus-daemon"),
                     {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
        if (!daemon.waitForReadyRead(5000))
            return false;
        address = QString::fromUtf8(daemon.readLine()).trimmed();
        return !address.isEmpty();
    }
    ~PrivateBus()
    {
        daemon.kill();
        daemon.waitForFinished();
    }
};

// The program, its output (both streams) gathered as it comes.
struct Program {
    QProcess process;
    QString output;

    Program(const QStringList &arguments, const QProcessEnvironment &environment)
    {
        process.setProcessEnvironment(environment);
        process.setProcessChannelMode(QProcess::MergedChannels);
        QObject::connect(&process, &QProcess::readyRead, &process,
                         [this] { output += QString::fromUtf8(process.readAll()); });
        process.start(QStringLiteral(TENDRIL_BINARY), arguments);
    }
    ~Program()
    {
        process.kill();
        process.waitForFinished();
    }
    bool waitFor(const QString &pattern, int timeoutMs = 15000)
    {
        const QRegularExpression re(pattern, QRegularExpression::MultilineOption);
        return QTest::qWaitFor([&] { return re.match(output).hasMatch(); }, timeoutMs);
    }
    int count(const QString &pattern) const
    {
        int n = 0;
        auto it = QRegularExpression(pattern, QRegularExpression::MultilineOption).globalMatch(output);
        for (; it.hasNext(); it.next())
            ++n;
        return n;
    }
};

} // namespace

class TestCommandLine : public QObject {
    Q_OBJECT

    QTemporaryDir m_home;

    // A temporary home, no session bus, no display; off-screen if asked.
    QProcessEnvironment environment(bool offscreen) const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_CONFIG_HOME",
                                 "DBUS_SESSION_BUS_ADDRESS", "JOURNAL_STREAM"})
            env.remove(QLatin1String(name));
        env.insert(QStringLiteral("HOME"), m_home.path());
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_home.path());
        if (offscreen)
            env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        return env;
    }

private slots:
    void parsing_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode"); // -1: runs
        QTest::addColumn<QString>("said");
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("address");

        const QString any = QHostAddress(QHostAddress::Any).toString();
        QTest::newRow("defaults") << QStringList{} << -1 << "" << 57432 << any;
        QTest::newRow("help") << QStringList{"--help"} << 0 << "--headless" << 0 << "";
        QTest::newRow("version") << QStringList{"--version"} << 0 << "tendril 1." << 0 << "";
        QTest::newRow("free port") << QStringList{"--port", "0"} << -1 << "" << 0 << any;
        QTest::newRow("port and address") << QStringList{"--port=4000", "--listen", "::1"} << -1 << ""
                                          << 4000 << "::1";
        QTest::newRow("port too big") << QStringList{"--port", "65536"} << 2 << "--port takes" << 0 << "";
        QTest::newRow("port not a number") << QStringList{"--port", "x"} << 2 << "--port takes" << 0 << "";
        QTest::newRow("address not IP") << QStringList{"--listen", "somewhere"} << 2
                                        << "--listen takes an IP address" << 0 << "";
        QTest::newRow("unknown option") << QStringList{"--bogus"} << 2 << "Unknown option 'bogus'" << 0 << "";
        QTest::newRow("stray argument") << QStringList{"file"} << 2 << "unexpected argument: file" << 0 << "";
    }

    void parsing()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, said);
        const CommandLine command = parseCommandLine(QStringList{"tendril"} + arguments);
        QCOMPARE(command.run, exitCode == -1);
        if (!command.run) {
            QCOMPARE(command.exitCode, exitCode);
            QCOMPARE(command.textIsError, exitCode != 0);
            QVERIFY2(command.text.contains(said), qPrintable(command.text));
            // A bad command line shows the usage after the complaint.
            QCOMPARE(command.text.contains(QLatin1String("Usage: tendril [options]")), exitCode != 0 || arguments == QStringList{"--help"});
            return;
        }
        QFETCH(int, port);
        QFETCH(QString, address);
        QCOMPARE(command.options.port, port);
        QCOMPARE(command.options.listenAddress.toString(), address);
        QVERIFY(!command.options.headless);
        QVERIFY(parseCommandLine({"tendril", "--headless", "--require-approval"}).options.requireApproval);
    }

    void noDisplayIsOneLineAndExitOne()
    {
        Program program({}, environment(false));
        QVERIFY(program.process.waitForFinished(10000));
        QCOMPARE(program.process.exitCode(), 1);
        QCOMPARE(program.output.count(QLatin1Char('\n')), 1);
        QVERIFY2(program.output.contains(QLatin1String("tendril --headless")), qPrintable(program.output));
    }

    // Busy port: one line when the retries begin and one when the port is
    // won, whatever the number of retries between; then the usable PIN.
    void busyPortIsSaidOnceEachWay()
    {
        QTcpServer blocker;
        QVERIFY(blocker.listen(QHostAddress::Any, 0));
        const QString port = QString::number(blocker.serverPort());
        Program program({"--headless", "--port", port}, environment(false));
        QVERIFY2(program.waitFor("^Cannot listen on port " + port + " \\(.*\\); retrying every 2 s$"),
                 qPrintable(program.output));
        QTest::qWait(4500); // two more attempts
        blocker.close();
        QVERIFY2(program.waitFor("^Listening on port " + port + "$"), qPrintable(program.output));
        QVERIFY2(program.waitFor("^PIN \\d{4}$"), qPrintable(program.output));
        QCOMPARE(program.count("^Cannot listen"), 1);
        QCOMPARE(program.count("^PIN "), 1);
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
        PrivateBus bus;
        if (sessionBus) {
            if (!bus.start())
                QSKIP("no dbus-daemon here");
            env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus.address);
        }
        Program first({"--port", "0"}, env);
        QVERIFY2(first.waitFor("^Listening on port \\d+$"), qPrintable(first.output));

        Program second({"--port", "0"}, env);
        QVERIFY(second.process.waitForFinished(10000));
        QCOMPARE(second.process.exitCode(), 0);
        QVERIFY2(second.output.contains(QLatin1String("already running")), qPrintable(second.output));
        QVERIFY2(!second.output.contains(QLatin1String("Listening")), qPrintable(second.output));
        QVERIFY2(first.waitFor("^Another start asked for the window$"), qPrintable(first.output));

        // Headless runs on a port of their own are not limited.
        Program headless({"--headless", "--port", "0"}, env);
        QVERIFY2(headless.waitFor("^Listening on port \\d+$"), qPrintable(headless.output));
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"

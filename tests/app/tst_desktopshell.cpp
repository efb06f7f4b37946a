// The program's shell: command line, one instance, log lines, tray, notices
// and settings.
#include "ServerFixture.h"
#include "ShellFixtures.h"
#include "TestPhone.h"
#include "tests/TestTime.h"

#include "app/CommandLine.h"
#include "platform/freedesktop/AutostartEntry.h"
#include "app/ConnectionNotices.h"
#include "log/LogOutput.h"
#include "app/TrayMenu.h"
#include "platform/DesktopNotifications.h"
#include "server/AppSettings.h"

#include <QAction>
#include <QLocalSocket>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTcpServer>
#include <QTemporaryFile>

#include <csignal>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Notices as the shell shows them: "key summary".
struct RecordingNotifications : DesktopNotifications {
    QStringList shown;
    void show(const QString &key, const QString &summary, const QString &, const QList<Action> &) override
    {
        shown << key + ' ' + summary;
    }
    void withdraw(const QString &) override {}
};

constexpr uid_t kOtherUser = 65534;

} // namespace

class TestDesktopShell : public QObject {
    Q_OBJECT

    ServerFixture f;
    QTemporaryDir m_home; // the spawned programs' own

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
    void init() { f.setUp(); }
    void cleanup() { f.tearDown(); }

    void logLines()
    {
        const auto line = [](LogStyle style) {
            return formatLogLine(QtWarningMsg, "tendril.actions", "[AppleScript] one\ntwo", style);
        };
        const QRegularExpression terminal(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} warning tendril\.actions: \[AppleScript\] one two$)");
        QVERIFY2(terminal.match(line(LogStyle::terminal)).hasMatch(), qPrintable(line(LogStyle::terminal)));
        QCOMPARE(line(LogStyle::journal), "<4>[AppleScript] one two");
        QCOMPARE(line(LogStyle::plain), "[AppleScript] one two");
    }

    void journalIsRecognisedByItsStream()
    {
        QTemporaryFile file;
        QVERIFY(file.open());
        struct stat status {};
        fstat(file.handle(), &status);
        FILE *stream = fdopen(dup(file.handle()), "w");
        setEnvironment("JOURNAL_STREAM", QByteArray::number(quint64(status.st_dev)) + ':' + QByteArray::number(quint64(status.st_ino)));
        QCOMPARE(logStyleFor(stream), LogStyle::journal);
        setEnvironment("JOURNAL_STREAM", "1:2");
        QCOMPARE(logStyleFor(stream), LogStyle::plain);
        fclose(stream);
    }

    // Tray and notices through one phone's life: paired, replaced, paired
    // again, lost; no notice while they are switched off.
    void trayAndNoticesFollowThePhone()
    {
        TrayMenu tray(*f.server);
        RecordingNotifications shown;
        bool enabled = true;
        ConnectionNotices notices(*f.server, shown, [&] { return enabled; });
        QCOMPARE(tray.pinAction()->text(), "PIN not drawn yet");
        QVERIFY(QFile::exists(":/tendril/com.larkspire.Tendril-128.png")); // the icon without a theme
        QVERIFY(f.startServer(42));
        QCOMPARE(tray.pinAction()->text(), "PIN 0042");
        TRY_COMPARE(tray.stateAction()->text(), "Waiting for iPhone");
        TestPhone first(f.port);
        TRY_COMPARE(tray.stateAction()->text(), "iPhone Connected");
        QVERIFY(first.pair("0042"));
        TRY_COMPARE(tray.stateAction()->text(), "iPhone paired");
        TestPhone second(f.port);
        TRY_COMPARE(shown.shown.size(), 2);
        QVERIFY(second.pair("0042"));
        TRY_COMPARE(shown.shown.size(), 3);
        second.socket.abort();
        TRY_COMPARE(tray.stateAction()->text(), "Waiting for iPhone");

        enabled = false;
        TestPhone third(f.port);
        QVERIFY(third.pair("0042"));
        TRY_COMPARE(tray.stateAction()->text(), "iPhone paired");
        // One key: each notice takes the place of the one before.
        QCOMPARE(shown.shown, QStringList({"connection iPhone paired", "connection iPhone replaced",
                                           "connection iPhone paired", "connection iPhone disconnected"}));
    }

    void settingsSwitches()
    {
        setEnvironment("XDG_CONFIG_HOME", (f.home.path() + "/config").toUtf8());
        const auto autostart = std::make_shared<AutostartEntry>("com.larkspire.Tendril", "/opt/My $Apps/tendril");
        AppSettings settings;
        QVERIFY(settings.notificationsEnabled());
        QVERIFY(!settings.openAtLogin()); // no entry handed in yet
        settings.setAutostart(autostart);
        settings.setNotificationsEnabled(false);
        QVERIFY(!AppSettings().notificationsEnabled());
        // The web remote: stored off, or off for one run only.
        QVERIFY(settings.webRemote());
        settings.setWebRemoteOffForRun(true);
        QVERIFY(!settings.webRemote() && AppSettings().webRemote());
        settings.setWebRemoteOffForRun(false);
        settings.setWebRemote(false);
        QVERIFY(!AppSettings().webRemote());

        const QString entry = f.home.path() + "/config/autostart/com.larkspire.Tendril.desktop";
        settings.setOpenAtLogin(true);
        QVERIFY(settings.openAtLogin());
        QFile file(entry);
        QVERIFY(file.open(QIODevice::ReadOnly) && file.readAll().contains(R"(Exec="/opt/My \\$Apps/tendril")"));
        const int valid = QProcess::execute("desktop-file-validate", {entry});
        QVERIFY(valid == 0 || valid == -2); // -2: not installed
        settings.setOpenAtLogin(false);
        QVERIFY(!QFile::exists(entry) && !settings.openAtLogin());
        setEnvironment("XDG_CONFIG_HOME", {});
    }

    void parsing_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode"); // -1: runs
        QTest::addColumn<QString>("said"); // when it runs: port, address, web port, web remote

        QTest::newRow("defaults") << QStringList{} << -1 << "57432 " + QHostAddress(QHostAddress::Any).toString() + " 57433 on";
        QTest::newRow("port, address") << QStringList{"--port=0", "--listen", "::1"} << -1 << "0 ::1 57433 on";
        QTest::newRow("web remote") << QStringList{"--web-port", "0", "--no-web-remote", "--listen=::1"} << -1 << "57432 ::1 0 off";
        QTest::newRow("web port too big") << QStringList{"--web-port=65536"} << 2 << "--web-port takes";
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
        QCOMPARE(command.run ? QString("%1 %2 %3 %4").arg(options.port).arg(options.listenAddress.toString())
                                   .arg(options.webPort).arg(options.webRemote ? "on" : "off")
                             : said, said);
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
        QCOMPARE(program.exitCode(), 1);
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
        QCOMPARE(program.lines("\\[Server\\] Cannot listen on port " + port + " \\(.*\\); retrying every 2 s"), 1);
        QTest::qWait(scaledMs(4500)); // two more attempts
        blocker.close();
        QCOMPARE(program.lines("\\[Server\\] Listening on port " + port), 1);
        QCOMPARE(program.lines("\\[Server\\] PIN \\d{4}"), 1);
        QCOMPARE(program.lines("\\[Server\\] Cannot listen.*", 0), 1);
    }

    // A second start exits 0 only when the first one, of the same user,
    // answered; otherwise it runs and says why in one line.
    void secondStartRaisesTheFirst_data()
    {
        QTest::addColumn<bool>("sessionBus");
        QTest::addColumn<QString>("folder");   // where the socket goes
        QTest::addColumn<QString>("first");    // who holds it
        QTest::addColumn<QString>("said");     // the second start's line
        const QString handedOver = "\\[App\\] Tendril is already running; its window was brought forward.";
        QTest::newRow("D-Bus name") << true << "runtime" << "program" << handedOver;
        QTest::newRow("local socket") << false << "runtime" << "program" << handedOver;
        QTest::newRow("own temporary folder") << false << "none" << "program" << handedOver;
        QTest::newRow("runtime folder open to others") << false << "open" << "program" << handedOver;
        QTest::newRow("temporary folder of another user") << false << "foreign" << "program"
            << "\\[App\\] No private folder for the single-instance socket \\(.*tendril-\\d+: it belongs to another user\\); starting without it";
        QTest::newRow("stopped program") << false << "runtime" << "stopped program"
            << "\\[App\\] The running instance did not answer within 3 s; starting anyway";
        QTest::newRow("stopped program, D-Bus") << true << "runtime" << "stopped program"
            << "\\[App\\] another instance holds com.larkspire.Tendril but did not answer: .*";
        // Its credentials are checked before a word is sent: how it answers does not matter.
        QTest::newRow("other user") << false << "runtime" << "other user"
            << "\\[App\\] Ignoring .*: it is held by user 65534, not by this user";
    }

    void secondStartRaisesTheFirst()
    {
        QFETCH(bool, sessionBus);
        QFETCH(QString, folder);
        QFETCH(QString, first);
        QFETCH(QString, said);
        const bool program = first.endsWith("program");
        if ((!program || folder == "foreign") && geteuid() != 0)
            QSKIP("another user's socket or folder needs root");
        QProcessEnvironment env = environment(true);
        if (sessionBus) // the test's own bus
            env.insert("DBUS_SESSION_BUS_ADDRESS", qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS"));
        QTemporaryDir temporary, runtime;
        env.insert("TMPDIR", temporary.path());
        const QString ownFolder = QStringLiteral("%1/tendril-%2").arg(temporary.path()).arg(geteuid());
        if (folder == "none") {
            env.remove("XDG_RUNTIME_DIR");
        } else if (folder == "open" || folder == "foreign") {
            env.insert("XDG_RUNTIME_DIR", runtime.path());
            QVERIFY(chmod(QFile::encodeName(runtime.path()), 0777) == 0);
        }
        if (folder == "foreign")
            QVERIFY(mkdir(QFile::encodeName(ownFolder), 0700) == 0 && chown(QFile::encodeName(ownFolder), kOtherUser, kOtherUser) == 0);

        std::optional<Program> firstProgram;
        pid_t otherPid = 0; // a forked child, killed and reaped with the test case, failed or not
        const auto reapOther = qScopeGuard([&] {
            if (otherPid > 0 && kill(otherPid, SIGKILL) == 0)
                waitpid(otherPid, nullptr, 0);
        });
        if (program) {
            firstProgram.emplace(TENDRIL_BINARY, QStringList{"--port", "0"}, env);
            QCOMPARE(firstProgram->lines("\\[Server\\] Listening on port \\d+"), 1);
            if (first == "stopped program")
                QVERIFY(kill(firstProgram->process.processId(), SIGSTOP) == 0);
        } else {
            // A listener whose peer credentials are another user's: bound as
            // root, listening once the user is changed; it accepts and keeps quiet.
            const QString path = env.value("XDG_RUNTIME_DIR") + "/com.larkspire.Tendril.socket";
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            std::strncpy(address.sun_path, QFile::encodeName(path).constData(), sizeof address.sun_path - 1);
            otherPid = fork();
            if (otherPid == 0) { // only system calls from here on: the parent has threads
                const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
                unlink(address.sun_path);
                if (bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0
                    || setgid(kOtherUser) != 0 || setuid(kOtherUser) != 0 || listen(fd, 4) != 0)
                    _exit(1);
                for (;;)
                    accept(fd, nullptr, nullptr);
            }
            QVERIFY(otherPid > 0);
            QLocalSocket probe; // the child listens once this connects
            TRY_VERIFY((probe.abort(), probe.connectToServer(path), probe.waitForConnected(100)));
            probe.abort();
        }

        Program second = run({"--port", "0"}, env);
        const bool handedOver = said.contains("Tendril is already running");
        if (handedOver)
            QCOMPARE(second.exitCode(), 0);
        QCOMPARE(second.lines(said), 1);
        QCOMPARE(second.lines("\\[Server\\] Listening on port \\d+", handedOver ? 0 : 15000), handedOver ? 0 : 1);
        // The private folder made for the socket is the user's alone.
        if (folder != "runtime" && folder != "foreign") {
            struct stat status {};
            QVERIFY(lstat(QFile::encodeName(ownFolder), &status) == 0);
            QCOMPARE(status.st_mode & 07777, 0700u);
        }

        if (handedOver) {
            QCOMPARE(firstProgram->lines("\\[App\\] Another start asked for the window"), 1);
            // Headless runs on a port of their own are not limited.
            Program headless = run({"--headless", "--port", "0"}, env);
            QCOMPARE(headless.lines("\\[Server\\] Listening on port \\d+"), 1);
        }
    }
};

QTEST_MAIN(TestDesktopShell)
#include "tst_desktopshell.moc"

#include "ServerFixture.h"
#include "ShellFixtures.h"
#include "TestPhone.h"

#include "app/ConnectionNotices.h"
#include "app/GeneralSettings.h"
#include "app/LogOutput.h"
#include "app/TrayMenu.h"
#include "platform/UserDefaults.h"
#include "platform/freedesktop/NotificationSender.h"

#include <QAction>
#include <QDBusConnection>
#include <QSignalSpy>
#include <QTemporaryFile>

#include <sys/stat.h>

namespace {

// The freedesktop notification service, recording each notice.
class FakeNotifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    QStringList notices; // "replaced-id summary"

public slots:
    uint Notify(const QString &, uint replacesId, const QString &, const QString &summary,
                const QString &, const QStringList &, const QVariantMap &, int)
    {
        notices.append(QString("%1 %2").arg(replacesId).arg(summary));
        return uint(notices.size()) + 40;
    }
};

void pair(TestPhone &phone, const QString &pin)
{
    QVERIFY(phone.waitConnected());
    phone.send(td::IPhoneHello{pin});
}

} // namespace

class TestDesktopShell : public QObject {
    Q_OBJECT

    ServerFixture f;

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
        qputenv("JOURNAL_STREAM", QByteArray::number(quint64(status.st_dev)) + ':' + QByteArray::number(quint64(status.st_ino)));
        QCOMPARE(logStyleFor(stream), LogStyle::journal);
        qputenv("JOURNAL_STREAM", "1:2");
        QCOMPARE(logStyleFor(stream), LogStyle::plain);
        fclose(stream);
    }

    void trayMenuFollowsTheServer()
    {
        TrayMenu tray(*f.server);
        QCOMPARE(tray.pinAction()->text(), "PIN not drawn yet");
        QVERIFY(f.startServer(42));
        QCOMPARE(tray.pinAction()->text(), "PIN 0042");
        QCOMPARE(tray.stateAction()->text(), "Waiting for iPhone");
        TestPhone phone(f.port);
        QVERIFY(QTest::qWaitFor([&] { return tray.stateAction()->text() == "iPhone Connected"; }));
        pair(phone, "0042");
        QVERIFY(QTest::qWaitFor([&] { return tray.stateAction()->text() == "iPhone paired"; }));

        QSignalSpy shown(&tray, &TrayMenu::showWindowRequested);
        QSignalSpy quit(&tray, &TrayMenu::quitRequested);
        tray.showAction()->trigger();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(quit.size(), 0);
        tray.quitAction()->trigger();
        QCOMPARE(quit.size(), 1);
    }

    // Paired, replaced, paired again, lost; nothing while switched off.
    void noticesOnPairReplaceAndLoss()
    {
        PrivateBus bus;
        if (!bus.start())
            QSKIP("no dbus-daemon here");
        const QString address = bus.address;
        QDBusConnection service = QDBusConnection::connectToBus(address, "service");
        QDBusConnection client = QDBusConnection::connectToBus(address, "client");
        FakeNotifications fake;
        QVERIFY(service.registerObject("/org/freedesktop/Notifications", &fake, QDBusConnection::ExportAllSlots));
        QVERIFY(service.registerService("org.freedesktop.Notifications"));

        NotificationSender sender(client);
        QSignalSpy delivered(&sender, &NotificationSender::delivered);
        bool enabled = true;
        ConnectionNotices notices(*f.server, sender, [&] { return enabled; });
        QVERIFY(f.startServer(1234));
        TestPhone first(f.port);
        pair(first, "1234");
        QVERIFY(QTest::qWaitFor([&] { return delivered.size() == 1; }));
        TestPhone second(f.port);
        QVERIFY(QTest::qWaitFor([&] { return delivered.size() == 2; }));
        pair(second, "1234");
        QVERIFY(QTest::qWaitFor([&] { return delivered.size() == 3; }));
        second.socket.abort();
        QVERIFY(QTest::qWaitFor([&] { return delivered.size() == 4; }));

        enabled = false;
        TestPhone third(f.port);
        pair(third, "1234");
        QVERIFY(QTest::qWaitFor([&] { return f.server->serverState() == ServerState::paired; }));
        QTest::qWait(200);

        // Each notice takes the place of the one before.
        QCOMPARE(fake.notices, QStringList({"0 iPhone paired", "41 iPhone replaced", "42 iPhone paired",
                                            "43 iPhone disconnected"}));
        QDBusConnection::disconnectFromBus("service");
        QDBusConnection::disconnectFromBus("client");
    }

    void settingsSwitches()
    {
        qputenv("XDG_CONFIG_HOME", (f.home.path() + "/config").toUtf8());
        const AutostartEntry autostart("com.larkspire.Tendril", "/opt/My $Apps/tendril");
        const std::unique_ptr<UserDefaults> defaults = standardUserDefaults();
        GeneralSettings settings(*defaults, autostart);
        QVERIFY(settings.notificationsEnabled());
        settings.setNotificationsEnabled(false);
        QVERIFY(!GeneralSettings(*standardUserDefaults(), autostart).notificationsEnabled());

        const QString entry = f.home.path() + "/config/autostart/com.larkspire.Tendril.desktop";
        QVERIFY(!settings.openAtLogin());
        settings.setOpenAtLogin(true);
        QVERIFY(settings.openAtLogin());
        QFile file(entry);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll().contains(R"(Exec="/opt/My \\$Apps/tendril")"));
        const int valid = QProcess::execute("desktop-file-validate", {entry});
        QVERIFY(valid == 0 || valid == -2); // -2: not installed
        settings.setOpenAtLogin(false);
        QVERIFY(!QFile::exists(entry));
        QVERIFY(!settings.openAtLogin());
        qunsetenv("XDG_CONFIG_HOME");
    }
};

QTEST_MAIN(TestDesktopShell)
#include "tst_desktopshell.moc"

#include "ServerFixture.h"
#include "TestPhone.h"

#include "app/ConnectionNotices.h"
#include "app/GeneralSettings.h"
#include "app/LogOutput.h"
#include "app/TrayMenu.h"
#include "platform/UserDefaults.h"
#include "platform/freedesktop/NotificationSender.h"

#include <QAction>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryFile>

#include <sys/stat.h>

namespace {

// The freedesktop notification service, recording each notice.
class FakeNotifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    struct Notice {
        uint replaces;
        QString summary;
    };
    QList<Notice> notices;

public slots:
    uint Notify(const QString &, uint replacesId, const QString &, const QString &summary,
                const QString &, const QStringList &, const QVariantMap &, int)
    {
        notices.append({replacesId, summary});
        return uint(notices.size()) + 40;
    }
};

struct MemoryDefaults : UserDefaults {
    QMap<QString, QByteArray> values;
    std::optional<QByteArray> data(const QString &key) const override
    {
        return values.contains(key) ? std::optional(values.value(key)) : std::nullopt;
    }
    void setData(const QString &key, const QByteArray &value) override { values.insert(key, value); }
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

    void logLines_data()
    {
        QTest::addColumn<int>("style");
        QTest::addColumn<QString>("pattern");
        QTest::newRow("terminal") << int(LogStyle::terminal)
                                  << R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} warning tendril\.actions: \[AppleScript\] one two$)";
        QTest::newRow("journal") << int(LogStyle::journal) << R"(^<4>\[AppleScript\] one two$)";
        QTest::newRow("plain") << int(LogStyle::plain) << R"(^\[AppleScript\] one two$)";
    }

    void logLines()
    {
        QFETCH(int, style);
        QFETCH(QString, pattern);
        const QString line = formatLogLine(QtWarningMsg, "tendril.actions", "[AppleScript] one\ntwo",
                                           LogStyle(style));
        QVERIFY2(QRegularExpression(pattern).match(line).hasMatch(), qPrintable(line));
    }

    void journalIsRecognisedByItsStream()
    {
        QTemporaryFile file;
        QVERIFY(file.open());
        FILE *stream = fdopen(dup(file.handle()), "w");
        struct stat status {};
        fstat(fileno(stream), &status);
        qputenv("JOURNAL_STREAM", QByteArray::number(quint64(status.st_dev)) + ':'
                                      + QByteArray::number(quint64(status.st_ino)));
        QCOMPARE(logStyleFor(stream), LogStyle::journal);
        qputenv("JOURNAL_STREAM", "1:2");
        QCOMPARE(logStyleFor(stream), LogStyle::plain);
        qunsetenv("JOURNAL_STREAM");
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
        QProcess daemon;
        daemon.start("dbus-daemon", {"--session", "--nofork", "--print-address=1"});
        if (!daemon.waitForReadyRead(5000))
            QSKIP("no dbus-daemon here");
        const QString address = QString::fromUtf8(daemon.readLine()).trimmed();
        QDBusConnection service = QDBusConnection::connectToBus(address, "service");
        QDBusConnection client = QDBusConnection::connectToBus(address, "client");
        FakeNotifications fake;
        QVERIFY(service.registerObject("/org/freedesktop/Notifications", &fake, QDBusConnection::ExportAllSlots));
        QVERIFY(service.registerService("org.freedesktop.Notifications"));

        NotificationSender sender(client);
        bool enabled = true;
        ConnectionNotices notices(*f.server, sender, [&] { return enabled; });
        QVERIFY(f.startServer(1234));
        TestPhone first(f.port);
        pair(first, "1234");
        QVERIFY(QTest::qWaitFor([&] { return fake.notices.size() == 1; }));
        TestPhone second(f.port);
        QVERIFY(QTest::qWaitFor([&] { return fake.notices.size() == 2; }));
        pair(second, "1234");
        QVERIFY(QTest::qWaitFor([&] { return fake.notices.size() == 3; }));
        second.socket.abort();
        QVERIFY(QTest::qWaitFor([&] { return fake.notices.size() == 4; }));

        enabled = false;
        TestPhone third(f.port);
        pair(third, "1234");
        QVERIFY(QTest::qWaitFor([&] { return f.server->serverState() == ServerState::paired; }));
        QTest::qWait(200);

        QStringList summaries;
        for (const auto &notice : fake.notices)
            summaries << notice.summary;
        QCOMPARE(summaries, QStringList({"iPhone paired", "iPhone replaced", "iPhone paired",
                                         "iPhone disconnected"}));
        // Each notice takes the place of the one before.
        QCOMPARE(fake.notices[0].replaces, 0u);
        QCOMPARE(fake.notices[3].replaces, 43u);

        QDBusConnection::disconnectFromBus("service");
        QDBusConnection::disconnectFromBus("client");
        daemon.kill();
        daemon.waitForFinished();
    }

    void settingsSwitches()
    {
        qputenv("XDG_CONFIG_HOME", (f.home.path() + "/config").toUtf8());
        MemoryDefaults defaults;
        GeneralSettings settings(defaults, AutostartEntry("com.larkspire.Tendril", "/opt/My $Apps/tendril"));
        QVERIFY(settings.notificationsEnabled());
        settings.setNotificationsEnabled(false);
        QCOMPARE(defaults.values.value(GeneralSettings::notificationsKey), "false");
        QVERIFY(!settings.notificationsEnabled());

        const QString entry = f.home.path() + "/config/autostart/com.larkspire.Tendril.desktop";
        QVERIFY(!settings.openAtLogin());
        settings.setOpenAtLogin(true);
        QVERIFY(settings.openAtLogin());
        QFile file(entry);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll().contains(R"(Exec="/opt/My \\$Apps/tendril")"));
        if (QProcess::execute("desktop-file-validate", {entry}) == -2)
            qInfo("desktop-file-validate is not installed");
        else
            QCOMPARE(QProcess::execute("desktop-file-validate", {entry}), 0);
        settings.setOpenAtLogin(false);
        QVERIFY(!QFile::exists(entry));
        QVERIFY(!settings.openAtLogin());
        qunsetenv("XDG_CONFIG_HOME");
    }
};

QTEST_MAIN(TestDesktopShell)
#include "tst_desktopshell.moc"

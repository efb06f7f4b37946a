#include "ServerFixture.h"
#include "TestPhone.h"

#include "app/ConnectionNotices.h"
#include "server/LogOutput.h"
#include "app/TrayMenu.h"
#include "platform/DesktopNotifications.h"
#include "server/AppSettings.h"

#include <QAction>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryFile>

#include <sys/stat.h>

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

    // Tray and notices through one phone's life: paired, replaced, paired
    // again, lost; no notice while they are switched off.
    void trayAndNoticesFollowThePhone()
    {
        TrayMenu tray(*f.server);
        RecordingNotifications shown;
        bool enabled = true;
        ConnectionNotices notices(*f.server, shown, [&] { return enabled; });
        const auto state = [&](const QString &text) {
            return QTest::qWaitFor([&] { return tray.stateAction()->text() == text; });
        };
        QCOMPARE(tray.pinAction()->text(), "PIN not drawn yet");
        QVERIFY(QFile::exists(":/tendril/com.larkspire.Tendril-128.png")); // the icon without a theme
        QVERIFY(f.startServer(42));
        QCOMPARE(tray.pinAction()->text(), "PIN 0042");
        QVERIFY(state("Waiting for iPhone"));
        TestPhone first(f.port);
        QVERIFY(state("iPhone Connected"));
        pair(first, "0042");
        QVERIFY(state("iPhone paired"));
        TestPhone second(f.port);
        QVERIFY(QTest::qWaitFor([&] { return shown.shown.size() == 2; }));
        pair(second, "0042");
        QVERIFY(QTest::qWaitFor([&] { return shown.shown.size() == 3; }));
        second.socket.abort();
        QVERIFY(state("Waiting for iPhone"));

        enabled = false;
        TestPhone third(f.port);
        pair(third, "0042");
        QVERIFY(state("iPhone paired"));
        // One key: each notice takes the place of the one before.
        QCOMPARE(shown.shown, QStringList({"connection iPhone paired", "connection iPhone replaced",
                                           "connection iPhone paired", "connection iPhone disconnected"}));

        QSignalSpy showWindow(&tray, &TrayMenu::showWindowRequested);
        QSignalSpy quit(&tray, &TrayMenu::quitRequested);
        tray.showAction()->trigger();
        QCOMPARE(showWindow.size() * 10 + quit.size(), 10);
        tray.quitAction()->trigger();
        QCOMPARE(quit.size(), 1);
    }

    void settingsSwitches()
    {
        qputenv("XDG_CONFIG_HOME", (f.home.path() + "/config").toUtf8());
        const AutostartEntry autostart("com.larkspire.Tendril", "/opt/My $Apps/tendril");
        AppSettings settings;
        QVERIFY(settings.notificationsEnabled());
        QVERIFY(!settings.openAtLogin()); // no entry handed in yet
        settings.setAutostart(autostart);
        settings.setNotificationsEnabled(false);
        QVERIFY(!AppSettings().notificationsEnabled());

        const QString entry = f.home.path() + "/config/autostart/com.larkspire.Tendril.desktop";
        settings.setOpenAtLogin(true);
        QVERIFY(settings.openAtLogin());
        QFile file(entry);
        QVERIFY(file.open(QIODevice::ReadOnly) && file.readAll().contains(R"(Exec="/opt/My \\$Apps/tendril")"));
        const int valid = QProcess::execute("desktop-file-validate", {entry});
        QVERIFY(valid == 0 || valid == -2); // -2: not installed
        settings.setOpenAtLogin(false);
        QVERIFY(!QFile::exists(entry) && !settings.openAtLogin());
        qunsetenv("XDG_CONFIG_HOME");
    }
};

QTEST_MAIN(TestDesktopShell)
#include "tst_desktopshell.moc"

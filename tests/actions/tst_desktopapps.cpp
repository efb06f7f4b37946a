// Applications started from desktop entries, as real processes on the test's
// X display with the test's window manager: launched, seen running and in
// front, hidden, activated and asked to quit.
#include "TestWindowManager.h"

#include "platform/LinuxApplicationServices.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

using Request = TestWindowManager::Request;

class DesktopAppsTest : public QObject {
    Q_OBJECT

    QTemporaryDir home;
    QList<qint64> started;

    QByteArray readLog(const QString &name)
    {
        QFile file(home.filePath(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    // A copy of the stand-in application, so that each entry has its own program.
    QString program(const QString &name)
    {
        const QString path = home.filePath("bin/" + name);
        QDir().mkpath(home.filePath("bin"));
        QFile::copy(TEST_WINDOW, path);
        QFile::setPermissions(path, QFile::ReadOwner | QFile::ExeOwner);
        return path;
    }
    void writeEntry(const QString &id, const QString &name, const QString &exec)
    {
        QDir().mkpath(home.filePath("data/applications"));
        QFile file(home.filePath("data/applications/" + id + ".desktop"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(("[Desktop Entry]\nType=Application\nName=" + name + "\nExec=" + exec + "\n").toUtf8());
    }
    std::optional<RunningApplication> running(LinuxApplicationServices &services, const QString &id)
    {
        for (const RunningApplication &app : services.runningApplications())
            if (app.bundleIdentifier == id) {
                started.append(app.processIdentifier);
                return app;
            }
        return std::nullopt;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(home.isValid());
        qputenv("XDG_DATA_HOME", home.filePath("data").toUtf8());
        qputenv("XDG_DATA_DIRS", home.filePath("none").toUtf8());
        writeEntry("org.example.Stubborn", "Stubborn Editor", program("stubborn") + " " + home.filePath("stubborn.log"));
        writeEntry("org.example.Quiet", "Quiet", program("quiet") + " --no-window " + home.filePath("quiet.log"));
    }
    void cleanupTestCase()
    {
        for (qint64 pid : started)
            ::kill(pid_t(pid), SIGKILL);
    }

    void launchedEntryIsSteeredAndAskedToClose()
    {
        TestWindowManager wm({"_NET_ACTIVE_WINDOW", "_NET_CLOSE_WINDOW"});
        QVERIFY(wm.isReady());
        LinuxApplicationServices services;
        const std::optional<QString> entry = services.urlForApplication("org.example.Stubborn");
        QCOMPARE(entry, home.filePath("data/applications/org.example.Stubborn.desktop"));
        std::optional<QString> error = "no answer";
        services.openApplication(*entry, [&](std::optional<QString> e) { error = e; });
        QCOMPARE(error, std::nullopt);

        QTRY_VERIFY(readLog("stubborn.log").startsWith("window "));
        const std::uint32_t window = readLog("stubborn.log").mid(7).trimmed().toUInt();
        QCOMPARE(wm.requests(1), QList<Request>({{"map", window, 0}}));
        wm.manage(window);
        wm.setActive(window);
        QTRY_VERIFY(running(services, "org.example.Stubborn"));
        const RunningApplication app = *running(services, "org.example.Stubborn");
        QCOMPARE(app.localizedName, "Stubborn Editor");
        QTRY_COMPARE(services.frontmostApplication(), app);

        services.hide(app);
        services.activate(app);
        services.terminate(app);
        QCOMPARE(wm.requests(3), QList<Request>({{"WM_CHANGE_STATE", window, 3}, {"_NET_ACTIVE_WINDOW", window, 2},
                                                 {"_NET_CLOSE_WINDOW", window, 0}}));
        // The window manager asks the window; the application stays to ask its user.
        wm.deliverDelete(window);
        QTRY_COMPARE(readLog("stubborn.log"), "window " + QByteArray::number(window) + "\ndelete\n");
        QTest::qWait(300);
        QCOMPARE(::kill(pid_t(app.processIdentifier), 0), 0);
        QVERIFY(!readLog("stubborn.log").contains("term"));
        wm.deliverDelete(window); // the user agreed
        QTRY_VERIFY(!running(services, "org.example.Stubborn"));
    }

    void windowClassNamesAProgramNoEntryRuns()
    {
        TestWindowManager wm({"_NET_ACTIVE_WINDOW"});
        QVERIFY(wm.isReady());
        qint64 pid = 0;
        QVERIFY(QProcess::startDetached(program("anonymous"), {home.filePath("anonymous.log")}, {}, &pid));
        started.append(pid);
        QTRY_VERIFY(readLog("anonymous.log").startsWith("window "));
        LinuxApplicationServices services;
        QVERIFY(!running(services, "org.example.Stubborn"));
        wm.manage(readLog("anonymous.log").mid(7).trimmed().toUInt()); // WM_CLASS "Stubborn"
        QTRY_COMPARE(running(services, "org.example.Stubborn").value_or(RunningApplication()).processIdentifier, pid);
    }

    void windowlessApplicationGetsSigterm()
    {
        LinuxApplicationServices services;
        std::optional<QString> error = "no answer";
        services.openApplication(*services.urlForApplication("org.example.Quiet"), [&](auto e) { error = e; });
        QCOMPARE(error, std::nullopt);
        QTRY_VERIFY(running(services, "org.example.Quiet"));
        services.terminate(*running(services, "org.example.Quiet"));
        QTRY_COMPARE(readLog("quiet.log"), QByteArray("term\n"));
        QTRY_VERIFY(!running(services, "org.example.Quiet"));
    }
};

QTEST_GUILESS_MAIN(DesktopAppsTest)
#include "tst_desktopapps.moc"

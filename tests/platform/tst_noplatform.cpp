// The stand-in services of a build without a desktop: the clipboard keeps
// what it is given, installed bundles are found, and everything that needs a
// desktop fails with a reason instead of claiming success.
#include "platform/Platform.h"
#include "platform/none/MemoryPasteboard.h"
#include "platform/none/NoDesktop.h"
#include "tests/catalogue/CatalogueFixtures.h"

#include <QTest>

#include <functional>

class TestNoPlatform : public QObject {
    Q_OBJECT

private slots:
    void pasteboardKeepsTheLastThing()
    {
        MemoryPasteboard pasteboard;
        QVERIFY(!pasteboard.string() && !pasteboard.data(Pasteboard::typePNG));
        pasteboard.setString("one");
        QCOMPARE(pasteboard.string(), QString("one"));
        QVERIFY(!pasteboard.data(Pasteboard::typePNG));

        const QImage image = solidImage(16, Qt::red);
        pasteboard.writeImage(image);
        QVERIFY(!pasteboard.string()); // the image took the text's place
        const std::optional<QByteArray> png = pasteboard.data(Pasteboard::typePNG);
        QVERIFY(png);
        QCOMPARE(QImage::fromData(*png, "PNG").convertToFormat(image.format()), image);
        QVERIFY(!pasteboard.data("public.utf8-plain-text"));

        pasteboard.clearContents();
        QVERIFY(!pasteboard.data(Pasteboard::typePNG));
    }

    void desktopRequestsFail_data()
    {
        QTest::addColumn<std::function<ActionResult()>>("request");
        static NoDesktopActions actions;
        static NoScreenCapture capture;
        static NoApplicationServices applications;
        QTest::newRow("lock") << std::function([] { return actions.lockScreen(); });
        QTest::newRow("trash") << std::function([] { return actions.emptyTrash(); });
        QTest::newRow("dark") << std::function([] { return actions.toggleDarkMode(); });
        QTest::newRow("desktop") << std::function([] { return actions.showDesktop(); });
        QTest::newRow("overview") << std::function([] { return actions.overview(); });
        QTest::newRow("volume") << std::function([] { return actions.setOutputVolume(50); });
        QTest::newRow("minimize") << std::function([] { return actions.minimize(RunningApplication{1, {}, {}, {}}); });
        QTest::newRow("screenshot") << std::function([] { return capture.capture("/tmp/x.png"); });
        QTest::newRow("windows") << std::function([] { return applications.windowSteeringUnavailable(); });
        QTest::newRow("open") << std::function([] {
            ActionResult error;
            bool completed = false;
            applications.openApplication("/Applications/Notes.app", [&](ActionResult e) {
                completed = true;
                error = e;
            });
            return completed ? error : ActionResult();
        });
    }

    void desktopRequestsFail()
    {
        QFETCH(std::function<ActionResult()>, request);
        const ActionResult error = request();
        QVERIFY(error);
        QVERIFY2(error->contains("needs a desktop"), qPrintable(*error));
    }

    void installedBundlesAreFound()
    {
        TemporaryHome home;
        const QString notes = makeBundle(home.applications(), "Notes.app", {{"CFBundleIdentifier", "com.example.notes"}});
        NoApplicationServices applications;
        QCOMPARE(applications.urlForApplication("com.example.notes"), notes);
        QVERIFY(!applications.urlForApplication("com.example.missing"));
        QVERIFY(applications.runningApplications().isEmpty());
    }

    void advertiserSaysItCannot()
    {
        NoServiceAdvertiser advertiser;
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("Cannot advertise Desk .*no DNS-SD"));
        advertiser.advertise("Desk", "_tendril._tcp", "local.", 5000);
        QVERIFY(advertiser.warned());
        advertiser.advertise("Desk", "_tendril._tcp", "local.", 5000); // said once
    }

    void systemPlatformIsTheStandIns()
    {
        Platform &platform = systemPlatform();
        QVERIFY(dynamic_cast<MemoryPasteboard *>(platform.pasteboard));
        QVERIFY(dynamic_cast<NoServiceAdvertiser *>(platform.advertiser));
        QCOMPARE(platform.computerName->localizedName(), QSysInfo::machineHostName());
    }
};

QTEST_GUILESS_MAIN(TestNoPlatform)
#include "tst_noplatform.moc"

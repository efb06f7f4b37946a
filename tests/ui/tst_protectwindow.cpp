// Protected mode in the window, off-screen: the question above the page,
// the connected phone's address, and the Settings page's switch and Forget.
#include "UiFixtures.h"

#include "app/TendrilApp.h"
#include "server/AppSettings.h"
#include "server/MacServerService.h"
#include "ui/MacTab.h"

#include <QQuickItem>
#include <QQuickWindow>
#include <QTcpSocket>
#include <QTest>

class TestProtectWindow : public QObject {
    Q_OBJECT

    QQuickWindow *window = nullptr;

    // The one item of that name, or nullptr.
    QQuickItem *item(const char *name, QQuickItem *root = nullptr)
    {
        QList<QQuickItem *> found;
        QList<QQuickItem *> queue{root ? root : window->contentItem()};
        while (!queue.isEmpty()) {
            QQuickItem *next = queue.takeFirst();
            if (next->objectName() == QLatin1String(name) && next->isVisible())
                found << next;
            queue += next->childItems();
        }
        return found.size() == 1 ? found.first() : nullptr;
    }

private slots:
    void answersAndSettingsReachTheServer()
    {
        TemporaryHome home;
        TendrilApp tendril;
        tendril.server().setListeningPort(0);
        tendril.settings().setRequireApproval(true);
        window = tendril.showWindow();
        QVERIFY(window && tendril.server().listener());

        QTcpSocket phone;
        phone.bind(QHostAddress(QStringLiteral("127.0.0.2")));
        phone.connectToHost(QHostAddress::LocalHost, tendril.server().listener()->port());
        QTRY_VERIFY(item("allowButton"));
        QCOMPARE(item("question")->property("text").toString(), QStringLiteral("Allow phone at 127.0.0.2?"));
        QMetaObject::invokeMethod(item("allowButton"), "clicked");
        QTRY_VERIFY(tendril.server().isConnected());
        QTRY_VERIFY(!item("approvalBanner"));
        QCOMPARE(item("phoneAddress")->property("text").toString(), QStringLiteral("127.0.0.2"));

        item("mainView")->setProperty("selectedTab", int(MacTab::settings));
        QTRY_VERIFY(item("forgetButton"));
        QMetaObject::invokeMethod(item("forgetButton"), "clicked");
        QVERIFY(tendril.settings().approvedPhones().isEmpty());
        QMetaObject::invokeMethod(item("protectedModeRow"), "toggled", Q_ARG(bool, false));
        QVERIFY(!tendril.settings().requireApproval());
    }
};

QTEST_MAIN(TestProtectWindow)
#include "tst_protectwindow.moc"

#include "protocol/AppItem.h"

#include <QSet>
#include <QTest>

namespace {

AppItem sample()
{
    return AppItem(QUuid(QStringLiteral("{3f2a8c10-5b7d-4e21-9a6c-0d14e7b2c953}")), QStringLiteral("com.apple.finder"),
                   QStringLiteral("Finder"), QByteArray("png"), 2, true, false, true);
}

} // namespace

class TestAppItem : public QObject {
    Q_OBJECT

private slots:
    void equalRecordsHashAlike()
    {
        const AppItem a = sample(), b = sample();
        QVERIFY(a == b);
        QCOMPARE(qHash(a), qHash(b));
        QCOMPARE(qHash(a, 17), qHash(b, 17));
        QCOMPARE(std::hash<AppItem>{}(a), qHash(a));
    }

    void everyFieldTakesPart_data()
    {
        QTest::addColumn<AppItem>("changed");
        AppItem item = sample();
        item.id = QUuid::createUuid();
        QTest::newRow("id only") << item;
        item = sample(); item.bundleIdentifier = QStringLiteral("com.apple.Finder");
        QTest::newRow("bundle case") << item;
        item = sample(); item.displayName = QStringLiteral("Finder ");
        QTest::newRow("displayName") << item;
        item = sample(); item.iconData = QByteArray("pnh");
        QTest::newRow("icon bytes") << item;
        item = sample(); item.iconData.reset();
        QTest::newRow("icon absent") << item;
        item = sample(); item.gridIndex = 3;
        QTest::newRow("gridIndex") << item;
        item = sample(); item.isRunning = false;
        QTest::newRow("isRunning") << item;
        item = sample(); item.isFrontmost = true;
        QTest::newRow("isFrontmost") << item;
        item = sample(); item.wasLastUsed = false;
        QTest::newRow("wasLastUsed") << item;
    }

    void everyFieldTakesPart()
    {
        QFETCH(AppItem, changed);
        QVERIFY(!(changed == sample()));
        QVERIFY(qHash(changed) != qHash(sample()));
    }

    // No icon and an empty icon are different records.
    void absentIconDiffersFromEmptyIcon()
    {
        AppItem absent = sample(), empty = sample();
        absent.iconData.reset();
        empty.iconData = QByteArray();
        QVERIFY(!(absent == empty));
        QVERIFY(qHash(absent) != qHash(empty));
        const QSet<AppItem> set{absent, empty, sample()};
        QCOMPARE(set.size(), 3);
        QVERIFY(set.contains(absent));
    }
};

QTEST_GUILESS_MAIN(TestAppItem)
#include "tst_appitem.moc"

#include "platform/LinuxComputerName.h"

#include <QTemporaryDir>
#include <QTest>

class ComputerNameTest : public QObject {
    Q_OBJECT
private slots:
    void readsThePrettyHostName_data()
    {
        QTest::addColumn<QByteArray>("machineInfo");
        QTest::addColumn<QString>("expected");
        QTest::newRow("quoted") << QByteArray("PRETTY_HOSTNAME=\"Ada's Desk\"\n") << "Ada's Desk";
        QTest::newRow("bare") << QByteArray("CHASSIS=laptop\nPRETTY_HOSTNAME=Studio\n") << "Studio";
        QTest::newRow("escaped quote")
            << QByteArray("PRETTY_HOSTNAME=\"The \\\"Big\\\" One\"") << "The \"Big\" One";
        QTest::newRow("utf-8") << QByteArray("PRETTY_HOSTNAME=\"Zoë’s Mac\"") << QString::fromUtf8("Zoë’s Mac");
        QTest::newRow("absent") << QByteArray("CHASSIS=desktop\n") << QString();
        QTest::newRow("empty") << QByteArray("PRETTY_HOSTNAME=\n") << QString();
    }
    void readsThePrettyHostName()
    {
        QFETCH(QByteArray, machineInfo);
        QFETCH(QString, expected);
        QCOMPARE(LinuxComputerName::prettyHostName(machineInfo), expected);
    }

    void fallsBackToTheHostName()
    {
        QTemporaryDir dir;
        LinuxComputerName missingFile(dir.filePath(QStringLiteral("absent")));
        QCOMPARE(missingFile.localizedName(), QSysInfo::machineHostName());

        QFile info(dir.filePath(QStringLiteral("machine-info")));
        QVERIFY(info.open(QIODevice::WriteOnly));
        info.write("PRETTY_HOSTNAME=\"Living Room\"\n");
        info.close();
        LinuxComputerName named(info.fileName());
        QCOMPARE(named.localizedName(), QStringLiteral("Living Room"));
        // Looked up afresh each time.
        QVERIFY(info.open(QIODevice::WriteOnly | QIODevice::Truncate));
        info.write("PRETTY_HOSTNAME=Kitchen\n");
        info.close();
        QCOMPARE(named.localizedName(), QStringLiteral("Kitchen"));
    }
};

QTEST_GUILESS_MAIN(ComputerNameTest)
#include "tst_computername.moc"

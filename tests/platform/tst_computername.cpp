#include "platform/freedesktop/LinuxComputerName.h"

#include <QTemporaryDir>
#include <QTest>

class ComputerNameTest : public QObject {
    Q_OBJECT
private slots:
    void readsThePrettyHostName()
    {
        const QList<std::pair<QByteArray, QString>> cases{
            {"PRETTY_HOSTNAME=\"Ada's Desk\"\n", "Ada's Desk"},
            {"CHASSIS=laptop\nPRETTY_HOSTNAME=Studio\n", "Studio"},
            {"PRETTY_HOSTNAME=\"The \\\"Big\\\" One\"", "The \"Big\" One"},
            {"PRETTY_HOSTNAME=\"Zoë’s Mac\"", "Zoë’s Mac"},
            {"CHASSIS=desktop\n", ""},
            {"PRETTY_HOSTNAME=\n", ""}};
        for (const auto &[machineInfo, expected] : cases)
            QCOMPARE(LinuxComputerName::prettyHostName(machineInfo), expected);
    }

    // Looked up afresh each time; the host name without the file.
    void fallsBackToTheHostName()
    {
        QTemporaryDir dir;
        QCOMPARE(LinuxComputerName(dir.filePath("absent")).localizedName(), QSysInfo::machineHostName());
        QFile info(dir.filePath("machine-info"));
        LinuxComputerName named(info.fileName());
        for (const char *name : {"Living Room", "Kitchen"}) {
            QVERIFY(info.open(QIODevice::WriteOnly | QIODevice::Truncate));
            info.write(QByteArray("PRETTY_HOSTNAME=\"") + name + "\"\n");
            info.close();
            QCOMPARE(named.localizedName(), QString(name));
        }
    }
};

QTEST_GUILESS_MAIN(ComputerNameTest)
#include "tst_computername.moc"

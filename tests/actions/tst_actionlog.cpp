// One failure, one log line, whatever the tool's error text looks like.
#include "server/ActionLog.h"

#include <QTest>

class ActionLogTest : public QObject {
    Q_OBJECT
private slots:
    void linesAreJoined_data()
    {
        QTest::addColumn<QString>("written");
        QTest::addColumn<QString>("logged");
        QTest::newRow("one line") << "[AppleScript] Not allowed." << "[AppleScript] Not allowed.";
        QTest::newRow("empty description") << "[AppleScript] " << "[AppleScript] ";
        QTest::newRow("two lines") << "[AppleScript] 87:95: error\n(-1728)"
                                   << "[AppleScript] 87:95: error (-1728)";
        QTest::newRow("starts, ends and pauses with breaks")
            << "[Launch] org.a: \nfailed:\r\n\r\n   no such file\n" << "[Launch] org.a: failed: no such file";
    }
    void linesAreJoined()
    {
        QFETCH(QString, written);
        QFETCH(QString, logged);
        QStringList lines;
        ActionLog([&](const QString &line) { lines << line; }).write(written);
        QCOMPARE(lines, QStringList(logged));
    }
};

QTEST_GUILESS_MAIN(ActionLogTest)
#include "tst_actionlog.moc"

// One failure, one log line, whatever the tool's error text looks like.
#include "server/ActionLog.h"

#include <QTest>

class ActionLogTest : public QObject {
    Q_OBJECT
private slots:
    void linesAreJoined()
    {
        const QList<QPair<QString, QString>> cases = {
            {"[AppleScript] ", "[AppleScript] "},
            {"[AppleScript] 87:95: error\n(-1728)", "[AppleScript] 87:95: error (-1728)"},
            {"[Launch] a: \nfailed:\r\n\r\n   no file\n", "[Launch] a: failed: no file"},
        };
        for (const auto &[written, logged] : cases) {
            QStringList lines;
            ActionLog([&](const QString &line) { lines << line; }).write(written);
            QCOMPARE(lines, QStringList(logged));
        }
    }
};

QTEST_GUILESS_MAIN(ActionLogTest)
#include "tst_actionlog.moc"

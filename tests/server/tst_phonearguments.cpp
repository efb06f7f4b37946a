#include "tools/phone/PhoneArguments.h"

#include <QBuffer>
#include <QTemporaryDir>
#include <QTest>

class TestPhoneArguments : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    QString file(const QString &name, const QByteArray &content)
    {
        QFile f(m_dir.filePath(name));
        f.open(QIODevice::WriteOnly);
        f.write(content);
        return f.fileName();
    }

private slots:
    void resolving_data()
    {
        QTest::addColumn<QStringList>("words");
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QStringList>("expected"); // empty: refused
        QTest::addColumn<QString>("error");

        const QByteArray photo("\x89PNG\r\n\x1a\n\x00\xff", 10);
        const QString photoPath = file("photo.png", photo);
        const QString textPath = file("text.txt", "hello\n");
        const QString image = QString::fromLatin1(photo.toBase64());

        QTest::newRow("text file, one line break less") << QStringList{"launchApp", "@" + textPath}
                                                        << QByteArray() << QStringList{"launchApp", "hello"} << "";
        QTest::newRow("clipboard text kept whole, literal at") << QStringList{"clipboardPayload", "@" + textPath, "@@x"}
                                                   << QByteArray() << QStringList{"clipboardPayload", "hello\n", "@x"} << "";
        QTest::newRow("image file") << QStringList{"clipboardImagePayload", "@" + photoPath} << QByteArray()
                                    << QStringList{"clipboardImagePayload", image} << "";
        QTest::newRow("image from input") << QStringList{"clipboardImagePayload", "-"} << photo
                                          << QStringList{"clipboardImagePayload", image} << "";
        QTest::newRow("marked image") << QStringList{"clipboardPayload", "[IMAGE]@" + photoPath} << QByteArray()
                                      << QStringList{"clipboardPayload", "[IMAGE]" + image} << "";
        QTest::newRow("missing file") << QStringList{"clipboardImagePayload", "@/no/such/file"} << QByteArray()
                                      << QStringList{} << "cannot read /no/such/file";
        QTest::newRow("input twice") << QStringList{"macHello", "-", "-"} << QByteArray("1")
                                     << QStringList{} << "standard input (-) can be used once";
    }

    void resolving()
    {
        QFETCH(QStringList, words);
        QFETCH(QByteArray, input);
        QFETCH(QStringList, expected);
        QFETCH(QString, error);
        QBuffer stdinBuffer(&input);
        stdinBuffer.open(QIODevice::ReadOnly);
        QString said;
        const std::optional<QStringList> resolved = resolvePhoneArguments(words, stdinBuffer, &said);
        QCOMPARE(resolved.value_or(QStringList()), expected);
        QVERIFY2(error.isEmpty() ? said.isEmpty() : said.startsWith(error), qPrintable(said));
    }
};

QTEST_GUILESS_MAIN(TestPhoneArguments)
#include "tst_phonearguments.moc"

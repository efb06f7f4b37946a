#include "tools/phone/PhoneArguments.h"
#include "tests/catalogue/DesktopFixtures.h"

#include <QBuffer>
#include <QTemporaryDir>
#include <QTest>

namespace {
const QByteArray kPhoto("\x89PNG\r\n\x1a\n\x00\xff", 10);
}

class TestPhoneArguments : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    // Words with %T (a text file), %P (a photo file) and %I (the photo in
    // base64); the resolved words joined by "|", or the error's beginning.
    void resolving_data()
    {
        QTest::addColumn<QString>("words");
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QString>("expected");

        QTest::newRow("text file, one line break less") << "launchApp @%T" << QByteArray() << "launchApp|hello";
        QTest::newRow("clipboard text whole; literal @") << "clipboardPayload @%T @@x" << QByteArray()
                                                         << "clipboardPayload|hello\n|@x";
        QTest::newRow("image file") << "clipboardImagePayload @%P" << QByteArray() << "clipboardImagePayload|%I";
        QTest::newRow("image from input") << "clipboardImagePayload -" << kPhoto << "clipboardImagePayload|%I";
        QTest::newRow("marked image") << "clipboardPayload [IMAGE]@%P" << QByteArray() << "clipboardPayload|[IMAGE]%I";
        QTest::newRow("missing file") << "clipboardImagePayload @/no/such" << QByteArray() << "cannot read /no/such";
        QTest::newRow("input twice") << "macHello - -" << QByteArray("1") << "standard input (-) can be used once";
    }

    void resolving()
    {
        QFETCH(QString, words);
        QFETCH(QByteArray, input);
        QFETCH(QString, expected);
        const auto place = [&](QString text) {
            return text.replace("%T", m_dir.filePath("text.txt")).replace("%P", m_dir.filePath("photo.png"))
                .replace("%I", kPhoto.toBase64());
        };
        QVERIFY(writeFile(m_dir.filePath("text.txt"), "hello\n") && writeFile(m_dir.filePath("photo.png"), kPhoto));
        QBuffer standardInput(&input);
        standardInput.open(QIODevice::ReadOnly);
        QString error;
        const std::optional<QStringList> resolved = resolvePhoneArguments(place(words).split(' '), standardInput, &error);
        QVERIFY2(resolved ? error.isEmpty() : !error.isEmpty(), qPrintable(error));
        QVERIFY2(resolved ? resolved->join('|') == place(expected) : error.startsWith(expected), qPrintable(error));
    }
};

QTEST_GUILESS_MAIN(TestPhoneArguments)
#include "tst_phonearguments.moc"

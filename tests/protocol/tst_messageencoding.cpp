#include "protocol/MessageCodec.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

#include <cmath>
#include <limits>

namespace {

AppItem finderItem(std::optional<QByteArray> icon = std::nullopt)
{
    return AppItem(QUuid(QStringLiteral("3f2a8c10-5b7d-4e21-9a6c-0d14e7b2c953")),
                   QStringLiteral("com.apple.finder"), QStringLiteral("Finder"),
                   std::move(icon), 0, false, false, false);
}

QByteArray encoded(const TDMessage &message)
{
    const std::optional<QByteArray> bytes = encodeMessage(message);
    return bytes ? *bytes : QByteArray("<encoding failed>");
}

} // namespace

class TestMessageEncoding : public QObject {
    Q_OBJECT

private slots:
    void writesTheDocumentedForms()
    {
        // TDMessage has no equality, so it cannot be a test data column.
        struct Row {
            const char *name;
            TDMessage message;
            QByteArray json;
        };
        const Row rows[] = {
            {"focusApp", TDMessage(td::FocusApp{QStringLiteral("com.apple.finder")}),
             QByteArray(R"({"focusApp":{"bundleID":"com.apple.finder"}})")},
            {"requestAppList", TDMessage(td::RequestAppList{}),
             QByteArray(R"({"requestAppList":{}})")},
            {"frontmost none", TDMessage(td::FrontmostAppUpdate{}),
             QByteArray(R"({"frontmostAppUpdate":{}})")},
            {"adjustVolume", TDMessage(td::AdjustVolume{0.5f}),
             QByteArray(R"({"adjustVolume":{"delta":0.5}})")},
            {"runningApps", TDMessage(td::RunningAppsUpdate{{QStringLiteral("com.apple.finder")}}),
             QByteArray(R"({"runningAppsUpdate":{"bundleIDs":["com.apple.finder"]}})")},
            {"empty app list", TDMessage(td::AppListUpdate{}),
             QByteArray(R"({"appListUpdate":{"apps":[]}})")},
            {"macHello", TDMessage(td::MacHello{QStringLiteral("0427"), QStringLiteral("Studio")}),
             QByteArray(R"({"macHello":{"pin":"0427","macName":"Studio"}})")},
            {"app without icon", TDMessage(td::AppListUpdate{{finderItem()}}),
             QByteArray(R"({"appListUpdate":{"apps":[{"id":"3F2A8C10-5B7D-4E21-9A6C-0D14E7B2C953",)"
                          R"("bundleIdentifier":"com.apple.finder","displayName":"Finder","gridIndex":0,)"
                          R"("isRunning":false,"isFrontmost":false,"wasLastUsed":false}]}})")},
            {"icon between name and slot", TDMessage(td::AppListUpdate{{finderItem(QByteArray("\x89PNG", 4))}}),
             QByteArray(R"({"appListUpdate":{"apps":[{"id":"3F2A8C10-5B7D-4E21-9A6C-0D14E7B2C953",)"
                          R"("bundleIdentifier":"com.apple.finder","displayName":"Finder","iconData":"iVBORw==",)"
                          R"("gridIndex":0,"isRunning":false,"isFrontmost":false,"wasLastUsed":false}]}})")},
            {"empty icon is present", TDMessage(td::AppListUpdate{{AppItem(QUuid(), {}, {}, QByteArray(), -7, true, true, true)}}),
             QByteArray(R"({"appListUpdate":{"apps":[{"id":"00000000-0000-0000-0000-000000000000",)"
                          R"("bundleIdentifier":"","displayName":"","iconData":"","gridIndex":-7,)"
                          R"("isRunning":true,"isFrontmost":true,"wasLastUsed":true}]}})")},
            {"dragDropMode", TDMessage(td::DragDropMode{true}),
             QByteArray(R"({"dragDropMode":{"active":true}})")},
        };
        for (const Row &row : rows) {
            const QByteArray json = encoded(row.message);
            if (json != row.json)
                qWarning("row: %s", row.name);
            QCOMPARE(json, row.json);
        }
    }

    void escapesStrings_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("json");

        QTest::newRow("quote and backslash") << QStringLiteral("a\"b\\c") << QByteArray("\"a\\\"b\\\\c\"");
        QTest::newRow("short escapes") << QStringLiteral("\b\f\n\r\t") << QByteArray("\"\\b\\f\\n\\r\\t\"");
        QTest::newRow("other controls") << QString(QChar(0)) + QChar(1) + QChar(0x1f)
                                        << QByteArray("\"\\u0000\\u0001\\u001f\"");
        QTest::newRow("slash and DEL kept") << QStringLiteral("a/b\x7f") << QByteArray("\"a/b\x7f\"");
        QTest::newRow("non-ASCII as UTF-8") << QStringLiteral("Café ☕ 😀")
                                            << QByteArray("\"Caf\xc3\xa9 \xe2\x98\x95 \xf0\x9f\x98\x80\"");
    }

    void escapesStrings()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, json);
        QCOMPARE(encoded(td::ClipboardPayload{text}),
                 QByteArray(R"({"clipboardPayload":{"text":)") + json + "}}");
    }

    // The word-at-a-time scan must find a special character at any offset of
    // a long text; an independent JSON reader checks the result.
    void escapesAtEveryOffset()
    {
        const QString specials = QStringLiteral("\"\\\n\x01\x1f");
        for (const QChar special : specials) {
            for (int offset = 0; offset < 40; ++offset) {
                QString text(40, QLatin1Char('x'));
                text[offset] = special;
                text += QStringLiteral("é");
                const QByteArray json = encoded(td::ClipboardPayload{text});
                for (char c : json)
                    QVERIFY2(uchar(c) >= 0x20, "raw control character in output");
                QJsonParseError parseError;
                const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
                QCOMPARE(parseError.error, QJsonParseError::NoError);
                QCOMPARE(document[QLatin1String("clipboardPayload")][QLatin1String("text")].toString(), text);
            }
        }
    }

    // A lone surrogate cannot be written as UTF-8; the output must still be
    // text the other side can read.
    void keepsBrokenTextReadable()
    {
        const QString text = QStringLiteral("a") + QChar(0xD800) + QStringLiteral("b");
        const QByteArray json = encoded(td::ClipboardPayload{text});
        const std::optional<TDMessage> back = decodeMessage(json);
        QVERIFY(back);
        const QString read = back->get<td::ClipboardPayload>()->text;
        QVERIFY(read.startsWith(QLatin1Char('a')) && read.endsWith(QLatin1Char('b')));
    }

    void writesShortestFloats_data()
    {
        QTest::addColumn<float>("value");
        QTest::addColumn<QByteArray>("text");

        QTest::newRow("0.1") << 0.1f << QByteArray("0.1");
        QTest::newRow("5") << 5.0f << QByteArray("5");
        QTest::newRow("0.5") << 0.5f << QByteArray("0.5");
        QTest::newRow("-0.25") << -0.25f << QByteArray("-0.25");
        QTest::newRow("smallest subnormal") << std::numeric_limits<float>::denorm_min() << QByteArray("1e-45");
        QTest::newRow("largest") << std::numeric_limits<float>::max() << QByteArray("3.4028235e+38");
        QTest::newRow("negative zero") << -0.0f << QByteArray("-0");
    }

    void writesShortestFloats()
    {
        QFETCH(float, value);
        QFETCH(QByteArray, text);
        QCOMPARE(encoded(td::AdjustVolume{value}),
                 QByteArray(R"({"adjustVolume":{"delta":)") + text + "}}");
    }

    void refusesNonFiniteFloats_data()
    {
        QTest::addColumn<float>("value");
        QTest::newRow("nan") << std::numeric_limits<float>::quiet_NaN();
        QTest::newRow("+inf") << std::numeric_limits<float>::infinity();
        QTest::newRow("-inf") << -std::numeric_limits<float>::infinity();
    }

    void refusesNonFiniteFloats()
    {
        QFETCH(float, value);
        EncodingError error;
        QVERIFY(!encodeMessage(td::AdjustVolume{value}, &error));
        QVERIFY(!error.description.isEmpty());

        QByteArray out("\xde\xad\xbe\xef\0\0\0\0", 8);
        const QByteArray before = out;
        QVERIFY(!appendEncodedMessage(out, td::AdjustVolume{value}));
        QCOMPARE(out, before);
    }

    void appendsAfterExistingBytes()
    {
        QByteArray out("\xde\xad\xbe\xef\0\0\0\0", 8);
        QVERIFY(appendEncodedMessage(out, td::Ping{}));
        QCOMPARE(out, QByteArray("\xde\xad\xbe\xef\0\0\0\0", 8) + R"({"ping":{}})");
    }

    // A large text that needs no escapes, and one that needs many, both come
    // out intact.
    void encodesLargeTexts()
    {
        QString plain;
        plain.reserve(3'000'000);
        for (int i = 0; i < 3'000'000; ++i)
            plain += QChar(u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/"[i % 64]);
        const QByteArray plainJson = encoded(td::ClipboardImagePayload{plain});
        QCOMPARE(plainJson.size(), plain.size() + qsizetype(strlen(R"({"clipboardImagePayload":{"data":""}})")));
        QVERIFY(plainJson.endsWith(plain.right(64).toLatin1() + "\"}}"));

        const QString lines = QStringLiteral("line \"quoted\"\n").repeated(100'000);
        const QJsonDocument document = QJsonDocument::fromJson(encoded(td::ClipboardPayload{lines}));
        QCOMPARE(document[QLatin1String("clipboardPayload")][QLatin1String("text")].toString(), lines);
    }
};

QTEST_GUILESS_MAIN(TestMessageEncoding)
#include "tst_messageencoding.moc"

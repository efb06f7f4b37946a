#include "protocol/MessageCodec.h"

#include <QTest>

using Kind = DecodingError::Kind;
Q_DECLARE_METATYPE(DecodingError::Kind)

namespace {

// An app list of one Finder item; `rest` are the members after its name.
QByteArray appList(const QByteArray &rest, const QByteArray &id = "3F2A8C10-5B7D-4E21-9A6C-0D14E7B2C953")
{
    return R"({"appListUpdate":{"apps":[{"id":")" + id +
           R"(","bundleIdentifier":"com.apple.finder","displayName":"Finder",)" + rest + "}]}}";
}

QByteArray slot(const QByteArray &gridIndex)
{
    return R"("gridIndex":)" + gridIndex + R"(,"isRunning":true,"isFrontmost":false,"wasLastUsed":true)";
}

QByteArray volume(const QByteArray &delta)
{
    return R"({"adjustVolume":{"delta":)" + delta + "}}";
}

const QByteArray kFlags = R"("gridIndex":0,"isRunning":false,"isFrontmost":false,"wasLastUsed":false)";
const QByteArray kItem = "appListUpdate/apps/Index 0";

} // namespace

class TestMessageDecoding : public QObject {
    Q_OBJECT

private slots:
    // What is read is checked through the exact text it encodes back to.
    void decodesToCanonicalText_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QByteArray>("canonical");
        const auto row = [](const char *name, const QByteArray &json, const QByteArray &canonical = {}) {
            QTest::newRow(name) << json << (canonical.isNull() ? json : canonical);
        };
        row("unknown sibling", R"({"ping":{},"extra":1})", R"({"ping":{}})");
        row("payload ignored", R"({"ping":{"anything":1}})", R"({"ping":{}})");
        row("whitespace", " {\n \"pong\" : { } }\n", R"({"pong":{}})");
        row("member order free", R"({"macHello":{"macName":"Studio","pin":"1234"}})",
            R"({"macHello":{"pin":"1234","macName":"Studio"}})");
        row("repeated member: last wins", R"({"launchApp":{"bundleID":"first","bundleID":"last"}})",
            R"({"launchApp":{"bundleID":"last"}})");
        row("frontmost null", R"({"frontmostAppUpdate":{"bundleID":null}})", R"({"frontmostAppUpdate":{}})");
        row("escapes", "{\"clipboardPayload\":{\"text\":\"a\\\"\\\\\\/\\b\\f\\n\\r\\t\\u00e9\\ud83d\\ude00\\u0000z\"}}",
            "{\"clipboardPayload\":{\"text\":\"a\\\"\\\\/\\b\\f\\n\\r\\t\xc3\xa9\xf0\x9f\x98\x80\\u0000z\"}}");
        row("float exponent", volume("2.5E-1"), volume("0.25"));
        row("float rounds to largest", volume("-3.40282356e38"), volume("-3.4028235e+38"));
        row("float underflows to zero", volume("1e-50"), volume("0"));
        row("slot fraction zero", appList(slot("1.0")), appList(slot("1")));
        row("slot max", appList(slot("9223372036854775807")));
        row("slot min", appList(slot("-9223372036854775808")));
        row("icon null", appList(R"("iconData":null,)" + kFlags), appList(kFlags));
        row("icon one pad", appList(R"("iconData":"AAE=",)" + kFlags));
        row("icon two pads", appList(R"("iconData":"/w==",)" + kFlags));
        row("uuid mixed case", appList(kFlags, "3F2a8C10-5b7D-4E21-9a6C-0D14e7B2C953"), appList(kFlags));
        row("unknown members everywhere",
            R"({"x":[1,{"y":null}],"appListUpdate":{"note":"hi","apps":[{"id":"3F2A8C10-5B7D-4E21-9A6C-0D14E7B2C953",)"
            R"("color":"red","bundleIdentifier":"com.apple.finder","displayName":"Finder",)" + kFlags + "}]}}",
            appList(kFlags));
    }

    void decodesToCanonicalText()
    {
        QFETCH(QByteArray, json);
        QFETCH(QByteArray, canonical);
        DecodingError error;
        const std::optional<TDMessage> message = decodeMessage(json, &error);
        QVERIFY2(message, qPrintable(error.description));
        QCOMPARE(encodeMessage(*message), canonical);
    }

    void refusesWithKindAndPath_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QString>("path"); // keys joined by '/'
        QTest::addColumn<QString>("description"); // empty: any
        const auto row = [](const QByteArray &name, const QByteArray &json, Kind kind, const QString &path = {},
                            const QString &description = {}) {
            QTest::newRow(name.constData()) << json << kind << path << description;
        };
        row("not JSON", "{\"ping\":", Kind::dataCorrupted);
        row("trailing garbage", R"({"ping":{}} x)", Kind::dataCorrupted);
        row("bad UTF-8", "{\"clipboardPayload\":{\"text\":\"\xff\"}}", Kind::dataCorrupted);
        row("top-level array", R"([{"ping":{}}])", Kind::typeMismatch);
        const QString oneKey = QStringLiteral("Invalid number of keys found, expected one.");
        row("no members", "{}", Kind::typeMismatch, {}, oneKey);
        row("unknown kind", R"({"hello":{}})", Kind::typeMismatch, {}, oneKey);
        row("two kinds", R"({"ping":{},"pong":{}})", Kind::typeMismatch, {}, oneKey);
        row("payload null", R"({"ping":null})", Kind::valueNotFound, "ping");
        row("missing field", R"({"launchApp":{}})", Kind::keyNotFound, "launchApp");
        row("null field", R"({"launchApp":{"bundleID":null}})", Kind::valueNotFound, "launchApp/bundleID");
        row("number for text", R"({"launchApp":{"bundleID":7}})", Kind::typeMismatch, "launchApp/bundleID");
        row("string for float", R"({"adjustVolume":{"delta":"1"}})", Kind::typeMismatch, "adjustVolume/delta");
        row("float overflow", volume("-3.5e38"), Kind::dataCorrupted, "adjustVolume/delta");
        row("array element", R"({"runningAppsUpdate":{"bundleIDs":["a",null]}})", Kind::valueNotFound,
            "runningAppsUpdate/bundleIDs/Index 1");
        row("object for array", R"({"runningAppsUpdate":{"bundleIDs":{}}})", Kind::typeMismatch,
            "runningAppsUpdate/bundleIDs");
        row("fractional slot", appList(slot("1.5")), Kind::dataCorrupted, kItem + "/gridIndex");
        row("slot beyond int64", appList(slot("9223372036854775808")), Kind::dataCorrupted, kItem + "/gridIndex");
        row("missing flag", appList(R"("gridIndex":0,"isRunning":false,"isFrontmost":false)"), Kind::keyNotFound,
            kItem);
        row("null flag", appList(R"("gridIndex":0,"isRunning":null,"isFrontmost":false,"wasLastUsed":false)"),
            Kind::valueNotFound, kItem + "/isRunning");
        row("icon not text", appList(R"("iconData":[],)" + kFlags), Kind::typeMismatch, kItem + "/iconData");
        row("app element not object", R"({"appListUpdate":{"apps":[7]}})", Kind::typeMismatch, kItem);
        // Base64 is strict: padded, no white space, standard alphabet only.
        for (const char *text : {"AAE", "AA=E", "A===", "====", "AA==AAAA", "AA AA===", "AAAA\\nAAAA", "AA-_",
                                 "AA\xc3\xa9"}) {
            row(QByteArray("base64 ") + text, appList("\"iconData\":\"" + QByteArray(text) + "\"," + kFlags),
                Kind::dataCorrupted, kItem + "/iconData");
        }
        // A UUID is read only in its 36-character form.
        for (const char *text : {"{3f2a8c10-5b7d-4e21-9a6c-0d14e7b2c953}", "3f2a8c105b7d4e219a6c0d14e7b2c953",
                                 "3f2a8c1-05b7d-4e21-9a6c-0d14e7b2c953", "3f2a8c10-5b7d-4e21-9a6c-0d14e7b2c95g",
                                 "3f2a8c10-5b7d-4e21-9a6c-0d14e7b2c9531", " 3f2a8c10-5b7d-4e21-9a6c-0d14e7b2c953",
                                 ""}) {
            row(QByteArray("uuid ") + text, appList(kFlags, text), Kind::dataCorrupted, kItem + "/id");
        }
    }

    void refusesWithKindAndPath()
    {
        QFETCH(QByteArray, json);
        QFETCH(Kind, kind);
        QFETCH(QString, path);
        QFETCH(QString, description);
        DecodingError error;
        QVERIFY(!decodeMessage(json, &error));
        QCOMPARE(error.kind, kind);
        QCOMPARE(error.codingPath, path.split(QLatin1Char('/'), Qt::SkipEmptyParts));
        QVERIFY(!error.description.isEmpty());
        if (!description.isEmpty())
            QCOMPARE(error.description, description);
    }

    // The parser is kept per thread; a failure or a large document must not
    // disturb the documents after it.
    void decodesAfterFailuresAndLargeDocuments()
    {
        QVERIFY(!decodeMessage("{\"ping\""));
        const QString big(6 * 1024 * 1024, QLatin1Char('A'));
        QCOMPARE(decodeMessage(*encodeMessage(td::ClipboardImagePayload{big}))->get<td::ClipboardImagePayload>()->data, big);
        QCOMPARE(decodeMessage(R"({"focusApp":{"bundleID":"a.b"}})")->get<td::FocusApp>()->bundleID, QString("a.b"));
    }

    // Every prefix and every single-byte change of a full document either
    // fails cleanly or gives a message that survives another trip.
    void survivesDamagedDocuments()
    {
        const QByteArray json = appList(R"("iconData":"iVBORw0KGgo=",)" + kFlags);
        QVERIFY(decodeMessage(json));
        const auto check = [](const QByteArray &bytes) {
            DecodingError error;
            const std::optional<TDMessage> message = decodeMessage(bytes, &error);
            if (!message)
                return !error.description.isEmpty();
            const std::optional<QByteArray> again = encodeMessage(*message);
            return again && decodeMessage(*again).has_value();
        };
        for (qsizetype length = 0; length < json.size(); ++length)
            QVERIFY2(check(json.left(length)), qPrintable(QString::number(length)));
        for (qsizetype i = 0; i < json.size(); ++i) {
            for (const char replacement : {'\0', '"', '}', ']', ',', '1', 'n', '\x80', '\\'}) {
                QByteArray damaged = json;
                damaged[i] = replacement;
                QVERIFY2(check(damaged), damaged.constData());
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestMessageDecoding)
#include "tst_messagedecoding.moc"

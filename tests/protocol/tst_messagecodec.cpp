// Writing messages, reading them (and refusing what is not one), and the trip
// between the two.
#include "protocol/MessageCodec.h"
#include "protocol/MessageFields.h"

#include <QJsonDocument>
#include <QSet>
#include <QTest>

#include <cmath>
#include <limits>

using Kind = DecodingError::Kind;
Q_DECLARE_METATYPE(DecodingError::Kind)

namespace {

const QUuid kId(QStringLiteral("{0a1b2c3d-4e5f-4a6b-8c7d-9e0f1a2b3c4d}"));

// Messages of every kind with the exact text each travels as.
QList<std::pair<TDMessage, QByteArray>> samples()
{
    using F = std::numeric_limits<float>;
    const QList<AppItem> apps{
        AppItem(kId, "com.apple.finder", "Finder", QByteArray("\x89PNG\r\n\x1a\n", 8), 0, true, true, false),
        AppItem(QUuid(), "org.example.Ünï", "Tab\there", std::nullopt, -7, false, false, true),
        AppItem(kId, "", "", QByteArray(), 7, false, false, false)};
    const QString text = QStringLiteral("a\"b\\c\b\f\n\r\t") + QChar(0) + QChar(1) + QChar(0x1f) + "/\x7f Café ☕ 😀";
    return {
        {td::MacHello{"0427", "Ann's \"Mac\""}, "{\"macHello\":{\"pin\":\"0427\",\"macName\":\"Ann's \\\"Mac\\\"\"}}"},
        {td::IPhoneHello{"0427"}, R"({"iPhoneHello":{"pin":"0427"}})"},
        {td::PairingConfirmed{}, R"({"pairingConfirmed":{}})"},
        {td::PairingRejected{}, R"({"pairingRejected":{}})"},
        {td::AppListUpdate{apps},
         R"({"appListUpdate":{"apps":[{"id":"0A1B2C3D-4E5F-4A6B-8C7D-9E0F1A2B3C4D","bundleIdentifier":"com.apple.finder",)"
         R"("displayName":"Finder","iconData":"iVBORw0KGgo=","gridIndex":0,"isRunning":true,"isFrontmost":true,)"
         R"("wasLastUsed":false},{"id":"00000000-0000-0000-0000-000000000000","bundleIdentifier":"org.example.)"
         "\xc3\x9c\x6e\xc3\xaf\",\"displayName\":\"Tab\\there\",\"gridIndex\":-7,\"isRunning\":false,"
         R"("isFrontmost":false,"wasLastUsed":true},{"id":"0A1B2C3D-4E5F-4A6B-8C7D-9E0F1A2B3C4D","bundleIdentifier":"",)"
         R"("displayName":"","iconData":"","gridIndex":7,"isRunning":false,"isFrontmost":false,"wasLastUsed":false}]}})"},
        {td::AppListUpdate{}, R"({"appListUpdate":{"apps":[]}})"},
        {td::RequestAppList{}, R"({"requestAppList":{}})"},
        {td::LaunchApp{"com.apple.Safari"}, R"({"launchApp":{"bundleID":"com.apple.Safari"}})"},
        {td::MinimizeApp{"com.apple.Notes"}, R"({"minimizeApp":{"bundleID":"com.apple.Notes"}})"},
        {td::HideApp{"com.apple.Mail"}, R"({"hideApp":{"bundleID":"com.apple.Mail"}})"},
        {td::QuitApp{"com.apple.Music"}, R"({"quitApp":{"bundleID":"com.apple.Music"}})"},
        {td::FocusApp{"com.apple.finder"}, R"({"focusApp":{"bundleID":"com.apple.finder"}})"},
        {td::DragDropMode{true}, R"({"dragDropMode":{"active":true}})"},
        {td::OpenAppForDrop{"com.apple.Preview"}, R"({"openAppForDrop":{"bundleID":"com.apple.Preview"}})"},
        {td::ToggleDoNotDisturb{}, R"({"toggleDoNotDisturb":{}})"},
        {td::LockScreen{}, R"({"lockScreen":{}})"},
        {td::EmptyTrash{}, R"({"emptyTrash":{}})"},
        {td::ToggleDarkMode{}, R"({"toggleDarkMode":{}})"},
        // Floats in their shortest exact form.
        {td::AdjustVolume{-0.1f}, R"({"adjustVolume":{"delta":-0.1}})"},
        {td::AdjustVolume{-0.0f}, R"({"adjustVolume":{"delta":-0}})"},
        {td::AdjustVolume{F::denorm_min()}, R"({"adjustVolume":{"delta":1e-45}})"},
        {td::AdjustVolume{F::max()}, R"({"adjustVolume":{"delta":3.4028235e+38}})"},
        {td::Screenshot{}, R"({"screenshot":{}})"},
        {td::ClipboardImagePayload{"iVBORw0KGgo="}, R"({"clipboardImagePayload":{"data":"iVBORw0KGgo="}})"},
        {td::ShowDesktop{}, R"({"showDesktop":{}})"},
        {td::MissionControl{}, R"({"missionControl":{}})"},
        {td::RunningAppsUpdate{{"a", "b"}}, R"({"runningAppsUpdate":{"bundleIDs":["a","b"]}})"},
        {td::FrontmostAppUpdate{"com.apple.finder"}, R"({"frontmostAppUpdate":{"bundleID":"com.apple.finder"}})"},
        {td::FrontmostAppUpdate{}, R"({"frontmostAppUpdate":{}})"},
        // Short escapes, \u for other controls, slash and DEL kept, UTF-8 as is.
        {td::ClipboardPayload{text}, "{\"clipboardPayload\":{\"text\":\"a\\\"b\\\\c\\b\\f\\n\\r\\t\\u0000\\u0001\\u001f"
                                     "/\x7f Caf\xc3\xa9 \xe2\x98\x95 \xf0\x9f\x98\x80\"}}"},
        {td::RequestClipboard{}, R"({"requestClipboard":{}})"},
        {td::Ping{}, R"({"ping":{}})"},
        {td::Pong{}, R"({"pong":{}})"},
    };
}

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

class TestMessageCodec : public QObject {
    Q_OBJECT

private slots:
    void everyKindEncodesExactlyAndDecodesBack()
    {
        QSet<TDMessageKind> kinds;
        for (const auto &[message, json] : samples()) {
            kinds.insert(message.kind());
            QCOMPARE(encodeMessage(message), json);
            DecodingError error;
            const std::optional<TDMessage> decoded = decodeMessage(json, &error);
            QVERIFY2(decoded && decoded->kind() == message.kind(), qPrintable(error.description));
            // Every field of the record read back equals the one written.
            QVERIFY2(std::visit([&](const auto &written) {
                using Record = std::decay_t<decltype(written)>;
                return std::apply([&, &read = *decoded->get<Record>()](const auto &...fields) {
                    return ((written.*(fields.member) == read.*(fields.member)) && ...);
                }, td::wire::Fields<Record>::list);
            }, static_cast<const TDMessagePayload &>(message)), json.constData());
        }
        QCOMPARE(kinds.size(), TDMessageKindCount);
    }

    // A sweep over the bit patterns: subnormals, both zeros, the largest values.
    void floatsSurviveTheTrip()
    {
        for (uint64_t bits = 0; bits <= 0xFFFFFFFFu; bits += 0x10001) {
            const float value = std::bit_cast<float>(uint32_t(bits));
            if (!std::isfinite(value))
                continue;
            const auto decoded = decodeMessage(encodeMessage(td::AdjustVolume{value}).value_or(""));
            const float back = decoded ? decoded->get<td::AdjustVolume>()->delta : NAN;
            if (std::bit_cast<uint32_t>(back) != uint32_t(bits))
                QFAIL(qPrintable(QStringLiteral("%1 came back as %2").arg(value, 0, 'g', 9).arg(back, 0, 'g', 9)));
        }
    }

    // A non-finite float cannot be written; appending then leaves the buffer
    // as it was, while a good message goes after what is there.
    void refusesNonFiniteFloatsAndAppendsOtherwise()
    {
        const QByteArray before("\xde\xad\xbe\xef\0\0\0\0", 8);
        QByteArray out = before; // a refused append must leave it so
        for (const float value : {NAN, INFINITY, -INFINITY}) {
            EncodingError error;
            QVERIFY(!encodeMessage(td::AdjustVolume{value}, &error));
            QVERIFY(!error.description.isEmpty());
            QVERIFY(!appendEncodedMessage(out, td::AdjustVolume{value}));
            QCOMPARE(out, before);
        }
        QVERIFY(appendEncodedMessage(out, td::Ping{}));
        QCOMPARE(out, before + R"({"ping":{}})");
    }

    // The word-at-a-time scan must find a special character at any offset;
    // an independent JSON reader checks the result.
    void escapesAtEveryOffset()
    {
        for (const QChar special : QStringLiteral("\"\\\n\x01\x1f"))
            for (int offset = 0; offset < 40; ++offset) {
                const QString text = QString(40, QLatin1Char('x')).replace(offset, 1, special) + QStringLiteral("é");
                const QByteArray json = encodeMessage(td::ClipboardPayload{text}).value_or("");
                QVERIFY2(std::all_of(json.begin(), json.end(), [](char c) { return uchar(c) >= 0x20; }),
                         "raw control character in output");
                QCOMPARE(QJsonDocument::fromJson(json)["clipboardPayload"]["text"].toString(), text);
            }
        // A lone surrogate cannot be UTF-8; the output must still be readable.
        const auto back = decodeMessage(encodeMessage(td::ClipboardPayload{"a" + QString(QChar(0xD800)) + "b"}).value_or(""));
        QVERIFY(back && back->get<td::ClipboardPayload>()->text.startsWith('a'));
        QVERIFY(back->get<td::ClipboardPayload>()->text.endsWith('b'));
    }

    // What is read is checked through the exact text it encodes back to.
    void decodesToCanonicalText_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QByteArray>("canonical");
        const auto row = [](const char *name, const QByteArray &json, const QByteArray &canonical = {}) {
            QTest::newRow(name) << json << (canonical.isNull() ? json : canonical);
        };
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
                                 "AA\xc3\xa9"})
            row(QByteArray("base64 ") + text, appList("\"iconData\":\"" + QByteArray(text) + "\"," + kFlags),
                Kind::dataCorrupted, kItem + "/iconData");
        // A UUID is read only in its 36-character form.
        for (const char *text : {"{3f2a8c10-5b7d-4e21-9a6c-0d14e7b2c953}", "3f2a8c105b7d4e219a6c0d14e7b2c953",
                                 "3f2a8c1-05b7d-4e21-9a6c-0d14e7b2c953", "3f2a8c10-5b7d-4e21-9a6c-0d14e7b2c95g",
                                 "3f2a8c10-5b7d-4e21-9a6c-0d14e7b2c9531", " 3f2a8c10-5b7d-4e21-9a6c-0d14e7b2c953",
                                 ""})
            row(QByteArray("uuid ") + text, appList(kFlags, text), Kind::dataCorrupted, kItem + "/id");
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
};

QTEST_GUILESS_MAIN(TestMessageCodec)
#include "tst_messagecodec.moc"

#include "protocol/MessageCodec.h"

#include <QTest>

#include <cfloat>

using Kind = DecodingError::Kind;
Q_DECLARE_METATYPE(DecodingError::Kind)

namespace {

DecodingError failureOf(const QByteArray &json)
{
    DecodingError error;
    error.description = QStringLiteral("<decoded>");
    const std::optional<TDMessage> message = decodeMessage(json, &error);
    if (message)
        qWarning("unexpectedly decoded %s", json.constData());
    return error;
}

QByteArray appList(const QByteArray &itemMembers)
{
    return R"({"appListUpdate":{"apps":[{"id":"3F2A8C10-5B7D-4E21-9A6C-0D14E7B2C953",)"
           R"("bundleIdentifier":"com.apple.finder","displayName":"Finder",)"
           + itemMembers + "}]}}";
}

const QByteArray kPlainItemRest = R"("gridIndex":0,"isRunning":false,"isFrontmost":false,"wasLastUsed":false)";

} // namespace

class TestMessageDecoding : public QObject {
    Q_OBJECT

private slots:
    void picksTheOneKnownKind_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<TDMessageKind>("kind");

        QTest::newRow("ping") << QByteArray(R"({"ping":{}})") << TDMessageKind::ping;
        QTest::newRow("unknown sibling") << QByteArray(R"({"ping":{},"extra":1})") << TDMessageKind::ping;
        QTest::newRow("payload ignored") << QByteArray(R"({"ping":{"anything":1}})") << TDMessageKind::ping;
        QTest::newRow("whitespace") << QByteArray(" {\n \"pong\" : { } }\n") << TDMessageKind::pong;
        QTest::newRow("member order free")
            << QByteArray(R"({"macHello":{"macName":"Studio","pin":"1234"}})") << TDMessageKind::macHello;
        QTest::newRow("same kind twice") << QByteArray(R"({"ping":{},"ping":{}})") << TDMessageKind::ping;
    }

    void picksTheOneKnownKind()
    {
        QFETCH(QByteArray, json);
        QFETCH(TDMessageKind, kind);
        const std::optional<TDMessage> message = decodeMessage(json);
        QVERIFY(message);
        QCOMPARE(message->kind(), kind);
    }

    void refusesWithKindAndPath_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QStringList>("path");

        const QStringList top;
        const QStringList launch{QStringLiteral("launchApp")};
        const QStringList launchID{QStringLiteral("launchApp"), QStringLiteral("bundleID")};
        const QStringList item{QStringLiteral("appListUpdate"), QStringLiteral("apps"), QStringLiteral("Index 0")};

        QTest::newRow("not JSON") << QByteArray("{\"ping\":") << Kind::dataCorrupted << top;
        QTest::newRow("empty input") << QByteArray() << Kind::dataCorrupted << top;
        QTest::newRow("trailing garbage") << QByteArray(R"({"ping":{}} x)") << Kind::dataCorrupted << top;
        QTest::newRow("bad UTF-8") << QByteArray("{\"clipboardPayload\":{\"text\":\"\xff\"}}")
                                   << Kind::dataCorrupted << top;
        QTest::newRow("top-level array") << QByteArray(R"([{"ping":{}}])") << Kind::typeMismatch << top;
        QTest::newRow("top-level string") << QByteArray(R"("ping")") << Kind::typeMismatch << top;
        QTest::newRow("payload null") << QByteArray(R"({"ping":null})") << Kind::valueNotFound
                                      << QStringList{QStringLiteral("ping")};
        QTest::newRow("payload true") << QByteArray(R"({"ping":true})") << Kind::typeMismatch
                                      << QStringList{QStringLiteral("ping")};
        QTest::newRow("payload array") << QByteArray(R"({"ping":[]})") << Kind::typeMismatch
                                       << QStringList{QStringLiteral("ping")};
        QTest::newRow("missing field") << QByteArray(R"({"launchApp":{}})") << Kind::keyNotFound << launch;
        QTest::newRow("null field") << QByteArray(R"({"launchApp":{"bundleID":null}})")
                                    << Kind::valueNotFound << launchID;
        QTest::newRow("number for text") << QByteArray(R"({"launchApp":{"bundleID":7}})")
                                         << Kind::typeMismatch << launchID;
        QTest::newRow("label is case-sensitive") << QByteArray(R"({"launchApp":{"bundleId":"a"}})")
                                                 << Kind::keyNotFound << launch;
        QTest::newRow("number for Boolean") << QByteArray(R"({"dragDropMode":{"active":1}})")
                                            << Kind::typeMismatch
                                            << QStringList{QStringLiteral("dragDropMode"), QStringLiteral("active")};
        QTest::newRow("string for float") << QByteArray(R"({"adjustVolume":{"delta":"1"}})")
                                          << Kind::typeMismatch
                                          << QStringList{QStringLiteral("adjustVolume"), QStringLiteral("delta")};
        QTest::newRow("float overflow") << QByteArray(R"({"adjustVolume":{"delta":-3.5e38}})")
                                        << Kind::dataCorrupted
                                        << QStringList{QStringLiteral("adjustVolume"), QStringLiteral("delta")};
        QTest::newRow("array element") << QByteArray(R"({"runningAppsUpdate":{"bundleIDs":["a",null]}})")
                                       << Kind::valueNotFound
                                       << QStringList{QStringLiteral("runningAppsUpdate"), QStringLiteral("bundleIDs"),
                                                      QStringLiteral("Index 1")};
        QTest::newRow("object for array") << QByteArray(R"({"runningAppsUpdate":{"bundleIDs":{}}})")
                                          << Kind::typeMismatch
                                          << QStringList{QStringLiteral("runningAppsUpdate"), QStringLiteral("bundleIDs")};
        QTest::newRow("frontmost number") << QByteArray(R"({"frontmostAppUpdate":{"bundleID":3}})")
                                          << Kind::typeMismatch
                                          << QStringList{QStringLiteral("frontmostAppUpdate"), QStringLiteral("bundleID")};
        QTest::newRow("fractional slot") << appList(R"("gridIndex":1.5,"isRunning":false,"isFrontmost":false,"wasLastUsed":false)")
                                         << Kind::dataCorrupted << item + QStringList{QStringLiteral("gridIndex")};
        QTest::newRow("slot beyond int64") << appList(R"("gridIndex":9223372036854775808,"isRunning":false,"isFrontmost":false,"wasLastUsed":false)")
                                           << Kind::dataCorrupted << item + QStringList{QStringLiteral("gridIndex")};
        QTest::newRow("slot as text") << appList(R"("gridIndex":"0","isRunning":false,"isFrontmost":false,"wasLastUsed":false)")
                                      << Kind::typeMismatch << item + QStringList{QStringLiteral("gridIndex")};
        QTest::newRow("missing flag") << appList(R"("gridIndex":0,"isRunning":false,"isFrontmost":false)")
                                      << Kind::keyNotFound << item;
        QTest::newRow("null flag") << appList(R"("gridIndex":0,"isRunning":null,"isFrontmost":false,"wasLastUsed":false)")
                                   << Kind::valueNotFound << item + QStringList{QStringLiteral("isRunning")};
        QTest::newRow("icon not text") << appList(R"("iconData":[],)" + kPlainItemRest)
                                       << Kind::typeMismatch << item + QStringList{QStringLiteral("iconData")};
        QTest::newRow("app element not object") << QByteArray(R"({"appListUpdate":{"apps":[7]}})")
                                                << Kind::typeMismatch << item;
    }

    void refusesWithKindAndPath()
    {
        QFETCH(QByteArray, json);
        QFETCH(Kind, kind);
        QFETCH(QStringList, path);
        const DecodingError error = failureOf(json);
        QCOMPARE(error.kind, kind);
        QCOMPARE(error.codingPath, path);
        QVERIFY(!error.description.isEmpty());
        QVERIFY(error.description != QStringLiteral("<decoded>"));
    }

    void refusesAnythingButOneKnownKind_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::newRow("no members") << QByteArray("{}");
        QTest::newRow("wrong case") << QByteArray(R"({"Ping":{}})");
        QTest::newRow("unknown kind") << QByteArray(R"({"hello":{}})");
        QTest::newRow("two kinds") << QByteArray(R"({"ping":{},"pong":{}})");
        QTest::newRow("two kinds, one bad") << QByteArray(R"({"ping":{},"launchApp":null})");
    }

    void refusesAnythingButOneKnownKind()
    {
        QFETCH(QByteArray, json);
        const DecodingError error = failureOf(json);
        QCOMPARE(error.kind, Kind::typeMismatch);
        QCOMPARE(error.codingPath, QStringList());
        QCOMPARE(error.description, QStringLiteral("Invalid number of keys found, expected one."));
    }

    void readsOptionalBundleID()
    {
        for (const QByteArray &json : {QByteArray(R"({"frontmostAppUpdate":{}})"),
                                      QByteArray(R"({"frontmostAppUpdate":{"bundleID":null}})")}) {
            const std::optional<TDMessage> message = decodeMessage(json);
            QVERIFY(message && message->is<td::FrontmostAppUpdate>());
            QVERIFY(!message->get<td::FrontmostAppUpdate>()->bundleID);
            QCOMPARE(encodeMessage(*message), QByteArray(R"({"frontmostAppUpdate":{}})"));
        }
        const auto message = decodeMessage(R"({"frontmostAppUpdate":{"bundleID":"com.apple.Safari"}})");
        QVERIFY(message);
        QCOMPARE(message->get<td::FrontmostAppUpdate>()->bundleID, QStringLiteral("com.apple.Safari"));
    }

    // A member named twice counts once, with its last value, as in a dictionary.
    void takesTheLastOfRepeatedMembers()
    {
        const auto message = decodeMessage(R"({"launchApp":{"bundleID":"first","bundleID":"last"}})");
        QVERIFY(message);
        QCOMPARE(message->get<td::LaunchApp>()->bundleID, QStringLiteral("last"));
    }

    void readsFloats_data()
    {
        QTest::addColumn<QByteArray>("number");
        QTest::addColumn<float>("value");
        QTest::newRow("integer") << QByteArray("5") << 5.0f;
        QTest::newRow("negative") << QByteArray("-0.1") << -0.1f;
        QTest::newRow("exponent") << QByteArray("2.5E-1") << 0.25f;
        QTest::newRow("largest") << QByteArray("3.4028235e38") << FLT_MAX;
        QTest::newRow("rounds to largest") << QByteArray("-3.40282356e38") << -FLT_MAX;
        QTest::newRow("underflows to zero") << QByteArray("1e-50") << 0.0f;
        QTest::newRow("big integer") << QByteArray("18446744073709551615") << 18446744073709551615.0f;
    }

    void readsFloats()
    {
        QFETCH(QByteArray, number);
        QFETCH(float, value);
        const auto message = decodeMessage(R"({"adjustVolume":{"delta":)" + number + "}}");
        QVERIFY(message);
        QCOMPARE(message->get<td::AdjustVolume>()->delta, value);
    }

    void readsWholeNumbers_data()
    {
        QTest::addColumn<QByteArray>("number");
        QTest::addColumn<qint64>("value");
        QTest::newRow("plain") << QByteArray("3") << qint64(3);
        QTest::newRow("with fraction zero") << QByteArray("1.0") << qint64(1);
        QTest::newRow("exponent") << QByteArray("2e3") << qint64(2000);
        QTest::newRow("negative zero") << QByteArray("-0") << qint64(0);
        QTest::newRow("max") << QByteArray("9223372036854775807") << std::numeric_limits<qint64>::max();
        QTest::newRow("min") << QByteArray("-9223372036854775808") << std::numeric_limits<qint64>::min();
    }

    void readsWholeNumbers()
    {
        QFETCH(QByteArray, number);
        QFETCH(qint64, value);
        const auto message = decodeMessage(appList(R"("gridIndex":)" + number +
                                                   R"(,"isRunning":true,"isFrontmost":false,"wasLastUsed":true)"));
        QVERIFY(message);
        const AppItem &item = message->get<td::AppListUpdate>()->apps.at(0);
        QCOMPARE(item.gridIndex, value);
        QVERIFY(item.isRunning && !item.isFrontmost && item.wasLastUsed);
    }

    void readsIcons_data()
    {
        QTest::addColumn<QByteArray>("member");
        QTest::addColumn<bool>("present");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("missing") << QByteArray() << false << QByteArray();
        QTest::newRow("null") << QByteArray(R"("iconData":null,)") << false << QByteArray();
        QTest::newRow("empty") << QByteArray(R"("iconData":"",)") << true << QByteArray();
        QTest::newRow("one pad") << QByteArray(R"("iconData":"AAE=",)") << true << QByteArray("\0\1", 2);
        QTest::newRow("two pads") << QByteArray(R"("iconData":"/w==",)") << true << QByteArray("\xff");
        QTest::newRow("no pad") << QByteArray(R"("iconData":"iVBORw0K",)") << true << QByteArray("\x89PNG\r\n");
    }

    void readsIcons()
    {
        QFETCH(QByteArray, member);
        QFETCH(bool, present);
        QFETCH(QByteArray, bytes);
        const auto message = decodeMessage(appList(member + kPlainItemRest));
        QVERIFY(message);
        const AppItem &item = message->get<td::AppListUpdate>()->apps.at(0);
        QCOMPARE(item.iconData.has_value(), present);
        if (present)
            QCOMPARE(*item.iconData, bytes);
    }

    void refusesLooseBase64_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("unpadded") << QByteArray("AAE");
        QTest::newRow("pad inside") << QByteArray("AA=E");
        QTest::newRow("three pads") << QByteArray("A===");
        QTest::newRow("only pads") << QByteArray("====");
        QTest::newRow("pad then quad") << QByteArray("AA==AAAA");
        QTest::newRow("space") << QByteArray("AA AA===");
        QTest::newRow("line break") << QByteArray("AAAA\\nAAAA");
        QTest::newRow("url alphabet") << QByteArray("AA-_");
        QTest::newRow("non-ASCII") << QByteArray("AA\xc3\xa9");
    }

    void refusesLooseBase64()
    {
        QFETCH(QByteArray, text);
        const DecodingError error = failureOf(appList("\"iconData\":\"" + text + "\"," + kPlainItemRest));
        QCOMPARE(error.kind, Kind::dataCorrupted);
        QCOMPARE(error.codingPath, (QStringList{QStringLiteral("appListUpdate"), QStringLiteral("apps"),
                                                QStringLiteral("Index 0"), QStringLiteral("iconData")}));
    }

    void readsUuidsInEitherCase()
    {
        const QUuid expected(QStringLiteral("{3f2a8c10-5b7d-4e21-9a6c-0d14e7b2c953}"));
        for (const char *text : {"3f2a8c10-5b7d-4e21-9a6c-0d14e7b2c953", "3F2A8C10-5B7D-4E21-9A6C-0D14E7B2C953",
                                 "3F2a8C10-5b7D-4E21-9a6C-0D14e7B2C953"}) {
            const QByteArray json = "{\"appListUpdate\":{\"apps\":[{\"id\":\"" + QByteArray(text) +
                                    "\",\"bundleIdentifier\":\"b\",\"displayName\":\"d\"," + kPlainItemRest + "}]}}";
            const auto message = decodeMessage(json);
            QVERIFY2(message, text);
            QCOMPARE(message->get<td::AppListUpdate>()->apps.at(0).id, expected);
            QVERIFY(encodeMessage(*message)->contains("\"id\":\"3F2A8C10-5B7D-4E21-9A6C-0D14E7B2C953\""));
        }
    }

    void refusesOtherUuidForms_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("braces") << QByteArray("{3f2a8c10-5b7d-4e21-9a6c-0d14e7b2c953}");
        QTest::newRow("no dashes") << QByteArray("3f2a8c105b7d4e219a6c0d14e7b2c953");
        QTest::newRow("dash moved") << QByteArray("3f2a8c1-05b7d-4e21-9a6c-0d14e7b2c953");
        QTest::newRow("not hex") << QByteArray("3f2a8c10-5b7d-4e21-9a6c-0d14e7b2c95g");
        QTest::newRow("too long") << QByteArray("3f2a8c10-5b7d-4e21-9a6c-0d14e7b2c9531");
        QTest::newRow("surrounding space") << QByteArray(" 3f2a8c10-5b7d-4e21-9a6c-0d14e7b2c953");
        QTest::newRow("empty") << QByteArray();
    }

    void refusesOtherUuidForms()
    {
        QFETCH(QByteArray, text);
        const QByteArray json = "{\"appListUpdate\":{\"apps\":[{\"id\":\"" + text +
                                "\",\"bundleIdentifier\":\"b\",\"displayName\":\"d\"," + kPlainItemRest + "}]}}";
        const DecodingError error = failureOf(json);
        QCOMPARE(error.kind, Kind::dataCorrupted);
        QCOMPARE(error.codingPath.last(), QStringLiteral("id"));
    }

    void ignoresUnknownMembersEverywhere()
    {
        const auto message = decodeMessage(
            R"({"x":[1,{"y":null}],"appListUpdate":{"note":"hi","apps":[{"id":"3F2A8C10-5B7D-4E21-9A6C-0D14E7B2C953",)"
            R"("color":"red","bundleIdentifier":"b","displayName":"d",)" + kPlainItemRest + "}]}}");
        QVERIFY(message);
        QCOMPARE(message->get<td::AppListUpdate>()->apps.size(), 1);
    }

    // The parser is kept per thread; one failure or one large document must
    // not disturb the documents after it.
    void decodesAfterFailuresAndLargeDocuments()
    {
        QVERIFY(!decodeMessage("{\"ping\""));
        const QString big(6 * 1024 * 1024, QLatin1Char('A'));
        const QByteArray bigJson = *encodeMessage(td::ClipboardImagePayload{big});
        const auto bigMessage = decodeMessage(bigJson);
        QVERIFY(bigMessage);
        QCOMPARE(bigMessage->get<td::ClipboardImagePayload>()->data, big);
        const auto small = decodeMessage(R"({"focusApp":{"bundleID":"com.apple.finder"}})");
        QVERIFY(small);
        QCOMPARE(small->get<td::FocusApp>()->bundleID, QStringLiteral("com.apple.finder"));
    }

    // Every prefix and every single-byte change of a full document either
    // fails cleanly or gives a message that survives another trip.
    void survivesDamagedDocuments()
    {
        const QByteArray json = appList(R"("iconData":"iVBORw0KGgo=",)" + kPlainItemRest);
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

    void unescapesStrings()
    {
        const auto message = decodeMessage("{\"clipboardPayload\":{\"text\":\"a\\\"\\\\\\/\\b\\f\\n\\r\\t\\u00e9\\ud83d\\ude00\\u0000z\"}}");
        QVERIFY(message);
        QCOMPARE(message->get<td::ClipboardPayload>()->text,
                 QStringLiteral("a\"\\/\b\f\n\r\té😀") + QChar(0) + QLatin1Char('z'));
    }
};

QTEST_GUILESS_MAIN(TestMessageDecoding)
#include "tst_messagedecoding.moc"

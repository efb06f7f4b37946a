// Writing messages, the trip back through the reader, and the AppItem record.
#include "protocol/MessageCodec.h"
#include "protocol/MessageFields.h"

#include <QJsonDocument>
#include <QSet>
#include <QTest>

#include <cmath>
#include <limits>

namespace {

struct Sample {
    TDMessage message;
    QByteArray json;
};

const QUuid kIdA(QStringLiteral("{0a1b2c3d-4e5f-4a6b-8c7d-9e0f1a2b3c4d}"));
const QUuid kIdB(QStringLiteral("{ffffffff-0000-4000-8000-123456789abc}"));
const QUuid kFinderId(QStringLiteral("3f2a8c10-5b7d-4e21-9a6c-0d14e7b2c953"));

AppItem finderItem(std::optional<QByteArray> icon = std::nullopt)
{
    return AppItem(kFinderId, QStringLiteral("com.apple.finder"), QStringLiteral("Finder"), std::move(icon), 0, false,
                   false, false);
}

// Messages of every kind, and the documented examples, with the exact text
// each travels as.
QList<Sample> samples()
{
    const QList<AppItem> apps{
        AppItem(kIdA, QStringLiteral("com.apple.finder"), QStringLiteral("Finder"), QByteArray("\x89PNG\r\n\x1a\n", 8),
                0, true, true, false),
        AppItem(kIdB, QStringLiteral("org.example.Ünï"), QStringLiteral("Tab\there"), std::nullopt, 7, false, false,
                true),
    };
    const QByteArray finderJson = R"({"appListUpdate":{"apps":[{"id":"3F2A8C10-5B7D-4E21-9A6C-0D14E7B2C953",)"
                                  R"("bundleIdentifier":"com.apple.finder","displayName":"Finder",)";
    const QByteArray finderRest = R"("gridIndex":0,"isRunning":false,"isFrontmost":false,"wasLastUsed":false}]}})";
    return {
        {td::MacHello{QStringLiteral("0427"), QStringLiteral("Ann's \"Mac\"")},
         "{\"macHello\":{\"pin\":\"0427\",\"macName\":\"Ann's \\\"Mac\\\"\"}}"},
        {td::MacHello{QStringLiteral("0427"), QStringLiteral("Studio")}, R"({"macHello":{"pin":"0427","macName":"Studio"}})"},
        {td::IPhoneHello{QStringLiteral("0427")}, R"({"iPhoneHello":{"pin":"0427"}})"},
        {td::PairingConfirmed{}, R"({"pairingConfirmed":{}})"},
        {td::PairingRejected{}, R"({"pairingRejected":{}})"},
        {td::AppListUpdate{apps},
         R"({"appListUpdate":{"apps":[{"id":"0A1B2C3D-4E5F-4A6B-8C7D-9E0F1A2B3C4D","bundleIdentifier":"com.apple.finder",)"
         R"("displayName":"Finder","iconData":"iVBORw0KGgo=","gridIndex":0,"isRunning":true,"isFrontmost":true,)"
         R"("wasLastUsed":false},{"id":"FFFFFFFF-0000-4000-8000-123456789ABC","bundleIdentifier":"org.example.)"
         "\xc3\x9c\x6e\xc3\xaf"
         "\",\"displayName\":\"Tab\\there\",\"gridIndex\":7,\"isRunning\":false,\"isFrontmost\":false,\"wasLastUsed\":true}]}}"},
        {td::AppListUpdate{}, R"({"appListUpdate":{"apps":[]}})"},
        {td::AppListUpdate{{finderItem()}}, finderJson + finderRest},
        {td::AppListUpdate{{finderItem(QByteArray("\x89PNG", 4))}}, finderJson + R"("iconData":"iVBORw==",)" + finderRest},
        {td::AppListUpdate{{AppItem(QUuid(), {}, {}, QByteArray(), -7, true, true, true)}},
         R"({"appListUpdate":{"apps":[{"id":"00000000-0000-0000-0000-000000000000","bundleIdentifier":"",)"
         R"("displayName":"","iconData":"","gridIndex":-7,"isRunning":true,"isFrontmost":true,"wasLastUsed":true}]}})"},
        {td::RequestAppList{}, R"({"requestAppList":{}})"},
        {td::LaunchApp{QStringLiteral("com.apple.Safari")}, R"({"launchApp":{"bundleID":"com.apple.Safari"}})"},
        {td::MinimizeApp{QStringLiteral("com.apple.Notes")}, R"({"minimizeApp":{"bundleID":"com.apple.Notes"}})"},
        {td::HideApp{QStringLiteral("com.apple.Mail")}, R"({"hideApp":{"bundleID":"com.apple.Mail"}})"},
        {td::QuitApp{QStringLiteral("com.apple.Music")}, R"({"quitApp":{"bundleID":"com.apple.Music"}})"},
        {td::FocusApp{QStringLiteral("com.apple.finder")}, R"({"focusApp":{"bundleID":"com.apple.finder"}})"},
        {td::DragDropMode{false}, R"({"dragDropMode":{"active":false}})"},
        {td::DragDropMode{true}, R"({"dragDropMode":{"active":true}})"},
        {td::OpenAppForDrop{QStringLiteral("com.apple.Preview")},
         R"({"openAppForDrop":{"bundleID":"com.apple.Preview"}})"},
        {td::ToggleDoNotDisturb{}, R"({"toggleDoNotDisturb":{}})"},
        {td::LockScreen{}, R"({"lockScreen":{}})"},
        {td::EmptyTrash{}, R"({"emptyTrash":{}})"},
        {td::ToggleDarkMode{}, R"({"toggleDarkMode":{}})"},
        {td::AdjustVolume{-0.1f}, R"({"adjustVolume":{"delta":-0.1}})"},
        {td::AdjustVolume{0.5f}, R"({"adjustVolume":{"delta":0.5}})"},
        {td::Screenshot{}, R"({"screenshot":{}})"},
        {td::ClipboardImagePayload{QStringLiteral("iVBORw0KGgo=")},
         R"({"clipboardImagePayload":{"data":"iVBORw0KGgo="}})"},
        {td::ShowDesktop{}, R"({"showDesktop":{}})"},
        {td::MissionControl{}, R"({"missionControl":{}})"},
        {td::RunningAppsUpdate{{QStringLiteral("a"), QStringLiteral("b")}},
         R"({"runningAppsUpdate":{"bundleIDs":["a","b"]}})"},
        {td::RunningAppsUpdate{{QStringLiteral("com.apple.finder")}},
         R"({"runningAppsUpdate":{"bundleIDs":["com.apple.finder"]}})"},
        {td::FrontmostAppUpdate{QStringLiteral("com.apple.finder")},
         R"({"frontmostAppUpdate":{"bundleID":"com.apple.finder"}})"},
        {td::FrontmostAppUpdate{}, R"({"frontmostAppUpdate":{}})"},
        {td::ClipboardPayload{QStringLiteral("[IMAGE]line1\nline2")},
         "{\"clipboardPayload\":{\"text\":\"[IMAGE]line1\\nline2\"}}"},
        {td::RequestClipboard{}, R"({"requestClipboard":{}})"},
        {td::Ping{}, R"({"ping":{}})"},
        {td::Pong{}, R"({"pong":{}})"},
    };
}

template <class Record> bool sameFields(const Record &a, const Record &b)
{
    return std::apply([&](const auto &...fields) { return ((a.*(fields.member) == b.*(fields.member)) && ...); },
                      td::wire::Fields<Record>::list);
}

bool sameMessage(const TDMessage &a, const TDMessage &b)
{
    return a.kind() == b.kind() && std::visit([&](const auto &payload) {
        return sameFields(payload, *b.get<std::decay_t<decltype(payload)>>());
    }, static_cast<const TDMessagePayload &>(a));
}

QByteArray encoded(const TDMessage &message)
{
    const std::optional<QByteArray> bytes = encodeMessage(message);
    return bytes ? *bytes : QByteArray("<encoding failed>");
}

QString clipboardTextOf(const QByteArray &json)
{
    return QJsonDocument::fromJson(json)[QLatin1String("clipboardPayload")][QLatin1String("text")].toString();
}

AppItem sampleItem()
{
    return AppItem(kFinderId, QStringLiteral("com.apple.finder"), QStringLiteral("Finder"), QByteArray("png"), 2, true,
                   false, true);
}

} // namespace

class TestMessageCodec : public QObject {
    Q_OBJECT

private slots:
    void everyKindEncodesExactlyAndDecodesBack()
    {
        QSet<TDMessageKind> kinds;
        for (const Sample &sample : samples()) {
            kinds.insert(sample.message.kind());
            QCOMPARE(encoded(sample.message), sample.json);
            DecodingError error;
            const std::optional<TDMessage> decoded = decodeMessage(sample.json, &error);
            QVERIFY2(decoded, qPrintable(error.description));
            QVERIFY2(sameMessage(*decoded, sample.message), sample.json.constData());
        }
        QCOMPARE(kinds.size(), TDMessageKindCount);
    }

    // Every float gets back exactly; a sweep over the bit patterns covers
    // subnormals, both zeros and the largest values.
    void floatsSurviveTheTrip()
    {
        for (uint64_t bits = 0; bits <= 0xFFFFFFFFu; bits += 0x10001) {
            const float value = std::bit_cast<float>(uint32_t(bits));
            if (!std::isfinite(value))
                continue;
            const auto decoded = decodeMessage(*encodeMessage(td::AdjustVolume{value}));
            QVERIFY(decoded);
            const float back = decoded->get<td::AdjustVolume>()->delta;
            if (std::bit_cast<uint32_t>(back) != uint32_t(bits))
                QFAIL(qPrintable(QStringLiteral("%1 came back as %2").arg(value, 0, 'g', 9).arg(back, 0, 'g', 9)));
        }
    }

    void writesShortestFloats_data()
    {
        QTest::addColumn<float>("value");
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("0.1") << 0.1f << QByteArray("0.1");
        QTest::newRow("5") << 5.0f << QByteArray("5");
        QTest::newRow("-0.25") << -0.25f << QByteArray("-0.25");
        QTest::newRow("smallest subnormal") << std::numeric_limits<float>::denorm_min() << QByteArray("1e-45");
        QTest::newRow("largest") << std::numeric_limits<float>::max() << QByteArray("3.4028235e+38");
        QTest::newRow("negative zero") << -0.0f << QByteArray("-0");
    }

    void writesShortestFloats()
    {
        QFETCH(float, value);
        QFETCH(QByteArray, text);
        QCOMPARE(encoded(td::AdjustVolume{value}), QByteArray(R"({"adjustVolume":{"delta":)") + text + "}}");
    }

    // A non-finite float cannot be written; appending then leaves the
    // buffer as it was, while a good message goes after what is there.
    void refusesNonFiniteFloatsAndAppendsOtherwise()
    {
        const QByteArray before("\xde\xad\xbe\xef\0\0\0\0", 8);
        for (const float value : {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                                  -std::numeric_limits<float>::infinity()}) {
            EncodingError error;
            QVERIFY(!encodeMessage(td::AdjustVolume{value}, &error));
            QVERIFY(!error.description.isEmpty());
            QByteArray out = before;
            QVERIFY(!appendEncodedMessage(out, td::AdjustVolume{value}));
            QCOMPARE(out, before);
        }
        QByteArray out = before;
        QVERIFY(appendEncodedMessage(out, td::Ping{}));
        QCOMPARE(out, before + R"({"ping":{}})");
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
        QCOMPARE(encoded(td::ClipboardPayload{text}), QByteArray(R"({"clipboardPayload":{"text":)") + json + "}}");
    }

    // The word-at-a-time scan must find a special character at any offset of
    // a long text; an independent JSON reader checks the result.
    void escapesAtEveryOffset()
    {
        for (const QChar special : QStringLiteral("\"\\\n\x01\x1f")) {
            for (int offset = 0; offset < 40; ++offset) {
                QString text(40, QLatin1Char('x'));
                text[offset] = special;
                text += QStringLiteral("é");
                const QByteArray json = encoded(td::ClipboardPayload{text});
                for (char c : json)
                    QVERIFY2(uchar(c) >= 0x20, "raw control character in output");
                QCOMPARE(clipboardTextOf(json), text);
            }
        }
    }

    // A lone surrogate cannot be written as UTF-8; the output must still be
    // text the other side can read.
    void keepsBrokenTextReadable()
    {
        const QString text = QStringLiteral("a") + QChar(0xD800) + QStringLiteral("b");
        const std::optional<TDMessage> back = decodeMessage(encoded(td::ClipboardPayload{text}));
        QVERIFY(back);
        const QString read = back->get<td::ClipboardPayload>()->text;
        QVERIFY(read.startsWith(QLatin1Char('a')) && read.endsWith(QLatin1Char('b')));
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
        QCOMPARE(clipboardTextOf(encoded(td::ClipboardPayload{lines})), lines);
    }

    void appItemsEqualAndHashAlike()
    {
        const AppItem a = sampleItem(), b = sampleItem();
        QVERIFY(a == b);
        QCOMPARE(qHash(a), qHash(b));
        QCOMPARE(qHash(a, 17), qHash(b, 17));
        QCOMPARE(std::hash<AppItem>{}(a), qHash(a));
    }

    void everyAppItemFieldTakesPart_data()
    {
        QTest::addColumn<AppItem>("changed");
        const auto row = [](const char *name, auto change) {
            AppItem item = sampleItem();
            change(item);
            QTest::newRow(name) << item;
        };
        row("id only", [](AppItem &item) { item.id = QUuid::createUuid(); });
        row("bundle case", [](AppItem &item) { item.bundleIdentifier = QStringLiteral("com.apple.Finder"); });
        row("displayName", [](AppItem &item) { item.displayName = QStringLiteral("Finder "); });
        row("icon bytes", [](AppItem &item) { item.iconData = QByteArray("pnh"); });
        row("icon absent", [](AppItem &item) { item.iconData.reset(); });
        row("gridIndex", [](AppItem &item) { item.gridIndex = 3; });
        row("isRunning", [](AppItem &item) { item.isRunning = false; });
        row("isFrontmost", [](AppItem &item) { item.isFrontmost = true; });
        row("wasLastUsed", [](AppItem &item) { item.wasLastUsed = false; });
    }

    void everyAppItemFieldTakesPart()
    {
        QFETCH(AppItem, changed);
        QVERIFY(!(changed == sampleItem()));
        QVERIFY(qHash(changed) != qHash(sampleItem()));
    }

    // No icon and an empty icon are different records.
    void absentIconDiffersFromEmptyIcon()
    {
        AppItem absent = sampleItem(), empty = sampleItem();
        absent.iconData.reset();
        empty.iconData = QByteArray();
        QVERIFY(!(absent == empty));
        QVERIFY(qHash(absent) != qHash(empty));
        const QSet<AppItem> set{absent, empty, sampleItem()};
        QCOMPARE(set.size(), 3);
        QVERIFY(set.contains(absent));
    }
};

QTEST_GUILESS_MAIN(TestMessageCodec)
#include "tst_messagecodec.moc"

// Writing messages, the trip back through the reader, and the AppItem record.
#include "protocol/MessageCodec.h"
#include "protocol/MessageFields.h"

#include <QJsonDocument>
#include <QSet>
#include <functional>
#include <QTest>

#include <cmath>
#include <limits>

namespace {

const QUuid kId(QStringLiteral("{0a1b2c3d-4e5f-4a6b-8c7d-9e0f1a2b3c4d}"));

AppItem sampleItem()
{
    return AppItem(kId, "com.apple.finder", "Finder", QByteArray("png"), 2, true, false, true);
}

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
    return encodeMessage(message).value_or("<encoding failed>");
}

QString clipboardTextOf(const QByteArray &json)
{
    return QJsonDocument::fromJson(json)["clipboardPayload"]["text"].toString();
}

} // namespace

class TestMessageCodec : public QObject {
    Q_OBJECT

private slots:
    void everyKindEncodesExactlyAndDecodesBack()
    {
        QSet<TDMessageKind> kinds;
        for (const auto &[message, json] : samples()) {
            kinds.insert(message.kind());
            QCOMPARE(encoded(message), json);
            DecodingError error;
            const std::optional<TDMessage> decoded = decodeMessage(json, &error);
            QVERIFY2(decoded, qPrintable(error.description));
            QVERIFY2(sameMessage(*decoded, message), json.constData());
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
            const auto decoded = decodeMessage(*encodeMessage(td::AdjustVolume{value}));
            QVERIFY(decoded);
            const float back = decoded->get<td::AdjustVolume>()->delta;
            if (std::bit_cast<uint32_t>(back) != uint32_t(bits))
                QFAIL(qPrintable(QStringLiteral("%1 came back as %2").arg(value, 0, 'g', 9).arg(back, 0, 'g', 9)));
        }
    }

    // A non-finite float cannot be written; appending then leaves the buffer
    // as it was, while a good message goes after what is there.
    void refusesNonFiniteFloatsAndAppendsOtherwise()
    {
        const QByteArray before("\xde\xad\xbe\xef\0\0\0\0", 8);
        for (const float value : {NAN, INFINITY, -INFINITY}) {
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

    // The word-at-a-time scan must find a special character at any offset;
    // an independent JSON reader checks the result.
    void escapesAtEveryOffset()
    {
        for (const QChar special : QStringLiteral("\"\\\n\x01\x1f")) {
            for (int offset = 0; offset < 40; ++offset) {
                QString text(40, QLatin1Char('x'));
                text[offset] = special;
                text += QStringLiteral("é");
                const QByteArray json = encoded(td::ClipboardPayload{text});
                QVERIFY2(std::all_of(json.begin(), json.end(), [](char c) { return uchar(c) >= 0x20; }),
                         "raw control character in output");
                QCOMPARE(clipboardTextOf(json), text);
            }
        }
        // A lone surrogate cannot be UTF-8; the output must still be readable.
        const auto back = decodeMessage(encoded(td::ClipboardPayload{"a" + QString(QChar(0xD800)) + "b"}));
        QVERIFY(back);
        QVERIFY(back->get<td::ClipboardPayload>()->text.startsWith('a'));
        QVERIFY(back->get<td::ClipboardPayload>()->text.endsWith('b'));
    }

    // Every field takes part in equality (the selection push compares lists);
    // no icon and an empty icon differ.
    void appItemsCompareByEveryField()
    {
        const QList<std::function<void(AppItem &)>> changes{
            [](AppItem &i) { i.id = QUuid::createUuid(); }, [](AppItem &i) { i.bundleIdentifier = "com.apple.Finder"; },
            [](AppItem &i) { i.displayName = "Finder "; }, [](AppItem &i) { i.iconData = QByteArray("pnh"); },
            [](AppItem &i) { i.iconData.reset(); }, [](AppItem &i) { i.iconData = QByteArray(); },
            [](AppItem &i) { i.gridIndex = 3; }, [](AppItem &i) { i.isRunning = false; },
            [](AppItem &i) { i.isFrontmost = true; }, [](AppItem &i) { i.wasLastUsed = false; }};
        QVERIFY(sampleItem() == sampleItem());
        for (const auto &change : changes) {
            AppItem changed = sampleItem();
            change(changed);
            QVERIFY(!(changed == sampleItem()));
        }
    }
};

QTEST_GUILESS_MAIN(TestMessageCodec)
#include "tst_messagecodec.moc"

#include "protocol/MessageCodec.h"
#include "protocol/MessageFields.h"

#include <QSet>
#include <QTest>

namespace {

struct Sample {
    TDMessage message;
    QByteArray json;
};

const QUuid kIdA(QStringLiteral("{0a1b2c3d-4e5f-4a6b-8c7d-9e0f1a2b3c4d}"));
const QUuid kIdB(QStringLiteral("{ffffffff-0000-4000-8000-123456789abc}"));

// One message of every kind, with the exact text it travels as.
QList<Sample> samples()
{
    const QList<AppItem> apps{
        AppItem(kIdA, QStringLiteral("com.apple.finder"), QStringLiteral("Finder"), QByteArray("\x89PNG\r\n\x1a\n", 8),
                0, true, true, false),
        AppItem(kIdB, QStringLiteral("org.example.Ünï"), QStringLiteral("Tab\there"), std::nullopt, 7, false, false,
                true),
    };
    return {
        {td::MacHello{QStringLiteral("0427"), QStringLiteral("Ann's \"Mac\"")},
         "{\"macHello\":{\"pin\":\"0427\",\"macName\":\"Ann's \\\"Mac\\\"\"}}"},
        {td::IPhoneHello{QStringLiteral("0427")}, R"({"iPhoneHello":{"pin":"0427"}})"},
        {td::PairingConfirmed{}, R"({"pairingConfirmed":{}})"},
        {td::PairingRejected{}, R"({"pairingRejected":{}})"},
        {td::AppListUpdate{apps},
         R"({"appListUpdate":{"apps":[{"id":"0A1B2C3D-4E5F-4A6B-8C7D-9E0F1A2B3C4D","bundleIdentifier":"com.apple.finder",)"
         R"("displayName":"Finder","iconData":"iVBORw0KGgo=","gridIndex":0,"isRunning":true,"isFrontmost":true,)"
         R"("wasLastUsed":false},{"id":"FFFFFFFF-0000-4000-8000-123456789ABC","bundleIdentifier":"org.example.)"
         "\xc3\x9c\x6e\xc3\xaf"
         "\",\"displayName\":\"Tab\\there\",\"gridIndex\":7,\"isRunning\":false,\"isFrontmost\":false,\"wasLastUsed\":true}]}}"},
        {td::RequestAppList{}, R"({"requestAppList":{}})"},
        {td::LaunchApp{QStringLiteral("com.apple.Safari")}, R"({"launchApp":{"bundleID":"com.apple.Safari"}})"},
        {td::MinimizeApp{QStringLiteral("com.apple.Notes")}, R"({"minimizeApp":{"bundleID":"com.apple.Notes"}})"},
        {td::HideApp{QStringLiteral("com.apple.Mail")}, R"({"hideApp":{"bundleID":"com.apple.Mail"}})"},
        {td::QuitApp{QStringLiteral("com.apple.Music")}, R"({"quitApp":{"bundleID":"com.apple.Music"}})"},
        {td::FocusApp{QStringLiteral("com.apple.finder")}, R"({"focusApp":{"bundleID":"com.apple.finder"}})"},
        {td::DragDropMode{false}, R"({"dragDropMode":{"active":false}})"},
        {td::OpenAppForDrop{QStringLiteral("com.apple.Preview")},
         R"({"openAppForDrop":{"bundleID":"com.apple.Preview"}})"},
        {td::ToggleDoNotDisturb{}, R"({"toggleDoNotDisturb":{}})"},
        {td::LockScreen{}, R"({"lockScreen":{}})"},
        {td::EmptyTrash{}, R"({"emptyTrash":{}})"},
        {td::ToggleDarkMode{}, R"({"toggleDarkMode":{}})"},
        {td::AdjustVolume{-0.1f}, R"({"adjustVolume":{"delta":-0.1}})"},
        {td::Screenshot{}, R"({"screenshot":{}})"},
        {td::ClipboardImagePayload{QStringLiteral("iVBORw0KGgo=")},
         R"({"clipboardImagePayload":{"data":"iVBORw0KGgo="}})"},
        {td::ShowDesktop{}, R"({"showDesktop":{}})"},
        {td::MissionControl{}, R"({"missionControl":{}})"},
        {td::RunningAppsUpdate{{QStringLiteral("a"), QStringLiteral("b")}},
         R"({"runningAppsUpdate":{"bundleIDs":["a","b"]}})"},
        {td::FrontmostAppUpdate{QStringLiteral("com.apple.finder")},
         R"({"frontmostAppUpdate":{"bundleID":"com.apple.finder"}})"},
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
    if (a.kind() != b.kind())
        return false;
    return std::visit([&](const auto &payload) {
        using Payload = std::decay_t<decltype(payload)>;
        return sameFields(payload, *b.get<Payload>());
    }, static_cast<const TDMessagePayload &>(a));
}

} // namespace

class TestMessageRoundTrip : public QObject {
    Q_OBJECT

private slots:
    void samplesCoverEveryKind()
    {
        QSet<TDMessageKind> kinds;
        for (const Sample &sample : samples())
            kinds.insert(sample.message.kind());
        QCOMPARE(kinds.size(), TDMessageKindCount);
    }

    void encodesEveryKindExactly()
    {
        for (const Sample &sample : samples()) {
            const std::optional<QByteArray> json = encodeMessage(sample.message);
            QVERIFY(json);
            QCOMPARE(*json, sample.json);
        }
    }

    void decodesBackToAnEqualMessage()
    {
        for (const Sample &sample : samples()) {
            DecodingError error;
            const std::optional<TDMessage> decoded = decodeMessage(sample.json, &error);
            QVERIFY2(decoded, qPrintable(error.description));
            QVERIFY2(sameMessage(*decoded, sample.message), sample.json.constData());
            QCOMPARE(encodeMessage(*decoded), sample.json);
        }
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
};

QTEST_GUILESS_MAIN(TestMessageRoundTrip)
#include "tst_messageroundtrip.moc"

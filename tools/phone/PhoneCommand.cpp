#include "tools/phone/PhoneCommand.h"

#include <functional>
#include <map>

namespace {

struct CommandSpec {
    QString arguments; // for --help
    int argumentCount; // -1: any number
    std::function<std::optional<TDMessage>(const QStringList &, QString *)> build;
};

template <class T> CommandSpec noPayload()
{
    return {QString(), 0, [](const QStringList &, QString *) -> std::optional<TDMessage> {
                return T{};
            }};
}

template <class T> CommandSpec oneText(const QString &name)
{
    return {name, 1, [](const QStringList &args, QString *) -> std::optional<TDMessage> {
                return T{args[0]};
            }};
}

std::optional<bool> parseBool(const QString &word)
{
    if (word == QLatin1String("true"))
        return true;
    if (word == QLatin1String("false"))
        return false;
    return std::nullopt;
}

const std::map<QString, CommandSpec> &commands()
{
    static const std::map<QString, CommandSpec> table = {
        {QStringLiteral("macHello"),
         {QStringLiteral("PIN NAME"), 2, [](const QStringList &a, QString *) -> std::optional<TDMessage> {
              return td::MacHello{a[0], a[1]};
          }}},
        {QStringLiteral("iPhoneHello"), oneText<td::IPhoneHello>(QStringLiteral("PIN"))},
        {QStringLiteral("pairingConfirmed"), noPayload<td::PairingConfirmed>()},
        {QStringLiteral("pairingRejected"), noPayload<td::PairingRejected>()},
        {QStringLiteral("appListUpdate"), noPayload<td::AppListUpdate>()},
        {QStringLiteral("requestAppList"), noPayload<td::RequestAppList>()},
        {QStringLiteral("launchApp"), oneText<td::LaunchApp>(QStringLiteral("BUNDLE_ID"))},
        {QStringLiteral("minimizeApp"), oneText<td::MinimizeApp>(QStringLiteral("BUNDLE_ID"))},
        {QStringLiteral("hideApp"), oneText<td::HideApp>(QStringLiteral("BUNDLE_ID"))},
        {QStringLiteral("quitApp"), oneText<td::QuitApp>(QStringLiteral("BUNDLE_ID"))},
        {QStringLiteral("focusApp"), oneText<td::FocusApp>(QStringLiteral("BUNDLE_ID"))},
        {QStringLiteral("dragDropMode"),
         {QStringLiteral("true|false"), 1, [](const QStringList &a, QString *error) -> std::optional<TDMessage> {
              const std::optional<bool> active = parseBool(a[0]);
              if (!active) {
                  *error = QStringLiteral("dragDropMode takes true or false");
                  return std::nullopt;
              }
              return td::DragDropMode{*active};
          }}},
        {QStringLiteral("openAppForDrop"), oneText<td::OpenAppForDrop>(QStringLiteral("BUNDLE_ID"))},
        {QStringLiteral("toggleDoNotDisturb"), noPayload<td::ToggleDoNotDisturb>()},
        {QStringLiteral("lockScreen"), noPayload<td::LockScreen>()},
        {QStringLiteral("emptyTrash"), noPayload<td::EmptyTrash>()},
        {QStringLiteral("toggleDarkMode"), noPayload<td::ToggleDarkMode>()},
        {QStringLiteral("adjustVolume"),
         {QStringLiteral("LEVEL (0 to 1)"), 1, [](const QStringList &a, QString *error) -> std::optional<TDMessage> {
              bool ok = false;
              const float delta = a[0].toFloat(&ok);
              if (!ok) {
                  *error = QStringLiteral("adjustVolume takes a number");
                  return std::nullopt;
              }
              return td::AdjustVolume{delta};
          }}},
        {QStringLiteral("screenshot"), noPayload<td::Screenshot>()},
        {QStringLiteral("clipboardImagePayload"),
         oneText<td::ClipboardImagePayload>(QStringLiteral("BASE64"))},
        {QStringLiteral("showDesktop"), noPayload<td::ShowDesktop>()},
        {QStringLiteral("missionControl"), noPayload<td::MissionControl>()},
        {QStringLiteral("runningAppsUpdate"),
         {QStringLiteral("[BUNDLE_ID…]"), -1, [](const QStringList &a, QString *) -> std::optional<TDMessage> {
              return td::RunningAppsUpdate{a};
          }}},
        {QStringLiteral("frontmostAppUpdate"),
         {QStringLiteral("[BUNDLE_ID]"), -1, [](const QStringList &a, QString *error) -> std::optional<TDMessage> {
              if (a.size() > 1) {
                  *error = QStringLiteral("frontmostAppUpdate takes at most one bundle identifier");
                  return std::nullopt;
              }
              return td::FrontmostAppUpdate{a.isEmpty() ? std::nullopt : std::optional(a[0])};
          }}},
        {QStringLiteral("clipboardPayload"), oneText<td::ClipboardPayload>(QStringLiteral("TEXT"))},
        {QStringLiteral("requestClipboard"), noPayload<td::RequestClipboard>()},
        {QStringLiteral("ping"), noPayload<td::Ping>()},
        {QStringLiteral("pong"), noPayload<td::Pong>()},
    };
    return table;
}

} // namespace

std::optional<TDMessage> parsePhoneCommand(const QStringList &words, QString *error)
{
    QString scratch;
    if (!error)
        error = &scratch;
    if (words.isEmpty()) {
        *error = QStringLiteral("no command given");
        return std::nullopt;
    }
    const auto found = commands().find(words.first());
    if (found == commands().end()) {
        *error = QStringLiteral("unknown command: %1").arg(words.first());
        return std::nullopt;
    }
    const QStringList arguments = words.mid(1);
    const CommandSpec &command = found->second;
    if (command.argumentCount >= 0 && arguments.size() != command.argumentCount) {
        *error = QStringLiteral("%1 takes %2 argument(s): %3")
                     .arg(words.first())
                     .arg(command.argumentCount)
                     .arg(command.arguments.isEmpty() ? QStringLiteral("none") : command.arguments);
        return std::nullopt;
    }
    return command.build(arguments, error);
}

QString phoneCommandUsage()
{
    QString usage;
    for (int kind = 0; kind < TDMessageKindCount; ++kind) {
        const QString name = kindName(TDMessageKind(kind));
        usage += QStringLiteral("  ")
                 + QStringLiteral("%1 %2").arg(name, commands().at(name).arguments).trimmed()
                 + QLatin1Char('\n');
    }
    return usage;
}

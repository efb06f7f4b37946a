#include "protocol/TDMessage.h"

#include <array>

namespace {
constexpr std::array<std::string_view, TDMessageKindCount> kKindNames = {
    "macHello", "iPhoneHello", "pairingConfirmed", "pairingRejected",
    "appListUpdate", "requestAppList", "launchApp", "minimizeApp", "hideApp",
    "quitApp", "focusApp", "dragDropMode", "openAppForDrop",
    "toggleDoNotDisturb", "lockScreen", "emptyTrash", "toggleDarkMode",
    "adjustVolume", "screenshot", "clipboardImagePayload", "showDesktop",
    "missionControl", "runningAppsUpdate", "frontmostAppUpdate",
    "clipboardPayload", "requestClipboard", "ping", "pong",
};
} // namespace

QLatin1StringView kindName(TDMessageKind kind)
{
    const std::string_view name = kKindNames[size_t(kind)];
    return QLatin1StringView(name.data(), qsizetype(name.size()));
}

std::optional<TDMessageKind> kindFromName(std::string_view name)
{
    for (size_t i = 0; i < kKindNames.size(); ++i)
        if (kKindNames[i] == name)
            return TDMessageKind(i);
    return std::nullopt;
}

#pragma once

#include "protocol/AppItem.h"

#include <QLatin1StringView>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>
#include <variant>

// The payload of each message kind; the struct names follow the JSON keys.
namespace td {
struct MacHello { QString pin; QString macName; };
struct IPhoneHello { QString pin; };
struct PairingConfirmed {};
struct PairingRejected {};
struct AppListUpdate { QList<AppItem> apps; };
struct RequestAppList {};
struct LaunchApp { QString bundleID; };
struct MinimizeApp { QString bundleID; };
struct HideApp { QString bundleID; };
struct QuitApp { QString bundleID; };
struct FocusApp { QString bundleID; };
struct DragDropMode { bool active = false; };
struct OpenAppForDrop { QString bundleID; };
struct ToggleDoNotDisturb {};
struct LockScreen {};
struct EmptyTrash {};
struct ToggleDarkMode {};
struct AdjustVolume { float delta = 0; };
struct Screenshot {};
struct ClipboardImagePayload { QString data; };
struct ShowDesktop {};
struct MissionControl {};
struct RunningAppsUpdate { QStringList bundleIDs; };
struct FrontmostAppUpdate { std::optional<QString> bundleID; };
struct ClipboardPayload { QString text; };
struct RequestClipboard {};
struct Ping {};
struct Pong {};
} // namespace td

// Declaration order is wire-relevant only through the names, but it is kept
// identical to the variant's alternatives so kind() is the variant index.
enum class TDMessageKind {
    macHello, iPhoneHello, pairingConfirmed, pairingRejected, appListUpdate,
    requestAppList, launchApp, minimizeApp, hideApp, quitApp, focusApp,
    dragDropMode, openAppForDrop, toggleDoNotDisturb, lockScreen, emptyTrash,
    toggleDarkMode, adjustVolume, screenshot, clipboardImagePayload,
    showDesktop, missionControl, runningAppsUpdate, frontmostAppUpdate,
    clipboardPayload, requestClipboard, ping, pong,
};
inline constexpr int TDMessageKindCount = 28;

using TDMessagePayload = std::variant<
    td::MacHello, td::IPhoneHello, td::PairingConfirmed, td::PairingRejected,
    td::AppListUpdate, td::RequestAppList, td::LaunchApp, td::MinimizeApp,
    td::HideApp, td::QuitApp, td::FocusApp, td::DragDropMode,
    td::OpenAppForDrop, td::ToggleDoNotDisturb, td::LockScreen,
    td::EmptyTrash, td::ToggleDarkMode, td::AdjustVolume, td::Screenshot,
    td::ClipboardImagePayload, td::ShowDesktop, td::MissionControl,
    td::RunningAppsUpdate, td::FrontmostAppUpdate, td::ClipboardPayload,
    td::RequestClipboard, td::Ping, td::Pong>;
static_assert(std::variant_size_v<TDMessagePayload> == TDMessageKindCount);

// One wire message: a kind and that kind's payload. Build it from a payload
// (TDMessage m = td::Ping{};) and switch over it with std::visit or kind().
struct TDMessage : TDMessagePayload {
    using TDMessagePayload::TDMessagePayload;
    TDMessage() = delete;

    TDMessageKind kind() const { return TDMessageKind(index()); }
    template <class T> const T *get() const { return std::get_if<T>(this); }
    template <class T> bool is() const { return std::holds_alternative<T>(*this); }
};

// The kind's JSON key ("macHello", …).
QLatin1StringView kindName(TDMessageKind kind);
// The kind whose JSON key is exactly `name`, or none.
std::optional<TDMessageKind> kindFromName(std::string_view name);

#pragma once

// The field list of every payload and of AppItem, in wire order. The encoder
// and the decoder both walk these lists, so a field is named in one place.

#include "protocol/AppItem.h"
#include "protocol/TDMessage.h"

#include <string_view>
#include <tuple>
#include <type_traits>

namespace td::wire {

template <class Record, class Value> struct Field {
    std::string_view label;
    Value Record::*member;
};

template <class Record, class Value>
constexpr Field<Record, Value> field(std::string_view label, Value Record::*member)
{
    return {label, member};
}

// Payloads without fields (pairingConfirmed, ping, …) use the primary template.
template <class Record> struct Fields {
    static_assert(std::is_empty_v<Record>, "a record with fields needs its Fields list");
    static constexpr auto list = std::tuple<>{};
};

#define TD_WIRE_FIELDS(Record, ...)                                             \
    template <> struct Fields<Record> {                                         \
        static constexpr auto list = std::tuple{__VA_ARGS__};                   \
    }

TD_WIRE_FIELDS(MacHello, field("pin", &MacHello::pin), field("macName", &MacHello::macName));
TD_WIRE_FIELDS(IPhoneHello, field("pin", &IPhoneHello::pin));
TD_WIRE_FIELDS(AppListUpdate, field("apps", &AppListUpdate::apps));
TD_WIRE_FIELDS(LaunchApp, field("bundleID", &LaunchApp::bundleID));
TD_WIRE_FIELDS(MinimizeApp, field("bundleID", &MinimizeApp::bundleID));
TD_WIRE_FIELDS(HideApp, field("bundleID", &HideApp::bundleID));
TD_WIRE_FIELDS(QuitApp, field("bundleID", &QuitApp::bundleID));
TD_WIRE_FIELDS(FocusApp, field("bundleID", &FocusApp::bundleID));
TD_WIRE_FIELDS(DragDropMode, field("active", &DragDropMode::active));
TD_WIRE_FIELDS(OpenAppForDrop, field("bundleID", &OpenAppForDrop::bundleID));
TD_WIRE_FIELDS(AdjustVolume, field("delta", &AdjustVolume::delta));
TD_WIRE_FIELDS(ClipboardImagePayload, field("data", &ClipboardImagePayload::data));
TD_WIRE_FIELDS(RunningAppsUpdate, field("bundleIDs", &RunningAppsUpdate::bundleIDs));
TD_WIRE_FIELDS(FrontmostAppUpdate, field("bundleID", &FrontmostAppUpdate::bundleID));
TD_WIRE_FIELDS(ClipboardPayload, field("text", &ClipboardPayload::text));

} // namespace td::wire

// AppItem lives outside namespace td, so its list is declared with full names.
template <> struct td::wire::Fields<AppItem> {
    static constexpr auto list = std::tuple{
        field("id", &AppItem::id),
        field("bundleIdentifier", &AppItem::bundleIdentifier),
        field("displayName", &AppItem::displayName),
        field("iconData", &AppItem::iconData),
        field("gridIndex", &AppItem::gridIndex),
        field("isRunning", &AppItem::isRunning),
        field("isFrontmost", &AppItem::isFrontmost),
        field("wasLastUsed", &AppItem::wasLastUsed),
    };
};

#undef TD_WIRE_FIELDS

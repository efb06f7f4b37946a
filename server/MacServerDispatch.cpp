// The dispatch table: what the server does with each received message.
#include "actions/AppControl.h"
#include "actions/ClipboardActions.h"
#include "server/MacServerService.h"
#include "server/PairingGuard.h"
#include "actions/QuickActions.h"

#include <type_traits>

void MacServerService::sendClipboard()
{
    send(m_clipboard->sendClipboard());
}

void MacServerService::handleMessage(const TDMessage &message)
{
    if (!m_guard->admits(message.kind(), m_serverState == ServerState::paired))
        return;
    std::visit([this](const auto &m) {
        using M = std::decay_t<decltype(m)>;
        if constexpr (std::is_same_v<M, td::IPhoneHello>) {
            checkPairing(m.pin);
        } else if constexpr (std::is_same_v<M, td::RequestAppList>) {
            sendAppList();
        } else if constexpr (std::is_same_v<M, td::LaunchApp> || std::is_same_v<M, td::FocusApp>
                             || std::is_same_v<M, td::OpenAppForDrop>) {
            m_appControl->launchOrActivate(m.bundleID);
        } else if constexpr (std::is_same_v<M, td::MinimizeApp>) {
            m_appControl->minimizeWindows(m.bundleID);
        } else if constexpr (std::is_same_v<M, td::HideApp>) {
            m_appControl->hideApp(m.bundleID);
        } else if constexpr (std::is_same_v<M, td::QuitApp>) {
            m_appControl->quitApp(m.bundleID);
        } else if constexpr (std::is_same_v<M, td::DragDropMode>) {
            m_appControl->dragDropMode(m.active);
        } else if constexpr (std::is_same_v<M, td::LockScreen>) {
            m_quickActions->lockScreen();
        } else if constexpr (std::is_same_v<M, td::EmptyTrash>) {
            m_quickActions->emptyTrash();
        } else if constexpr (std::is_same_v<M, td::ToggleDarkMode>) {
            m_quickActions->toggleDarkMode();
        } else if constexpr (std::is_same_v<M, td::ShowDesktop>) {
            m_quickActions->showDesktop();
        } else if constexpr (std::is_same_v<M, td::MissionControl>) {
            m_quickActions->missionControl();
        } else if constexpr (std::is_same_v<M, td::AdjustVolume>) {
            m_quickActions->setOutputVolume(m.delta);
        } else if constexpr (std::is_same_v<M, td::Screenshot>) {
            m_clipboard->takeScreenshot();
        } else if constexpr (std::is_same_v<M, td::ClipboardImagePayload>) {
            m_clipboard->receiveImagePayload(m.data);
        } else if constexpr (std::is_same_v<M, td::ClipboardPayload>) {
            m_clipboard->receiveTextPayload(m.text);
        } else if constexpr (std::is_same_v<M, td::RequestClipboard>) {
            sendClipboard();
        } else if constexpr (std::is_same_v<M, td::Ping>) {
            send(td::Pong{});
        } else {
            // macHello, pairingConfirmed, pairingRejected, appListUpdate,
            // toggleDoNotDisturb, runningAppsUpdate, frontmostAppUpdate, pong:
            // the phone has no business sending them; they are dropped.
            static_assert(std::is_same_v<M, td::MacHello> || std::is_same_v<M, td::PairingConfirmed>
                          || std::is_same_v<M, td::PairingRejected>
                          || std::is_same_v<M, td::AppListUpdate>
                          || std::is_same_v<M, td::ToggleDoNotDisturb>
                          || std::is_same_v<M, td::RunningAppsUpdate>
                          || std::is_same_v<M, td::FrontmostAppUpdate>
                          || std::is_same_v<M, td::Pong>);
        }
    }, static_cast<const TDMessagePayload &>(message));
}

import QtQuick
import Tendril.Ui
import QtQuick.Controls
import QtQuick.Layouts

// The "Settings" page: the switches, one SettingsToggleRow each, then the
// phones approved in protected mode, each with a Forget button.
Item {
    id: page
    objectName: "settingsView"

    // AppSettings; the page shows nothing to change without it.
    property var settings: null
    property var webRemote: null
    readonly property var approved: settings ? settings.approvedPhones : []

    ColumnLayout {
        anchors.fill: parent
        anchors.leftMargin: 24
        anchors.rightMargin: 24
        anchors.topMargin: 24
        anchors.bottomMargin: 24
        spacing: 0

        Column {
            Layout.fillWidth: true
            Layout.bottomMargin: 16
            spacing: 2
            Text {
                text: "Settings"
                font.family: MacStyle.roundedFamily
                font.pixelSize: 20
                font.bold: true
                color: MacStyle.titleAmber
            }
            Text {
                text: "Kept between runs"
                font.pixelSize: 11
                color: MacStyle.white(0.3)
            }
        }

        Column {
            objectName: "switches"
            Layout.fillWidth: true
            spacing: 8
            enabled: page.settings !== null

            SettingsToggleRow {
                objectName: "protectedModeRow"
                width: parent.width
                title: "Protected mode"
                detail: page.settings && page.settings.requireApprovalForRun
                    ? "On for this run (--require-approval)"
                    : "Ask before a new phone connects; commands only after pairing"
                checked: page.settings ? page.settings.requireApproval : false
                enabled: !(page.settings && page.settings.requireApprovalForRun)
                onToggled: (on) => page.settings.requireApproval = on
            }
            SettingsToggleRow {
                objectName: "notificationsRow"
                width: parent.width
                title: "Notifications"
                detail: "When a phone pairs, is replaced or is lost"
                checked: page.settings ? page.settings.notificationsEnabled : false
                onToggled: (on) => page.settings.notificationsEnabled = on
            }
            SettingsToggleRow {
                objectName: "webRemoteRow"
                width: parent.width
                title: "Web remote"
                detail: page.settings && page.settings.webRemoteOffForRun
                    ? "Off for this run (--no-web-remote)"
                    : "Any phone's browser on this network can pair with the PIN"
                checked: page.settings ? page.settings.webRemote : false
                enabled: !(page.settings && page.settings.webRemoteOffForRun)
                onToggled: (on) => page.settings.webRemote = on
            }
            SettingsToggleRow {
                objectName: "openAtLoginRow"
                width: parent.width
                title: "Open at login"
                detail: "Start Tendril when you log in to this computer"
                checked: page.settings ? page.settings.openAtLogin : false
                onToggled: (on) => page.settings.openAtLogin = on
            }
        }

        WebRemoteCard {
            Layout.fillWidth: true
            Layout.topMargin: 24
            webRemote: page.webRemote
            settings: page.settings
        }

        Text {
            Layout.topMargin: 24
            Layout.bottomMargin: 8
            text: "APPROVED PHONES"
            font.pixelSize: 10
            font.bold: true
            font.letterSpacing: 2
            color: Qt.rgba(1.0, 0.65, 0.25, 0.6)
        }

        Text {
            objectName: "noApprovedPhones"
            visible: page.approved.length === 0
            text: "None yet. Phones you allow in protected mode appear here."
            font.pixelSize: 12
            color: MacStyle.white(0.35)
        }

        ListView {
            objectName: "approvedList"
            Layout.fillWidth: true
            Layout.fillHeight: true
            clip: true
            spacing: 6
            boundsBehavior: Flickable.StopAtBounds
            model: page.approved
            ScrollBar.vertical: ScrollBar {}

            delegate: Item {
                required property string modelData
                width: ListView.view.width
                height: 40

                Rectangle {
                    anchors.fill: parent
                    radius: 10
                    color: MacStyle.white(0.04)
                }
                Symbol {
                    id: glyph
                    anchors.left: parent.left
                    anchors.leftMargin: 12
                    anchors.verticalCenter: parent.verticalCenter
                    name: "iphone"
                    size: 15
                    color: MacStyle.white(0.4)
                }
                Text {
                    anchors.left: glyph.right
                    anchors.leftMargin: 10
                    anchors.right: forget.left
                    anchors.rightMargin: 10
                    anchors.verticalCenter: parent.verticalCenter
                    text: modelData
                    font.family: MacStyle.monospacedFamily
                    font.pixelSize: 12
                    color: MacStyle.white(0.75)
                    elide: Text.ElideRight
                }
                MacButton {
                    id: forget
                    objectName: "forgetButton"
                    anchors.right: parent.right
                    anchors.rightMargin: 8
                    anchors.verticalCenter: parent.verticalCenter
                    text: "Forget"
                    onClicked: page.settings.forget(modelData)
                }
            }
        }
    }
}

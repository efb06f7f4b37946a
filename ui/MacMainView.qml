import QtQuick
import Tendril.Ui
import QtQuick.Layouts

// The window's content: sidebar, hairline, and the page of the selected tab
// over the warm background. Only the selected page exists.
Item {
    id: mainView
    objectName: "mainView"

    required property var appStore
    required property var server
    property var settings: null
    property var webRemote: null
    readonly property var approvals: server ? server.approvals : null

    property int selectedTab: MacTabs.apps
    // Kept here so a search survives switching pages.
    property string searchText: ""

    MacOrangeMesh {
        anchors.fill: parent
    }

    RowLayout {
        anchors.fill: parent
        spacing: 0

        MacSidebar {
            Layout.preferredWidth: 220
            Layout.fillHeight: true
            server: mainView.server
            selectedTab: mainView.selectedTab
            onTabPicked: (tab) => mainView.selectedTab = tab
        }

        Rectangle {
            Layout.preferredWidth: 1
            Layout.fillHeight: true
            color: MacStyle.hairline
        }

        ColumnLayout {
            Layout.fillWidth: true
            Layout.fillHeight: true
            spacing: 0

            // Phones held in protected mode ask here, whatever page is shown.
            Column {
                objectName: "approvalBanners"
                Layout.fillWidth: true
                Layout.leftMargin: 16
                Layout.rightMargin: 16
                Layout.topMargin: visible ? 12 : 0
                spacing: 8
                visible: pending.count > 0

                readonly property var phones: mainView.approvals ? mainView.approvals.pendingPhones : []
                // Three at most, so that the page keeps its room.
                Repeater {
                    id: pending
                    model: parent.phones.slice(0, 3)
                    MacApprovalBanner {
                        required property string modelData
                        width: parent.width
                        address: modelData
                        onAllowed: mainView.approvals.allow(address)
                        onDenied: mainView.approvals.deny(address)
                    }
                }
                Text {
                    objectName: "morePending"
                    anchors.horizontalCenter: parent.horizontalCenter
                    visible: parent.phones.length > 3
                    text: parent.phones.length === 4 ? "1 more phone is waiting"
                        : "%1 more phones are waiting".arg(parent.phones.length - 3)
                    font.pixelSize: 11
                    color: MacStyle.white(0.45)
                }
            }

            Loader {
                id: page
                objectName: "page"
                Layout.fillWidth: true
                Layout.fillHeight: true
                sourceComponent: [pickerPage, selectedPage, settingsPage, aboutPage][mainView.selectedTab]
            }
        }
    }

    Component {
        id: pickerPage
        MacAppPickerView {
            appStore: mainView.appStore
            server: mainView.server
            searchText: mainView.searchText
            onSearchTextChanged: mainView.searchText = searchText
        }
    }

    Component {
        id: selectedPage
        MacSelectedView {
            appStore: mainView.appStore
        }
    }

    Component {
        id: settingsPage
        MacSettingsView {
            settings: mainView.settings
            webRemote: mainView.webRemote
        }
    }

    Component {
        id: aboutPage
        MacAboutView {}
    }
}

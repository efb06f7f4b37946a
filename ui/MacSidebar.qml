import QtQuick
import Tendril.Ui
import QtQuick.Layouts

// Title, PIN card, page rows and, at the bottom, the connection status. No
// background of its own: the mesh shows through.
Item {
    id: sidebar
    objectName: "sidebar"

    required property var server
    property int selectedTab

    signal tabPicked(int tab)

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        Column {
            Layout.alignment: Qt.AlignHCenter
            Layout.topMargin: 28
            Layout.bottomMargin: 24
            spacing: 6

            Symbol {
                anchors.horizontalCenter: parent.horizontalCenter
                name: "macbook.and.iphone"
                size: MacStyle.headerSymbol
                weight: "ultraLight"
                color: MacStyle.amber
            }
            GradientText {
                objectName: "sidebarTitle"
                anchors.horizontalCenter: parent.horizontalCenter
                text: "Tendril"
                pixelSize: 22
            }
        }

        MacPINCard {
            Layout.fillWidth: true
            Layout.leftMargin: 16
            Layout.rightMargin: 16
            Layout.bottomMargin: 20
            server: sidebar.server
        }

        Rectangle {
            Layout.fillWidth: true
            Layout.preferredHeight: 1
            Layout.bottomMargin: 12
            color: MacStyle.hairline
        }

        Column {
            Layout.fillWidth: true
            Layout.leftMargin: 10
            Layout.rightMargin: 10
            spacing: 4

            Repeater {
                model: MacTabs.allCases
                MacNavRow {
                    required property int modelData
                    width: parent.width
                    tab: modelData
                    selected: sidebar.selectedTab === modelData
                    onClicked: sidebar.tabPicked(tab)
                }
            }
        }

        Item {
            Layout.fillHeight: true
        }

        // Window control that waits for the user (the next login, say).
        Text {
            objectName: "windowControlNotice"
            Layout.alignment: Qt.AlignHCenter
            Layout.leftMargin: 18
            Layout.rightMargin: 18
            Layout.bottomMargin: 6
            visible: text !== ""
            text: sidebar.server ? sidebar.server.windowControlNotice : ""
            font.pixelSize: 10
            color: MacStyle.white(0.3)
        }

        Row {
            id: statusLine
            objectName: "statusLine"
            Layout.alignment: Qt.AlignHCenter
            Layout.leftMargin: 18
            Layout.rightMargin: 18
            Layout.bottomMargin: phoneAddress.visible ? 3 : 20
            spacing: 6

            readonly property bool connected: sidebar.server ? sidebar.server.isConnected : false
            // Said while no listener can be made (the port is taken, say).
            readonly property string listenerProblem: sidebar.server && sidebar.server.listenerProblem
                ? sidebar.server.listenerProblem : ""
            readonly property color green: Qt.rgba(0.3, 0.95, 0.45, 1)

            Item {
                width: 7
                height: 7
                anchors.verticalCenter: parent.verticalCenter

                // The glow: soft rings around the dot while connected.
                Repeater {
                    model: 3
                    Rectangle {
                        required property int index
                        readonly property real extent: 7 + 2.5 * (index + 1)
                        anchors.centerIn: parent
                        width: extent
                        height: extent
                        radius: extent / 2
                        visible: statusDot.glowColor.a > 0
                        color: Qt.rgba(statusDot.glowColor.r, statusDot.glowColor.g,
                                       statusDot.glowColor.b, 0.22 - 0.06 * index)
                    }
                }
                Rectangle {
                    id: statusDot
                    objectName: "statusDot"
                    readonly property color glowColor: statusLine.connected
                        ? statusLine.green : "transparent"
                    anchors.fill: parent
                    radius: 3.5
                    color: statusLine.connected ? statusLine.green : MacStyle.white(0.25)
                }
            }

            Text {
                objectName: "statusText"
                anchors.verticalCenter: parent.verticalCenter
                text: statusLine.connected ? "iPhone Connected"
                    : statusLine.listenerProblem !== "" ? statusLine.listenerProblem
                    : "Waiting for iPhone"
                font.pixelSize: 11
                font.weight: Font.Medium
                color: MacStyle.white(0.4)
            }
        }

        // Who is connected, so a stranger's phone does not go unnoticed.
        Text {
            id: phoneAddress
            objectName: "phoneAddress"
            Layout.alignment: Qt.AlignHCenter
            Layout.bottomMargin: 20
            visible: statusLine.connected && text !== ""
            text: sidebar.server ? sidebar.server.phoneAddress : ""
            font.pixelSize: 10
            color: MacStyle.white(0.3)
        }
    }
}

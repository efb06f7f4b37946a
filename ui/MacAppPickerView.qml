import QtQuick
import Tendril.Ui
import QtQuick.Controls
import QtQuick.Layouts

// The "Apps" page: counter and ring, search field and the catalogue's rows.
// While shown, each change of the selection is pushed to a connected phone.
Item {
    id: picker
    objectName: "appPicker"

    required property var appStore
    required property var server
    property string searchText: ""

    readonly property alias filteredApps: apps
    readonly property int selectedCount: selection.count

    InstalledAppsModel {
        id: apps
        objectName: "filteredApps"
        store: picker.appStore
        searchText: picker.searchText
    }

    SelectedAppsModel {
        id: selection
        store: picker.appStore
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        RowLayout {
            Layout.fillWidth: true
            Layout.leftMargin: 24
            Layout.rightMargin: 24
            Layout.topMargin: 24
            Layout.bottomMargin: 16

            Column {
                spacing: 2
                Text {
                    text: "Add Apps to iPhone"
                    font.family: MacStyle.roundedFamily
                    font.pixelSize: 20
                    font.bold: true
                    color: MacStyle.titleAmber
                }
                Text {
                    objectName: "counter"
                    text: "%1 of 8 selected".arg(picker.selectedCount)
                    font.pixelSize: 12
                    color: MacStyle.white(0.35)
                }
            }

            Item { Layout.fillWidth: true }

            ProgressRing {
                objectName: "progressRing"
                count: picker.selectedCount
            }
        }

        Item {
            Layout.fillWidth: true
            Layout.leftMargin: 24
            Layout.rightMargin: 24
            Layout.bottomMargin: 16
            implicitHeight: searchRow.implicitHeight + 20

            Rectangle {
                anchors.fill: parent
                radius: 12
                color: MacStyle.material
                border.width: 1
                border.color: MacStyle.white(0.1)
            }

            RowLayout {
                id: searchRow
                anchors.fill: parent
                anchors.margins: 10
                spacing: 8

                Symbol {
                    name: "magnifyingglass"
                    size: MacStyle.searchSymbol
                    color: MacStyle.white(0.35)
                }

                TextInput {
                    id: searchField
                    objectName: "searchField"
                    Layout.fillWidth: true
                    text: picker.searchText
                    onTextEdited: picker.searchText = text
                    clip: true
                    font.pixelSize: 13
                    color: "white"
                    selectionColor: Qt.rgba(1.0, 0.65, 0.2, 0.45)
                    selectByMouse: true
                    cursorDelegate: Rectangle {
                        width: 1.5
                        color: Qt.rgba(1.0, 0.65, 0.2, 1)
                        visible: searchField.cursorVisible
                    }

                    Text {
                        anchors.fill: parent
                        visible: searchField.text.length === 0
                        text: "Search apps…"
                        font: searchField.font
                        color: MacStyle.white(0.3)
                    }
                }

                Symbol {
                    objectName: "clearSearch"
                    visible: picker.searchText.length > 0
                    name: "xmark.circle.fill"
                    size: MacStyle.textSymbol
                    color: MacStyle.white(0.3)

                    MouseArea {
                        anchors.fill: parent
                        anchors.margins: -3
                        onClicked: picker.searchText = ""
                    }
                }
            }
        }

        ListView {
            id: list
            objectName: "appList"
            Layout.fillWidth: true
            Layout.fillHeight: true
            clip: true
            spacing: 2
            bottomMargin: 24
            model: apps
            boundsBehavior: Flickable.StopAtBounds
            // Shown only when there is something to scroll.
            ScrollBar.vertical: ScrollBar {
                objectName: "appListScrollBar"
                policy: list.contentHeight + list.topMargin + list.bottomMargin > list.height
                    ? ScrollBar.AlwaysOn : ScrollBar.AlwaysOff
            }

            delegate: MacAppRow {
                width: ListView.view.width - 32
                x: 16
                selectionFull: picker.selectedCount >= 8
                onToggled: apps.toggle(index)
            }
        }

        Text {
            objectName: "sourcesNote"
            visible: text.length > 0
            text: apps.sourcesNote
            Layout.fillWidth: true
            Layout.leftMargin: 28
            Layout.rightMargin: 28
            Layout.bottomMargin: 20
            wrapMode: Text.WordWrap
            font.pixelSize: 11
            color: MacStyle.white(0.35)
        }
    }
}

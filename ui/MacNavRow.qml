import QtQuick
import Tendril.Ui

// One page row of the sidebar; the whole row takes clicks.
Item {
    id: row
    objectName: "navRow_" + MacTabs.title(tab)

    property int tab
    property bool selected: false
    readonly property string title: MacTabs.title(tab)

    signal clicked()

    implicitHeight: label.implicitHeight + 18

    Rectangle {
        anchors.fill: parent
        visible: row.selected
        radius: 12
        color: Qt.rgba(1.0, 0.55, 0.1, 0.18)
        border.width: 1
        border.color: Qt.rgba(1.0, 0.6, 0.15, 0.3)
    }

    Row {
        id: label
        anchors.left: parent.left
        anchors.leftMargin: 12
        anchors.verticalCenter: parent.verticalCenter
        spacing: 10

        Item {
            width: 20
            height: 16
            anchors.verticalCenter: parent.verticalCenter
            Symbol {
                anchors.centerIn: parent
                name: MacTabs.symbolName(row.tab)
                size: MacStyle.navSymbol
                weight: row.selected ? "semibold" : "regular"
                color: row.selected ? MacStyle.amber : MacStyle.white(0.4)
            }
        }
        Text {
            anchors.verticalCenter: parent.verticalCenter
            text: row.title
            font.pixelSize: 13
            font.weight: row.selected ? Font.DemiBold : Font.Normal
            color: row.selected ? "white" : MacStyle.white(0.45)
        }
    }

    MouseArea {
        anchors.fill: parent
        onClicked: row.clicked()
    }
}

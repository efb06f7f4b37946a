import QtQuick

// One application in the picker: icon, name and the add/selected mark. With
// eight selected, unselected rows are dimmed and ignore clicks.
Item {
    id: row
    objectName: "appRow_" + bundleID

    required property int index
    required property string appId
    required property string name
    required property string bundleID
    required property bool hasIcon
    required property url iconSource
    required property bool isSelected
    property bool selectionFull: false

    signal toggled()

    enabled: isSelected || !selectionFull
    opacity: enabled ? 1 : 0.3
    implicitHeight: 52

    Rectangle {
        anchors.fill: parent
        radius: 12
        color: row.isSelected ? Qt.rgba(1.0, 0.5, 0.08, 0.12) : "transparent"
        border.width: row.isSelected ? 1 : 0
        border.color: Qt.rgba(1.0, 0.6, 0.15, 0.2)
    }

    Item {
        id: icon
        x: 12
        width: 36
        height: 36
        anchors.verticalCenter: parent.verticalCenter

        Rectangle {
            anchors.fill: parent
            visible: !row.hasIcon
            radius: 8
            color: MacStyle.white(0.08)
        }
        Image {
            anchors.fill: parent
            visible: row.hasIcon
            source: row.iconSource
            sourceSize: Qt.size(36, 36)
            asynchronous: true
        }
    }

    Text {
        anchors.left: icon.right
        anchors.leftMargin: 12
        anchors.right: mark.left
        anchors.rightMargin: 12
        anchors.verticalCenter: parent.verticalCenter
        text: row.name
        elide: Text.ElideRight
        font.pixelSize: 13
        font.weight: Font.Medium
        color: "white"
    }

    Rectangle {
        id: mark
        anchors.right: parent.right
        anchors.rightMargin: 12
        anchors.verticalCenter: parent.verticalCenter
        width: 24
        height: 24
        radius: 12
        color: row.isSelected ? Qt.rgba(1.0, 0.55, 0.1, 0.25) : MacStyle.white(0.06)

        Symbol {
            anchors.centerIn: parent
            name: row.isSelected ? "checkmark" : "plus"
            size: MacStyle.markSymbol
            weight: "bold"
            color: row.isSelected ? MacStyle.amber : MacStyle.white(0.3)
        }
    }

    MouseArea {
        anchors.fill: parent
        onClicked: row.toggled()
    }
}

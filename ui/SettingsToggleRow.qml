import QtQuick
import QtQuick.Layouts

// One switch of the Settings page: title, a line of detail and the switch.
// The whole row takes clicks while enabled.
Item {
    id: row

    property string title
    property string detail
    property bool checked: false

    signal toggled(bool on)

    implicitHeight: Math.max(texts.implicitHeight, track.height) + 24
    opacity: enabled ? 1 : 0.55

    RoundedPanel {
        anchors.fill: parent
        radius: 12
        material: MacStyle.material
        borderWidth: 1
        borderFrom: MacStyle.white(0.1)
        borderTo: MacStyle.white(0.04)
    }

    RowLayout {
        anchors.fill: parent
        anchors.leftMargin: 14
        anchors.rightMargin: 14
        spacing: 12

        Column {
            id: texts
            Layout.fillWidth: true
            spacing: 3
            Text {
                width: parent.width
                text: row.title
                font.pixelSize: 13
                font.weight: Font.DemiBold
                color: "white"
                elide: Text.ElideRight
            }
            Text {
                width: parent.width
                text: row.detail
                font.pixelSize: 11
                color: MacStyle.white(0.4)
                wrapMode: Text.WordWrap
            }
        }

        Rectangle {
            id: track
            objectName: "switch"
            width: 34
            height: 20
            radius: 10
            color: row.checked ? Qt.rgba(1.0, 0.55, 0.1, 0.85) : MacStyle.white(0.15)
            Rectangle {
                width: 16
                height: 16
                radius: 8
                y: 2
                x: row.checked ? parent.width - width - 2 : 2
                color: "white"
            }
        }
    }

    MouseArea {
        anchors.fill: parent
        onClicked: row.toggled(!row.checked)
    }
}

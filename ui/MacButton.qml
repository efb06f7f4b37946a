import QtQuick

// A small pill button: amber when it is the answer the row suggests,
// a faint veil otherwise.
Item {
    id: button

    property string text
    property bool prominent: false

    signal clicked()

    implicitWidth: label.implicitWidth + 24
    implicitHeight: 26

    Rectangle {
        anchors.fill: parent
        radius: height / 2
        color: button.prominent ? Qt.rgba(1.0, 0.55, 0.1, mouse.pressed ? 0.6 : 0.85)
                                : MacStyle.white(mouse.pressed ? 0.14 : 0.08)
        border.width: 1
        border.color: button.prominent ? Qt.rgba(1.0, 0.7, 0.3, 0.6) : MacStyle.white(0.12)
    }

    Text {
        id: label
        anchors.centerIn: parent
        text: button.text
        font.pixelSize: 12
        font.weight: Font.DemiBold
        color: button.prominent ? "white" : MacStyle.white(0.75)
    }

    MouseArea {
        id: mouse
        anchors.fill: parent
        onClicked: button.clicked()
    }
}

import QtQuick

// One feature line of the About page: a symbol in a 20-wide box, then the
// sentence.
Item {
    id: row

    property string icon
    property string text

    implicitHeight: Math.max(16, label.implicitHeight)

    Item {
        id: glyphBox
        width: 20
        height: parent.height
        Symbol {
            anchors.centerIn: parent
            name: row.icon
            size: MacStyle.textSymbol
            color: Qt.rgba(1.0, 0.65, 0.25, 0.7)
        }
    }

    Text {
        id: label
        anchors.left: glyphBox.right
        anchors.leftMargin: 12
        anchors.verticalCenter: parent.verticalCenter
        text: row.text
        font.pixelSize: 13
        color: MacStyle.white(0.55)
    }
}

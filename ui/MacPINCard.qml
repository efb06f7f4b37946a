import QtQuick

// The pairing PIN: one box per character of the server's pin, none before
// the server first starts.
Item {
    id: card
    objectName: "pinCard"

    required property var server
    readonly property string pin: server ? server.pin : ""

    implicitHeight: content.implicitHeight + 28

    RoundedPanel {
        anchors.fill: parent
        radius: 18
        material: MacStyle.material
        fillColor: Qt.rgba(0.9, 0.4, 0.08, 0.1)
        borderWidth: 1
        borderFrom: MacStyle.white(0.2)
        borderTo: MacStyle.white(0.05)
        shadowColor: Qt.rgba(1.0, 0.45, 0.05, 0.2)
        shadowBlur: 12
        shadowOffsetY: 4
    }

    // Padded 14 all round, except that the four boxes (4 × 38 + 3 × 8 = 176)
    // are wider than a 188-wide card leaves inside that: the sides give way
    // equally, so the boxes keep their size and spacing and stay centred.
    Column {
        id: content
        anchors.centerIn: parent
        spacing: 10

        Text {
            anchors.horizontalCenter: parent.horizontalCenter
            text: "PAIRING PIN"
            font.pixelSize: 10
            font.bold: true
            font.letterSpacing: 2
            color: Qt.rgba(1.0, 0.65, 0.25, 0.6)
        }

        Row {
            objectName: "pinDigits"
            anchors.horizontalCenter: parent.horizontalCenter
            spacing: 8

            // By position, so repeated digits still get a box each.
            Repeater {
                model: card.pin.length
                Item {
                    required property int index
                    objectName: "pinDigit"
                    readonly property string character: card.pin.charAt(index)
                    width: 38
                    height: 46

                    RoundedPanel {
                        anchors.fill: parent
                        radius: 10
                        fillFrom: Qt.rgba(1.0, 0.55, 0.1, 0.2)
                        fillTo: MacStyle.white(0.05)
                        borderWidth: 1
                        borderFrom: Qt.rgba(1.0, 0.6, 0.15, 0.35)
                    }
                    Text {
                        anchors.centerIn: parent
                        text: parent.character
                        font.family: MacStyle.monospacedFamily
                        font.pixelSize: 26
                        font.bold: true
                        color: Qt.rgba(1.0, 0.82, 0.5, 1)
                    }
                }
            }
        }
    }
}

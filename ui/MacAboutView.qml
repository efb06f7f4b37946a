import QtQuick
import QtQuick.Layouts

// The "About" page: name, the fixed version and the four features. Static.
Item {
    id: about
    objectName: "aboutView"

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 40
        spacing: 28

        Item { Layout.fillHeight: true }

        Symbol {
            Layout.alignment: Qt.AlignHCenter
            name: "macbook.and.iphone"
            size: MacStyle.aboutSymbol
            weight: "ultraLight"
            color: MacStyle.amber
        }

        Column {
            Layout.alignment: Qt.AlignHCenter
            spacing: 8
            GradientText {
                anchors.horizontalCenter: parent.horizontalCenter
                text: "Tendril"
                pixelSize: 32
            }
            Text {
                objectName: "version"
                anchors.horizontalCenter: parent.horizontalCenter
                text: "Version 1.0"
                font.pixelSize: 13
                color: MacStyle.white(0.3)
            }
        }

        Column {
            Layout.fillWidth: true
            spacing: 12

            AboutRow {
                width: parent.width
                icon: "wifi"
                text: "Works over local Wi-Fi via Bonjour"
            }
            AboutRow {
                width: parent.width
                icon: "lock.shield"
                text: "PIN-secured pairing, no cloud required"
            }
            AboutRow {
                width: parent.width
                icon: "arrow.triangle.2.circlepath"
                text: "Real-time sync — instant updates"
            }
            AboutRow {
                width: parent.width
                icon: "bolt.fill"
                text: "Quick Actions, Clipboard, Drag & Drop"
            }
        }

        Item { Layout.fillHeight: true }
    }
}

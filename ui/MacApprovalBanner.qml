import QtQuick
import QtQuick.Layouts

// One held phone's question, above every page: "Allow phone at ADDRESS?"
Item {
    id: banner
    objectName: "approvalBanner"

    required property string address

    signal allowed()
    signal denied()

    implicitHeight: 48

    RoundedPanel {
        anchors.fill: parent
        radius: 12
        material: MacStyle.material
        fillColor: Qt.rgba(0.9, 0.4, 0.08, 0.2)
        borderWidth: 1
        borderFrom: Qt.rgba(1.0, 0.6, 0.15, 0.45)
        borderTo: Qt.rgba(1.0, 0.6, 0.15, 0.15)
    }

    RowLayout {
        anchors.fill: parent
        anchors.leftMargin: 14
        anchors.rightMargin: 10
        spacing: 10

        Symbol {
            name: "lock.shield"
            size: 16
            color: MacStyle.amber
        }
        Text {
            objectName: "question"
            Layout.fillWidth: true
            text: "Allow phone at %1?".arg(banner.address)
            font.pixelSize: 13
            font.weight: Font.DemiBold
            color: "white"
            elide: Text.ElideRight
        }
        MacButton {
            objectName: "denyButton"
            text: "Deny"
            onClicked: banner.denied()
        }
        MacButton {
            objectName: "allowButton"
            text: "Allow"
            prominent: true
            onClicked: banner.allowed()
        }
    }
}

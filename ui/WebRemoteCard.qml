import QtQuick
import Tendril.Ui

// Where a phone's browser finds the web remote: each address with its QR code.
Column {
    id: card
    objectName: "webRemoteCard"

    property var webRemote: null
    property var settings: null
    readonly property var urls: webRemote ? webRemote.urls : []

    spacing: 8

    Text {
        text: "WEB REMOTE"
        font.pixelSize: 10
        font.bold: true
        font.letterSpacing: 2
        color: Qt.rgba(1.0, 0.65, 0.25, 0.6)
    }

    Text {
        objectName: "webRemoteStatus"
        visible: card.urls.length === 0
        width: parent.width
        wrapMode: Text.WordWrap
        text: card.settings && !card.settings.webRemote ? "Switched off"
            : card.webRemote && card.webRemote.problem ? card.webRemote.problem
            : "No network address yet: connect this computer to a network"
        font.pixelSize: 12
        color: MacStyle.white(0.35)
    }

    Flow {
        width: parent.width
        spacing: 16
        Repeater {
            model: card.urls
            Column {
                required property string modelData
                spacing: 4
                Image {
                    objectName: "webRemoteQr"
                    width: 96
                    height: 96
                    sourceSize: Qt.size(96, 96)
                    smooth: false
                    source: "image://qrcode/" + encodeURIComponent(modelData)
                }
                TextEdit {
                    objectName: "webRemoteUrl"
                    readOnly: true
                    selectByMouse: true
                    text: modelData
                    font.pixelSize: 11
                    color: MacStyle.white(0.7)
                }
            }
        }
    }
}

import QtQuick
import QtQuick.Window

// The one window of the program.
Window {
    id: window
    objectName: "mainWindow"

    required property var appStore
    required property var server
    // AppSettings; the shell hands it in.
    property var settings: null
    // WebRemote; the shell hands it in.
    property var webRemote: null

    title: "Tendril"
    width: 640
    height: 560
    minimumWidth: 560
    minimumHeight: 480
    color: Qt.rgba(0.08, 0.06, 0.04, 1)

    MacMainView {
        anchors.fill: parent
        appStore: window.appStore
        server: window.server
        settings: window.settings
        webRemote: window.webRemote
    }
}

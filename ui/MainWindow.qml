import QtQuick
import QtQuick.Window

// The one window of the program.
Window {
    id: window
    objectName: "mainWindow"

    required property var appStore
    required property var server
    // The settings page's general switches; none in tests that do not need them.
    property var generalSettings: null

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
    }
}

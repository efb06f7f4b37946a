pragma Singleton
import QtQuick

// Colours and fonts shared by the window's views.
QtObject {
    readonly property string roundedFamily: "Comfortaa"
    readonly property string monospacedFamily: "DejaVu Sans Mono"

    readonly property color amber: Qt.rgba(1.0, 0.72, 0.35, 1)
    readonly property color titleAmber: Qt.rgba(1.0, 0.78, 0.4, 1)
    readonly property color gradientEnd: Qt.rgba(0.9, 0.45, 0.1, 1)
    readonly property color hairline: Qt.rgba(1, 1, 1, 0.07)

    // Stands in for the ultra-thin translucent material: a faint veil.
    readonly property color material: Qt.rgba(1, 1, 1, 0.05)

    function white(opacity) { return Qt.rgba(1, 1, 1, opacity) }
}

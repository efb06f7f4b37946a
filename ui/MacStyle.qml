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

    // Symbol sizes in points, as the design gives them; the glyphs are drawn
    // to fill their box the way the platform's symbols fill theirs.
    readonly property real headerSymbol: 28
    readonly property real navSymbol: 14
    readonly property real searchSymbol: 13
    readonly property real markSymbol: 10
    readonly property real emptyStateSymbol: 32
    readonly property real aboutSymbol: 52
    readonly property real textSymbol: 13 // the default text size: feature rows, buttons
    readonly property real removeSymbol: 16 // a row's remove button, beside 14-point names

    function white(opacity) { return Qt.rgba(1, 1, 1, opacity) }
}

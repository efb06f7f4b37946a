import QtQuick
import QtQuick.Shapes

// The window's warm background: a dark base and two soft orange glows.
// Static, takes no input.
Item {
    id: mesh

    component Glow: ShapePath {
        id: glow
        property real centerX
        property real centerY
        property real radius
        property color tint

        strokeWidth: -1
        strokeColor: "transparent"
        startX: 0
        startY: 0
        fillGradient: RadialGradient {
            centerX: glow.centerX
            centerY: glow.centerY
            centerRadius: glow.radius
            focalX: glow.centerX
            focalY: glow.centerY
            focalRadius: 0
            GradientStop { position: 0; color: glow.tint }
            GradientStop { position: 1; color: Qt.rgba(glow.tint.r, glow.tint.g, glow.tint.b, 0) }
        }
        PathLine { x: mesh.width; y: 0 }
        PathLine { x: mesh.width; y: mesh.height }
        PathLine { x: 0; y: mesh.height }
        PathLine { x: 0; y: 0 }
    }

    Rectangle {
        anchors.fill: parent
        color: Qt.rgba(0.08, 0.06, 0.04, 1)
    }

    Shape {
        anchors.fill: parent
        Glow {
            centerX: mesh.width * 0.25
            centerY: mesh.height * 0.35
            radius: 350
            tint: Qt.rgba(0.8, 0.35, 0.06, 0.45)
        }
    }

    Shape {
        anchors.fill: parent
        Glow {
            centerX: mesh.width * 0.85
            centerY: mesh.height * 0.75
            radius: 280
            tint: Qt.rgba(0.9, 0.5, 0.12, 0.22)
        }
    }
}

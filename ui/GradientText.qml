import QtQuick

// One line of text filled with a linear gradient from the top-leading to the
// bottom-trailing corner of its box.
Item {
    id: root

    property string text
    property real pixelSize: 13
    property string family: MacStyle.roundedFamily
    property bool bold: true
    property color from: MacStyle.titleAmber
    property color to: MacStyle.gradientEnd

    readonly property font font: Qt.font({ family: root.family, pixelSize: root.pixelSize,
                                           bold: root.bold })

    implicitWidth: Math.ceil(metrics.advanceWidth(text)) + 2
    implicitHeight: Math.ceil(metrics.height)

    FontMetrics {
        id: metrics
        font: root.font
    }

    Canvas {
        id: canvas
        anchors.fill: parent
        antialiasing: true

        onPaint: {
            const ctx = getContext("2d")
            ctx.reset()
            ctx.clearRect(0, 0, width, height)
            const gradient = ctx.createLinearGradient(0, 0, width, height)
            gradient.addColorStop(0, root.from)
            gradient.addColorStop(1, root.to)
            ctx.fillStyle = gradient
            ctx.font = (root.bold ? "bold " : "") + root.pixelSize + "px " + root.family
            ctx.textBaseline = "alphabetic"
            ctx.fillText(root.text, 1, metrics.ascent)
        }
    }

    onTextChanged: canvas.requestPaint()
    onFromChanged: canvas.requestPaint()
    onToChanged: canvas.requestPaint()
    onWidthChanged: canvas.requestPaint()
    onHeightChanged: canvas.requestPaint()
}

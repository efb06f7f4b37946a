import QtQuick

// A rounded rectangle with what Rectangle cannot draw: diagonal gradient
// fills, a gradient inner border and a soft drop shadow. Layers, bottom up:
// shadow, `material`, `fillColor`, the fill gradient, the inner border.
Item {
    id: root

    property real radius: 12
    property color material: "transparent"
    property color fillColor: "transparent"
    property color fillFrom: "transparent"
    property color fillTo: "transparent"
    property real borderWidth: 0
    property color borderFrom: "transparent"
    property color borderTo: borderFrom
    property color shadowColor: "transparent"
    property real shadowBlur: 0
    property real shadowOffsetY: 0

    readonly property real overhang: shadowBlur * 2 + Math.abs(shadowOffsetY)

    Canvas {
        id: canvas
        x: -root.overhang
        y: -root.overhang
        width: root.width + 2 * root.overhang
        height: root.height + 2 * root.overhang
        antialiasing: true

        function shape(ctx, inset) {
            const o = root.overhang + inset
            const r = Math.max(0, root.radius - inset)
            ctx.beginPath()
            ctx.roundedRect(o, o, root.width - 2 * inset, root.height - 2 * inset, r, r)
        }

        function diagonal(ctx, from, to) {
            const o = root.overhang
            const gradient = ctx.createLinearGradient(o, o, o + root.width, o + root.height)
            gradient.addColorStop(0, from)
            gradient.addColorStop(1, to)
            return gradient
        }

        onPaint: {
            const ctx = getContext("2d")
            ctx.reset()
            ctx.clearRect(0, 0, width, height)
            if (root.width <= 0 || root.height <= 0)
                return

            if (root.shadowColor.a > 0 && root.shadowBlur > 0) {
                // The shadow only shows outside the shape, as under an opaque view.
                ctx.save()
                ctx.shadowColor = root.shadowColor
                ctx.shadowBlur = root.shadowBlur
                ctx.shadowOffsetX = 0
                ctx.shadowOffsetY = root.shadowOffsetY
                ctx.fillStyle = "black"
                shape(ctx, 0)
                ctx.fill()
                ctx.restore()
                ctx.save()
                ctx.globalCompositeOperation = "destination-out"
                ctx.fillStyle = "black"
                shape(ctx, 0)
                ctx.fill()
                ctx.restore()
            }
            for (const layer of [root.material, root.fillColor]) {
                if (layer.a > 0) {
                    ctx.fillStyle = layer
                    shape(ctx, 0)
                    ctx.fill()
                }
            }
            if (root.fillFrom.a > 0 || root.fillTo.a > 0) {
                ctx.fillStyle = diagonal(ctx, root.fillFrom, root.fillTo)
                shape(ctx, 0)
                ctx.fill()
            }
            if (root.borderWidth > 0 && (root.borderFrom.a > 0 || root.borderTo.a > 0)) {
                ctx.strokeStyle = diagonal(ctx, root.borderFrom, root.borderTo)
                ctx.lineWidth = root.borderWidth
                shape(ctx, root.borderWidth / 2)
                ctx.stroke()
            }
        }
    }

    onWidthChanged: canvas.requestPaint()
    onHeightChanged: canvas.requestPaint()
    onFillColorChanged: canvas.requestPaint()
    onFillFromChanged: canvas.requestPaint()
    onFillToChanged: canvas.requestPaint()
    onBorderFromChanged: canvas.requestPaint()
    onBorderToChanged: canvas.requestPaint()
    onShadowColorChanged: canvas.requestPaint()
}

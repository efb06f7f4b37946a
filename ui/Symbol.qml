import QtQuick

// A tintable vector glyph for a symbol name, drawn in a 24-unit box scaled
// to `size`. `weight` is the stroke weight: "ultraLight", "regular",
// "semibold" or "bold".
Canvas {
    id: glyph

    property string name
    property color color: "white"
    property real size: 13
    property string weight: "regular"

    readonly property real lineWidth: ({
        "ultraLight": 0.9, "light": 1.2, "regular": 1.7, "medium": 1.9,
        "semibold": 2.1, "bold": 2.5
    })[weight] || 1.7

    width: size
    height: size
    antialiasing: true

    onNameChanged: requestPaint()
    onColorChanged: requestPaint()
    onLineWidthChanged: requestPaint()
    onWidthChanged: requestPaint()
    onHeightChanged: requestPaint()

    function roundRect(ctx, x, y, w, h, r) {
        ctx.beginPath()
        ctx.roundedRect(x, y, w, h, r, r)
    }

    function line(ctx, x1, y1, x2, y2) {
        ctx.beginPath()
        ctx.moveTo(x1, y1)
        ctx.lineTo(x2, y2)
        ctx.stroke()
    }

    function circle(ctx, x, y, r) {
        ctx.beginPath()
        ctx.arc(x, y, r, 0, 2 * Math.PI, false)
    }

    // Cuts a gap so overlapping parts stay apart.
    function clear(ctx, draw) {
        ctx.save()
        ctx.globalCompositeOperation = "destination-out"
        ctx.strokeStyle = "black"
        ctx.fillStyle = "black"
        draw()
        ctx.restore()
    }

    function phone(ctx, x, y, w, h) {
        roundRect(ctx, x, y, w, h, w * 0.22)
        ctx.stroke()
        line(ctx, x + w * 0.38, y + h * 0.12, x + w * 0.62, y + h * 0.12)
    }

    function arrowHead(ctx, cx, cy, r, angle) {
        const px = cx + r * Math.cos(angle), py = cy + r * Math.sin(angle)
        const tx = -Math.sin(angle), ty = Math.cos(angle) // clockwise travel
        const nx = Math.cos(angle), ny = Math.sin(angle)
        ctx.beginPath()
        ctx.moveTo(px + tx * 3.2, py + ty * 3.2)
        ctx.lineTo(px - tx * 0.6 + nx * 2.8, py - ty * 0.6 + ny * 2.8)
        ctx.lineTo(px - tx * 0.6 - nx * 2.8, py - ty * 0.6 - ny * 2.8)
        ctx.closePath()
        ctx.fill()
    }

    onPaint: {
        const ctx = getContext("2d")
        ctx.reset()
        ctx.clearRect(0, 0, width, height)
        ctx.scale(width / 24, height / 24)
        ctx.strokeStyle = color
        ctx.fillStyle = color
        ctx.lineWidth = lineWidth
        ctx.lineCap = "round"
        ctx.lineJoin = "round"

        switch (name) {
        case "macbook.and.iphone":
            roundRect(ctx, 2.5, 4.5, 15, 10.5, 1.5)
            ctx.stroke()
            line(ctx, 0.8, 17.5, 19.2, 17.5)
            clear(ctx, function () { ctx.fillRect(14.6, 7.6, 9.4, 15.4) })
            phone(ctx, 16, 9, 7, 12.5)
            break
        case "square.grid.2x2":
            for (const [x, y] of [[3, 3], [13.5, 3], [3, 13.5], [13.5, 13.5]]) {
                roundRect(ctx, x, y, 7.5, 7.5, 2)
                ctx.stroke()
            }
            break
        case "iphone":
            phone(ctx, 6.5, 2, 11, 20)
            break
        case "iphone.slash":
            phone(ctx, 6.5, 2, 11, 20)
            clear(ctx, function () {
                ctx.lineWidth = lineWidth * 3.2
                line(ctx, 3, 3, 21, 21)
            })
            line(ctx, 3, 3, 21, 21)
            break
        case "gearshape":
            ctx.beginPath()
            for (let i = 0; i < 8; ++i) {
                const a = i * Math.PI / 4
                for (const [da, r] of [[-0.3, 8.2], [-0.17, 10.5], [0.17, 10.5], [0.3, 8.2]]) {
                    const x = 12 + r * Math.cos(a + da), y = 12 + r * Math.sin(a + da)
                    if (i === 0 && r === 8.2 && da < 0)
                        ctx.moveTo(x, y)
                    else
                        ctx.lineTo(x, y)
                }
            }
            ctx.closePath()
            ctx.stroke()
            circle(ctx, 12, 12, 3.4)
            ctx.stroke()
            break
        case "info.circle":
            circle(ctx, 12, 12, 10)
            ctx.stroke()
            circle(ctx, 12, 7.3, 1.1 + lineWidth * 0.3)
            ctx.fill()
            line(ctx, 12, 10.8, 12, 17.2)
            break
        case "magnifyingglass":
            circle(ctx, 10, 10, 6.8)
            ctx.stroke()
            line(ctx, 15, 15, 21, 21)
            break
        case "xmark.circle.fill":
            circle(ctx, 12, 12, 10.5)
            ctx.fill()
            clear(ctx, function () {
                ctx.lineWidth = 2.4
                line(ctx, 8.2, 8.2, 15.8, 15.8)
                line(ctx, 15.8, 8.2, 8.2, 15.8)
            })
            break
        case "checkmark":
            ctx.beginPath()
            ctx.moveTo(4.5, 12.8)
            ctx.lineTo(9.8, 18)
            ctx.lineTo(19.5, 6)
            ctx.stroke()
            break
        case "plus":
            line(ctx, 12, 4.5, 12, 19.5)
            line(ctx, 4.5, 12, 19.5, 12)
            break
        case "wifi":
            for (const r of [4.5, 9, 13.5]) {
                ctx.beginPath()
                ctx.arc(12, 19.5, r, -0.75 * Math.PI, -0.25 * Math.PI, false)
                ctx.stroke()
            }
            circle(ctx, 12, 19.5, 1.6)
            ctx.fill()
            break
        case "lock.shield":
            ctx.beginPath()
            ctx.moveTo(12, 2)
            ctx.lineTo(20, 5)
            ctx.lineTo(20, 11)
            ctx.bezierCurveTo(20, 16, 16.5, 20, 12, 22)
            ctx.bezierCurveTo(7.5, 20, 4, 16, 4, 11)
            ctx.lineTo(4, 5)
            ctx.closePath()
            ctx.stroke()
            ctx.beginPath()
            ctx.roundedRect(8.8, 11, 6.4, 5.2, 1, 1)
            ctx.fill()
            ctx.lineWidth = lineWidth * 0.8
            ctx.beginPath()
            ctx.arc(12, 11, 2.1, Math.PI, 2 * Math.PI, false)
            ctx.stroke()
            break
        case "arrow.triangle.2.circlepath":
            ctx.beginPath()
            ctx.arc(12, 12, 7.5, -0.9 * Math.PI, -0.12 * Math.PI, false)
            ctx.stroke()
            arrowHead(ctx, 12, 12, 7.5, -0.12 * Math.PI)
            ctx.beginPath()
            ctx.arc(12, 12, 7.5, 0.1 * Math.PI, 0.88 * Math.PI, false)
            ctx.stroke()
            arrowHead(ctx, 12, 12, 7.5, 0.88 * Math.PI)
            break
        case "bolt.fill":
            ctx.beginPath()
            ctx.moveTo(13.8, 1.5)
            ctx.lineTo(4.5, 13.5)
            ctx.lineTo(11, 13.5)
            ctx.lineTo(9.8, 22.5)
            ctx.lineTo(19.5, 10)
            ctx.lineTo(13, 10)
            ctx.closePath()
            ctx.fill()
            break
        }
    }
}

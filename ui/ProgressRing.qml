import QtQuick

// How many of the eight slots are taken: a track, an arc growing clockwise
// from the top, and the count. The arc follows the count with a spring
// (response 0.4 s, damping fraction 0.825).
Item {
    id: ring

    property int count: 0
    readonly property real fraction: count * 0.125
    // The arc's drawn fraction; settles on `fraction`.
    property real shownFraction: 0
    property real velocity: 0

    readonly property real response: 0.4
    readonly property real dampingFraction: 0.825

    width: 36
    height: 36

    Component.onCompleted: shownFraction = fraction
    onFractionChanged: spring.restart()
    onShownFractionChanged: canvas.requestPaint()

    Timer {
        id: spring
        interval: 16
        repeat: true
        property double last: 0

        onRunningChanged: if (running) last = Date.now()
        onTriggered: {
            const now = Date.now()
            let dt = Math.min((now - last) / 1000, 0.1)
            last = now
            const omega = 2 * Math.PI / ring.response
            const stiffness = omega * omega
            const damping = 2 * ring.dampingFraction * omega
            let x = ring.shownFraction, v = ring.velocity
            const step = 1 / 240
            while (dt > 0) {
                const h = Math.min(step, dt)
                v += (stiffness * (ring.fraction - x) - damping * v) * h
                x += v * h
                dt -= h
            }
            if (Math.abs(ring.fraction - x) < 0.0005 && Math.abs(v) < 0.005) {
                x = ring.fraction
                v = 0
                stop()
            }
            ring.velocity = v
            ring.shownFraction = x
        }
    }

    Canvas {
        id: canvas
        // The arc's stroke is centred on the outline and reaches past the box.
        x: -2
        y: -2
        width: ring.width + 4
        height: ring.height + 4
        antialiasing: true

        onPaint: {
            const ctx = getContext("2d")
            ctx.reset()
            ctx.clearRect(0, 0, width, height)
            const cx = width / 2, cy = height / 2
            ctx.strokeStyle = Qt.rgba(1, 1, 1, 0.1)
            ctx.lineWidth = 3
            ctx.beginPath()
            ctx.arc(cx, cy, ring.width / 2 - 1.5, 0, 2 * Math.PI, false)
            ctx.stroke()

            const f = Math.max(0, Math.min(1, ring.shownFraction))
            if (f <= 0)
                return
            const gradient = ctx.createLinearGradient(2, 2, 2 + ring.width, 2 + ring.height)
            gradient.addColorStop(0, Qt.rgba(1.0, 0.72, 0.35, 1))
            gradient.addColorStop(1, Qt.rgba(0.9, 0.4, 0.1, 1))
            ctx.strokeStyle = gradient
            ctx.lineCap = "round"
            ctx.beginPath()
            ctx.arc(cx, cy, ring.width / 2, -Math.PI / 2, -Math.PI / 2 + f * 2 * Math.PI, false)
            ctx.stroke()
        }
    }

    Text {
        objectName: "ringCount"
        anchors.centerIn: parent
        text: ring.count
        font.pixelSize: 11
        font.bold: true
        color: MacStyle.amber
    }
}

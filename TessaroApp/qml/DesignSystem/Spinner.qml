import QtQuick
import Corvana

// A small turning arc for work in progress.
Item {
    id: spinner

    property int size: 14
    property color color: DesignSystem.accent
    property bool running: visible

    implicitWidth: size
    implicitHeight: size
    Accessible.ignored: true

    Canvas {
        id: arc
        anchors.fill: parent
        antialiasing: true
        onPaint: {
            const ctx = getContext("2d")
            ctx.reset()
            const r = Math.min(width, height) / 2 - 1.5
            ctx.lineWidth = 2
            ctx.lineCap = "round"
            ctx.strokeStyle = Qt.rgba(spinner.color.r, spinner.color.g, spinner.color.b, 0.25)
            ctx.beginPath()
            ctx.arc(width / 2, height / 2, r, 0, Math.PI * 2)
            ctx.stroke()
            ctx.strokeStyle = spinner.color
            ctx.beginPath()
            ctx.arc(width / 2, height / 2, r, -Math.PI / 2, Math.PI * 0.25)
            ctx.stroke()
        }
        Connections {
            target: spinner
            function onColorChanged() { arc.requestPaint() }
        }
        RotationAnimator on rotation {
            from: 0
            to: 360
            duration: 900
            loops: Animation.Infinite
            running: spinner.running
        }
    }
}

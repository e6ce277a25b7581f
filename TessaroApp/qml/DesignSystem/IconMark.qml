import QtQuick
import Corvana

// The few line icons of the screens, drawn in any colour of the scheme:
// "exclamation", "closedEye", "mutedWave", "refresh", "more", "openWindow",
// "chevronDown", "chevronRight", "stop".
Canvas {
    id: icon

    property string kind: "exclamation"
    property color color: DesignSystem.ink
    property int size: 16

    implicitWidth: size
    implicitHeight: size
    width: size
    height: size
    antialiasing: true
    renderStrategy: Canvas.Immediate
    Accessible.ignored: true

    onColorChanged: requestPaint()
    onKindChanged: requestPaint()
    onWidthChanged: requestPaint()
    onHeightChanged: requestPaint()

    onPaint: {
        const ctx = getContext("2d")
        ctx.reset()
        const s = Math.min(width, height) / 16
        ctx.save()
        ctx.scale(s, s)
        ctx.strokeStyle = icon.color
        ctx.fillStyle = icon.color
        ctx.lineWidth = 1.5
        ctx.lineCap = "round"
        ctx.lineJoin = "round"
        switch (icon.kind) {
        case "exclamation":
            ctx.beginPath()
            ctx.arc(8, 8, 7.2, 0, Math.PI * 2)
            ctx.fill()
            ctx.strokeStyle = DesignSystem.dark ? "#15181b" : "#ffffff"
            ctx.fillStyle = ctx.strokeStyle
            ctx.lineWidth = 1.8
            ctx.beginPath()
            ctx.moveTo(8, 4.2)
            ctx.lineTo(8, 9)
            ctx.stroke()
            ctx.beginPath()
            ctx.arc(8, 11.7, 1.05, 0, Math.PI * 2)
            ctx.fill()
            break
        case "closedEye":
            ctx.beginPath()
            ctx.moveTo(1.5, 6.5)
            ctx.quadraticCurveTo(8, 12.5, 14.5, 6.5)
            ctx.stroke()
            ctx.beginPath()
            ctx.moveTo(4.2, 9.3); ctx.lineTo(3.1, 11)
            ctx.moveTo(8, 10.6); ctx.lineTo(8, 12.6)
            ctx.moveTo(11.8, 9.3); ctx.lineTo(12.9, 11)
            ctx.stroke()
            break
        case "mutedWave":
            ctx.beginPath()
            ctx.moveTo(1.5, 8); ctx.lineTo(3.5, 8)
            ctx.moveTo(5, 6); ctx.lineTo(5, 10)
            ctx.moveTo(7.5, 4.5); ctx.lineTo(7.5, 11.5)
            ctx.moveTo(10, 6.5); ctx.lineTo(10, 9.5)
            ctx.moveTo(12.5, 8); ctx.lineTo(14.5, 8)
            ctx.stroke()
            ctx.globalAlpha = 0.9
            ctx.beginPath()
            ctx.moveTo(2, 14); ctx.lineTo(14, 2)
            ctx.stroke()
            break
        case "refresh":
            ctx.beginPath()
            ctx.arc(8, 8, 5.2, -Math.PI * 0.35, Math.PI * 1.45, false)
            ctx.stroke()
            ctx.beginPath()
            ctx.moveTo(13.6, 1.9)
            ctx.lineTo(13.4, 5.6)
            ctx.lineTo(9.8, 5.2)
            ctx.stroke()
            break
        case "more":
            for (let x of [3.5, 8, 12.5]) {
                ctx.beginPath()
                ctx.arc(x, 8, 1.35, 0, Math.PI * 2)
                ctx.fill()
            }
            break
        case "openWindow":
            ctx.beginPath()
            ctx.moveTo(7, 2.5); ctx.lineTo(3.5, 2.5)
            ctx.quadraticCurveTo(2.5, 2.5, 2.5, 3.5)
            ctx.lineTo(2.5, 12.5)
            ctx.quadraticCurveTo(2.5, 13.5, 3.5, 13.5)
            ctx.lineTo(12.5, 13.5)
            ctx.quadraticCurveTo(13.5, 13.5, 13.5, 12.5)
            ctx.lineTo(13.5, 9)
            ctx.moveTo(9.5, 2.5); ctx.lineTo(13.5, 2.5); ctx.lineTo(13.5, 6.5)
            ctx.moveTo(13.5, 2.5); ctx.lineTo(7.5, 8.5)
            ctx.stroke()
            break
        case "chevronDown":
            ctx.beginPath()
            ctx.moveTo(4, 6); ctx.lineTo(8, 10); ctx.lineTo(12, 6)
            ctx.stroke()
            break
        case "chevronRight":
            ctx.beginPath()
            ctx.moveTo(6, 4); ctx.lineTo(10, 8); ctx.lineTo(6, 12)
            ctx.stroke()
            break
        case "stop":
            ctx.beginPath()
            ctx.rect(4, 4, 8, 8)
            ctx.fill()
            break
        }
        ctx.restore()
    }
}

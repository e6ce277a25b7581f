pragma ComponentBehavior: Bound
import QtQuick
import Corvana

// "Incoming audio level": the level of the latest captured frame, 0 to 1. It draws and
// reports whole bars, so a level that moves within a bar repaints nothing.
Item {
    id: meter

    property real level: 0
    property int bars: 12
    readonly property int lit: Math.max(0, Math.min(bars, Math.round(level * bars)))

    implicitWidth: bars * 6
    implicitHeight: 16
    Accessible.role: Accessible.ProgressBar
    Accessible.name: "Incoming audio level"
    Accessible.description: Math.round(lit * 100 / bars) + "%"

    Row {
        anchors.centerIn: parent
        spacing: 2
        Repeater {
            model: meter.bars
            Rectangle {
                required property int index
                width: 4
                height: 5 + index * (meter.height - 5) / (meter.bars - 1)
                anchors.bottom: parent.bottom
                radius: 1.5
                color: index < meter.lit ? DesignSystem.accent : DesignSystem.line
            }
        }
    }
}

pragma Singleton
import QtQuick
import Corvana

// Colours, type, spacing and the brand mark shared by every window. The scheme follows
// the appearance the user chose ("system", "light" or "dark") through `TessaroApp.darkScheme`.
QtObject {
    id: design

    readonly property bool dark: TessaroApp.darkScheme

    // Colours.
    readonly property color paper: dark ? "#15181b" : "#f6f4ef"
    readonly property color surface: dark ? "#1d2125" : "#ffffff"
    readonly property color sunken: dark ? "#191c20" : "#efece5"
    readonly property color ink: dark ? "#e9e7e2" : "#1c2024"
    readonly property color muted: dark ? "#a0a7af" : "#5b626b"
    readonly property color faint: dark ? "#7d848c" : "#7a8089"
    readonly property color line: dark ? "#30363c" : "#e0dcd3"
    readonly property color strongLine: dark ? "#454c53" : "#c9c4b9"
    readonly property color accent: dark ? "#72b6cc" : "#22627a"
    readonly property color accentHover: dark ? "#8cc6d8" : "#1b5266"
    readonly property color accentInk: dark ? "#0f1c21" : "#ffffff"
    readonly property color accentSoft: dark ? "#1f3640" : "#e1edf1"
    readonly property color accentLine: dark ? "#2f5566" : "#b6d2dc"
    readonly property color ready: dark ? "#86c99d" : "#2c7048"
    readonly property color readySoft: dark ? "#1d3326" : "#e2f0e6"
    readonly property color warning: dark ? "#f0b4ae" : "#a8322a"
    readonly property color warningSoft: dark ? "#3a2323" : "#fbeae7"
    readonly property color warningLine: dark ? "#6b3a37" : "#efc3bd"
    readonly property color caution: dark ? "#e6c17a" : "#8a5a00"
    readonly property color cautionSoft: dark ? "#362d1a" : "#fbf1dc"
    readonly property color shadow: dark ? "#66000000" : "#1a000000"

    // Type.
    readonly property int captionSize: 11
    readonly property int smallSize: 12
    readonly property int bodySize: 14
    readonly property int leadSize: 16
    readonly property int titleSize: 19
    readonly property int headlineSize: 24
    readonly property real eyebrowSpacing: 1.1

    // Spacing and shape.
    readonly property int unit: 4
    readonly property int gap: 8
    readonly property int gutter: 12
    readonly property int pad: 16
    readonly property int margin: 20
    readonly property int radius: 8
    readonly property int smallRadius: 5
    readonly property int controlHeight: 32
    readonly property int compactHeight: 26

    readonly property url brandMark: Qt.resolvedUrl("brand.svg")
}

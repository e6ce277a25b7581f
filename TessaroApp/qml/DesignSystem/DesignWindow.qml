import QtQuick
import QtQuick.Controls.Basic
import Corvana

// A window of the app: the paper background and a palette that gives the standard
// controls (menus, tool tips, scroll bars) the scheme's colours.
ApplicationWindow {
    color: DesignSystem.paper
    font.pixelSize: DesignSystem.bodySize

    palette.window: DesignSystem.surface
    palette.windowText: DesignSystem.ink
    palette.base: DesignSystem.surface
    palette.alternateBase: DesignSystem.sunken
    palette.text: DesignSystem.ink
    palette.button: DesignSystem.surface
    palette.buttonText: DesignSystem.ink
    palette.brightText: DesignSystem.accentInk
    palette.highlight: DesignSystem.accent
    palette.highlightedText: DesignSystem.accentInk
    palette.light: DesignSystem.sunken
    palette.midlight: DesignSystem.accentSoft
    palette.mid: DesignSystem.strongLine
    palette.dark: DesignSystem.muted
    palette.shadow: DesignSystem.shadow
    palette.toolTipBase: DesignSystem.dark ? "#e9e7e2" : "#23282d"
    palette.toolTipText: DesignSystem.dark ? "#15181b" : "#f6f4ef"
    palette.placeholderText: DesignSystem.faint
    palette.link: DesignSystem.accent
}

import QtQuick
import QtQuick.Controls.Basic
import Corvana

// A multi-line text editor in the scheme's colours.
TextArea {
    id: area

    padding: 10
    font.pixelSize: DesignSystem.bodySize
    color: DesignSystem.ink
    placeholderTextColor: DesignSystem.faint
    selectionColor: DesignSystem.accentSoft
    selectedTextColor: DesignSystem.ink
    selectByMouse: true
    wrapMode: TextEdit.Wrap
    Accessible.role: Accessible.EditableText

    background: Rectangle {
        radius: DesignSystem.smallRadius + 1
        color: area.enabled ? DesignSystem.surface : DesignSystem.sunken
        border.width: area.activeFocus ? 2 : 1
        border.color: area.activeFocus ? DesignSystem.accent : DesignSystem.strongLine
    }
}

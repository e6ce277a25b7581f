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
    // Tab and Shift+Tab move the focus on, as in every other field; Ctrl+Tab types a tab.
    Keys.onPressed: (event) => {
        if (event.key === Qt.Key_Tab && (event.modifiers & Qt.ControlModifier)) {
            area.insert(area.cursorPosition, "\t")
            event.accepted = true
        } else if (event.key === Qt.Key_Tab || event.key === Qt.Key_Backtab) {
            const next = area.nextItemInFocusChain(event.key === Qt.Key_Tab && !(event.modifiers & Qt.ShiftModifier))
            if (next)
                next.forceActiveFocus(event.key === Qt.Key_Tab ? Qt.TabFocusReason : Qt.BacktabFocusReason)
            event.accepted = true
        }
    }

    background: Rectangle {
        radius: DesignSystem.smallRadius + 1
        color: area.enabled ? DesignSystem.surface : DesignSystem.sunken
        border.width: area.activeFocus ? 2 : 1
        border.color: area.activeFocus ? DesignSystem.accent : DesignSystem.strongLine
    }
}

import QtQuick
import QtQuick.Controls.Basic
import Corvana

// A single-line text field in the scheme's colours.
TextField {
    id: field

    property string toolTipText: ""

    implicitHeight: DesignSystem.controlHeight
    leftPadding: 10
    rightPadding: 10
    topPadding: 0
    bottomPadding: 0
    verticalAlignment: TextInput.AlignVCenter
    font.pixelSize: DesignSystem.bodySize
    color: DesignSystem.ink
    placeholderTextColor: DesignSystem.faint
    selectionColor: DesignSystem.accentSoft
    selectedTextColor: DesignSystem.ink
    selectByMouse: true
    hoverEnabled: true
    // Out of the Tab order while disabled, and read-only to a screen reader.
    activeFocusOnTab: enabled
    Accessible.readOnly: !enabled
    Accessible.role: Accessible.EditableText
    Accessible.name: placeholderText

    ToolTip.visible: hovered && toolTipText.length > 0
    ToolTip.text: toolTipText
    ToolTip.delay: 600

    background: Rectangle {
        radius: DesignSystem.smallRadius + 1
        color: field.enabled ? DesignSystem.surface : DesignSystem.sunken
        border.width: field.activeFocus ? 2 : 1
        border.color: field.activeFocus ? DesignSystem.accent : DesignSystem.strongLine
    }
}

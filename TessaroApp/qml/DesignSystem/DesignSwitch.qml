import QtQuick
import QtQuick.Controls.Basic
import Corvana

// An on/off switch with its label on the right.
Switch {
    id: control
    // Out of the Tab order while disabled (Qt 6.4 tells a screen reader no disabled state).
    focusPolicy: enabled ? Qt.StrongFocus : Qt.NoFocus
    Accessible.focusable: enabled

    property string toolTipText: ""

    font.pixelSize: DesignSystem.smallSize
    hoverEnabled: true
    padding: 0
    spacing: 8
    Accessible.role: Accessible.CheckBox
    Accessible.name: text
    Accessible.checkable: true
    Accessible.checked: checked
    // Assistive technology flips the switch as a click does.
    Accessible.onToggleAction: flip()
    Accessible.onPressAction: flip()

    function flip() {
        if (!enabled)
            return
        toggle()
        toggled()
    }

    ToolTip.visible: hovered && toolTipText.length > 0
    ToolTip.text: toolTipText
    ToolTip.delay: 600

    indicator: Rectangle {
        implicitWidth: 30
        implicitHeight: 18
        x: control.leftPadding
        y: (control.height - height) / 2
        radius: height / 2
        color: control.checked ? DesignSystem.accent : DesignSystem.line
        border.width: control.visualFocus ? 2 : 0
        border.color: DesignSystem.accentLine
        Rectangle {
            width: 14
            height: 14
            radius: 7
            y: 2
            x: control.checked ? parent.width - width - 2 : 2
            color: control.checked ? DesignSystem.accentInk : DesignSystem.surface
            Behavior on x { NumberAnimation { duration: 120 } }
        }
    }

    contentItem: Text {
        leftPadding: control.indicator.width + control.spacing
        text: control.text
        font: control.font
        color: DesignSystem.ink
        verticalAlignment: Text.AlignVCenter
        wrapMode: Text.Wrap
        textFormat: Text.PlainText
        Accessible.ignored: true
    }
}

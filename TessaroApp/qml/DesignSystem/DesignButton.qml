import QtQuick
import QtQuick.Controls.Basic
import Corvana

// The one button of the screens. "primary" carries the main action of a pane, "secondary"
// (outlined) the others, "quiet" the small actions that should not draw the eye. A
// checkable button shows its checked state as a tinted fill (form pickers, tabs).
// With `iconOnly` the label is not drawn but still names the button for screen readers.
Button {
    id: control

    property string variant: "secondary"
    property bool compact: false
    property string toolTipText: ""
    property string iconKind: ""
    property bool iconOnly: false
    // Drawn as chosen; follows `checked` unless bound (segmented choices bind it).
    property bool selected: checked
    property color tint: variant === "primary" ? (enabled ? DesignSystem.accentInk : DesignSystem.muted)
                         : variant === "danger" ? DesignSystem.warning
                         : selected ? DesignSystem.accent
                         : variant === "quiet" ? DesignSystem.accent : DesignSystem.ink

    implicitHeight: compact ? DesignSystem.compactHeight : DesignSystem.controlHeight
    implicitWidth: iconOnly ? implicitHeight
                            : Math.max(implicitHeight, implicitContentWidth + leftPadding + rightPadding)
    leftPadding: iconOnly ? 0 : (compact ? 9 : 14)
    rightPadding: iconOnly ? 0 : (compact ? 9 : 14)
    topPadding: 0
    bottomPadding: 0
    font.pixelSize: compact ? DesignSystem.smallSize : DesignSystem.bodySize - 1
    font.weight: variant === "primary" ? Font.DemiBold : Font.Medium
    hoverEnabled: true
    // A disabled button leaves the Tab order, and so stops calling itself focusable to a
    // screen reader (Qt 6.4 has no disabled state for the accessibility bus).
    focusPolicy: enabled ? Qt.StrongFocus : Qt.NoFocus
    Accessible.focusable: enabled

    // Return and Enter activate it as Space does.
    function activateFromKeyboard(event) {
        if (checkable)
            toggle()
        clicked()
        event.accepted = true
    }
    Keys.onReturnPressed: (event) => activateFromKeyboard(event)
    Keys.onEnterPressed: (event) => activateFromKeyboard(event)

    Accessible.role: Accessible.Button
    Accessible.name: text
    Accessible.description: toolTipText
    Accessible.checkable: checkable
    Accessible.checked: selected
    // Assistive technology presses the button as a click does.
    Accessible.onPressAction: {
        if (!control.enabled)
            return
        if (control.checkable)
            control.toggle()
        control.clicked()
    }

    ToolTip.visible: hovered && toolTipText.length > 0
    ToolTip.text: toolTipText
    ToolTip.delay: 600

    contentItem: Item {
        implicitWidth: children[0].implicitWidth
        implicitHeight: children[0].implicitHeight
        Row {
            anchors.centerIn: parent
            spacing: 6
            IconMark {
                visible: control.iconKind.length > 0
                anchors.verticalCenter: parent.verticalCenter
                kind: control.iconKind
                size: control.compact ? 13 : 15
                color: control.tint
                opacity: control.enabled ? 1 : 0.45
            }
            Text {
                visible: !control.iconOnly
                anchors.verticalCenter: parent.verticalCenter
                text: control.text
                font: control.font
                color: control.tint
                opacity: control.enabled || control.variant === "primary" ? 1 : 0.45
                elide: Text.ElideRight
                textFormat: Text.PlainText
                Accessible.ignored: true
            }
        }
    }

    background: Rectangle {
        radius: DesignSystem.smallRadius + 1
        color: {
            if (control.variant === "primary") {
                if (!control.enabled)
                    return DesignSystem.line
                return control.down || control.hovered ? DesignSystem.accentHover : DesignSystem.accent
            }
            if (control.selected)
                return DesignSystem.accentSoft
            if (control.down)
                return DesignSystem.line
            if (control.hovered && control.enabled)
                return DesignSystem.sunken
            return control.variant === "quiet" ? "transparent" : DesignSystem.surface
        }
        border.width: control.variant === "quiet" && !control.selected ? 0 : 1
        border.color: control.variant === "primary" ? "transparent"
                    : control.selected ? DesignSystem.accentLine
                    : control.variant === "danger" ? DesignSystem.warningLine
                    : DesignSystem.strongLine
        Rectangle {
            anchors.fill: parent
            anchors.margins: -3
            radius: parent.radius + 3
            color: "transparent"
            border.width: 2
            border.color: DesignSystem.accent
            opacity: 0.5
            visible: control.visualFocus
        }
    }
}

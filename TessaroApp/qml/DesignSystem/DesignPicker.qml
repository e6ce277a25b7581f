pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls.Basic
import Corvana

// A drop-down choice in the scheme's colours. Its model is a list of objects or a list
// model; `textRole` names the shown text and `valueRole` the value.
ComboBox {
    id: picker
    // Out of the Tab order while disabled (Qt 6.4 tells a screen reader no disabled state).
    focusPolicy: enabled ? Qt.StrongFocus : Qt.NoFocus
    Accessible.focusable: enabled

    property string toolTipText: ""
    property bool compact: false
    // Appended to each choice of a plain list ("60" becomes "60 minutes").
    property string suffix: ""

    implicitHeight: compact ? DesignSystem.compactHeight : DesignSystem.controlHeight
    font.pixelSize: compact ? DesignSystem.smallSize : DesignSystem.bodySize - 1
    hoverEnabled: true
    leftPadding: 10
    rightPadding: 30
    Accessible.role: Accessible.ComboBox
    Accessible.name: displayText

    ToolTip.visible: hovered && toolTipText.length > 0 && !popup.visible
    ToolTip.text: toolTipText
    ToolTip.delay: 600

    contentItem: Text {
        text: picker.displayText
        font: picker.font
        color: picker.enabled ? DesignSystem.ink : DesignSystem.faint
        verticalAlignment: Text.AlignVCenter
        elide: Text.ElideRight
        textFormat: Text.PlainText
        Accessible.ignored: true
    }

    indicator: IconMark {
        kind: "chevronDown"
        size: 14
        color: DesignSystem.muted
        x: picker.width - width - 10
        y: (picker.height - height) / 2
    }

    background: Rectangle {
        radius: DesignSystem.smallRadius + 1
        color: picker.down || (picker.hovered && picker.enabled) ? DesignSystem.sunken : DesignSystem.surface
        border.width: picker.visualFocus ? 2 : 1
        border.color: picker.visualFocus ? DesignSystem.accent : DesignSystem.strongLine
    }

    delegate: ItemDelegate {
        id: choice
        required property int index
        required property var modelData
        required property var model
        width: ListView.view ? ListView.view.width : implicitWidth
        height: 30
        highlighted: picker.highlightedIndex === index
        text: !picker.textRole ? modelData + picker.suffix
              : (typeof modelData === "object" && modelData !== null && modelData[picker.textRole] !== undefined)
                ? modelData[picker.textRole] : model[picker.textRole]
        Accessible.name: text
        contentItem: Text {
            text: choice.text
            font.pixelSize: DesignSystem.bodySize - 1
            font.weight: picker.currentIndex === choice.index ? Font.DemiBold : Font.Normal
            color: DesignSystem.ink
            verticalAlignment: Text.AlignVCenter
            elide: Text.ElideRight
            textFormat: Text.PlainText
        }
        background: Rectangle {
            color: choice.highlighted ? DesignSystem.accentSoft : "transparent"
            radius: DesignSystem.smallRadius
        }
    }

    popup: Popup {
        y: picker.height + 4
        width: Math.max(picker.width, 180)
        implicitHeight: Math.min(contentItem.implicitHeight + 8, 320)
        padding: 4
        contentItem: ListView {
            clip: true
            implicitHeight: contentHeight
            model: picker.popup.visible ? picker.delegateModel : null
            currentIndex: picker.highlightedIndex
            ScrollIndicator.vertical: ScrollIndicator {}
        }
        background: Rectangle {
            color: DesignSystem.surface
            radius: DesignSystem.radius
            border.width: 1
            border.color: DesignSystem.line
        }
    }
}

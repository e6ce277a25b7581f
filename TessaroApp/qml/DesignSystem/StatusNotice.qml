import QtQuick
import Corvana

// "Needs your attention": the model's error with the recovery action, when there is one.
Rectangle {
    id: notice

    property string message
    property string actionText: ""
    signal actionTriggered()

    implicitHeight: Math.max(texts.implicitHeight, action.visible ? action.implicitHeight : 0) + 20
    radius: DesignSystem.radius
    color: DesignSystem.warningSoft
    border.width: 1
    border.color: DesignSystem.warningLine
    Accessible.role: Accessible.AlertMessage
    Accessible.name: "Needs your attention"
    Accessible.description: message

    IconMark {
        id: icon
        kind: "exclamation"
        size: 20
        color: DesignSystem.warning
        x: 14
        y: 11
    }

    Column {
        id: texts
        anchors.left: icon.right
        anchors.leftMargin: 12
        anchors.right: action.visible ? action.left : parent.right
        anchors.rightMargin: 12
        anchors.verticalCenter: parent.verticalCenter
        spacing: 2

        DesignLabel {
            width: parent.width
            text: "Needs your attention"
            font.weight: Font.DemiBold
            color: DesignSystem.warning
        }
        DesignLabel {
            width: parent.width
            text: notice.message
        }
    }

    DesignButton {
        id: action
        visible: notice.actionText.length > 0
        anchors.right: parent.right
        anchors.rightMargin: 10
        anchors.verticalCenter: parent.verticalCenter
        text: notice.actionText
        variant: "danger"
        compact: true
        onClicked: notice.actionTriggered()
    }
}

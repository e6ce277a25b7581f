import QtQuick
import QtQuick.Controls.Basic
import Corvana

// An entry of a drop-down menu in the scheme's colours.
MenuItem {
    id: item

    // The keyboard shortcut of the same command, shown at the right edge.
    property string shortcutText: ""

    implicitHeight: 32
    implicitWidth: Math.max(200, contentItem.implicitWidth + 28 + (shortcutText.length > 0 ? keys.implicitWidth + 24 : 0))
    hoverEnabled: true
    Accessible.role: Accessible.MenuItem
    Accessible.name: text
    Accessible.description: shortcutText
    Accessible.onPressAction: if (enabled) triggered()

    contentItem: Text {
        leftPadding: 4
        rightPadding: item.shortcutText.length > 0 ? keys.implicitWidth + 16 : 0
        text: item.text
        font.pixelSize: DesignSystem.bodySize - 1
        color: item.enabled ? DesignSystem.ink : DesignSystem.faint
        verticalAlignment: Text.AlignVCenter
        elide: Text.ElideRight
        textFormat: Text.PlainText
        Accessible.ignored: true
    }

    Text {
        id: keys
        visible: item.shortcutText.length > 0
        text: item.shortcutText
        anchors.right: parent.right
        anchors.rightMargin: 12
        anchors.verticalCenter: parent.verticalCenter
        font.pixelSize: DesignSystem.bodySize - 2
        color: DesignSystem.faint
        textFormat: Text.PlainText
        Accessible.ignored: true
    }

    background: Rectangle {
        anchors.fill: parent
        anchors.margins: 2
        radius: DesignSystem.smallRadius
        color: item.highlighted && item.enabled ? DesignSystem.accentSoft : "transparent"
    }
}

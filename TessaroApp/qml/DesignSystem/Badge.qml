import QtQuick
import QtQuick.Controls.Basic
import Corvana

// A short marker: "Document-supported", "Hidden answer", "IN RANGE", simulated mode.
Rectangle {
    id: badge

    property string text
    // "neutral", "accent", "ready", "caution" or "warning"
    property string tone: "neutral"
    property bool strong: false

    implicitWidth: label.implicitWidth + 14
    implicitHeight: label.implicitHeight + 6
    radius: height / 2
    color: tone === "accent" ? DesignSystem.accentSoft
         : tone === "ready" ? DesignSystem.readySoft
         : tone === "caution" ? DesignSystem.cautionSoft
         : tone === "warning" ? DesignSystem.warningSoft
         : DesignSystem.sunken
    border.width: 1
    border.color: tone === "accent" ? DesignSystem.accentLine
                : tone === "warning" ? DesignSystem.warningLine
                : Qt.rgba(0, 0, 0, 0)

    Accessible.role: Accessible.StaticText
    Accessible.name: text

    Label {
        id: label
        anchors.centerIn: parent
        width: Math.min(implicitWidth, badge.width - 14)
        text: badge.text
        elide: Text.ElideRight
        textFormat: Text.PlainText
        font.pixelSize: DesignSystem.captionSize
        font.weight: badge.strong ? Font.Bold : Font.DemiBold
        font.letterSpacing: badge.strong ? DesignSystem.eyebrowSpacing : 0
        color: badge.tone === "accent" ? DesignSystem.accent
             : badge.tone === "ready" ? DesignSystem.ready
             : badge.tone === "caution" ? DesignSystem.caution
             : badge.tone === "warning" ? DesignSystem.warning
             : DesignSystem.muted
        Accessible.ignored: true
    }
}

import QtQuick
import QtQuick.Controls.Basic
import Corvana

// A small upper-case heading over a pane ("CONVERSATION", "PREPARED BREAKDOWN").
Label {
    color: DesignSystem.muted
    font.pixelSize: DesignSystem.captionSize
    font.weight: Font.DemiBold
    font.letterSpacing: DesignSystem.eyebrowSpacing
    elide: Text.ElideRight
    textFormat: Text.PlainText
    Accessible.role: Accessible.Heading
    Accessible.name: text
}

import QtQuick
import QtQuick.Controls.Basic
import Corvana

// Text as the screens show it: readable by screen readers, in the scheme's ink.
Label {
    color: DesignSystem.ink
    font.pixelSize: DesignSystem.bodySize
    wrapMode: Text.Wrap
    textFormat: Text.PlainText
    Accessible.role: Accessible.StaticText
    Accessible.name: text
}

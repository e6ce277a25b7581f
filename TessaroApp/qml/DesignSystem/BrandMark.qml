import QtQuick
import Corvana

// The Corvana mark: a speech bubble holding a corvid's head.
Image {
    property int size: 28
    source: DesignSystem.brandMark
    width: size
    height: size
    sourceSize.width: size * 2
    sourceSize.height: size * 2
    fillMode: Image.PreserveAspectFit
    smooth: true
    Accessible.role: Accessible.Graphic
    Accessible.name: "Corvana"
}

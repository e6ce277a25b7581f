import QtQuick
import QtQuick.Layouts
import Corvana

// The audio description and elapsed time, the count of prepared answers, the input
// level, "End session" and the usage.
Rectangle {
    id: footer

    signal showUsage()

    implicitHeight: 48
    color: DesignSystem.surface

    readonly property string audioDescription: SessionPresentation.audioDescription

    Rectangle {
        anchors.top: parent.top
        width: parent.width
        height: 1
        color: DesignSystem.line
    }

    RowLayout {
        anchors.fill: parent
        anchors.leftMargin: DesignSystem.pad
        anchors.rightMargin: DesignSystem.pad
        spacing: DesignSystem.gutter

        DesignLabel {
            objectName: "audioDescription"
            text: footer.audioDescription
            font.pixelSize: DesignSystem.smallSize
            color: DesignSystem.ink
            wrapMode: Text.NoWrap
            elide: Text.ElideRight
            Layout.maximumWidth: 260
        }
        DesignLabel {
            objectName: "elapsed"
            text: SessionPresentation.elapsedText
            visible: text.length > 0
            font.pixelSize: DesignSystem.smallSize
            color: DesignSystem.muted
            wrapMode: Text.NoWrap
        }
        Rectangle {
            implicitWidth: 1
            implicitHeight: 16
            color: DesignSystem.line
        }
        DesignLabel {
            objectName: "preparedCount"
            text: SessionPresentation.preparedCountText
            font.pixelSize: DesignSystem.smallSize
            color: DesignSystem.muted
            wrapMode: Text.NoWrap
        }

        Item { Layout.fillWidth: true }

        LevelMeter {
            level: SessionModel.audioLevel
        }
        DesignButton {
            text: "End session"
            toolTipText: "End the session and stop audio capture"
            compact: true
            enabled: SessionPresentation.canStop
            onClicked: SessionModel.requestStop()
        }
        DesignButton {
            objectName: "usageButton"
            text: SessionPresentation.usageButtonLabel
            compact: true
            variant: "quiet"
            onClicked: footer.showUsage()
        }
    }
}

import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Corvana

// While a session exists: the listening label (or "Audio off") and "End session"; while
// a start is in progress: "Connecting…" and "Cancel".
Rectangle {
    id: bar

    implicitHeight: 40
    radius: DesignSystem.radius
    color: DesignSystem.accentSoft
    border.width: 1
    border.color: DesignSystem.accentLine

    RowLayout {
        anchors.fill: parent
        anchors.leftMargin: 14
        anchors.rightMargin: 6
        spacing: DesignSystem.gap

        // Starting.
        BusyIndicator {
            visible: SessionPresentation.connecting
            running: visible
            implicitWidth: 20
            implicitHeight: 20
            palette.dark: DesignSystem.accent
        }
        DesignLabel {
            visible: SessionPresentation.connecting
            text: "Connecting…"
            font.weight: Font.DemiBold
            color: DesignSystem.accent
            wrapMode: Text.NoWrap
        }

        // Running or paused.
        Rectangle {
            visible: !SessionPresentation.connecting
            width: 10
            height: 10
            radius: 5
            // Steady: a pulse would repaint the window every frame for the whole SessionModel.
            color: SessionModel.active ? DesignSystem.ready : DesignSystem.faint
        }
        DesignLabel {
            visible: !SessionPresentation.connecting
            // The listening label while audio runs, "Audio off" otherwise.
            text: SessionPresentation.companionFooter
            font.weight: Font.DemiBold
            color: SessionModel.active ? DesignSystem.ink : DesignSystem.muted
            wrapMode: Text.NoWrap
        }
        DesignLabel {
            visible: !SessionPresentation.connecting && SessionPresentation.elapsedText.length > 0
            text: SessionPresentation.elapsedText
            color: DesignSystem.muted
            font.pixelSize: DesignSystem.smallSize
            wrapMode: Text.NoWrap
        }

        Item { Layout.fillWidth: true }

        DesignButton {
            visible: SessionPresentation.connecting
            text: "Cancel"
            compact: true
            onClicked: SessionModel.requestStop()
        }
        DesignButton {
            visible: !SessionPresentation.connecting
            text: "End session"
            toolTipText: "End the session and stop audio capture"
            iconKind: "stop"
            compact: true
            enabled: SessionPresentation.canStop
            onClicked: SessionModel.requestStop()
        }
    }
}

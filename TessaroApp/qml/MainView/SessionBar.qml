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
            visible: presentation.connecting
            running: visible
            implicitWidth: 20
            implicitHeight: 20
            palette.dark: DesignSystem.accent
        }
        DesignLabel {
            visible: presentation.connecting
            text: "Connecting…"
            font.weight: Font.DemiBold
            color: DesignSystem.accent
            wrapMode: Text.NoWrap
        }

        // Running or paused.
        Rectangle {
            visible: !presentation.connecting
            width: 10
            height: 10
            radius: 5
            // Steady: a pulse would repaint the window every frame for the whole session.
            color: session.active ? DesignSystem.ready : DesignSystem.faint
        }
        DesignLabel {
            visible: !presentation.connecting
            // The listening label while audio runs, "Audio off" otherwise.
            text: presentation.companionFooter
            font.weight: Font.DemiBold
            color: session.active ? DesignSystem.ink : DesignSystem.muted
            wrapMode: Text.NoWrap
        }
        DesignLabel {
            visible: !presentation.connecting && presentation.elapsedText.length > 0
            text: presentation.elapsedText
            color: DesignSystem.muted
            font.pixelSize: DesignSystem.smallSize
            wrapMode: Text.NoWrap
        }

        Item { Layout.fillWidth: true }

        DesignButton {
            visible: presentation.connecting
            text: "Cancel"
            compact: true
            onClicked: session.requestStop()
        }
        DesignButton {
            visible: !presentation.connecting
            text: "End session"
            toolTipText: "End the session and stop audio capture"
            iconKind: "stop"
            compact: true
            enabled: presentation.canStop
            onClicked: session.requestStop()
        }
    }
}

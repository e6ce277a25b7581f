import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import QtQuick.Templates as T
import Corvana

// "SESSION USAGE": the allowance, what was used and reserved, and what remains.
Popup {
    id: usage

    parent: T.Overlay.overlay
    anchors.centerIn: parent
    width: 400
    modal: true
    focus: true
    padding: DesignSystem.margin
    closePolicy: Popup.CloseOnEscape | Popup.CloseOnPressOutside

    T.Overlay.modal: Rectangle {
        color: DesignSystem.dark ? "#99000000" : "#4d1c2024"
    }

    background: Rectangle {
        color: DesignSystem.surface
        radius: DesignSystem.radius + 4
        border.width: 1
        border.color: DesignSystem.line
    }

    contentItem: ColumnLayout {
        spacing: DesignSystem.gutter

        SectionHeader {
            text: "SESSION USAGE"
            Layout.fillWidth: true
        }

        GridLayout {
            Layout.fillWidth: true
            columns: 2
            rowSpacing: DesignSystem.gap
            columnSpacing: DesignSystem.pad

            DesignLabel { text: SessionPresentation.usageAvailableLabel; color: DesignSystem.muted; Layout.fillWidth: true }
            DesignLabel { objectName: "usageAvailable"; text: SessionPresentation.usageAvailable; font.weight: Font.DemiBold; Layout.alignment: Qt.AlignRight }

            DesignLabel { text: "Used"; color: DesignSystem.muted; Layout.fillWidth: true }
            DesignLabel { objectName: "usageUsed"; text: SessionPresentation.usageUsed; font.weight: Font.DemiBold; Layout.alignment: Qt.AlignRight }

            DesignLabel { text: "Reserved"; color: DesignSystem.muted; Layout.fillWidth: true }
            DesignLabel { objectName: "usageReserved"; text: SessionPresentation.usageReserved; font.weight: Font.DemiBold; Layout.alignment: Qt.AlignRight }

            Rectangle { Layout.columnSpan: 2; Layout.fillWidth: true; implicitHeight: 1; color: DesignSystem.line }

            DesignLabel { text: "Conversation remaining"; Layout.fillWidth: true; font.weight: Font.Medium }
            DesignLabel { objectName: "usageRemaining"; text: SessionPresentation.usageRemaining; font.weight: Font.Bold; color: DesignSystem.accent; Layout.alignment: Qt.AlignRight }
        }

        DesignLabel {
            visible: SessionPresentation.usageEmpty
            text: "No session usage yet."
            font.weight: Font.Medium
            Layout.fillWidth: true
        }
        DesignLabel {
            text: SessionPresentation.usageNote
            font.pixelSize: DesignSystem.smallSize
            color: DesignSystem.muted
            lineHeight: 1.15
            Layout.fillWidth: true
        }
        DesignButton {
            text: "Done"
            Layout.alignment: Qt.AlignRight
            onClicked: usage.close()
        }
    }
}

import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Corvana

// "Sources · N": the document passages the answer cites, opened on request.
ColumnLayout {
    id: sources

    objectName: "sourcesDisclosure"
    property bool expanded: false

    visible: presentation.citationRows.count > 0
    spacing: DesignSystem.gap

    DesignButton {
        text: "Sources · " + presentation.citationRows.count
        variant: "quiet"
        compact: true
        iconKind: sources.expanded ? "chevronDown" : "chevronRight"
        leftPadding: 2
        Accessible.checkable: true
        Accessible.checked: sources.expanded
        onClicked: sources.expanded = !sources.expanded
    }

    Repeater {
        model: sources.expanded ? presentation.citationRows : null
        Rectangle {
            id: citation
            required property string title
            required property string location
            required property string quote
            required property bool removed

            Layout.fillWidth: true
            implicitHeight: citationColumn.implicitHeight + 2 * DesignSystem.gutter
            radius: DesignSystem.smallRadius + 1
            color: "transparent"
            border.width: 1
            border.color: DesignSystem.line

            Rectangle {
                width: 3
                anchors.top: parent.top
                anchors.bottom: parent.bottom
                anchors.left: parent.left
                anchors.margins: 1
                radius: 1.5
                color: citation.removed ? DesignSystem.line : DesignSystem.accent
            }

            ColumnLayout {
                id: citationColumn
                anchors.left: parent.left
                anchors.right: parent.right
                anchors.top: parent.top
                anchors.margins: DesignSystem.gutter
                anchors.leftMargin: DesignSystem.pad
                spacing: 3
                DesignLabel {
                    text: citation.title
                    font.weight: Font.DemiBold
                    font.pixelSize: DesignSystem.smallSize + 1
                    Layout.fillWidth: true
                }
                DesignLabel {
                    text: citation.location
                    visible: text.length > 0
                    font.pixelSize: DesignSystem.captionSize
                    color: DesignSystem.faint
                    Layout.fillWidth: true
                }
                DesignLabel {
                    text: "“" + citation.quote + "”"
                    visible: citation.quote.length > 0
                    font.italic: true
                    color: DesignSystem.muted
                    lineHeight: 1.15
                    Layout.fillWidth: true
                    Layout.topMargin: 2
                }
            }
        }
    }
}

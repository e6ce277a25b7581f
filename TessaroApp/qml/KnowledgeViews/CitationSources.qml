import QtQuick
import QtQuick.Layouts
import Corvana

// The document sources of one answer: "Sources · N" with the exact quotes, each opening
// its full passage while the library still holds it; or the one line that says why the
// answer cites nothing.
ColumnLayout {
    id: sources

    // Rows with the roles title, location, quote, passage and removed.
    property var rows: null
    // "Sources · N"; empty when the answer cites nothing.
    property string title: ""
    // The note over the quotes.
    property string note: ""
    // Shown instead of the group when the answer cites nothing; empty hides it.
    property string line: ""
    property bool expanded: false

    visible: title.length > 0 || line.length > 0
    spacing: DesignSystem.gap

    DesignLabel {
        visible: sources.title.length === 0 && sources.line.length > 0
        text: sources.line
        font.pixelSize: DesignSystem.smallSize
        color: DesignSystem.muted
        Layout.fillWidth: true
    }

    DesignButton {
        visible: sources.title.length > 0
        text: sources.title
        variant: "quiet"
        compact: true
        iconKind: sources.expanded ? "chevronDown" : "chevronRight"
        leftPadding: 2
        Accessible.checkable: true
        Accessible.checked: sources.expanded
        onClicked: sources.expanded = !sources.expanded
    }

    DesignLabel {
        visible: sources.expanded && sources.title.length > 0 && sources.note.length > 0
        text: sources.note
        font.pixelSize: DesignSystem.smallSize
        color: DesignSystem.muted
        Layout.fillWidth: true
    }

    Repeater {
        model: sources.expanded && sources.title.length > 0 ? sources.rows : null
        Rectangle {
            id: citation
            required property string title
            required property string location
            required property string quote
            required property string passage
            required property bool removed
            property bool passageOpen: false

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
                TextEdit {
                    text: KnowledgePresentation.quotation(citation.quote)
                    readOnly: true
                    selectByMouse: true
                    wrapMode: TextEdit.Wrap
                    textFormat: TextEdit.PlainText
                    font.italic: true
                    font.pixelSize: DesignSystem.bodySize
                    color: DesignSystem.muted
                    selectionColor: DesignSystem.accentSoft
                    selectedTextColor: DesignSystem.ink
                    Layout.fillWidth: true
                    Layout.topMargin: 2
                    Accessible.role: Accessible.StaticText
                    Accessible.name: text
                }
                DesignLabel {
                    text: KnowledgePresentation.passageNote(citation.removed)
                    visible: text.length > 0
                    font.pixelSize: DesignSystem.smallSize
                    color: DesignSystem.caution
                    Layout.fillWidth: true
                    Layout.topMargin: 2
                }
                DesignButton {
                    visible: !citation.removed
                    text: "Read the full passage"
                    variant: "quiet"
                    compact: true
                    iconKind: citation.passageOpen ? "chevronDown" : "chevronRight"
                    leftPadding: 0
                    Accessible.checkable: true
                    Accessible.checked: citation.passageOpen
                    onClicked: citation.passageOpen = !citation.passageOpen
                }
                TextEdit {
                    visible: !citation.removed && citation.passageOpen
                    text: citation.passage
                    readOnly: true
                    selectByMouse: true
                    wrapMode: TextEdit.Wrap
                    textFormat: TextEdit.PlainText
                    font.pixelSize: DesignSystem.smallSize + 1
                    color: DesignSystem.ink
                    selectionColor: DesignSystem.accentSoft
                    selectedTextColor: DesignSystem.ink
                    Layout.fillWidth: true
                    Accessible.role: Accessible.StaticText
                    Accessible.name: text
                }
            }
        }
    }
}

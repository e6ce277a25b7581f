pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Layouts
import Corvana

// The saved domain's reference library and private learning, each a disclosure group.
// The one piece of state here is the document being read, which opens the reader.
Rectangle {
    id: knowledge

    objectName: "domainKnowledge"

    // The id of the document being read; empty when none is.
    property string readingId: ""
    property bool libraryExpanded: true
    property bool learningExpanded: false

    implicitHeight: content.implicitHeight + 2 * DesignSystem.pad
    radius: DesignSystem.radius
    color: DesignSystem.surface
    border.width: 1
    border.color: DesignSystem.line

    onReadingIdChanged: {
        if (readingId.length === 0) {
            reader.close()
            return
        }
        reader.document = KnowledgePresentation.documentContent(readingId)
        reader.open()
    }

    DocumentReader {
        id: reader
        onClosed: knowledge.readingId = ""
    }

    ColumnLayout {
        id: content
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: parent.top
        anchors.margins: DesignSystem.pad
        spacing: DesignSystem.gap

        // Reference library.
        DesignButton {
            objectName: "referenceDocuments"
            text: KnowledgePresentation.documentsTitle
            variant: "quiet"
            compact: true
            iconKind: knowledge.libraryExpanded ? "chevronDown" : "chevronRight"
            leftPadding: 0
            font.weight: Font.DemiBold
            Accessible.checkable: true
            Accessible.checked: knowledge.libraryExpanded
            onClicked: knowledge.libraryExpanded = !knowledge.libraryExpanded
        }

        ColumnLayout {
            visible: knowledge.libraryExpanded
            Layout.fillWidth: true
            Layout.leftMargin: DesignSystem.gutter
            spacing: DesignSystem.gap

            DesignLabel {
                text: KnowledgePresentation.documentsDomainLine
                font.weight: Font.Medium
                Layout.fillWidth: true
            }
            DesignLabel {
                text: "Files stay on this computer. During sessions, enabled document text goes to your connected service; only relevant excerpts go to the answer provider. The service keeps the text in memory for that session, without saving it."
                font.pixelSize: DesignSystem.smallSize
                color: DesignSystem.muted
                lineHeight: 1.1
                Layout.fillWidth: true
            }

            Repeater {
                model: KnowledgePresentation.documentRows
                RowLayout {
                    id: document
                    required property string key
                    required property string title
                    // The whole row, for its "enabled" role (the name of an Item property).
                    required property var model
                    Layout.fillWidth: true
                    spacing: DesignSystem.gap

                    DesignSwitch {
                        text: document.title
                        checked: document.model.enabled
                        font.pixelSize: DesignSystem.smallSize + 1
                        Layout.fillWidth: true
                        onToggled: {
                            KnowledgePresentation.setDocumentEnabled(document.key, checked)
                            // The library decides; a refused change shows the stored flag again.
                            checked = Qt.binding(() => document.model.enabled)
                        }
                    }
                    DesignButton {
                        text: "Read"
                        compact: true
                        variant: "quiet"
                        Accessible.description: document.title
                        onClicked: knowledge.readingId = document.key
                    }
                    DesignButton {
                        text: "Remove"
                        toolTipText: "Remove the imported copy. The original file is untouched."
                        compact: true
                        onClicked: KnowledgePresentation.removeDocument(document.key)
                    }
                }
            }

            DesignLabel {
                text: KnowledgePresentation.documentsEmptyLine
                visible: text.length > 0
                color: DesignSystem.muted
                Layout.fillWidth: true
            }

            RowLayout {
                spacing: DesignSystem.gap
                Layout.topMargin: 2
                DesignButton {
                    text: "Import documents…"
                    compact: true
                    enabled: KnowledgePresentation.canImport
                    onClicked: KnowledgePresentation.importDocuments()
                }
                Spinner {
                    visible: KnowledgePresentation.importing
                    Layout.alignment: Qt.AlignVCenter
                }
            }
            DesignLabel {
                text: "Text PDFs, UTF-8 text and Markdown · up to 10 documents per domain. Save domain edits before importing."
                font.pixelSize: DesignSystem.captionSize
                color: DesignSystem.faint
                Layout.fillWidth: true
            }
            DesignLabel {
                objectName: "knowledgeMessage"
                text: KnowledgePresentation.knowledgeMessage
                visible: text.length > 0
                font.pixelSize: DesignSystem.smallSize
                font.weight: Font.Medium
                Layout.fillWidth: true
            }
        }

        Rectangle {
            Layout.fillWidth: true
            Layout.topMargin: DesignSystem.unit
            Layout.bottomMargin: DesignSystem.unit
            implicitHeight: 1
            color: DesignSystem.line
        }

        // Private learning.
        DesignButton {
            objectName: "privateLearning"
            text: KnowledgePresentation.learningTitle
            variant: "quiet"
            compact: true
            iconKind: knowledge.learningExpanded ? "chevronDown" : "chevronRight"
            leftPadding: 0
            font.weight: Font.DemiBold
            Accessible.checkable: true
            Accessible.checked: knowledge.learningExpanded
            onClicked: knowledge.learningExpanded = !knowledge.learningExpanded
        }

        ColumnLayout {
            visible: knowledge.learningExpanded
            Layout.fillWidth: true
            Layout.leftMargin: DesignSystem.gutter
            spacing: DesignSystem.gap

            DesignSwitch {
                text: "Learn from my feedback on this computer"
                checked: KnowledgePresentation.learningEnabled
                font.pixelSize: DesignSystem.smallSize + 1
                Layout.fillWidth: true
                onToggled: {
                    KnowledgePresentation.setLearningEnabled(checked)
                    checked = Qt.binding(() => KnowledgePresentation.learningEnabled)
                }
            }
            DesignLabel {
                text: "Off by default. When enabled, “I know that,” dismissals and your chosen explanation style save a topic label and preference for this domain. Audio, transcripts and full answers are not saved. Preparation stays complete; preferences only change visibility and presentation. Simulated answers do not teach your profile."
                font.pixelSize: DesignSystem.smallSize
                color: DesignSystem.muted
                lineHeight: 1.1
                Layout.fillWidth: true
            }
            DesignLabel {
                text: "Turning this off pauses both learning and use of saved preferences. You can edit or delete them below."
                font.pixelSize: DesignSystem.smallSize
                color: DesignSystem.muted
                Layout.fillWidth: true
            }

            Repeater {
                model: KnowledgePresentation.preferenceRows
                LearnedPreferenceRow {
                    Layout.fillWidth: true
                }
            }

            DesignLabel {
                text: KnowledgePresentation.preferencesEmptyLine
                visible: text.length > 0
                color: DesignSystem.muted
                Layout.fillWidth: true
            }
            DesignButton {
                text: "Forget this domain’s learned preferences"
                compact: true
                variant: "danger"
                enabled: KnowledgePresentation.preferenceRows.count > 0
                onClicked: KnowledgePresentation.forgetDomainPreferences()
            }
        }
    }
}

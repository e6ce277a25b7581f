import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Corvana

// The selected answer: its readiness, cue, badges, the explanation in the chosen form,
// its follow-ups and sources, and the reactions.
ScrollView {
    id: detail

    // The chosen form's text when it says more than the cue heading.
    readonly property string formText: SessionPresentation.selectedFormText

    contentWidth: availableWidth
    clip: true
    property FocusIntoView focusFollower: FocusIntoView { flickable: detail.contentItem }
    // The keyboard scrolls it by moving the focus, which the view follows.
    focusPolicy: Qt.NoFocus
    // It holds the keyboard focus when the focused control goes as answers change.
    Accessible.name: "Selected answer"
    ScrollBar.horizontal.policy: ScrollBar.AlwaysOff
    ScrollBar.vertical: DesignScrollBar {
        scrolls: "Scroll the answer"
        parent: detail
        x: detail.mirrored ? 0 : detail.width - width
        y: detail.topPadding
        height: detail.availableHeight
    }

    ColumnLayout {
        width: detail.availableWidth
        spacing: DesignSystem.gutter

        // Readiness and reactions.
        RowLayout {
            Layout.fillWidth: true
            Layout.leftMargin: DesignSystem.margin
            Layout.rightMargin: DesignSystem.gutter
            Layout.topMargin: DesignSystem.gutter
            spacing: DesignSystem.gap

            SectionHeader {
                objectName: "detailReadiness"
                text: SessionPresentation.detailReadiness
                visible: text.length > 0
                color: DesignSystem.ready
            }
            Item {
                Layout.fillWidth: true
            }
            DesignButton {
                text: "I know that"
                compact: true
                enabled: SessionPresentation.canHide
                onClicked: SessionModel.requestHide("known")
            }
            DesignButton {
                text: "Dismiss"
                toolTipText: "Keep this answer available quietly"
                compact: true
                variant: "quiet"
                enabled: SessionPresentation.canHide
                onClicked: SessionModel.requestHide("dismiss")
            }
        }

        // Topic, cue and badges.
        ColumnLayout {
            Layout.fillWidth: true
            Layout.leftMargin: DesignSystem.margin
            Layout.rightMargin: DesignSystem.margin
            spacing: 6

            RowLayout {
                visible: SessionPresentation.detailPreparing
                spacing: 6
                Spinner {
                    Layout.alignment: Qt.AlignVCenter
                }
                DesignLabel {
                    text: "Preparing automatically"
                    font.pixelSize: DesignSystem.smallSize
                    color: DesignSystem.muted
                    Layout.fillWidth: true
                }
            }
            DesignLabel {
                objectName: "selectedTitle"
                text: SessionPresentation.selectedTitle
                font.pixelSize: DesignSystem.smallSize
                font.weight: Font.DemiBold
                color: DesignSystem.accent
                Layout.fillWidth: true
            }
            DesignLabel {
                objectName: "selectedCue"
                text: SessionPresentation.selectedCue
                font.pixelSize: DesignSystem.titleSize
                font.weight: Font.DemiBold
                lineHeight: 1.12
                Layout.fillWidth: true
            }
            Flow {
                Layout.fillWidth: true
                Layout.topMargin: 2
                spacing: 6
                visible: SessionPresentation.selectedBadges.length > 0 || SessionPresentation.selectedQuiet
                Repeater {
                    model: SessionPresentation.selectedBadgeRows
                    Badge {
                        required property var modelData
                        text: modelData.text
                        tone: modelData.tone
                    }
                }
                Row {
                    visible: SessionPresentation.selectedQuiet
                    spacing: 4
                    height: 20
                    Accessible.role: Accessible.StaticText
                    Accessible.name: "Hidden answer"
                    IconMark {
                        kind: "closedEye"
                        size: 14
                        color: DesignSystem.muted
                        anchors.verticalCenter: parent.verticalCenter
                    }
                    Label {
                        text: "Hidden answer"
                        font.pixelSize: DesignSystem.captionSize
                        color: DesignSystem.muted
                        anchors.verticalCenter: parent.verticalCenter
                        Accessible.ignored: true
                    }
                }
            }
        }

        // The explanation picker and the chosen form.
        SegmentedChoice {
            objectName: "explanationPicker"
            accessibleName: "Explanation"
            Layout.leftMargin: DesignSystem.margin
            Layout.rightMargin: DesignSystem.margin
            Layout.topMargin: 2
            options: SessionPresentation.selectedFormChoices
            current: SessionModel.detail
            onChosen: (form) => SessionModel.selectDetail(form)
        }
        Rectangle {
            Layout.fillWidth: true
            Layout.leftMargin: DesignSystem.gutter
            Layout.rightMargin: DesignSystem.gutter
            implicitHeight: explanation.implicitHeight + 2 * DesignSystem.pad
            radius: DesignSystem.radius
            color: DesignSystem.sunken
            visible: detail.formText.length > 0 || SessionPresentation.detailMissingForm.length > 0 || SessionPresentation.detailPreparing
                     || SessionPresentation.detailInterrupted.length > 0 || SessionPresentation.detailFormsNote.length > 0

            ColumnLayout {
                id: explanation
                anchors.left: parent.left
                anchors.right: parent.right
                anchors.top: parent.top
                anchors.margins: DesignSystem.pad
                anchors.leftMargin: DesignSystem.margin - DesignSystem.gutter + DesignSystem.gap
                spacing: DesignSystem.gap

                DesignLabel {
                    id: formLabel
                    objectName: "selectedText"
                    text: detail.formText.length > 0 ? detail.formText : SessionPresentation.detailMissingForm
                    visible: text.length > 0
                    color: detail.formText.length > 0 ? DesignSystem.ink : DesignSystem.muted
                    font.pixelSize: DesignSystem.bodySize + 1
                    lineHeight: 1.25
                    Layout.fillWidth: true
                }
                DesignLabel {
                    id: preparingLine
                    text: "Preparing additional support; this answer is available"
                    visible: SessionPresentation.detailPreparing
                    font.pixelSize: DesignSystem.smallSize
                    color: DesignSystem.muted
                    Layout.fillWidth: true
                }
                DesignLabel {
                    id: interruptedLine
                    text: SessionPresentation.detailInterrupted
                    visible: text.length > 0
                    font.pixelSize: DesignSystem.smallSize
                    color: DesignSystem.caution
                    Layout.fillWidth: true
                }
                DesignLabel {
                    id: formsNote
                    text: SessionPresentation.detailFormsNote
                    visible: text.length > 0
                    font.pixelSize: DesignSystem.smallSize
                    color: DesignSystem.muted
                    Layout.fillWidth: true
                }
            }
        }

        // Follow-ups.
        ColumnLayout {
            visible: SessionPresentation.followUpRows.count > 0
            Layout.fillWidth: true
            Layout.leftMargin: DesignSystem.margin
            Layout.rightMargin: DesignSystem.margin
            spacing: DesignSystem.gutter
            Rectangle {
                Layout.fillWidth: true
                implicitHeight: 1
                color: DesignSystem.line
            }
            Repeater {
                model: SessionPresentation.followUpRows
                ColumnLayout {
                    required property string question
                    required property string answer
                    Layout.fillWidth: true
                    spacing: 3
                    DesignLabel {
                        text: parent.question
                        font.weight: Font.DemiBold
                        Layout.fillWidth: true
                    }
                    DesignLabel {
                        text: parent.answer
                        color: DesignSystem.muted
                        lineHeight: 1.15
                        Layout.fillWidth: true
                    }
                }
            }
        }

        // Sources and notes.
        AnswerSources {
            Layout.fillWidth: true
            Layout.leftMargin: DesignSystem.margin
            Layout.rightMargin: DesignSystem.margin
        }
        ColumnLayout {
            Layout.fillWidth: true
            Layout.leftMargin: DesignSystem.margin
            Layout.rightMargin: DesignSystem.margin
            Layout.bottomMargin: DesignSystem.pad
            spacing: 4
            Repeater {
                model: SessionPresentation.sourceNotes
                DesignLabel {
                    required property string modelData
                    text: modelData
                    font.pixelSize: DesignSystem.smallSize
                    color: DesignSystem.muted
                    Layout.fillWidth: true
                }
            }
            DesignLabel {
                text: SessionPresentation.retrievalNote
                visible: text.length > 0
                font.pixelSize: DesignSystem.smallSize
                color: DesignSystem.muted
                Layout.fillWidth: true
            }
        }
    }
}

import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Corvana

// The floating companion: one answer at a time with quick reactions, and the listening
// state. Everything it shows comes from the model; it keeps nothing of its own.
Rectangle {
    id: companion

    color: DesignSystem.paper

    // The sample badge fits beside the name from this width on; below it, it gets a line.
    readonly property bool wideHeader: width >= 400

    // Forms offered next to "Deeper" (the cue is the card's title).
    // The chosen form's text when it says more than the cue title.
    readonly property string formText: SessionPresentation.selectedFormText
    readonly property var otherForms: SessionPresentation.companionOtherForms

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: DesignSystem.gutter
        spacing: DesignSystem.gap

        // Header.
        RowLayout {
            Layout.fillWidth: true
            spacing: DesignSystem.gap
            BrandMark { size: 22 }
            DesignLabel {
                text: "Corvana"
                font.pixelSize: DesignSystem.leadSize
                font.weight: Font.DemiBold
                wrapMode: Text.NoWrap
            }
            Badge {
                visible: SessionModel.simulated && companion.wideHeader
                text: "Simulated · no provider credits"
                tone: "caution"
            }
            Item { Layout.fillWidth: true }
            DesignButton {
                objectName: "openMainWindow"
                text: "Open main window"
                toolTipText: "Open the main window"
                iconKind: "openWindow"
                iconOnly: true
                variant: "quiet"
                compact: true
                onClicked: TessaroApp.openWindow("main")
            }
        }

        Badge {
            visible: SessionModel.simulated && !companion.wideHeader
            text: "Simulated · no provider credits"
            tone: "caution"
            Layout.topMargin: -4
        }

        // The answer card, or the empty card.
        Rectangle {
            Layout.fillWidth: true
            Layout.fillHeight: true
            radius: DesignSystem.radius + 2
            color: DesignSystem.surface
            border.width: 1
            border.color: DesignSystem.line

            ColumnLayout {
                visible: SessionPresentation.hasSelection
                anchors.fill: parent
                anchors.margins: DesignSystem.gutter
                spacing: 6

                RowLayout {
                    Layout.fillWidth: true
                    spacing: DesignSystem.gap
                    SectionHeader {
                        text: SessionPresentation.companionEyebrow
                        color: DesignSystem.accent
                        Layout.fillWidth: true
                    }
                    Row {
                        visible: SessionPresentation.selectedQuiet
                        spacing: 4
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
                            color: DesignSystem.muted
                            font.pixelSize: DesignSystem.captionSize
                            anchors.verticalCenter: parent.verticalCenter
                            Accessible.ignored: true
                        }
                    }
                }

                Flickable {
                    id: answerText
                    Layout.fillWidth: true
                    Layout.fillHeight: true
                    contentWidth: width
                    contentHeight: textColumn.implicitHeight
                    clip: true
                    boundsBehavior: Flickable.StopAtBounds
                    ScrollBar.vertical: DesignScrollBar { scrolls: "Scroll the answer"; policy: answerText.contentHeight > answerText.height ? ScrollBar.AsNeeded : ScrollBar.AlwaysOff }

                    Rectangle {
                        parent: answerText
                        anchors.left: parent.left
                        anchors.right: parent.right
                        anchors.bottom: parent.bottom
                        height: 18
                        visible: answerText.contentY + answerText.height < answerText.contentHeight - 2
                        gradient: Gradient {
                            GradientStop { position: 0; color: Qt.rgba(DesignSystem.surface.r, DesignSystem.surface.g, DesignSystem.surface.b, 0) }
                            GradientStop { position: 1; color: DesignSystem.surface }
                        }
                    }

                    ColumnLayout {
                        id: textColumn
                        width: answerText.width - 6
                        spacing: 4
                        DesignLabel {
                            objectName: "companionCue"
                            text: SessionPresentation.selectedCue
                            font.pixelSize: DesignSystem.leadSize
                            font.weight: Font.DemiBold
                            lineHeight: 1.1
                            Layout.fillWidth: true
                        }
                        DesignLabel {
                            text: companion.formText.length > 0 ? companion.formText : SessionPresentation.detailMissingForm
                            visible: text.length > 0
                            color: companion.formText.length > 0 ? DesignSystem.ink : DesignSystem.muted
                            lineHeight: 1.15
                            Layout.fillWidth: true
                        }
                        DesignLabel {
                            text: SessionPresentation.companionReadiness
                            visible: text.length > 0
                            font.pixelSize: DesignSystem.smallSize
                            color: SessionPresentation.selectedReady ? DesignSystem.ready : DesignSystem.muted
                            Layout.fillWidth: true
                            Layout.topMargin: 2
                        }
                    }
                }

                Flow {
                    Layout.fillWidth: true
                    spacing: 6
                    DesignButton {
                        text: "Deeper"
                        compact: true
                        selected: SessionPresentation.deeperSelected
                        onClicked: SessionModel.selectDetail(SessionPresentation.deeperToggleForm)
                    }
                    Repeater {
                        model: companion.otherForms
                        DesignButton {
                            required property string modelData
                            text: modelData
                            compact: true
                            selected: SessionModel.detail === modelData
                            onClicked: SessionModel.selectDetail(modelData)
                        }
                    }
                    DesignButton {
                        text: "I know that"
                        compact: true
                        variant: "quiet"
                        onClicked: SessionModel.requestHide("known")
                    }
                    DesignButton {
                        text: "Dismiss answer"
                        compact: true
                        variant: "quiet"
                        onClicked: SessionModel.requestHide("dismiss")
                    }
                    DesignButton {
                        text: "Follow conversation"
                        compact: true
                        variant: "quiet"
                        onClicked: SessionModel.followConversation()
                    }
                }
            }

            ColumnLayout {
                visible: !SessionPresentation.hasSelection
                anchors.left: parent.left
                anchors.right: parent.right
                anchors.verticalCenter: parent.verticalCenter
                anchors.margins: DesignSystem.pad
                spacing: 6
                SectionHeader {
                    text: "READY WHEN YOU ARE"
                    color: DesignSystem.accent
                    horizontalAlignment: Text.AlignHCenter
                    Layout.fillWidth: true
                }
                DesignLabel {
                    text: SessionPresentation.companionEmptyLine
                    font.pixelSize: DesignSystem.leadSize
                    horizontalAlignment: Text.AlignHCenter
                    Layout.fillWidth: true
                }
            }
        }

        // Footer.
        RowLayout {
            Layout.fillWidth: true
            spacing: DesignSystem.gap
            Rectangle {
                width: 8
                height: 8
                radius: 4
                color: SessionModel.active ? DesignSystem.ready : DesignSystem.faint
            }
            DesignLabel {
                text: SessionPresentation.companionFooter
                font.pixelSize: DesignSystem.smallSize
                color: DesignSystem.muted
                wrapMode: Text.NoWrap
                elide: Text.ElideRight
                Layout.fillWidth: true
            }
            DesignLabel {
                visible: SessionPresentation.selectedReady
                text: "Cue + Deeper ready"
                font.pixelSize: DesignSystem.smallSize
                color: DesignSystem.ready
                wrapMode: Text.NoWrap
            }
            DesignButton {
                text: "Stop"
                iconKind: "stop"
                compact: true
                enabled: SessionPresentation.canStop
                onClicked: SessionModel.requestStop()
            }
        }
    }
}

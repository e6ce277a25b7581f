import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Corvana

// "CONVERSATION": the transcript lines with speaker and time, the gaps in the audio, and
// whether the model is following the conversation.
Rectangle {
    id: pane

    radius: DesignSystem.radius
    color: DesignSystem.surface
    border.width: 1
    border.color: DesignSystem.line

    // What the pane's header says about the audio.
    readonly property string indicator: SessionPresentation.conversationIndicator

    ColumnLayout {
        anchors.fill: parent
        anchors.topMargin: DesignSystem.gutter
        anchors.bottomMargin: 2
        spacing: DesignSystem.gap

        RowLayout {
            Layout.fillWidth: true
            Layout.leftMargin: DesignSystem.pad
            Layout.rightMargin: DesignSystem.pad
            spacing: 6
            SectionHeader {
                text: "CONVERSATION"
                Layout.fillWidth: true
            }
        }
        Row {
            visible: pane.indicator.length > 0
            Layout.leftMargin: DesignSystem.pad
            Layout.rightMargin: DesignSystem.pad
            Layout.topMargin: -4
            spacing: 6
            Accessible.role: Accessible.StaticText
            Accessible.name: pane.indicator
            Rectangle {
                width: 7
                height: 7
                radius: 3.5
                anchors.verticalCenter: parent.verticalCenter
                // Steady, like the live dot: no frame is drawn while nothing changes.
                color: SessionPresentation.following ? DesignSystem.ready : DesignSystem.faint
            }
            Label {
                text: pane.indicator
                font.pixelSize: DesignSystem.smallSize
                color: SessionPresentation.following ? DesignSystem.ready : DesignSystem.muted
                Accessible.ignored: true
            }
        }

        Rectangle {
            Layout.fillWidth: true
            implicitHeight: 1
            color: DesignSystem.line
        }

        ListView {
            id: lines
            objectName: "transcript"
            Layout.fillWidth: true
            Layout.fillHeight: true
            clip: true
            model: SessionPresentation.transcriptRows
            spacing: 2
            boundsBehavior: Flickable.StopAtBounds
            Accessible.role: Accessible.List
            Accessible.name: "CONVERSATION"
            ScrollBar.vertical: DesignScrollBar { scrolls: "Scroll the conversation" }

            // Stay with the newest line unless the user scrolled back.
            property bool pinned: true
            onMovementEnded: pinned = atYEnd
            // The linter of Qt 6.4 takes Qt.callLater for a property that may not be a method.
            onCountChanged: if (pinned) Qt.callLater(positionViewAtEnd) // qmllint disable type
            onContentHeightChanged: if (pinned) Qt.callLater(positionViewAtEnd) // qmllint disable type

            header: Item { width: 1; height: 6 }

            delegate: Item {
                id: line
                required property string speaker
                required property string time
                required property string text
                required property bool live
                required property bool mine

                width: ListView.view.width
                implicitHeight: lineColumn.implicitHeight + 12

                ColumnLayout {
                    id: lineColumn
                    anchors.left: parent.left
                    anchors.right: parent.right
                    anchors.top: parent.top
                    anchors.leftMargin: DesignSystem.pad
                    anchors.rightMargin: DesignSystem.pad
                    anchors.topMargin: 6
                    spacing: 2

                    RowLayout {
                        spacing: 6
                        DesignLabel {
                            text: line.speaker
                            font.pixelSize: DesignSystem.smallSize
                            font.weight: Font.DemiBold
                            color: line.mine ? DesignSystem.accent : DesignSystem.ink
                            wrapMode: Text.NoWrap
                        }
                        DesignLabel {
                            text: line.time
                            font.pixelSize: DesignSystem.captionSize
                            color: DesignSystem.faint
                            wrapMode: Text.NoWrap
                        }
                        Badge {
                            visible: line.live
                            text: "Live"
                            tone: "ready"
                        }
                    }
                    DesignLabel {
                        text: line.text
                        color: line.live ? DesignSystem.muted : DesignSystem.ink
                        lineHeight: 1.1
                        Layout.fillWidth: true
                    }
                }
            }

            footer: Column {
                width: ListView.view.width
                topPadding: 6
                bottomPadding: 10
                spacing: 4
                Repeater {
                    model: SessionModel.gapSummary
                    Row {
                        id: gap
                        required property string modelData
                        x: DesignSystem.pad
                        width: parent.width - 2 * DesignSystem.pad
                        spacing: 6
                        Accessible.role: Accessible.StaticText
                        Accessible.name: modelData
                        IconMark {
                            kind: "mutedWave"
                            size: 14
                            color: DesignSystem.faint
                            anchors.verticalCenter: parent.verticalCenter
                        }
                        Label {
                            text: gap.modelData
                            width: parent.width - 20
                            wrapMode: Text.Wrap
                            font.pixelSize: DesignSystem.smallSize
                            color: DesignSystem.muted
                            Accessible.ignored: true
                        }
                    }
                }
            }
        }
    }

    DesignLabel {
        visible: SessionPresentation.transcriptRows.count === 0
        anchors.centerIn: parent
        width: parent.width - 2 * DesignSystem.margin
        text: SessionPresentation.conversationEmptyText
        horizontalAlignment: Text.AlignHCenter
        color: DesignSystem.muted
        lineHeight: 1.15
    }
}

import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Corvana

// "PREPARED BREAKDOWN": the visible answers; choosing one brings it to the front.
Item {
    id: shelf

    ColumnLayout {
        anchors.fill: parent
        spacing: DesignSystem.gap

        RowLayout {
            Layout.fillWidth: true
            Layout.leftMargin: DesignSystem.pad
            Layout.rightMargin: DesignSystem.gutter
            Layout.topMargin: 4
            spacing: 6
            SectionHeader {
                text: "PREPARED BREAKDOWN"
                Layout.fillWidth: true
            }
            Badge {
                objectName: "inRange"
                visible: SessionPresentation.inRange
                text: "IN RANGE"
                tone: "accent"
                strong: true
            }
            DesignButton {
                text: "Follow"
                variant: "quiet"
                compact: true
                onClicked: SessionModel.followConversation()
            }
        }

        ColumnLayout {
            Layout.fillWidth: true
            Layout.leftMargin: DesignSystem.pad
            Layout.rightMargin: DesignSystem.pad
            spacing: 2
            DesignSwitch {
                objectName: "revealHidden"
                text: "Reveal previously prepared answers"
                checked: SessionModel.showHidden
                Layout.fillWidth: true
                onToggled: SessionModel.showHidden = checked
            }
            DesignLabel {
                text: SessionPresentation.hiddenCountText
                visible: text.length > 0
                font.pixelSize: DesignSystem.captionSize
                color: DesignSystem.faint
                Layout.leftMargin: 38
            }
        }

        Rectangle {
            Layout.fillWidth: true
            implicitHeight: 1
            color: DesignSystem.line
        }

        ListView {
            id: answers
            objectName: "preparedAnswers"
            Layout.fillWidth: true
            Layout.fillHeight: true
            clip: true
            model: SessionPresentation.answerRows
            spacing: 4
            boundsBehavior: Flickable.StopAtBounds
            Accessible.role: Accessible.List
            Accessible.name: "PREPARED BREAKDOWN"
            ScrollBar.vertical: DesignScrollBar { scrolls: "Scroll the prepared answers" }
            header: Item { width: 1; height: 4 }
            footer: Item { width: 1; height: 8 }

            delegate: ItemDelegate {
                id: row
                required property string key
                required property string title
                required property string cue
                required property string time
                required property bool ready
                required property bool quiet
                required property bool selected

                width: ListView.view.width - 2 * DesignSystem.gap
                x: DesignSystem.gap
                padding: 10
                leftPadding: 12
                hoverEnabled: true
                focusPolicy: Qt.StrongFocus
                Accessible.name: title
                Accessible.description: cue
                Accessible.selectable: true
                Accessible.selected: selected
                Accessible.onPressAction: SessionModel.selectAnswer(key)
                onClicked: SessionModel.selectAnswer(key)
                Keys.onReturnPressed: SessionModel.selectAnswer(key)
                Keys.onEnterPressed: SessionModel.selectAnswer(key)

                background: Rectangle {
                    radius: DesignSystem.smallRadius + 1
                    color: row.selected ? DesignSystem.accentSoft
                         : row.hovered ? DesignSystem.sunken : "transparent"
                    border.width: row.visualFocus ? 2 : row.selected ? 1 : 0
                    border.color: row.visualFocus ? DesignSystem.accent : DesignSystem.accentLine
                    Rectangle {
                        visible: row.selected
                        width: 3
                        radius: 1.5
                        anchors.left: parent.left
                        anchors.top: parent.top
                        anchors.bottom: parent.bottom
                        anchors.margins: 5
                        color: DesignSystem.accent
                    }
                }

                contentItem: ColumnLayout {
                    spacing: 3
                    RowLayout {
                        spacing: 6
                        Layout.fillWidth: true
                        Label {
                            text: row.title
                            font.pixelSize: DesignSystem.smallSize + 1
                            font.weight: Font.DemiBold
                            color: row.quiet ? DesignSystem.muted : DesignSystem.ink
                            elide: Text.ElideRight
                            Layout.fillWidth: true
                            Accessible.ignored: true
                        }
                        Label {
                            text: row.time
                            visible: text.length > 0
                            font.pixelSize: DesignSystem.captionSize
                            color: DesignSystem.faint
                            Accessible.ignored: true
                        }
                    }
                    Label {
                        text: row.cue
                        visible: text.length > 0
                        font.pixelSize: DesignSystem.smallSize
                        color: DesignSystem.muted
                        wrapMode: Text.Wrap
                        maximumLineCount: 2
                        elide: Text.ElideRight
                        lineHeight: 1.1
                        Layout.fillWidth: true
                        Accessible.ignored: true
                    }
                    Flow {
                        spacing: 10
                        visible: row.ready || row.quiet
                        Layout.fillWidth: true
                        Layout.topMargin: 1
                        Label {
                            visible: row.ready
                            text: "Ready, including Deeper"
                            font.pixelSize: DesignSystem.captionSize
                            font.weight: Font.Medium
                            color: DesignSystem.ready
                        }
                        Row {
                            visible: row.quiet
                            spacing: 4
                            IconMark {
                                kind: "closedEye"
                                size: 12
                                color: DesignSystem.muted
                                anchors.verticalCenter: parent.verticalCenter
                            }
                            Label {
                                text: "Hidden answer"
                                font.pixelSize: DesignSystem.captionSize
                                color: DesignSystem.muted
                            }
                        }
                    }
                }
            }
        }
    }

    DesignLabel {
        visible: SessionPresentation.answerRows.count === 0
        anchors.centerIn: parent
        anchors.verticalCenterOffset: 30
        width: parent.width - 2 * DesignSystem.margin
        text: "Answers will collect here"
        horizontalAlignment: Text.AlignHCenter
        color: DesignSystem.muted
    }
}

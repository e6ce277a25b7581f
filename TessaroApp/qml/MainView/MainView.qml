import QtQuick
import QtQuick.Layouts
import Corvana

// The main window's content: title bar, session and source bars, the conversation, the
// answer workspace and the prepared shelf (with the range controls), and the footer.
Item {
    id: view

    signal showCompanion()

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        TitleBar {
            Layout.fillWidth: true
            onShowCompanion: view.showCompanion()
        }

        ColumnLayout {
            Layout.fillWidth: true
            Layout.fillHeight: true
            Layout.leftMargin: DesignSystem.pad
            Layout.rightMargin: DesignSystem.pad
            Layout.topMargin: DesignSystem.gutter
            Layout.bottomMargin: DesignSystem.gutter
            spacing: DesignSystem.gutter

            StatusNotice {
                objectName: "statusNotice"
                visible: SessionPresentation.errorText.length > 0
                message: SessionPresentation.errorText
                actionText: SessionPresentation.recoveryAction
                Layout.fillWidth: true
                onActionTriggered: SessionPresentation.runRecoveryAction()
            }

            // Why audio went off and how to go on, while no session runs.
            Rectangle {
                objectName: "recoveryMessage"
                visible: !SessionPresentation.sessionExists && SessionModel.recoveryMessage !== undefined
                Layout.fillWidth: true
                implicitHeight: recoveryText.implicitHeight + 20
                radius: DesignSystem.radius
                color: DesignSystem.accentSoft
                border.width: 1
                border.color: DesignSystem.accentLine
                IconMark {
                    id: recoveryIcon
                    kind: "mutedWave"
                    size: 16
                    color: DesignSystem.accent
                    x: 14
                    anchors.verticalCenter: parent.verticalCenter
                }
                DesignLabel {
                    id: recoveryText
                    anchors.left: recoveryIcon.right
                    anchors.leftMargin: 10
                    anchors.right: parent.right
                    anchors.rightMargin: 14
                    anchors.verticalCenter: parent.verticalCenter
                    text: SessionModel.recoveryMessage !== undefined ? SessionModel.recoveryMessage : ""
                }
            }

            SessionBar {
                visible: SessionPresentation.sessionExists || SessionPresentation.connecting
                Layout.fillWidth: true
            }

            SourceBar {
                Layout.fillWidth: true
            }

            RowLayout {
                Layout.fillWidth: true
                Layout.fillHeight: true
                spacing: DesignSystem.gutter

                ConversationPane {
                    Layout.fillHeight: true
                    Layout.preferredWidth: Math.round(Math.max(236, view.width * 0.25))
                }
                AnswerWorkspace {
                    Layout.fillHeight: true
                    Layout.fillWidth: true
                    Layout.minimumWidth: 340
                }
                ShelfColumn {
                    objectName: "shelfColumn"
                    Layout.fillHeight: true
                    Layout.preferredWidth: Math.round(Math.max(262, view.width * 0.265))
                }
            }
        }

        SessionFooter {
            Layout.fillWidth: true
            onShowUsage: usage.open()
        }
    }

    UsageView {
        id: usage
        objectName: "usageView"
    }
}

import QtQuick
import QtQuick.Layouts
import Corvana

// Where the audio comes from, the session's limits and the primary action.
Rectangle {
    id: bar

    implicitHeight: SessionPresentation.setupComplete ? content.implicitHeight + 2 * DesignSystem.gutter : 52
    radius: DesignSystem.radius
    color: DesignSystem.surface
    border.width: 1
    border.color: DesignSystem.line

    // The source can change only between sessions.
    readonly property bool sourceEditable: SessionPresentation.canChangeSource

    DesignLabel {
        visible: !SessionPresentation.setupComplete
        anchors.verticalCenter: parent.verticalCenter
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.leftMargin: DesignSystem.pad
        anchors.rightMargin: DesignSystem.pad
        text: "Set your domain and connect your service to begin."
        color: DesignSystem.muted
    }

    ColumnLayout {
        id: content
        visible: SessionPresentation.setupComplete
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: parent.top
        anchors.margins: DesignSystem.gutter
        spacing: DesignSystem.gap + 2

        RowLayout {
            Layout.fillWidth: true
            spacing: DesignSystem.gap

            DesignPicker {
                id: sourcePicker
                objectName: "sourcePicker"
                Layout.preferredWidth: 150
                model: SessionPresentation.sourceChoices
                textRole: "label"
                valueRole: "value"
                enabled: bar.sourceEditable
                currentIndex: count > 0 ? indexOfValue(SessionModel.source) : -1
                onActivated: SessionModel.source = currentValue
            }
            DesignPicker {
                id: appPicker
                objectName: "applicationPicker"
                Layout.fillWidth: true
                Layout.minimumWidth: 120
                Layout.maximumWidth: 230
                model: SessionPresentation.sourceRows
                textRole: "name"
                valueRole: "key"
                enabled: bar.sourceEditable
                currentIndex: count > 0 ? indexOfValue(SessionModel.sourceApp) : -1
                onActivated: SessionModel.sourceApp = currentValue
            }
            DesignButton {
                text: "Refresh audio sources"
                toolTipText: "Refresh running audio sources"
                iconOnly: true
                iconKind: "refresh"
                enabled: bar.sourceEditable
                onClicked: SessionModel.refreshSources()
            }
            Rectangle {
                implicitWidth: 1
                implicitHeight: 20
                color: DesignSystem.line
            }
            DesignButton {
                text: "Choose recording…"
                variant: "quiet"
                enabled: bar.sourceEditable
                onClicked: SessionModel.chooseRecording()
            }
            DesignLabel {
                visible: SessionModel.recordingName !== undefined
                text: SessionModel.recordingName !== undefined ? SessionModel.recordingName : ""
                font.pixelSize: DesignSystem.smallSize
                color: DesignSystem.muted
                wrapMode: Text.NoWrap
                elide: Text.ElideMiddle
                Layout.maximumWidth: 140
            }
            DesignButton {
                visible: SessionModel.recordingName !== undefined
                text: "Replay recording"
                compact: true
                enabled: SessionPresentation.canStart
                onClicked: {
                    SessionModel.source = "recording"
                    SessionModel.requestStart(false, false)
                }
            }

            Item { Layout.fillWidth: true }
        }

        RowLayout {
            Layout.fillWidth: true
            spacing: DesignSystem.gap

            DesignLabel {
                text: "Limit $"
                color: DesignSystem.muted
                wrapMode: Text.NoWrap
            }
            DesignField {
                Layout.preferredWidth: 64
                text: SessionModel.budget
                placeholderText: "1.00"
                Accessible.name: "Limit $"
                enabled: bar.sourceEditable
                inputMethodHints: Qt.ImhFormattedNumbersOnly
                onTextEdited: SessionModel.budget = text
            }
            DesignPicker {
                Layout.preferredWidth: 92
                model: SessionModel.durationChoices
                suffix: " min"
                enabled: bar.sourceEditable
                currentIndex: SessionPresentation.durationIndex
                displayText: SessionModel.durationMinutes + " min"
                onActivated: (index) => SessionModel.durationMinutes = SessionModel.durationChoices[index]
            }
            Rectangle {
                implicitWidth: 1
                implicitHeight: 20
                color: DesignSystem.line
            }
            DesignLabel {
                objectName: "remaining"
                text: SessionPresentation.remainingText
                visible: text.length > 0
                font.weight: Font.Medium
                wrapMode: Text.NoWrap
            }
            DesignLabel {
                visible: SessionPresentation.showWalkthroughLine
                text: "Ready for a free walkthrough"
                color: DesignSystem.muted
                wrapMode: Text.NoWrap
                elide: Text.ElideRight
                Layout.fillWidth: true
            }
            Item { Layout.fillWidth: true }
            DesignButton {
                visible: SessionPresentation.showNewConversation
                enabled: SessionPresentation.canNewConversation
                text: "New conversation"
                toolTipText: "Clear session memory and start with the configured allowance"
                onClicked: SessionModel.requestStart(false, false)
            }
            DesignButton {
                objectName: "primaryAction"
                text: SessionPresentation.primaryAction
                variant: "primary"
                enabled: SessionPresentation.primaryEnabled
                onClicked: SessionPresentation.runPrimaryAction()
            }
        }
    }
}

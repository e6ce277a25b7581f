import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Corvana

// Where the audio comes from, the session's limits and the primary action.
Rectangle {
    id: bar

    implicitHeight: presentation.setupComplete ? content.implicitHeight + 2 * DesignSystem.gutter : 52
    radius: DesignSystem.radius
    color: DesignSystem.surface
    border.width: 1
    border.color: DesignSystem.line

    // The source can change only between sessions.
    readonly property bool sourceEditable: presentation.canChangeSource

    DesignLabel {
        visible: !presentation.setupComplete
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
        visible: presentation.setupComplete
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
                model: presentation.sourceChoices
                textRole: "label"
                valueRole: "value"
                enabled: bar.sourceEditable
                currentIndex: count > 0 ? indexOfValue(session.source) : -1
                onActivated: session.source = currentValue
            }
            DesignPicker {
                id: appPicker
                objectName: "applicationPicker"
                Layout.fillWidth: true
                Layout.minimumWidth: 120
                Layout.maximumWidth: 230
                model: presentation.sourceRows
                textRole: "name"
                valueRole: "key"
                enabled: bar.sourceEditable
                currentIndex: count > 0 ? indexOfValue(session.sourceApp) : -1
                onActivated: session.sourceApp = currentValue
            }
            DesignButton {
                text: "Refresh audio sources"
                toolTipText: "Refresh running audio sources"
                iconOnly: true
                iconKind: "refresh"
                enabled: bar.sourceEditable
                onClicked: session.refreshSources()
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
                onClicked: session.chooseRecording()
            }
            DesignLabel {
                visible: session.recordingName !== undefined
                text: session.recordingName !== undefined ? session.recordingName : ""
                font.pixelSize: DesignSystem.smallSize
                color: DesignSystem.muted
                wrapMode: Text.NoWrap
                elide: Text.ElideMiddle
                Layout.maximumWidth: 140
            }
            DesignButton {
                visible: session.recordingName !== undefined
                text: "Replay recording"
                compact: true
                enabled: presentation.canStart
                onClicked: {
                    session.source = "recording"
                    session.requestStart(false, false)
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
                text: session.budget
                placeholderText: "1.00"
                Accessible.name: "Limit $"
                enabled: bar.sourceEditable
                inputMethodHints: Qt.ImhFormattedNumbersOnly
                onTextEdited: session.budget = text
            }
            DesignPicker {
                Layout.preferredWidth: 92
                model: session.durationChoices
                suffix: " min"
                enabled: bar.sourceEditable
                currentIndex: session.durationChoices.indexOf(session.durationMinutes)
                displayText: session.durationMinutes + " min"
                onActivated: (index) => session.durationMinutes = session.durationChoices[index]
            }
            Rectangle {
                implicitWidth: 1
                implicitHeight: 20
                color: DesignSystem.line
            }
            DesignLabel {
                objectName: "remaining"
                text: presentation.remainingText
                visible: text.length > 0
                font.weight: Font.Medium
                wrapMode: Text.NoWrap
            }
            DesignLabel {
                visible: presentation.showWalkthroughLine
                text: "Ready for a free walkthrough"
                color: DesignSystem.muted
                wrapMode: Text.NoWrap
                elide: Text.ElideRight
                Layout.fillWidth: true
            }
            Item { Layout.fillWidth: true }
            DesignButton {
                visible: presentation.showNewConversation
                enabled: presentation.canNewConversation
                text: "New conversation"
                toolTipText: "Clear session memory and start with the configured allowance"
                onClicked: session.requestStart(false, false)
            }
            DesignButton {
                objectName: "primaryAction"
                text: presentation.primaryAction
                variant: "primary"
                enabled: presentation.primaryEnabled
                onClicked: {
                    if (presentation.primaryAction === "Reconnect")
                        session.requestReconnect()
                    else if (presentation.primaryAction === "Resume")
                        session.requestStart(true, false)
                    else
                        session.requestStart(false, false)
                }
            }
        }
    }
}

import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import QtQuick.Dialogs

ApplicationWindow {
    id: window
    width: 960
    height: 640
    visible: true
    title: "Corvana"

    Component.onCompleted: session.beginLoad()

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 24
        spacing: 12

        Label {
            text: "Corvana"
            font.pixelSize: 28
            font.bold: true
        }
        Label {
            objectName: "status"
            text: session.status
            font.pixelSize: 16
        }
        Label {
            visible: session.error !== undefined
            text: session.error !== undefined ? session.error : ""
            color: "#b3261e"
            wrapMode: Text.Wrap
            Layout.fillWidth: true
        }
        Label {
            visible: session.onboarding
            text: session.signInMessage !== undefined ? session.signInMessage : "Sign in to Corvana"
            wrapMode: Text.Wrap
            Layout.fillWidth: true
        }
        Label {
            text: session.domainName + " · $" + session.budget + " per session · " + session.durationMinutes + " min"
            opacity: 0.7
        }
        Label {
            visible: session.knowledgeMessage !== undefined
            text: session.knowledgeMessage !== undefined ? session.knowledgeMessage : ""
            wrapMode: Text.Wrap
            Layout.fillWidth: true
        }
        RowLayout {
            spacing: 8
            Button {
                text: "Choose a recording"
                onClicked: session.chooseRecording()
            }
            Button {
                text: "Import documents"
                enabled: !session.active && !session.importingDocument
                onClicked: session.importDocuments()
            }
            Label {
                visible: session.recordingName !== undefined
                text: session.recordingName !== undefined ? session.recordingName : ""
                opacity: 0.7
            }
        }
        Item { Layout.fillHeight: true }
    }

    FileDialog {
        id: openPanel
        onAccepted: filePicker.answer(openPanel.fileMode === FileDialog.OpenFiles ? openPanel.selectedFiles : [openPanel.selectedFile])
        onRejected: filePicker.cancel()
    }

    Connections {
        target: filePicker
        function onRequested(title, message, nameFilters, multiple) {
            openPanel.title = message.length > 0 ? message : title
            openPanel.nameFilters = nameFilters
            openPanel.fileMode = multiple ? FileDialog.OpenFiles : FileDialog.OpenFile
            openPanel.open()
        }
    }
}

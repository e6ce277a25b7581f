import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

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
        Item { Layout.fillHeight: true }
    }
}

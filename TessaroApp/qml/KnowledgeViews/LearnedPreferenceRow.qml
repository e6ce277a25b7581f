import QtQuick
import QtQuick.Layouts
import Corvana

// One learned preference: its topic, visibility and explanation as edit copies, written
// back only by "Save".
Rectangle {
    id: row

    required property string key
    required property string topic
    required property string prominence
    required property string style

    // The edit copies, taken from the stored preference when the row first shows.
    property string editedTopic: ""
    property string editedProminence: "normal"
    property string editedStyle: "Cue"
    Component.onCompleted: {
        editedTopic = topic
        editedProminence = prominence
        editedStyle = style
    }

    implicitHeight: content.implicitHeight + 2 * DesignSystem.gutter
    radius: DesignSystem.smallRadius + 1
    color: DesignSystem.sunken
    border.width: 1
    border.color: DesignSystem.line

    ColumnLayout {
        id: content
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: parent.top
        anchors.margins: DesignSystem.gutter
        spacing: DesignSystem.gap

        RowLayout {
            Layout.fillWidth: true
            spacing: DesignSystem.gap
            DesignLabel {
                text: "Topic"
                font.pixelSize: DesignSystem.smallSize
                color: DesignSystem.muted
                Layout.preferredWidth: visibilityLabel.implicitWidth
            }
            DesignField {
                Layout.fillWidth: true
                implicitHeight: DesignSystem.compactHeight
                font.pixelSize: DesignSystem.smallSize + 1
                placeholderText: "Learned topic"
                Accessible.name: "Topic"
                text: row.editedTopic
                onTextEdited: row.editedTopic = text
            }
            DesignButton {
                text: "Save"
                compact: true
                onClicked: KnowledgePresentation.savePreference(row.key, row.editedTopic, row.editedProminence, row.editedStyle)
            }
            DesignButton {
                text: "Forget"
                toolTipText: "Delete this learned preference"
                compact: true
                variant: "danger"
                onClicked: KnowledgePresentation.forgetPreference(row.key)
            }
        }

        RowLayout {
            Layout.fillWidth: true
            spacing: DesignSystem.gap
            DesignLabel {
                id: visibilityLabel
                text: "Visibility"
                font.pixelSize: DesignSystem.smallSize
                color: DesignSystem.muted
            }
            DesignPicker {
                Layout.fillWidth: true
                Layout.minimumWidth: 110
                compact: true
                textRole: "label"
                valueRole: "value"
                model: KnowledgePresentation.prominenceChoices
                toolTipText: "Topic visibility"
                currentIndex: count > 0 ? indexOfValue(row.editedProminence) : -1
                Accessible.name: "Visibility"
                Accessible.description: displayText
                onActivated: row.editedProminence = currentValue
            }
            DesignLabel {
                text: "Explanation"
                font.pixelSize: DesignSystem.smallSize
                color: DesignSystem.muted
                Layout.leftMargin: DesignSystem.unit
            }
            DesignPicker {
                Layout.fillWidth: true
                Layout.minimumWidth: 100
                compact: true
                textRole: "label"
                valueRole: "value"
                model: KnowledgePresentation.styleChoices
                toolTipText: "Preferred explanation"
                currentIndex: count > 0 ? indexOfValue(row.editedStyle) : -1
                Accessible.name: "Explanation"
                Accessible.description: displayText
                onActivated: row.editedStyle = currentValue
            }
        }
    }
}

import QtQuick
import QtQuick.Layouts
import Corvana

// The answer in front (through the answer detail) or, without one, what to expect;
// below it the follow-up question.
Rectangle {
    id: workspace

    radius: DesignSystem.radius
    color: DesignSystem.surface
    border.width: 1
    border.color: DesignSystem.line

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        AnswerDetail {
            visible: SessionPresentation.hasSelection
            Layout.fillWidth: true
            Layout.fillHeight: true
        }

        Item {
            visible: !SessionPresentation.hasSelection
            Layout.fillWidth: true
            Layout.fillHeight: true

            ColumnLayout {
                anchors.centerIn: parent
                width: Math.min(parent.width - 2 * DesignSystem.margin * 2, 420)
                spacing: DesignSystem.gap

                BrandMark {
                    size: 44
                    opacity: 0.9
                    Layout.alignment: Qt.AlignHCenter
                    Layout.bottomMargin: DesignSystem.gap
                }
                DesignLabel {
                    objectName: "emptyAnswerTitle"
                    text: SessionPresentation.emptyAnswerTitle
                    font.pixelSize: DesignSystem.titleSize
                    font.weight: Font.DemiBold
                    horizontalAlignment: Text.AlignHCenter
                    Layout.fillWidth: true
                }
                DesignLabel {
                    objectName: "emptyAnswerMessage"
                    text: SessionPresentation.emptyAnswerMessage
                    visible: text.length > 0
                    color: DesignSystem.muted
                    horizontalAlignment: Text.AlignHCenter
                    lineHeight: 1.2
                    Layout.fillWidth: true
                }
            }
        }

        Rectangle {
            Layout.fillWidth: true
            implicitHeight: 1
            color: DesignSystem.line
        }

        RowLayout {
            Layout.fillWidth: true
            Layout.margins: DesignSystem.gutter
            spacing: DesignSystem.gap

            DesignField {
                id: question
                objectName: "followUpField"
                Layout.fillWidth: true
                placeholderText: "Ask a follow-up (optional)"
                Accessible.name: "Optional follow-up question"
                text: SessionModel.manualQuestion
                onTextEdited: SessionModel.manualQuestion = text
                onAccepted: if (SessionPresentation.canAsk) SessionModel.requestAsk()
            }
            DesignButton {
                text: "Ask"
                enabled: SessionPresentation.canAsk
                onClicked: SessionModel.requestAsk()
            }
        }
    }
}

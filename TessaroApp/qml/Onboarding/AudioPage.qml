import QtQuick
import QtQuick.Layouts
import Corvana

// The first-run page that sets up the audio and opens the app.
ColumnLayout {
    objectName: "audioPage"
    spacing: DesignSystem.gutter
    Layout.fillWidth: true

    SectionHeader { text: "YOUR AUDIO" }
    DesignLabel {
        text: "Listen where the conversation is."
        font.pixelSize: DesignSystem.headlineSize
        font.weight: Font.DemiBold
        Layout.fillWidth: true
    }
    ColumnLayout {
        spacing: DesignSystem.unit + 2
        Layout.fillWidth: true
        DesignLabel {
            text: "Audio source"
            font.pixelSize: DesignSystem.smallSize
            color: DesignSystem.muted
        }
        DesignPicker {
            objectName: "onboardingSourcePicker"
            model: OnboardingPresentation.audioChoices
            textRole: "label"
            valueRole: "value"
            currentIndex: OnboardingPresentation.audioChoiceIndex
            Accessible.name: "Audio source"
            Accessible.description: displayText
            onActivated: SessionModel.source = currentValue
            Layout.fillWidth: true
        }
    }
    DesignLabel {
        text: "Meeting audio captures the sound from the app. It doesn’t listen through your microphone. Audio comes through PipeWire without a permission prompt, and nothing is captured until you start listening."
        font.pixelSize: DesignSystem.smallSize + 1
        color: DesignSystem.muted
        lineHeight: 1.15
        Layout.fillWidth: true
    }

    Rectangle {
        Layout.fillWidth: true
        implicitHeight: consent.implicitHeight + 2 * DesignSystem.gutter
        radius: DesignSystem.radius
        color: DesignSystem.sunken
        border.width: 1
        border.color: DesignSystem.line
        ColumnLayout {
            id: consent
            anchors.fill: parent
            anchors.margins: DesignSystem.gutter
            spacing: DesignSystem.unit
            DesignLabel {
                text: "You stay in control."
                font.weight: Font.DemiBold
                Layout.fillWidth: true
            }
            DesignLabel {
                text: "Audio starts only when you choose Start listening. Speech and enabled reference passages are sent to the service and its AI providers to prepare answers. The service doesn’t keep conversation content by default. Stop ends capture; prepared answers stay in memory for review."
                font.pixelSize: DesignSystem.smallSize + 1
                color: DesignSystem.muted
                lineHeight: 1.15
                Layout.fillWidth: true
            }
        }
    }

    RowLayout {
        objectName: "allowance"
        visible: OnboardingPresentation.allowanceLine.length > 0
        spacing: DesignSystem.gap
        Layout.fillWidth: true
        // A gauge.
        Canvas {
            implicitWidth: 16
            implicitHeight: 16
            antialiasing: true
            property color ink: DesignSystem.accent
            onInkChanged: requestPaint()
            onPaint: {
                const ctx = getContext("2d")
                ctx.reset()
                ctx.strokeStyle = ink
                ctx.fillStyle = ink
                ctx.lineWidth = 1.5
                ctx.lineCap = "round"
                ctx.beginPath()
                ctx.arc(8, 10, 6.3, Math.PI * 0.9, Math.PI * 2.1, false)
                ctx.stroke()
                ctx.beginPath()
                ctx.moveTo(8, 10); ctx.lineTo(11.2, 6.2)
                ctx.stroke()
                ctx.beginPath()
                ctx.arc(8, 10, 1.4, 0, Math.PI * 2)
                ctx.fill()
            }
        }
        DesignLabel {
            text: OnboardingPresentation.allowanceLine
            font.weight: Font.Medium
            Layout.fillWidth: true
        }
    }
    DesignLabel {
        objectName: "fundingNote"
        visible: OnboardingPresentation.showFundingNote
        text: "Your account is ready. Contact the beta organizer for a funded allowance before starting a live session."
        font.pixelSize: DesignSystem.smallSize + 1
        color: DesignSystem.caution
        Layout.fillWidth: true
    }
    RowLayout {
        spacing: DesignSystem.gap
        Layout.fillWidth: true
        IconMark {
            kind: "mutedWave"
            size: 16
            color: DesignSystem.muted
        }
        DesignLabel {
            text: "Audio is off. Nothing starts automatically."
            font.pixelSize: DesignSystem.smallSize + 1
            Layout.fillWidth: true
        }
    }
    RowLayout {
        spacing: DesignSystem.gutter
        Layout.fillWidth: true
        Layout.topMargin: DesignSystem.gap
        DesignLabel {
            text: "Show companion   Ctrl+Alt+Space"
            font.pixelSize: DesignSystem.smallSize
            color: DesignSystem.muted
            wrapMode: Text.NoWrap
            Layout.fillWidth: true
        }
        DesignButton {
            text: "Open Corvana"
            variant: "primary"
            enabled: OnboardingPresentation.canFinish
            onClicked: OnboardingPresentation.finish()
        }
    }
}

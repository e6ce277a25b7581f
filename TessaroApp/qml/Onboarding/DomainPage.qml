import QtQuick
import QtQuick.Layouts
import Corvana

// The first-run page that saves the domain the answers prepare for.
ColumnLayout {
    objectName: "domainPage"
    spacing: DesignSystem.gap
    Layout.fillWidth: true

    SectionHeader { text: "YOUR EXPERTISE" }
    DesignLabel {
        text: "Give the conversation context."
        font.pixelSize: DesignSystem.headlineSize
        font.weight: Font.DemiBold
        Layout.fillWidth: true
        Layout.bottomMargin: DesignSystem.gap
    }
    DesignLabel {
        text: "Domain name"
        font.pixelSize: DesignSystem.smallSize
        color: DesignSystem.muted
    }
    DesignField {
        placeholderText: "Domain name"
        Accessible.name: "Domain name"
        text: SessionModel.domainName
        onTextEdited: SessionModel.domainName = text
        Layout.fillWidth: true
    }
    DesignLabel {
        text: "What should Corvana know about?"
        font.pixelSize: DesignSystem.smallSize
        color: DesignSystem.muted
        Layout.topMargin: DesignSystem.unit
    }
    DesignTextArea {
        Accessible.name: "Domain configuration"
        text: SessionModel.domain
        onTextChanged: if (text !== SessionModel.domain) SessionModel.domain = text
        Layout.fillWidth: true
        Layout.preferredHeight: 112
    }
    DesignLabel {
        text: "What do you already know? (Optional)"
        font.pixelSize: DesignSystem.smallSize
        color: DesignSystem.muted
        Layout.topMargin: DesignSystem.unit
    }
    DesignTextArea {
        Accessible.name: "Existing familiarity"
        text: SessionModel.familiarity
        onTextChanged: if (text !== SessionModel.familiarity) SessionModel.familiarity = text
        Layout.fillWidth: true
        Layout.preferredHeight: 80
    }
    DesignLabel {
        text: "This changes what appears prominently. Complete explanations remain available. You can add documents and enable private learning later in Setup."
        font.pixelSize: DesignSystem.smallSize
        color: DesignSystem.muted
        lineHeight: 1.15
        Layout.fillWidth: true
    }
    DesignButton {
        text: "Continue"
        variant: "primary"
        enabled: OnboardingPresentation.canContinue
        onClicked: OnboardingPresentation.continueToAudio()
        Layout.alignment: Qt.AlignRight
        Layout.topMargin: DesignSystem.gap
    }
}

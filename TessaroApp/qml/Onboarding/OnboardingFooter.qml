import QtQuick
import QtQuick.Layouts
import Corvana

// The first-run footer: privacy, help and back.
Rectangle {
    implicitHeight: 52
    color: "transparent"
    Rectangle {
        width: parent.width
        height: 1
        color: DesignSystem.line
    }
    RowLayout {
        anchors.fill: parent
        anchors.leftMargin: DesignSystem.margin
        anchors.rightMargin: DesignSystem.margin
        spacing: DesignSystem.gap
        DesignButton {
            visible: OnboardingPresentation.showPrivacy
            text: "Privacy"
            variant: "quiet"
            compact: true
            onClicked: Qt.openUrlExternally(OnboardingPresentation.privacyURL)
        }
        DesignButton {
            visible: OnboardingPresentation.showHelp
            text: "Help"
            variant: "quiet"
            compact: true
            onClicked: Qt.openUrlExternally(OnboardingPresentation.helpURL)
        }
        Item { Layout.fillWidth: true }
        DesignButton {
            visible: OnboardingPresentation.showBack
            text: "Back"
            onClicked: OnboardingPresentation.back()
        }
    }
}

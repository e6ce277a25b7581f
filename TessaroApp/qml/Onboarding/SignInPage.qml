import QtQuick
import QtQuick.Layouts
import Corvana

// The first-run page that signs in: by email and code, or, with no service configured,
// through a development connection.
ColumnLayout {
    objectName: "signInPage"
    spacing: DesignSystem.gutter
    Layout.fillWidth: true

    SectionHeader { text: "WELCOME" }
    DesignLabel {
        text: "Sign in with your invited email address. No password to remember. Your allowance follows your account."
        font.pixelSize: DesignSystem.leadSize
        lineHeight: 1.2
        Layout.fillWidth: true
        Layout.bottomMargin: DesignSystem.gap
    }

    // Email step.
    RowLayout {
        visible: OnboardingPresentation.serviceAvailable && !OnboardingPresentation.showCodeStep
        spacing: DesignSystem.gap
        Layout.fillWidth: true
        DesignField {
            objectName: "signInEmailField"
            placeholderText: "Email address"
            Accessible.name: "Sign-in email address"
            inputMethodHints: Qt.ImhEmailCharactersOnly | Qt.ImhNoAutoUppercase
            text: SessionModel.signInEmail
            enabled: OnboardingPresentation.canEditSignIn
            onTextEdited: SessionModel.signInEmail = text
            onAccepted: OnboardingPresentation.requestSignIn()
            Layout.fillWidth: true
        }
        DesignButton {
            text: "Send sign-in code"
            variant: "primary"
            enabled: OnboardingPresentation.canSendCode
            onClicked: OnboardingPresentation.requestSignIn()
        }
    }

    // Code step.
    ColumnLayout {
        visible: OnboardingPresentation.serviceAvailable && OnboardingPresentation.showCodeStep
        spacing: DesignSystem.gap
        Layout.fillWidth: true

        Rectangle {
            objectName: "simulatedCode"
            visible: OnboardingPresentation.simulatedCodeLine.length > 0
            Layout.fillWidth: true
            implicitHeight: simulatedLine.implicitHeight + 16
            radius: DesignSystem.smallRadius + 1
            color: DesignSystem.cautionSoft
            // A test tube: the code comes from a simulated service.
            Canvas {
                id: testTube
                x: 10
                anchors.verticalCenter: parent.verticalCenter
                width: 16
                height: 16
                antialiasing: true
                property color ink: DesignSystem.caution
                onInkChanged: requestPaint()
                onPaint: {
                    const ctx = getContext("2d")
                    ctx.reset()
                    ctx.strokeStyle = ink
                    ctx.fillStyle = ink
                    ctx.lineWidth = 1.5
                    ctx.lineCap = "round"
                    ctx.lineJoin = "round"
                    ctx.beginPath()
                    ctx.moveTo(4, 1.8); ctx.lineTo(12, 1.8)
                    ctx.moveTo(5.5, 1.8); ctx.lineTo(5.5, 11.5)
                    ctx.arc(8, 11.5, 2.5, Math.PI, 0, true)
                    ctx.lineTo(10.5, 1.8)
                    ctx.stroke()
                    ctx.beginPath()
                    ctx.moveTo(5.5, 8.5); ctx.lineTo(10.5, 8.5); ctx.lineTo(10.5, 11.5)
                    ctx.arc(8, 11.5, 2.5, 0, Math.PI, false)
                    ctx.closePath()
                    ctx.fill()
                }
            }
            DesignLabel {
                id: simulatedLine
                anchors.left: testTube.right
                anchors.leftMargin: 8
                anchors.right: parent.right
                anchors.rightMargin: 10
                anchors.verticalCenter: parent.verticalCenter
                text: OnboardingPresentation.simulatedCodeLine
                font.pixelSize: DesignSystem.smallSize + 1
                font.weight: Font.Medium
                color: DesignSystem.caution
            }
        }

        RowLayout {
            spacing: DesignSystem.gap
            Layout.fillWidth: true
            DesignField {
                objectName: "signInCodeField"
                placeholderText: "8-digit code"
                Accessible.name: "Email sign-in code"
                inputMethodHints: Qt.ImhDigitsOnly
                font.letterSpacing: 1
                text: SessionModel.signInCode
                enabled: OnboardingPresentation.canEditSignIn
                onTextEdited: SessionModel.signInCode = text
                onAccepted: OnboardingPresentation.completeSignIn()
                Layout.fillWidth: true
            }
            DesignButton {
                text: "Sign in"
                variant: "primary"
                enabled: OnboardingPresentation.canSignIn
                onClicked: OnboardingPresentation.completeSignIn()
            }
        }
        DesignButton {
            text: "Use another email / resend"
            variant: "quiet"
            compact: true
            leftPadding: 0
            enabled: OnboardingPresentation.canEditSignIn
            onClicked: OnboardingPresentation.restartSignIn()
        }
    }

    DesignSwitch {
        objectName: "recoverySwitch"
        visible: OnboardingPresentation.serviceAvailable
        text: "Recover account and sign out other devices"
        checked: SessionModel.recoveringAccount
        enabled: OnboardingPresentation.canEditSignIn
        onToggled: {
            SessionModel.recoveringAccount = checked
            checked = Qt.binding(() => SessionModel.recoveringAccount)
        }
        Layout.fillWidth: true
        Layout.topMargin: DesignSystem.unit
    }
    DesignLabel {
        visible: OnboardingPresentation.showRecoveryWarning && OnboardingPresentation.serviceAvailable
        text: "After you verify this code, all other devices will lose access and their active sessions will stop."
        font.pixelSize: DesignSystem.smallSize
        color: DesignSystem.warning
        Layout.fillWidth: true
    }

    // No service configured: only a development connection.
    ColumnLayout {
        objectName: "noService"
        visible: !OnboardingPresentation.serviceAvailable
        spacing: DesignSystem.gutter
        Layout.fillWidth: true
        DesignLabel {
            text: "This development build has no beta service configured. Use the free development launcher, or install a configured beta release."
            color: DesignSystem.muted
            lineHeight: 1.15
            Layout.fillWidth: true
        }
        DesignLabel {
            text: "Or run Corvana’s service on this computer: speech is recognised offline, and answers come from your own reference documents."
            color: DesignSystem.muted
            lineHeight: 1.15
            Layout.fillWidth: true
        }
        Flow {
            spacing: DesignSystem.gap
            Layout.fillWidth: true
            DesignButton {
                text: "Use the local service"
                variant: "primary"
                enabled: !SessionModel.signingIn
                onClicked: SessionModel.requestLocalService(false)
            }
            DesignButton {
                text: "Use the local simulated sample"
                enabled: !SessionModel.signingIn
                onClicked: SessionModel.requestLocalService(true)
            }
            DesignButton {
                text: "Development connection…"
                onClicked: TessaroApp.openWindow("connection")
            }
        }
    }

    RowLayout {
        visible: SessionModel.signingIn || OnboardingPresentation.signInStatus.length > 0
        spacing: DesignSystem.gap
        Layout.fillWidth: true
        Spinner {
            visible: SessionModel.signingIn
            Layout.alignment: Qt.AlignTop
            Layout.topMargin: 2
        }
        DesignLabel {
            objectName: "signInStatus"
            text: OnboardingPresentation.signInStatus
            font.pixelSize: DesignSystem.smallSize + 1
            color: DesignSystem.muted
            Layout.fillWidth: true
        }
    }

    Rectangle {
        Layout.fillWidth: true
        Layout.topMargin: DesignSystem.gap
        implicitHeight: 1
        color: DesignSystem.line
    }
    DesignLabel {
        text: "Already have an account? The same email restores access on a new computer. Signing in doesn’t add credits or start a subscription."
        font.pixelSize: DesignSystem.smallSize
        color: DesignSystem.muted
        lineHeight: 1.15
        Layout.fillWidth: true
    }
}

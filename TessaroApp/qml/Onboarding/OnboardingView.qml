import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Corvana

// First run: the brand column with the three pages on the left, the current page
// (sign-in, domain, audio) on the right and the footer below it. What shows when comes
// from onboardingPresentation; the fields write the model's values directly.
Item {
    id: view

    readonly property var screenState: onboardingPresentation
    readonly property int page: screenState.page

    RowLayout {
        anchors.fill: parent
        spacing: 0

        // Brand column.
        Rectangle {
            objectName: "onboardingBrand"
            Layout.fillHeight: true
            Layout.preferredWidth: Math.round(Math.max(348, view.width * 0.34))
            color: DesignSystem.surface

            Rectangle {
                anchors.right: parent.right
                width: 1
                height: parent.height
                color: DesignSystem.line
            }

            ColumnLayout {
                anchors.fill: parent
                anchors.leftMargin: 40
                anchors.rightMargin: 24
                anchors.topMargin: 56
                anchors.bottomMargin: 40
                spacing: DesignSystem.pad

                BrandMark { size: 52 }
                DesignLabel {
                    text: "Expertise,\nwithin reach."
                    font.pixelSize: DesignSystem.headlineSize + 6
                    font.weight: Font.DemiBold
                    lineHeight: 1.05
                    Layout.fillWidth: true
                    Layout.topMargin: DesignSystem.gap
                }
                DesignLabel {
                    text: "Your domain. The conversation.\nThe answer, ready when you need it."
                    font.pixelSize: DesignSystem.bodySize
                    color: DesignSystem.muted
                    lineHeight: 1.2
                    Layout.fillWidth: true
                }

                ColumnLayout {
                    objectName: "onboardingPages"
                    spacing: DesignSystem.gutter
                    Layout.fillWidth: true
                    Layout.topMargin: DesignSystem.margin + 8

                    Repeater {
                        model: view.screenState.pageRows
                        delegate: RowLayout {
                            id: pageRow
                            required property string title
                            required property bool passed
                            required property bool current
                            spacing: DesignSystem.gutter
                            Layout.fillWidth: true
                            Accessible.role: Accessible.ListItem
                            Accessible.name: pageRow.title
                            Accessible.description: pageRow.passed ? "Done" : pageRow.current ? "Current page" : "Next"

                            // A filled check once passed, a filled circle otherwise.
                            Rectangle {
                                implicitWidth: 20
                                implicitHeight: 20
                                radius: 10
                                color: pageRow.passed || pageRow.current ? DesignSystem.accent : DesignSystem.line
                                Canvas {
                                    anchors.fill: parent
                                    visible: pageRow.passed
                                    antialiasing: true
                                    property color ink: DesignSystem.accentInk
                                    onInkChanged: requestPaint()
                                    onPaint: {
                                        const ctx = getContext("2d")
                                        ctx.reset()
                                        ctx.strokeStyle = ink
                                        ctx.lineWidth = 2
                                        ctx.lineCap = "round"
                                        ctx.lineJoin = "round"
                                        ctx.beginPath()
                                        ctx.moveTo(5.5, 10.5)
                                        ctx.lineTo(8.6, 13.4)
                                        ctx.lineTo(14.5, 7)
                                        ctx.stroke()
                                    }
                                }
                            }
                            DesignLabel {
                                text: pageRow.title
                                font.weight: pageRow.current ? Font.DemiBold : Font.Normal
                                color: pageRow.current ? DesignSystem.ink : DesignSystem.muted
                                Accessible.ignored: true
                                Layout.fillWidth: true
                            }
                        }
                    }
                }

                Item { Layout.fillHeight: true }
            }
        }

        // The current page and the footer.
        ColumnLayout {
            Layout.fillWidth: true
            Layout.fillHeight: true
            spacing: 0

            ScrollView {
                id: scroller
                Layout.fillWidth: true
                Layout.fillHeight: true
                contentWidth: availableWidth
                clip: true

                Item {
                    width: scroller.availableWidth
                    implicitHeight: pages.implicitHeight + 56 + DesignSystem.margin * 2

                    ColumnLayout {
                        id: pages
                        x: Math.max(DesignSystem.margin * 2, (parent.width - width) / 2)
                        y: 56
                        width: Math.min(parent.width - DesignSystem.margin * 4, 520)
                        spacing: 0

                        // Page 0: sign-in.
                        ColumnLayout {
                            objectName: "signInPage"
                            visible: view.page === 0
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
                                visible: view.screenState.serviceAvailable && !view.screenState.showCodeStep
                                spacing: DesignSystem.gap
                                Layout.fillWidth: true
                                DesignField {
                                    objectName: "signInEmailField"
                                    placeholderText: "Email address"
                                    Accessible.name: "Sign-in email address"
                                    inputMethodHints: Qt.ImhEmailCharactersOnly | Qt.ImhNoAutoUppercase
                                    text: session.signInEmail
                                    enabled: view.screenState.canEditSignIn
                                    onTextEdited: session.signInEmail = text
                                    onAccepted: view.screenState.requestSignIn()
                                    Layout.fillWidth: true
                                }
                                DesignButton {
                                    text: "Send sign-in code"
                                    variant: "primary"
                                    enabled: view.screenState.canSendCode
                                    onClicked: view.screenState.requestSignIn()
                                }
                            }

                            // Code step.
                            ColumnLayout {
                                visible: view.screenState.serviceAvailable && view.screenState.showCodeStep
                                spacing: DesignSystem.gap
                                Layout.fillWidth: true

                                Rectangle {
                                    objectName: "simulatedCode"
                                    visible: view.screenState.simulatedCodeLine.length > 0
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
                                        text: view.screenState.simulatedCodeLine
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
                                        text: session.signInCode
                                        enabled: view.screenState.canEditSignIn
                                        onTextEdited: session.signInCode = text
                                        onAccepted: view.screenState.completeSignIn()
                                        Layout.fillWidth: true
                                    }
                                    DesignButton {
                                        text: "Sign in"
                                        variant: "primary"
                                        enabled: view.screenState.canSignIn
                                        onClicked: view.screenState.completeSignIn()
                                    }
                                }
                                DesignButton {
                                    text: "Use another email / resend"
                                    variant: "quiet"
                                    compact: true
                                    leftPadding: 0
                                    enabled: view.screenState.canEditSignIn
                                    onClicked: view.screenState.restartSignIn()
                                }
                            }

                            DesignSwitch {
                                objectName: "recoverySwitch"
                                visible: view.screenState.serviceAvailable
                                text: "Recover account and sign out other devices"
                                checked: session.recoveringAccount
                                enabled: view.screenState.canEditSignIn
                                onToggled: {
                                    session.recoveringAccount = checked
                                    checked = Qt.binding(() => session.recoveringAccount)
                                }
                                Layout.fillWidth: true
                                Layout.topMargin: DesignSystem.unit
                            }
                            DesignLabel {
                                visible: view.screenState.showRecoveryWarning && view.screenState.serviceAvailable
                                text: "After you verify this code, all other devices will lose access and their active sessions will stop."
                                font.pixelSize: DesignSystem.smallSize
                                color: DesignSystem.warning
                                Layout.fillWidth: true
                            }

                            // No service configured: only a development connection.
                            ColumnLayout {
                                objectName: "noService"
                                visible: !view.screenState.serviceAvailable
                                spacing: DesignSystem.gutter
                                Layout.fillWidth: true
                                DesignLabel {
                                    text: "This development build has no beta service configured. Use the free development launcher, or install a configured beta release."
                                    color: DesignSystem.muted
                                    lineHeight: 1.15
                                    Layout.fillWidth: true
                                }
                                DesignButton {
                                    text: "Development connection…"
                                    onClicked: app.openWindow("settings")
                                }
                            }

                            RowLayout {
                                visible: session.signingIn || view.screenState.signInStatus.length > 0
                                spacing: DesignSystem.gap
                                Layout.fillWidth: true
                                Spinner {
                                    visible: session.signingIn
                                    Layout.alignment: Qt.AlignTop
                                    Layout.topMargin: 2
                                }
                                DesignLabel {
                                    objectName: "signInStatus"
                                    text: view.screenState.signInStatus
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

                        // Page 1: domain.
                        ColumnLayout {
                            objectName: "domainPage"
                            visible: view.page === 1
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
                                text: session.domainName
                                onTextEdited: session.domainName = text
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
                                text: session.domain
                                onTextChanged: if (text !== session.domain) session.domain = text
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
                                text: session.familiarity
                                onTextChanged: if (text !== session.familiarity) session.familiarity = text
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
                                enabled: view.screenState.canContinue
                                onClicked: view.screenState.continueToAudio()
                                Layout.alignment: Qt.AlignRight
                                Layout.topMargin: DesignSystem.gap
                            }
                        }

                        // Page 2: audio.
                        ColumnLayout {
                            objectName: "audioPage"
                            visible: view.page === 2
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
                                    model: view.screenState.audioChoices
                                    textRole: "label"
                                    valueRole: "value"
                                    currentIndex: view.screenState.audioChoiceIndex
                                    Accessible.name: "Audio source"
                                    Accessible.description: displayText
                                    onActivated: session.source = currentValue
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
                                visible: view.screenState.allowanceLine.length > 0
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
                                    text: view.screenState.allowanceLine
                                    font.weight: Font.Medium
                                    Layout.fillWidth: true
                                }
                            }
                            DesignLabel {
                                objectName: "fundingNote"
                                visible: view.screenState.showFundingNote
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
                                    enabled: view.screenState.canFinish
                                    onClicked: view.screenState.finish()
                                }
                            }
                        }
                    }
                }
            }

            // Footer.
            Rectangle {
                Layout.fillWidth: true
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
                        visible: view.screenState.showPrivacy
                        text: "Privacy"
                        variant: "quiet"
                        compact: true
                        onClicked: Qt.openUrlExternally(view.screenState.privacyURL)
                    }
                    DesignButton {
                        visible: view.screenState.showHelp
                        text: "Help"
                        variant: "quiet"
                        compact: true
                        onClicked: Qt.openUrlExternally(view.screenState.helpURL)
                    }
                    Item { Layout.fillWidth: true }
                    DesignButton {
                        visible: view.screenState.showBack
                        text: "Back"
                        onClicked: view.screenState.back()
                    }
                }
            }
        }
    }
}

import QtQuick
import QtQuick.Layouts
import Corvana

// The account panel: who is signed in, the devices with access, and signing out (after
// a confirmation). The device list is fetched again each time the panel is shown.
Rectangle {
    id: panel
    objectName: "accountAccess"

    // Shows the sign-out confirmation.
    property bool signingOut: false

    implicitWidth: 480
    implicitHeight: column.implicitHeight + 2 * DesignSystem.pad
    radius: DesignSystem.radius
    color: DesignSystem.surface
    border.width: 1
    border.color: DesignSystem.line

    // Each showing runs one refresh.
    property bool wasShown: false
    function refreshWhenShown() {
        const shown = panel.visible && panel.Window.window !== null && panel.Window.window.visible
        if (shown && !wasShown)
            OnboardingPresentation.refreshDevices()
        wasShown = shown
    }
    Component.onCompleted: refreshWhenShown()
    onVisibleChanged: refreshWhenShown()
    Connections {
        target: panel.Window.window
        function onVisibleChanged() { panel.refreshWhenShown() }
    }

    ColumnLayout {
        id: column
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: parent.top
        anchors.margins: DesignSystem.pad
        spacing: DesignSystem.gap

        SectionHeader {
            text: "YOUR ACCOUNT"
            Layout.fillWidth: true
        }
        DesignLabel {
            visible: text.length > 0
            text: OnboardingPresentation.signedOutNote
            Layout.fillWidth: true
        }
        DesignLabel {
            objectName: "simulatedAccountNote"
            visible: text.length > 0
            text: OnboardingPresentation.simulatedNote
            font.pixelSize: DesignSystem.smallSize + 1
            font.weight: Font.Medium
            color: DesignSystem.caution
            Layout.fillWidth: true
        }

        ColumnLayout {
            objectName: "deviceList"
            visible: OnboardingPresentation.deviceRows.count > 0
            spacing: 0
            Layout.fillWidth: true
            Layout.topMargin: DesignSystem.unit

            Repeater {
                model: OnboardingPresentation.deviceRows
                delegate: Rectangle {
                    id: row
                    required property int index
                    required property string key
                    required property string name
                    required property bool current

                    Layout.fillWidth: true
                    implicitHeight: 44
                    color: "transparent"
                    Accessible.role: Accessible.ListItem
                    Accessible.name: name
                    Accessible.description: current ? "this computer" : ""

                    Rectangle {
                        visible: row.index > 0
                        width: parent.width
                        height: 1
                        color: DesignSystem.line
                    }
                    RowLayout {
                        anchors.fill: parent
                        spacing: DesignSystem.gap

                        // A computer.
                        Canvas {
                            implicitWidth: 18
                            implicitHeight: 18
                            antialiasing: true
                            property color ink: DesignSystem.muted
                            onInkChanged: requestPaint()
                            onPaint: {
                                const ctx = getContext("2d")
                                ctx.reset()
                                ctx.strokeStyle = ink
                                ctx.lineWidth = 1.5
                                ctx.lineCap = "round"
                                ctx.lineJoin = "round"
                                ctx.beginPath()
                                ctx.rect(3, 3.5, 12, 8.5)
                                ctx.moveTo(1.5, 15); ctx.lineTo(16.5, 15)
                                ctx.stroke()
                            }
                        }
                        DesignLabel {
                            text: row.name
                            wrapMode: Text.NoWrap
                            elide: Text.ElideRight
                            Layout.fillWidth: true
                        }
                        Badge {
                            visible: row.current
                            text: "this computer"
                            tone: "accent"
                        }
                        DesignButton {
                            text: "Remove access"
                            compact: true
                            Accessible.description: row.name
                            onClicked: OnboardingPresentation.removeDevice(row.key)
                        }
                    }
                }
            }
        }

        DesignButton {
            text: "Refresh devices"
            iconKind: "refresh"
            compact: true
            onClicked: OnboardingPresentation.refreshDevices()
        }

        DesignLabel {
            text: "Device access is saved in your keyring. Signing out ends this computer’s session and clears conversation memory; your imported library stays on this computer."
            font.pixelSize: DesignSystem.smallSize
            color: DesignSystem.muted
            lineHeight: 1.15
            Layout.fillWidth: true
            Layout.topMargin: DesignSystem.unit
        }

        DesignButton {
            visible: !panel.signingOut
            text: "Sign out"
            onClicked: panel.signingOut = true
        }

        Rectangle {
            objectName: "signOutConfirmation"
            visible: panel.signingOut
            Layout.fillWidth: true
            implicitHeight: confirmation.implicitHeight + 2 * DesignSystem.gutter
            radius: DesignSystem.smallRadius + 1
            color: DesignSystem.warningSoft
            border.width: 1
            border.color: DesignSystem.warningLine

            ColumnLayout {
                id: confirmation
                anchors.left: parent.left
                anchors.right: parent.right
                anchors.top: parent.top
                anchors.margins: DesignSystem.gutter
                spacing: DesignSystem.gap
                DesignLabel {
                    text: "Audio will stop and conversation memory will be cleared. Your local reference library and preferences remain."
                    font.pixelSize: DesignSystem.smallSize + 1
                    Layout.fillWidth: true
                }
                RowLayout {
                    spacing: DesignSystem.gap
                    Layout.fillWidth: true
                    Item { Layout.fillWidth: true }
                    DesignButton {
                        text: "Cancel"
                        compact: true
                        onClicked: panel.signingOut = false
                    }
                    DesignButton {
                        text: "Sign out"
                        variant: "danger"
                        compact: true
                        onClicked: {
                            panel.signingOut = false
                            OnboardingPresentation.signOut()
                        }
                    }
                }
            }
        }

        DesignLabel {
            objectName: "accountMessage"
            visible: text.length > 0
            text: OnboardingPresentation.accountMessageText
            font.pixelSize: DesignSystem.smallSize + 1
            color: DesignSystem.warning
            Layout.fillWidth: true
        }
    }
}

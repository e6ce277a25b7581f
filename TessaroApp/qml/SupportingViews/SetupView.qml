import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Corvana

// The setup window: the account, the saved domain, the session limits and appearance,
// the domain's reference library and private learning, and (in development builds) the
// service connection. The form edits copies taken from the model each time the window
// opens; "Save preferences" validates and stores them.
ScrollView {
    id: view

    // The form's edit copies.
    property string name: ""
    property string domain: ""
    property string familiarity: ""
    property string budget: ""
    property string serviceURL: ""
    property string token: ""
    property bool connectionExpanded: false

    function copyFromModel() {
        name = session.domainName
        domain = session.domain
        familiarity = session.familiarity
        budget = session.budget
    }
    function reload() {
        copyFromModel()
        serviceURL = session.serviceURL
        token = ""
        setupPresentation.clearMessage()
    }
    Component.onCompleted: reload()
    Connections {
        target: view.Window.window
        function onVisibleChanged() {
            if (view.Window.window.visible)
                view.reload()
        }
    }

    contentWidth: availableWidth
    clip: true

    ColumnLayout {
        width: view.availableWidth
        spacing: DesignSystem.pad

        // Header.
        RowLayout {
            Layout.fillWidth: true
            Layout.topMargin: DesignSystem.margin + 4
            Layout.leftMargin: DesignSystem.margin + 4
            Layout.rightMargin: DesignSystem.margin + 4
            spacing: DesignSystem.gutter
            BrandMark {
                size: 40
                Accessible.ignored: true
            }
            ColumnLayout {
                spacing: 2
                Layout.fillWidth: true
                DesignLabel {
                    text: "Corvana setup"
                    font.pixelSize: DesignSystem.titleSize
                    font.weight: Font.DemiBold
                    Layout.fillWidth: true
                }
                DesignLabel {
                    text: "Expertise, within reach."
                    color: DesignSystem.muted
                    Layout.fillWidth: true
                }
            }
        }

        AccountAccessView {
            Layout.fillWidth: true
            Layout.leftMargin: DesignSystem.margin
            Layout.rightMargin: DesignSystem.margin
        }

        DesignLabel {
            objectName: "setupLocked"
            text: setupPresentation.lockedNote
            visible: text.length > 0
            color: DesignSystem.caution
            font.weight: Font.Medium
            Layout.fillWidth: true
            Layout.leftMargin: DesignSystem.margin + 4
            Layout.rightMargin: DesignSystem.margin + 4
        }

        // YOUR DOMAIN.
        Rectangle {
            objectName: "domainGroup"
            Layout.fillWidth: true
            Layout.leftMargin: DesignSystem.margin
            Layout.rightMargin: DesignSystem.margin
            implicitHeight: domainGroup.implicitHeight + 2 * DesignSystem.pad
            radius: DesignSystem.radius
            color: DesignSystem.surface
            border.width: 1
            border.color: DesignSystem.line

            ColumnLayout {
                id: domainGroup
                anchors.left: parent.left
                anchors.right: parent.right
                anchors.top: parent.top
                anchors.margins: DesignSystem.pad
                spacing: DesignSystem.gap
                enabled: !setupPresentation.locked

                SectionHeader { text: "YOUR DOMAIN" }
                DesignLabel { text: "Name"; font.pixelSize: DesignSystem.smallSize; color: DesignSystem.muted }
                DesignField {
                    Layout.fillWidth: true
                    placeholderText: "For example, ML & AI"
                    Accessible.name: "Domain name"
                    text: view.name
                    onTextEdited: view.name = text
                }
                DesignLabel { text: "What should Corvana know about?"; font.pixelSize: DesignSystem.smallSize; color: DesignSystem.muted }
                DesignTextArea {
                    Layout.fillWidth: true
                    Layout.preferredHeight: 84
                    Accessible.name: "What should Corvana know about?"
                    text: view.domain
                    onTextChanged: if (text !== view.domain) view.domain = text
                }
                DesignLabel { text: "What you already know"; font.pixelSize: DesignSystem.smallSize; color: DesignSystem.muted }
                DesignTextArea {
                    Layout.fillWidth: true
                    Layout.preferredHeight: 64
                    Accessible.name: "What do you already know? (Optional)"
                    text: view.familiarity
                    onTextChanged: if (text !== view.familiarity) view.familiarity = text
                }
                DesignLabel {
                    Layout.fillWidth: true
                    text: "Familiarity changes prominence. Complete explanations remain available. Your setup is saved for future sessions."
                    font.pixelSize: DesignSystem.smallSize
                    color: DesignSystem.muted
                }
            }
        }

        // SESSION & APPEARANCE.
        Rectangle {
            Layout.fillWidth: true
            Layout.leftMargin: DesignSystem.margin
            Layout.rightMargin: DesignSystem.margin
            implicitHeight: sessionGroup.implicitHeight + 2 * DesignSystem.pad
            radius: DesignSystem.radius
            color: DesignSystem.surface
            border.width: 1
            border.color: DesignSystem.line

            GridLayout {
                id: sessionGroup
                anchors.left: parent.left
                anchors.right: parent.right
                anchors.top: parent.top
                anchors.margins: DesignSystem.pad
                columns: 2
                columnSpacing: DesignSystem.gutter
                rowSpacing: DesignSystem.gap
                enabled: !setupPresentation.locked

                SectionHeader { text: "SESSION & APPEARANCE"; Layout.columnSpan: 2 }

                DesignLabel { text: "Maximum spend per session (USD)"; Layout.fillWidth: true }
                DesignField {
                    Layout.preferredWidth: 150
                    placeholderText: "1.00"
                    Accessible.name: "Maximum session spend in US dollars"
                    text: view.budget
                    inputMethodHints: Qt.ImhFormattedNumbersOnly
                    onTextEdited: view.budget = text
                }

                DesignLabel { text: "Maximum connection length"; Layout.fillWidth: true }
                DesignPicker {
                    Layout.preferredWidth: 150
                    textRole: "label"
                    valueRole: "value"
                    model: setupPresentation.durationChoices
                    currentIndex: count > 0 ? indexOfValue(session.durationMinutes) : -1
                    displayText: setupPresentation.durationText
                    Accessible.name: "Maximum connection length"
                    Accessible.description: displayText
                    onActivated: session.durationMinutes = currentValue
                }

                DesignLabel {
                    Layout.columnSpan: 2
                    Layout.fillWidth: true
                    text: "Resuming keeps this conversation’s remaining spend limit. Audio stays off after sleep or a connection interruption until you resume."
                    font.pixelSize: DesignSystem.smallSize
                    color: DesignSystem.muted
                }

                DesignLabel { text: "Appearance"; Layout.fillWidth: true }
                DesignPicker {
                    objectName: "appearancePicker"
                    Layout.preferredWidth: 150
                    textRole: "label"
                    valueRole: "value"
                    model: setupPresentation.appearanceChoices
                    currentIndex: count > 0 ? indexOfValue(app.appearance) : -1
                    Accessible.name: "Appearance"
                    Accessible.description: displayText
                    onActivated: app.appearance = currentValue
                }

                DesignLabel {
                    objectName: "shortcutLine"
                    Layout.columnSpan: 2
                    Layout.fillWidth: true
                    text: delegate.shortcutLine
                    font.pixelSize: DesignSystem.smallSize
                    color: DesignSystem.muted
                }
            }
        }

        // Reference documents and private learning.
        DomainKnowledgeSection {
            Layout.fillWidth: true
            Layout.leftMargin: DesignSystem.margin
            Layout.rightMargin: DesignSystem.margin
        }

        // Service connection.
        Rectangle {
            visible: setupPresentation.offersServiceConnection
            Layout.fillWidth: true
            Layout.leftMargin: DesignSystem.margin
            Layout.rightMargin: DesignSystem.margin
            implicitHeight: connectionGroup.implicitHeight + 2 * DesignSystem.pad
            radius: DesignSystem.radius
            color: DesignSystem.surface
            border.width: 1
            border.color: DesignSystem.line

            ColumnLayout {
                id: connectionGroup
                anchors.left: parent.left
                anchors.right: parent.right
                anchors.top: parent.top
                anchors.margins: DesignSystem.pad
                spacing: DesignSystem.gap

                RowLayout {
                    Layout.fillWidth: true
                    spacing: DesignSystem.gap
                    DesignButton {
                        objectName: "serviceConnection"
                        text: "Service connection"
                        variant: "quiet"
                        compact: true
                        iconKind: view.connectionExpanded ? "chevronDown" : "chevronRight"
                        leftPadding: 0
                        font.weight: Font.DemiBold
                        Accessible.checkable: true
                        Accessible.checked: view.connectionExpanded
                        onClicked: view.connectionExpanded = !view.connectionExpanded
                    }
                    Item { Layout.fillWidth: true }
                    Badge {
                        text: setupPresentation.connectionStatus
                        tone: text === "Not connected" ? "neutral" : text === "Simulated service" ? "caution" : "ready"
                    }
                }

                ColumnLayout {
                    visible: view.connectionExpanded
                    Layout.fillWidth: true
                    Layout.leftMargin: DesignSystem.gutter
                    spacing: DesignSystem.gap

                    DesignLabel {
                        text: "Connect this development app to your Corvana service."
                        font.pixelSize: DesignSystem.smallSize
                        color: DesignSystem.muted
                        Layout.fillWidth: true
                    }
                    DesignLabel { text: "Service URL"; font.pixelSize: DesignSystem.smallSize; color: DesignSystem.muted }
                    DesignField {
                        Layout.fillWidth: true
                        Accessible.name: "Service URL"
                        text: view.serviceURL
                        inputMethodHints: Qt.ImhUrlCharactersOnly | Qt.ImhNoAutoUppercase
                        onTextEdited: view.serviceURL = text
                    }
                    DesignLabel { text: "Device token"; font.pixelSize: DesignSystem.smallSize; color: DesignSystem.muted }
                    DesignField {
                        Layout.fillWidth: true
                        Accessible.name: "Device token"
                        echoMode: TextInput.Password
                        inputMethodHints: Qt.ImhSensitiveData | Qt.ImhNoPredictiveText
                        text: view.token
                        onTextEdited: view.token = text
                    }
                    RowLayout {
                        spacing: DesignSystem.gap
                        DesignButton {
                            text: "Connect & save"
                            compact: true
                            enabled: !setupPresentation.connecting
                            onClicked: setupPresentation.connect(view.serviceURL, view.token)
                        }
                        Spinner {
                            visible: setupPresentation.connecting
                            Layout.alignment: Qt.AlignVCenter
                        }
                    }
                    DesignLabel {
                        text: "The device token is saved in your keyring. Provider keys stay on the service."
                        font.pixelSize: DesignSystem.captionSize
                        color: DesignSystem.faint
                        Layout.fillWidth: true
                    }
                }
            }
        }

        // Save and the result line.
        RowLayout {
            Layout.fillWidth: true
            Layout.leftMargin: DesignSystem.margin
            Layout.rightMargin: DesignSystem.margin
            Layout.bottomMargin: DesignSystem.margin
            spacing: DesignSystem.gutter

            DesignLabel {
                objectName: "setupMessage"
                text: setupPresentation.message
                visible: text.length > 0
                color: setupPresentation.failed ? DesignSystem.warning : DesignSystem.ready
                font.weight: Font.Medium
                Layout.fillWidth: true
            }
            Item {
                visible: setupPresentation.message.length === 0
                Layout.fillWidth: true
            }
            DesignButton {
                text: "Save preferences"
                variant: "primary"
                enabled: !setupPresentation.locked
                Layout.alignment: Qt.AlignTop
                onClicked: {
                    const result = setupPresentation.save(view.name, view.domain, view.familiarity, view.budget)
                    if (!result.failed)
                        view.copyFromModel()
                }
            }
        }
    }
}

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
        name = SessionModel.domainName
        domain = SessionModel.domain
        familiarity = SessionModel.familiarity
        budget = SessionModel.budget
    }
    function reload() {
        copyFromModel()
        serviceURL = SessionModel.serviceURL
        token = ""
        SetupPresentation.clearMessage()
    }
    Component.onCompleted: reload()

    // Opens the connection group and puts the keyboard in its first field, scrolled into
    // view; the focus lands once the window is active (a window not yet shown drops it).
    property bool connectionFocusPending: false
    function showConnection() {
        connectionExpanded = true
        connectionFocusPending = true
        Qt.callLater(focusConnection) // qmllint disable type
    }
    function focusConnection() {
        focusFollower.reveal(serviceURLField)
        if (!connectionFocusPending || !view.Window.window || !view.Window.window.active)
            return
        connectionFocusPending = false
        serviceURLField.forceActiveFocus(Qt.OtherFocusReason)
    }
    Connections {
        target: view.Window.window
        function onVisibleChanged() {
            if (view.Window.window.visible)
                view.reload()
        }
        function onActiveChanged() {
            if (view.Window.window.active)
                Qt.callLater(view.focusConnection) // qmllint disable type
        }
    }

    contentWidth: availableWidth
    clip: true
    property FocusIntoView focusFollower: FocusIntoView { flickable: view.contentItem }
    // The keyboard scrolls it by moving the focus, which the view follows.
    focusPolicy: Qt.NoFocus
    ScrollBar.horizontal.policy: ScrollBar.AlwaysOff
    ScrollBar.vertical: DesignScrollBar {
        scrolls: "Scroll setup"
        parent: view
        x: view.mirrored ? 0 : view.width - width
        y: view.topPadding
        height: view.availableHeight
    }

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
            text: SetupPresentation.lockedNote
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
                enabled: !SetupPresentation.locked

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
                enabled: !SetupPresentation.locked

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
                    model: SetupPresentation.durationChoices
                    currentIndex: count > 0 ? indexOfValue(SessionModel.durationMinutes) : -1
                    displayText: SetupPresentation.durationText
                    Accessible.name: "Maximum connection length"
                    Accessible.description: displayText
                    onActivated: SessionModel.durationMinutes = currentValue
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
                    model: SetupPresentation.appearanceChoices
                    currentIndex: count > 0 ? indexOfValue(TessaroApp.appearance) : -1
                    Accessible.name: "Appearance"
                    Accessible.description: displayText
                    onActivated: TessaroApp.appearance = currentValue
                }

                DesignLabel {
                    objectName: "shortcutLine"
                    Layout.columnSpan: 2
                    Layout.fillWidth: true
                    text: AppDelegate.shortcutLine
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
            visible: SetupPresentation.offersServiceConnection
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
                        text: SetupPresentation.connectionStatus
                        tone: SetupPresentation.connectionTone
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
                        id: serviceURLField
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
                        // Qt 6.4 keeps a password field's name off the accessibility bus.
                        Accessible.description: "Device token"
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
                            enabled: !SetupPresentation.connecting
                            onClicked: SetupPresentation.connect(view.serviceURL, view.token)
                        }
                        Spinner {
                            visible: SetupPresentation.connecting
                            Layout.alignment: Qt.AlignVCenter
                        }
                    }
                    DesignLabel {
                        text: "The device token is saved in your keyring. Provider keys stay on the service."
                        font.pixelSize: DesignSystem.captionSize
                        color: DesignSystem.faint
                        Layout.fillWidth: true
                    }
                    DesignLabel {
                        text: "Or run Corvana’s service on this computer: speech is recognised offline, and answers come from your own reference documents."
                        font.pixelSize: DesignSystem.smallSize
                        color: DesignSystem.muted
                        Layout.fillWidth: true
                    }
                    Flow {
                        spacing: DesignSystem.gap
                        Layout.fillWidth: true
                        DesignButton {
                            text: "Use the local service"
                            compact: true
                            enabled: !SetupPresentation.connecting
                            onClicked: SetupPresentation.useLocalService(false)
                        }
                        DesignButton {
                            text: "Use the local simulated sample"
                            compact: true
                            enabled: !SetupPresentation.connecting
                            onClicked: SetupPresentation.useLocalService(true)
                        }
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
                text: SetupPresentation.message
                visible: text.length > 0
                // A new result is scrolled into view, wherever the action that gave it was.
                onTextChanged: if (SetupPresentation.message.length > 0) Qt.callLater(() => view.focusFollower.reveal(this))
                color: SetupPresentation.failed ? DesignSystem.warning : DesignSystem.ready
                font.weight: Font.Medium
                Layout.fillWidth: true
            }
            Item {
                visible: SetupPresentation.message.length === 0
                Layout.fillWidth: true
            }
            DesignButton {
                text: "Save preferences"
                variant: "primary"
                enabled: !SetupPresentation.locked
                Layout.alignment: Qt.AlignTop
                onClicked: {
                    const result = SetupPresentation.save(view.name, view.domain, view.familiarity, view.budget)
                    if (!result.failed)
                        view.copyFromModel()
                }
            }
        }
    }
}

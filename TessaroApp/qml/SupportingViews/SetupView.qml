import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Corvana

// The setup screen: the domain, the session limits and the appearance.
ScrollView {
    id: view

    contentWidth: availableWidth
    clip: true

    ColumnLayout {
        width: view.availableWidth
        spacing: DesignSystem.pad

        ColumnLayout {
            spacing: 2
            Layout.fillWidth: true
            Layout.topMargin: DesignSystem.margin + 4
            Layout.leftMargin: DesignSystem.margin + 4
            Layout.rightMargin: DesignSystem.margin + 4
            DesignLabel {
                text: "Corvana setup"
                font.pixelSize: DesignSystem.titleSize
                font.weight: Font.DemiBold
            }
            DesignLabel {
                text: "Expertise, within reach."
                color: DesignSystem.muted
            }
        }

        Rectangle {
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
                anchors.fill: parent
                anchors.margins: DesignSystem.pad
                spacing: DesignSystem.gap

                SectionHeader { text: "YOUR DOMAIN" }
                DesignLabel { text: "Name"; font.pixelSize: DesignSystem.smallSize; color: DesignSystem.muted }
                DesignField {
                    Layout.fillWidth: true
                    placeholderText: "For example, ML & AI"
                    Accessible.name: "Domain name"
                    text: session.domainName
                    enabled: !session.active
                    onTextEdited: session.domainName = text
                }
                DesignLabel { text: "What should Corvana know about?"; font.pixelSize: DesignSystem.smallSize; color: DesignSystem.muted }
                DesignTextArea {
                    Layout.fillWidth: true
                    Layout.preferredHeight: 84
                    Accessible.name: "What should Corvana know about?"
                    text: session.domain
                    enabled: !session.active
                    onTextChanged: if (text !== session.domain) session.domain = text
                }
                DesignLabel { text: "What you already know"; font.pixelSize: DesignSystem.smallSize; color: DesignSystem.muted }
                DesignTextArea {
                    Layout.fillWidth: true
                    Layout.preferredHeight: 64
                    Accessible.name: "What do you already know? (Optional)"
                    text: session.familiarity
                    enabled: !session.active
                    onTextChanged: if (text !== session.familiarity) session.familiarity = text
                }
                DesignLabel {
                    Layout.fillWidth: true
                    text: "Familiarity changes prominence. Complete explanations remain available. Your setup is saved for future sessions."
                    font.pixelSize: DesignSystem.smallSize
                    color: DesignSystem.muted
                }
            }
        }

        Rectangle {
            Layout.fillWidth: true
            Layout.leftMargin: DesignSystem.margin
            Layout.rightMargin: DesignSystem.margin
            Layout.bottomMargin: DesignSystem.margin
            implicitHeight: sessionGroup.implicitHeight + 2 * DesignSystem.pad
            radius: DesignSystem.radius
            color: DesignSystem.surface
            border.width: 1
            border.color: DesignSystem.line

            GridLayout {
                id: sessionGroup
                anchors.fill: parent
                anchors.margins: DesignSystem.pad
                columns: 2
                columnSpacing: DesignSystem.gutter
                rowSpacing: DesignSystem.gap

                SectionHeader { text: "SESSION & APPEARANCE"; Layout.columnSpan: 2 }

                DesignLabel { text: "Maximum spend per session (USD)"; Layout.fillWidth: true }
                DesignField {
                    Layout.preferredWidth: 150
                    placeholderText: "1.00"
                    Accessible.name: "Maximum session spend in US dollars"
                    text: session.budget
                    enabled: !session.active
                    inputMethodHints: Qt.ImhFormattedNumbersOnly
                    onTextEdited: session.budget = text
                }

                DesignLabel { text: "Maximum connection length"; Layout.fillWidth: true }
                DesignPicker {
                    Layout.preferredWidth: 150
                    model: session.durationChoices
                    suffix: " minutes"
                    enabled: !session.active
                    currentIndex: session.durationChoices.indexOf(session.durationMinutes)
                    displayText: session.durationMinutes + " minutes"
                    Accessible.name: "Maximum connection length"
                    onActivated: (index) => session.durationMinutes = session.durationChoices[index]
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
                    Layout.preferredWidth: 150
                    textRole: "label"
                    valueRole: "value"
                    model: [
                        { value: "system", label: "System" },
                        { value: "light", label: "Light" },
                        { value: "dark", label: "Dark" }
                    ]
                    currentIndex: count > 0 ? indexOfValue(app.appearance) : -1
                    Accessible.name: "Appearance"
                    onActivated: app.appearance = currentValue
                }
            }
        }
    }
}

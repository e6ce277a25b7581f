import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import QtQuick.Templates as T
import Corvana

// A sheet over the window with one imported document: its title, where it lives, and
// every passage in order with its location; the text can be selected and copied.
Popup {
    id: reader

    // The document shown: {found, title, passages: [{key, location, text}]}.
    property var document: ({ found: false, title: "", passages: [] })

    parent: T.Overlay.overlay
    anchors.centerIn: parent
    width: parent ? Math.min(parent.width - 2 * DesignSystem.margin, 620) : 520
    height: parent ? parent.height - 2 * DesignSystem.margin : 600
    modal: true
    focus: true
    padding: 0
    closePolicy: Popup.CloseOnEscape

    T.Overlay.modal: Rectangle {
        color: DesignSystem.dark ? "#99000000" : "#4d1c2024"
    }

    background: Rectangle {
        color: DesignSystem.surface
        radius: DesignSystem.radius + 4
        border.width: 1
        border.color: DesignSystem.line
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        RowLayout {
            Layout.fillWidth: true
            Layout.margins: DesignSystem.margin
            Layout.bottomMargin: DesignSystem.gutter
            spacing: DesignSystem.gutter

            ColumnLayout {
                Layout.fillWidth: true
                spacing: 2
                DesignLabel {
                    objectName: "readerTitle"
                    text: reader.document.title
                    font.pixelSize: DesignSystem.leadSize + 1
                    font.weight: Font.DemiBold
                    Layout.fillWidth: true
                }
                DesignLabel {
                    text: "Imported text · saved on this computer"
                    font.pixelSize: DesignSystem.smallSize
                    color: DesignSystem.muted
                    Layout.fillWidth: true
                }
            }
            DesignButton {
                text: "Done"
                variant: "primary"
                compact: true
                Layout.alignment: Qt.AlignTop
                onClicked: reader.close()
            }
        }

        Rectangle {
            Layout.fillWidth: true
            implicitHeight: 1
            color: DesignSystem.line
        }

        ScrollView {
            id: passages
            Layout.fillWidth: true
            Layout.fillHeight: true
            contentWidth: availableWidth
            clip: true
            property FocusIntoView focusFollower: FocusIntoView { flickable: passages.contentItem }
            // The keyboard scrolls it by moving the focus, which the view follows.
            focusPolicy: Qt.NoFocus
            ScrollBar.horizontal.policy: ScrollBar.AlwaysOff
            ScrollBar.vertical: DesignScrollBar {
                scrolls: "Scroll the document"
                parent: passages
                x: passages.mirrored ? 0 : passages.width - width
                y: passages.topPadding
                height: passages.availableHeight
            }

            ColumnLayout {
                width: passages.availableWidth
                spacing: DesignSystem.pad

                Item { implicitHeight: DesignSystem.gap }
                Repeater {
                    model: reader.document.passages
                    ColumnLayout {
                        id: passage
                        required property var modelData
                        Layout.fillWidth: true
                        Layout.leftMargin: DesignSystem.margin
                        Layout.rightMargin: DesignSystem.margin
                        spacing: 4
                        SectionHeader {
                            text: passage.modelData.location
                            visible: text.length > 0
                            Layout.fillWidth: true
                        }
                        TextEdit {
                            text: passage.modelData.text
                            readOnly: true
                            selectByMouse: true
                            wrapMode: TextEdit.Wrap
                            textFormat: TextEdit.PlainText
                            font.pixelSize: DesignSystem.bodySize
                            color: DesignSystem.ink
                            selectionColor: DesignSystem.accentSoft
                            selectedTextColor: DesignSystem.ink
                            Layout.fillWidth: true
                            Accessible.role: Accessible.StaticText
                            Accessible.name: text
                        }
                    }
                }
                Item { implicitHeight: DesignSystem.gap }
            }
        }
    }
}

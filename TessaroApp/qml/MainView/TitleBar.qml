import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Corvana

// The product name and status, the Simple/Full switch, the companion and setup buttons
// and the "More options" menu; in simulated mode the sample badge below.
Rectangle {
    id: bar

    signal showCompanion()

    implicitHeight: column.implicitHeight
    color: DesignSystem.surface

    // The result of an update check, shown when the check ends.
    Connections {
        target: typeof updates !== "undefined" ? updates : null
        function onMessageChanged() {
            if (updates.message.length > 0)
                updateMessage.open()
        }
    }

    ColumnLayout {
        id: column
        anchors.left: parent.left
        anchors.right: parent.right
        spacing: 0

        RowLayout {
            Layout.fillWidth: true
            Layout.leftMargin: DesignSystem.pad
            Layout.rightMargin: DesignSystem.pad
            Layout.topMargin: 8
            Layout.bottomMargin: 8
            spacing: DesignSystem.gutter

            BrandMark { size: 28 }
            ColumnLayout {
                spacing: 0
                Layout.fillWidth: true
                DesignLabel {
                    text: "Corvana"
                    font.pixelSize: DesignSystem.leadSize + 1
                    font.weight: Font.DemiBold
                    wrapMode: Text.NoWrap
                }
                DesignLabel {
                    objectName: "status"
                    text: session.status
                    font.pixelSize: DesignSystem.smallSize
                    color: DesignSystem.muted
                    wrapMode: Text.NoWrap
                    elide: Text.ElideRight
                    Layout.fillWidth: true
                }
            }

            SegmentedChoice {
                accessibleName: "Presentation"
                options: [{ value: "simple", label: "Simple" }, { value: "full", label: "Full" }]
                current: session.simple ? "simple" : "full"
                onChosen: (value) => session.simple = value === "simple"
            }
            DesignButton {
                text: "Companion"
                toolTipText: "Show the floating companion · Ctrl+Alt+Space"
                onClicked: bar.showCompanion()
            }
            DesignButton {
                text: "Setup"
                onClicked: app.openWindow("settings")
            }
            DesignButton {
                id: moreButton
                text: "More options"
                iconOnly: true
                iconKind: "more"
                toolTipText: "More options"
                onClicked: moreMenu.opened ? moreMenu.close() : moreMenu.popup(moreButton, moreButton.width - moreMenu.width, moreButton.height + 4)

                Menu {
                    id: moreMenu
                    objectName: "moreOptionsMenu"
                    x: moreButton.width - width
                    y: moreButton.height + 4
                    padding: 4
                    background: Rectangle {
                        implicitWidth: 220
                        color: DesignSystem.surface
                        radius: DesignSystem.radius
                        border.width: 1
                        border.color: DesignSystem.line
                    }
                    DesignMenuItem {
                        text: "About Corvana"
                        onTriggered: app.openWindow("about")
                    }
                    DesignMenuItem {
                        text: "Check for Updates…"
                        enabled: typeof updates !== "undefined" && updates !== null && updates.canCheck
                        onTriggered: updates.checkForUpdates()
                    }
                }
            }
        }

        Rectangle {
            visible: session.simulated
            Layout.fillWidth: true
            implicitHeight: 26
            color: DesignSystem.cautionSoft
            RowLayout {
                anchors.fill: parent
                anchors.leftMargin: DesignSystem.pad
                anchors.rightMargin: DesignSystem.pad
                Rectangle {
                    width: 6
                    height: 6
                    radius: 3
                    color: DesignSystem.caution
                }
                DesignLabel {
                    text: "Simulated sample · scripted answers and demo spending · no provider credits used"
                    font.pixelSize: DesignSystem.smallSize
                    font.weight: Font.Medium
                    color: DesignSystem.caution
                    elide: Text.ElideRight
                    wrapMode: Text.NoWrap
                    Layout.fillWidth: true
                }
            }
        }

        Rectangle {
            Layout.fillWidth: true
            implicitHeight: 1
            color: DesignSystem.line
        }
    }

    Popup {
        id: updateMessage
        x: bar.width - width - DesignSystem.pad
        y: bar.height + 6
        width: 320
        padding: DesignSystem.pad
        background: Rectangle {
            color: DesignSystem.surface
            radius: DesignSystem.radius
            border.width: 1
            border.color: DesignSystem.line
        }
        contentItem: Column {
            spacing: 6
            DesignLabel {
                width: 288
                text: typeof updates !== "undefined" && updates !== null ? updates.message : ""
            }
            DesignButton {
                visible: typeof updates !== "undefined" && updates !== null && updates.downloadURL.length > 0
                text: visible ? updates.downloadURL : ""
                variant: "quiet"
                compact: true
                leftPadding: 0
                onClicked: Qt.openUrlExternally(updates.downloadURL)
            }
        }
    }
}

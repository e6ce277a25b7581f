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
        target: AppUpdates
        function onMessageChanged() {
            if (AppUpdates.message.length > 0)
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
                    text: SessionModel.status
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
                current: SessionModel.simple ? "simple" : "full"
                onChosen: (value) => SessionModel.simple = value === "simple"
            }
            DesignButton {
                text: "Companion"
                toolTipText: "Show the floating companion · Ctrl+Alt+Space"
                onClicked: bar.showCompanion()
            }
            DesignButton {
                text: "Setup"
                onClicked: TessaroApp.openWindow("settings")
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
                        implicitWidth: 270
                        color: DesignSystem.surface
                        radius: DesignSystem.radius
                        border.width: 1
                        border.color: DesignSystem.line
                    }
                    // The commands that also have shortcuts, so they can be found and reached.
                    DesignMenuItem {
                        text: "Show companion"
                        shortcutText: "Ctrl+Alt+Space"
                        onTriggered: bar.showCompanion()
                    }
                    DesignMenuItem {
                        text: "Start listening"
                        shortcutText: "Ctrl+R"
                        enabled: SessionPresentation.canStart
                        onTriggered: SessionModel.requestStart(false, false)
                    }
                    DesignMenuItem {
                        text: "End session"
                        shortcutText: "Ctrl+."
                        enabled: SessionPresentation.canStop
                        onTriggered: SessionModel.requestStop()
                    }
                    DesignMenuItem {
                        text: "Deeper"
                        shortcutText: "Ctrl+Shift+D"
                        enabled: SessionPresentation.canDeeper
                        onTriggered: SessionModel.selectDetail("Deeper")
                    }
                    DesignMenuItem {
                        text: "I know that"
                        shortcutText: "Ctrl+Shift+K"
                        enabled: SessionPresentation.canHide
                        onTriggered: SessionModel.requestHide("known")
                    }
                    MenuSeparator {}
                    DesignMenuItem {
                        text: "About Corvana"
                        onTriggered: TessaroApp.openWindow("about")
                    }
                    DesignMenuItem {
                        text: "Check for Updates…"
                        enabled: AppUpdates.canCheck
                        onTriggered: AppUpdates.checkForUpdates()
                    }
                }
            }
        }

        Rectangle {
            visible: SessionModel.simulated
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
                text: AppUpdates.message
            }
            DesignButton {
                visible: AppUpdates.downloadURL.length > 0
                text: visible ? AppUpdates.downloadURL : ""
                variant: "quiet"
                compact: true
                leftPadding: 0
                onClicked: Qt.openUrlExternally(AppUpdates.downloadURL)
            }
        }
    }
}

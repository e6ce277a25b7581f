import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Corvana

// The range controls: which stretch of the conversation and which category to prepare
// from session memory, and the progress of that preparation.
Item {
    id: panel

    signal showBreakdown()

    ScrollView {
        id: scroller
        anchors.fill: parent
        contentWidth: availableWidth
        clip: true
        property FocusIntoView focusFollower: FocusIntoView { flickable: scroller.contentItem }
        // The keyboard scrolls it by moving the focus, which the view follows.
        focusPolicy: Qt.NoFocus
        // As a focus scope it holds the keyboard focus when the focused control is disabled
        // or hidden (Prepare range, Stop preparing while a range is prepared): say where.
        Accessible.name: "Time range"
        ScrollBar.horizontal.policy: ScrollBar.AlwaysOff
        ScrollBar.vertical: DesignScrollBar {
            scrolls: "Scroll the range"
            parent: scroller
            x: scroller.mirrored ? 0 : scroller.width - width
            y: scroller.topPadding
            height: scroller.availableHeight
        }

        ColumnLayout {
            width: scroller.availableWidth
            spacing: DesignSystem.gutter

            DesignLabel {
                text: "Session memory · hidden answers included"
                font.pixelSize: DesignSystem.smallSize
                color: DesignSystem.muted
                Layout.fillWidth: true
                Layout.leftMargin: DesignSystem.pad
                Layout.rightMargin: DesignSystem.pad
                Layout.topMargin: 4
            }

            ColumnLayout {
                Layout.fillWidth: true
                Layout.leftMargin: DesignSystem.pad
                Layout.rightMargin: DesignSystem.pad
                spacing: DesignSystem.gap + 2

                SegmentedChoice {
                    objectName: "categoryPicker"
                    accessibleName: "Category"
                    options: [
                        { value: "all", label: "All" },
                        { value: "term", label: "Terms" },
                        { value: "date", label: "Dates" }
                    ]
                    current: SessionModel.category
                    onChosen: (value) => SessionModel.category = value
                }

                DesignPicker {
                    objectName: "windowPicker"
                    Layout.fillWidth: true
                    textRole: "label"
                    valueRole: "value"
                    model: [
                        { value: "past", label: "Past only" },
                        { value: "continue", label: "Past + present" },
                        { value: "now", label: "Starting now" }
                    ]
                    currentIndex: count > 0 ? indexOfValue(SessionModel.windowMode === "past" || SessionModel.windowMode === "now" ? SessionModel.windowMode : "continue") : -1
                    onActivated: {
                        SessionModel.windowMode = currentValue
                        SessionModel.selectWindow()
                    }
                }

                RowLayout {
                    Layout.fillWidth: true
                    spacing: DesignSystem.gap
                    DesignLabel {
                        text: "Look back"
                        font.weight: Font.Medium
                        wrapMode: Text.NoWrap
                    }
                    Item { Layout.fillWidth: true }
                    DesignLabel {
                        objectName: "lookbackText"
                        text: SessionPresentation.lookbackText
                        color: DesignSystem.muted
                        wrapMode: Text.NoWrap
                    }
                }
                Slider {
                    id: lookback
                    Layout.fillWidth: true
                    from: 10
                    to: 600
                    stepSize: 10
                    value: SessionModel.lookback
                    Accessible.name: "Look back"
                    onMoved: SessionModel.lookback = value
                    background: Rectangle {
                        x: lookback.leftPadding
                        y: lookback.topPadding + lookback.availableHeight / 2 - height / 2
                        width: lookback.availableWidth
                        height: 4
                        radius: 2
                        color: DesignSystem.line
                        Rectangle {
                            width: lookback.visualPosition * parent.width
                            height: parent.height
                            radius: 2
                            color: DesignSystem.accent
                        }
                    }
                    handle: Rectangle {
                        x: lookback.leftPadding + lookback.visualPosition * (lookback.availableWidth - width)
                        y: lookback.topPadding + lookback.availableHeight / 2 - height / 2
                        width: 16
                        height: 16
                        radius: 8
                        color: DesignSystem.surface
                        border.width: lookback.visualFocus ? 2 : 1
                        border.color: lookback.visualFocus ? DesignSystem.accent : DesignSystem.strongLine
                    }
                }

                RowLayout {
                    Layout.fillWidth: true
                    spacing: DesignSystem.gap
                    DesignLabel {
                        text: "Until"
                        font.weight: Font.Medium
                        wrapMode: Text.NoWrap
                    }
                    DesignLabel {
                        objectName: "anchorText"
                        text: SessionPresentation.anchorText
                        color: DesignSystem.muted
                        wrapMode: Text.NoWrap
                        Layout.fillWidth: true
                    }
                    DesignButton {
                        text: "Use current time"
                        compact: true
                        onClicked: SessionModel.selectWindow()
                    }
                }

                RowLayout {
                    Layout.fillWidth: true
                    Layout.topMargin: 2
                    spacing: DesignSystem.gap
                    DesignButton {
                        text: "Prepare range"
                        variant: "primary"
                        enabled: SessionPresentation.canPrepareRange
                        onClicked: SessionModel.requestRange()
                    }
                    DesignButton {
                        visible: SessionPresentation.rangeStage.length > 0
                        text: "Stop preparing"
                        onClicked: SessionModel.cancelRange()
                    }
                    BusyIndicator {
                        visible: SessionPresentation.rangeStage === "working"
                        running: visible
                        implicitWidth: 20
                        implicitHeight: 20
                    }
                }

                DesignLabel {
                    objectName: "coverageMessage"
                    text: SessionPresentation.coverageMessage
                    visible: text.length > 0
                    font.pixelSize: DesignSystem.smallSize
                    font.weight: Font.Medium
                    Layout.fillWidth: true
                }
                DesignLabel {
                    text: SessionPresentation.tenMinuteNotice
                    visible: text.length > 0
                    font.pixelSize: DesignSystem.smallSize
                    color: DesignSystem.caution
                    Layout.fillWidth: true
                }
                DesignLabel {
                    text: SessionPresentation.memoryNotice
                    visible: text.length > 0
                    font.pixelSize: DesignSystem.smallSize
                    color: DesignSystem.muted
                    Layout.fillWidth: true
                }
                DesignLabel {
                    text: "Prepare missing entries within the remaining conversation allowance. Switching categories or opening Deeper uses prepared content."
                    font.pixelSize: DesignSystem.smallSize
                    color: DesignSystem.muted
                    lineHeight: 1.15
                    Layout.fillWidth: true
                }
                DesignButton {
                    text: "Full breakdown"
                    variant: "quiet"
                    compact: true
                    iconKind: "chevronRight"
                    leftPadding: 0
                    Layout.bottomMargin: DesignSystem.pad
                    onClicked: {
                        SessionModel.category = "all"
                        panel.showBreakdown()
                    }
                }
            }
        }
    }
}

import QtQuick
import QtQuick.Layouts
import Corvana

// The right-hand column: the prepared shelf ("Breakdown") or the range controls ("Time").
Rectangle {
    id: column

    // Presentation toggle: the range controls are shown instead of the shelf.
    property bool showRange: false

    radius: DesignSystem.radius
    color: DesignSystem.surface
    border.width: 1
    border.color: DesignSystem.line

    ColumnLayout {
        anchors.fill: parent
        anchors.topMargin: DesignSystem.gap + 2
        spacing: DesignSystem.gap

        SegmentedChoice {
            objectName: "rangeToggle"
            accessibleName: "Range"
            stretch: true
            Layout.leftMargin: DesignSystem.gutter
            Layout.rightMargin: DesignSystem.gutter
            Layout.fillWidth: true
            options: [{ value: "breakdown", label: "Breakdown" }, { value: "time", label: "Time" }]
            current: column.showRange ? "time" : "breakdown"
            onChosen: (value) => column.showRange = value === "time"
        }

        PreparedShelf {
            visible: !column.showRange
            Layout.fillWidth: true
            Layout.fillHeight: true
        }
        RangePanel {
            visible: column.showRange
            Layout.fillWidth: true
            Layout.fillHeight: true
            onShowBreakdown: column.showRange = false
        }
    }
}

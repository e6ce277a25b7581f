pragma ComponentBehavior: Bound
import QtQuick
import Corvana

// A row of mutually exclusive choices ("Simple"/"Full", "All"/"Terms"/"Dates", the
// explanation forms). `options` holds {value, label} objects; `current` is the chosen
// value; choosing emits `chosen(value)` and the owner writes it to the model.
Rectangle {
    id: choice

    property var options: []
    property string current
    property bool compact: true
    property string accessibleName: ""
    // Share the whole width equally between the choices (tabs).
    property bool stretch: false
    signal chosen(string value)

    // Left and Right move the choice, and the focus with it.
    function step(from, by) {
        const to = from + by
        if (to < 0 || to >= options.length)
            return
        chosen(options[to].value)
        const next = segments.itemAt(to)
        if (next)
            next.forceActiveFocus(Qt.TabFocusReason)
    }

    implicitWidth: row.implicitWidth + 6
    implicitHeight: (compact ? DesignSystem.compactHeight : DesignSystem.controlHeight) + 6
    radius: DesignSystem.smallRadius + 3
    color: DesignSystem.sunken
    border.width: 1
    border.color: DesignSystem.line
    Accessible.role: Accessible.Grouping
    Accessible.name: accessibleName

    Row {
        id: row
        anchors.centerIn: parent
        spacing: 2
        Repeater {
            id: segments
            // Counted, not the list itself: a new list with the same number of choices
            // keeps the buttons (and the keyboard focus on one of them).
            model: choice.options.length
            // A change in the number of choices rebuilds the buttons: the keyboard focus
            // stays at the same place.
            property int refocus: -1
            onItemRemoved: (index, item) => {
                if (item.activeFocus)
                    refocus = index
            }
            onItemAdded: (index, item) => {
                if (refocus >= 0 && index === Math.min(refocus, count - 1)) {
                    refocus = -1
                    item.forceActiveFocus(Qt.TabFocusReason)
                }
            }
            delegate: DesignButton {
                id: segment
                required property int index
                readonly property var modelData: choice.options[index] ?? ({ value: "", label: "" })
                Keys.onLeftPressed: choice.step(index, -1)
                Keys.onRightPressed: choice.step(index, 1)
                text: modelData.label
                width: choice.stretch && choice.options.length > 0
                       ? (choice.width - 6 - (choice.options.length - 1) * row.spacing) / choice.options.length
                       : implicitWidth
                compact: choice.compact
                variant: "quiet"
                selected: choice.current === modelData.value
                Accessible.checkable: true
                tint: selected ? DesignSystem.ink : DesignSystem.muted
                font.weight: selected ? Font.DemiBold : Font.Medium
                background: Rectangle {
                    radius: DesignSystem.smallRadius
                    color: segment.selected ? DesignSystem.surface
                         : segment.hovered ? Qt.rgba(DesignSystem.line.r, DesignSystem.line.g, DesignSystem.line.b, 0.6)
                         : "transparent"
                    border.width: segment.selected ? 1 : 0
                    border.color: DesignSystem.strongLine
                }
                onClicked: choice.chosen(modelData.value)
            }
        }
    }
}

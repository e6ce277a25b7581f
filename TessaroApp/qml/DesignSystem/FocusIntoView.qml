import QtQuick

// Keeps the focused control of a scrolled view in sight: when the keyboard focus moves
// to a control inside `flickable`, the view scrolls just enough to show it whole.
QtObject {
    id: follower

    // A Flickable; a ScrollView hands its contentItem, which QML types as an Item.
    property var flickable
    property real margin: 12

    function reveal(item) {
        if (!flickable || !item)
            return
        let inside = false
        for (let up = item.parent; up; up = up.parent) {
            if (up === flickable.contentItem) {
                inside = true
                break
            }
        }
        if (!inside)
            return
        const top = item.mapToItem(flickable.contentItem, 0, 0).y
        const bottom = top + item.height
        const most = Math.max(0, flickable.contentHeight - flickable.height)
        if (top - margin < flickable.contentY)
            flickable.contentY = Math.max(0, top - margin)
        else if (bottom + margin > flickable.contentY + flickable.height)
            flickable.contentY = Math.min(most, Math.max(0, bottom + margin - flickable.height))
    }

    property Connections watcher: Connections {
        target: follower.flickable ? follower.flickable.Window.window : null
        function onActiveFocusItemChanged() {
            follower.reveal(follower.flickable.Window.window.activeFocusItem)
        }
    }
}

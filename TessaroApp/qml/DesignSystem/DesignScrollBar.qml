import QtQuick
import QtQuick.Controls.Basic

// A scroll bar that tells a screen reader what it scrolls. It never takes the keyboard
// focus: the keyboard scrolls by moving the focus, and the view follows it.
ScrollBar {
    property string scrolls: ""

    focusPolicy: Qt.NoFocus
    Accessible.name: scrolls
}

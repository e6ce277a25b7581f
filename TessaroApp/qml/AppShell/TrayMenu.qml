import QtQuick
import Qt.labs.platform as Platform
import Corvana

// The tray item: status, the sample note, opening the windows, starting or ending a
// session and quitting.
Platform.SystemTrayIcon {
    id: tray

    signal openWindow(string id)

    visible: available
    // The windows' icon: the one the icon theme holds under the desktop entry's name, else
    // the brand mark.
    icon.name: app.iconName
    icon.source: DesignSystem.brandMark
    tooltip: "Corvana"
    onActivated: (reason) => {
        if (reason === Platform.SystemTrayIcon.Trigger)
            tray.openWindow("main")
    }

    menu: Platform.Menu {
        Platform.MenuItem {
            text: session.status
            enabled: false
        }
        Platform.MenuItem {
            text: "Simulated sample · no provider credits"
            enabled: false
            visible: session.simulated
        }
        Platform.MenuItem {
            text: "Open Corvana"
            onTriggered: tray.openWindow("main")
        }
        Platform.MenuItem {
            text: "Show companion   Ctrl+Alt+Space"
            onTriggered: tray.openWindow("companion")
        }
        Platform.MenuSeparator {}
        Platform.MenuItem {
            text: presentation.menuSessionAction
            enabled: presentation.menuSessionAction === "End session" ? presentation.canStop : presentation.canStart
            onTriggered: {
                if (presentation.menuSessionAction === "End session")
                    session.requestStop()
                else
                    session.requestStart(false, false)
            }
        }
        Platform.MenuSeparator {}
        Platform.MenuItem {
            text: "Quit Corvana"
            onTriggered: app.quit()
        }
    }
}

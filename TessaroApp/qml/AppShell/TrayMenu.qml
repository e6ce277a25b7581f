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
    icon.name: TessaroApp.iconName
    icon.source: DesignSystem.brandMark
    tooltip: "Corvana"
    onActivated: (reason) => {
        if (reason === Platform.SystemTrayIcon.Trigger)
            tray.openWindow("main")
    }

    menu: Platform.Menu {
        Platform.MenuItem {
            text: SessionModel.status
            enabled: false
        }
        Platform.MenuItem {
            text: "Simulated sample · no provider credits"
            enabled: false
            visible: SessionModel.simulated
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
            text: SessionPresentation.menuSessionAction
            enabled: SessionPresentation.menuSessionEnabled
            onTriggered: SessionPresentation.toggleSession()
        }
        Platform.MenuSeparator {}
        Platform.MenuItem {
            text: "About Corvana"
            onTriggered: tray.openWindow("about")
        }
        Platform.MenuItem {
            text: "Check for Updates…"
            enabled: AppUpdates.canCheck
            onTriggered: AppUpdates.checkForUpdates()
        }
        Platform.MenuSeparator {}
        Platform.MenuItem {
            text: "Quit Corvana"
            onTriggered: TessaroApp.quit()
        }
    }
}

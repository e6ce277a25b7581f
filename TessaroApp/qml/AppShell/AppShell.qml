import QtQuick
import Corvana

// The windows of the app and the tray. Every way of opening a window (tray, commands,
// hot key) goes through TessaroApp.openWindow(id), which arrives here as windowRequested.
QtObject {
    id: shell

    property DesignWindow mainWindow: DesignWindow {
        objectName: "mainWindow"
        title: "Corvana"
        width: 1100
        height: 790
        minimumWidth: 940
        minimumHeight: 600
        visible: true

        MainWindow {
            anchors.fill: parent
        }
    }

    property DesignWindow companionWindow: DesignWindow {
        objectName: "companionWindow"
        title: "Corvana Companion"
        width: 410
        height: 340
        minimumWidth: 370
        minimumHeight: 300
        visible: false
        flags: Qt.Window | Qt.WindowStaysOnTopHint
        // Above other windows on every workspace, beside the meeting.
        Component.onCompleted: TessaroApp.floatOnEveryWorkspace(shell.companionWindow)

        // Escape puts a secondary window away.
        Shortcut {
            sequence: "Esc"
            onActivated: shell.companionWindow.close()
        }

        CompanionView {
            anchors.fill: parent
        }
    }

    property DesignWindow setupWindow: DesignWindow {
        objectName: "setupWindow"
        title: "Corvana Setup"
        width: 580
        height: 690
        minimumWidth: 480
        minimumHeight: 420
        visible: false

        // Escape puts a secondary window away.
        Shortcut {
            sequence: "Esc"
            onActivated: shell.setupWindow.close()
        }

        SetupView {
            id: setupView
            anchors.fill: parent
        }
    }

    property DesignWindow aboutWindow: DesignWindow {
        objectName: "aboutWindow"
        title: "About Corvana"
        visible: false
        width: about.implicitWidth
        height: about.implicitHeight
        minimumWidth: width
        maximumWidth: width
        minimumHeight: height
        maximumHeight: height

        // Escape puts a secondary window away.
        Shortcut {
            sequence: "Esc"
            onActivated: shell.aboutWindow.close()
        }

        AboutView {
            id: about
            anchors.fill: parent
        }
    }

    property TrayMenu tray: TrayMenu {
        onOpenWindow: (id) => shell.present(id)
    }

    property Connections requests: Connections {
        target: TessaroApp
        function onWindowRequested(id) { shell.present(id) }
    }

    function windowFor(id) {
        switch (id) {
        case "main": return mainWindow
        case "companion": return companionWindow
        case "settings":
        case "connection": return setupWindow
        case "about": return aboutWindow
        }
        return null
    }

    function present(id) {
        const window = windowFor(id)
        if (!window)
            return
        if (window.visibility === Window.Minimized)
            window.showNormal()
        else
            window.show()
        window.raise()
        window.requestActivate()
        // The development connection opens Setup at its connection fields.
        if (id === "connection")
            setupView.showConnection()
    }
}

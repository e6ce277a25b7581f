import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Dialogs
import Corvana

// The content of the window "main": onboarding until it is complete, then the main view.
// It starts the model's load the first time it is shown and carries the application
// commands.
Item {
    id: window

    signal showCompanion()

    property bool loadStarted: false
    function beginLoadOnce() {
        if (loadStarted || !window.Window.window || !window.Window.window.visible)
            return
        loadStarted = true
        // The delegate ends the session at quit and opens the companion on the hot key.
        if (typeof delegate !== "undefined" && delegate !== null) {
            delegate.model = session
            delegate.setCompanionOpener(function () { window.showCompanion() })
        }
        session.beginLoad()
    }
    Component.onCompleted: beginLoadOnce()
    Connections {
        target: window.Window.window
        function onVisibleChanged() { window.beginLoadOnce() }
    }

    // An update session blocks starting a conversation.
    Binding {
        target: session
        property: "updating"
        value: typeof updates !== "undefined" && updates !== null && updates.inProgress
    }

    Loader {
        anchors.fill: parent
        sourceComponent: session.onboarding ? onboardingComponent : mainComponent
    }
    Component {
        id: onboardingComponent
        OnboardingView {}
    }
    Component {
        id: mainComponent
        MainView {
            onShowCompanion: window.showCompanion()
        }
    }

    // Application commands.
    Shortcut {
        sequence: "Ctrl+R"
        enabled: presentation.canStart
        onActivated: session.requestStart(false, false)
    }
    Shortcut {
        sequence: "Ctrl+."
        enabled: presentation.canStop
        onActivated: session.requestStop()
    }
    Shortcut {
        sequence: "Ctrl+Shift+D"
        enabled: presentation.canDeeper
        onActivated: session.selectDetail("Deeper")
    }
    Shortcut {
        sequence: "Ctrl+Shift+K"
        enabled: presentation.canHide
        onActivated: session.requestHide("known")
    }
    Shortcut {
        sequence: "Ctrl+Alt+Space"
        context: Qt.ApplicationShortcut
        onActivated: {
            if (typeof delegate !== "undefined" && delegate !== null)
                delegate.showCompanionNow()
            else
                window.showCompanion()
        }
    }

    FileDialog {
        id: openPanel
        onAccepted: filePicker.answer(openPanel.fileMode === FileDialog.OpenFiles ? openPanel.selectedFiles : [openPanel.selectedFile])
        onRejected: filePicker.cancel()
    }

    Connections {
        target: filePicker
        function onRequested(title, message, nameFilters, multiple) {
            openPanel.title = message.length > 0 ? message : title
            openPanel.nameFilters = nameFilters
            openPanel.fileMode = multiple ? FileDialog.OpenFiles : FileDialog.OpenFile
            openPanel.open()
        }
    }
}

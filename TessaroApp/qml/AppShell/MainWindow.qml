import QtQuick
import QtQuick.Dialogs
import Corvana

// The content of the window "main": onboarding until it is complete, then the main view.
// It starts the model's load the first time it is shown and carries the application
// commands; the shell wires the delegate and the updater to the model.
Item {
    id: window

    property bool loadStarted: false
    function beginLoadOnce() {
        if (loadStarted || !window.Window.window || !window.Window.window.visible)
            return
        loadStarted = true
        SessionModel.beginLoad()
    }
    Component.onCompleted: beginLoadOnce()
    Connections {
        target: window.Window.window
        function onVisibleChanged() { window.beginLoadOnce() }
    }

    Loader {
        anchors.fill: parent
        sourceComponent: SessionModel.onboarding ? onboardingComponent : mainComponent
    }
    Component {
        id: onboardingComponent
        OnboardingView {}
    }
    Component {
        id: mainComponent
        MainView {
            onShowCompanion: TessaroApp.openWindow("companion")
        }
    }

    // Application commands.
    Shortcut {
        sequence: "Ctrl+R"
        enabled: SessionPresentation.canStart
        onActivated: SessionModel.requestStart(false, false)
    }
    Shortcut {
        sequence: "Ctrl+."
        enabled: SessionPresentation.canStop
        onActivated: SessionModel.requestStop()
    }
    Shortcut {
        sequence: "Ctrl+Shift+D"
        enabled: SessionPresentation.canDeeper
        onActivated: SessionModel.selectDetail("Deeper")
    }
    Shortcut {
        sequence: "Ctrl+Shift+K"
        enabled: SessionPresentation.canHide
        onActivated: SessionModel.requestHide("known")
    }
    Shortcut {
        sequence: "Ctrl+Alt+Space"
        context: Qt.ApplicationShortcut
        onActivated: AppDelegate.showCompanionNow()
    }

    FileDialog {
        id: openPanel
        onAccepted: FilePicker.answer(openPanel.fileMode === FileDialog.OpenFiles ? openPanel.selectedFiles : [openPanel.selectedFile])
        onRejected: FilePicker.cancel()
    }

    Connections {
        target: FilePicker
        function onRequested(title, message, nameFilters, multiple) {
            openPanel.title = message.length > 0 ? message : title
            openPanel.nameFilters = nameFilters
            openPanel.fileMode = multiple ? FileDialog.OpenFiles : FileDialog.OpenFile
            openPanel.open()
        }
    }
}

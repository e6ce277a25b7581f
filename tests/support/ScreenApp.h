#pragma once

#include "DevServiceProcess.h"
#include "FakePlatform.h"
#include "shell/TessaroApp.h"

#include <QStringList>
#include <QTemporaryDir>

#include <memory>

class QQuickWindow;

// The real app and its windows on fake platform services, with a development service of
// its own, for the screen suites.
struct ScreenApp {
    std::unique_ptr<DevServiceProcess> service;
    std::unique_ptr<QTemporaryDir> folder;
    std::unique_ptr<FakePlatform> platform;
    std::unique_ptr<TessaroApp> app;
    QQuickWindow *main = nullptr;

    // Starts the service with these arguments and the app's windows. `connected` hands
    // the app the service through a bootstrap file with onboarding completed; otherwise
    // it starts as a fresh profile. Returns what failed, or an empty text.
    QString start(const QStringList &serviceArguments, bool connected);
    // A window of the shell by its property name ("mainWindow", "companionWindow", …).
    QQuickWindow *window(const char *name) const;
    // Ends the session and closes the windows before the service goes.
    void stop();
};

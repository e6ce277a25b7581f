#pragma once

#include "audio/AudioCapture.h"
#include "platform/FilePicker.h"
#include "platform/Preferences.h"
#include "platform/SecretStore.h"
#include "platform/Workspace.h"

#include <QVariantMap>

#include <functional>
#include <memory>

// Every platform service the session model relies on, handed over at construction so
// the application can pass the real ones and tests their fakes.
struct Platform {
    QVariantMap informationDictionary;
    QString bundleIdentifier;
    std::shared_ptr<Preferences> preferences;
    std::shared_ptr<SecretStore> secrets;
    std::shared_ptr<Workspace> workspace;
    std::shared_ptr<FilePicker> filePicker;
    // The capture controller over the platform's audio services.
    std::shared_ptr<AudioCapture> capture;
    // Wall clock in milliseconds since 1970.
    std::function<double()> epochMilliseconds;
    // Reads one environment variable; absent when it is not set.
    std::function<std::optional<QString>(const QString &name)> environment;
};

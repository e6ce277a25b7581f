#pragma once

#include "audio/AudioCapture.h"
#include "platform/AudioHardware.h"
#include "platform/FilePicker.h"
#include "platform/FixturePlayer.h"
#include "platform/LocalService.h"
#include "platform/Microphone.h"
#include "platform/PdfText.h"
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
    // The audio services themselves, for developer modes that make controllers of their
    // own; absent where the platform has none.
    std::shared_ptr<AudioHardware> audioHardware;
    std::shared_ptr<Microphone> microphone;
    std::shared_ptr<FixturePlayer> fixturePlayer;
    // The development service on this computer, for a person with no service configured.
    std::shared_ptr<LocalService> localService;
    // Opens PDF documents for the importer.
    PdfText::Opener openPdf;
    // Wall clock in milliseconds since 1970.
    std::function<double()> epochMilliseconds;
    // The computer's name as its owner knows it (the pretty host name, else the host
    // name); the device list names this device after it. Empty when unknown.
    std::function<QString()> computerName;
    // Reads one environment variable; absent when it is not set.
    std::function<std::optional<QString>(const QString &name)> environment;
};

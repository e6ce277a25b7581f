#pragma once

#include "DevServiceProcess.h"
#include "FakePlatform.h"
#include "model/SessionModel.h"

#include <QTemporaryDir>

#include <memory>

// A session model on fake platform services, connected to a development service of its
// own (simulated unless the arguments say otherwise), with short service timing.
struct ModelHarness {
    explicit ModelHarness(QStringList arguments = {QStringLiteral("--simulated")});

    // Service timing short enough for tests; the harness's model starts with it.
    static ServiceTiming quickTiming();

    // Connects the model to the service; false when either failed.
    bool connect();
    void advance(double ms) { *platform.now += ms; }
    // Writes the WAV bytes to a file of the harness's own and makes it the model's
    // recording source; false when the file could not be written.
    bool useRecording(const QByteArray &wav);

    DevServiceProcess service;
    FakePlatform platform;
    std::unique_ptr<SessionModel> model;
    QTemporaryDir files;
};

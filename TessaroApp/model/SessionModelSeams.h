#pragma once

#include "knowledge/PrivateKnowledge.h"
#include "protocol/Connection.h"

#include <QCoro/QCoroTask>
#include <QString>

#include <functional>
#include <optional>

class SessionModel;

// The parts of start-up that other components perform: the developer modes, the
// knowledge library, the list of audio sources, the stored device credential and the
// connection to a service. Each is called at its place in SessionModel::load(); a part
// that is not installed is skipped, and start-up goes on as if that part had found
// nothing (no library, no sources, no stored credential).
struct SessionModelSeams {
    // Runs the scripted capture check to its end with the variable's value.
    std::function<QCoro::Task<void>(SessionModel &, QString argument)> captureCheck;
    // Runs the funded live evaluation with the variable's value.
    std::function<QCoro::Task<void>(SessionModel &, QString argument)> liveEvaluation;
    // Opens the library in the directory (the default location when absent) and loads
    // it; throws on failure.
    std::function<PrivateKnowledge(const std::optional<QString> &directory)> openKnowledge;
    // Refreshes SessionModel::audioSources.
    std::function<void(SessionModel &)> refreshAudioSources;
    // Loads the stored device credential; throws on failure, absent when none is stored.
    std::function<std::optional<Connection>()> loadCredential;
    // Connects the model with a connection; throws on failure.
    std::function<QCoro::Task<void>(SessionModel &, Connection, bool persist)> connect;
};

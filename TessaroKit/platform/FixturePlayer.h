#pragma once

#include <QString>

// A command-line player for sound files, run as a child process: the developer modes
// play a fixture through the default output with it.
class FixturePlayer {
public:
    virtual ~FixturePlayer() = default;

    // Starts playing the file and returns the player's process number. Throws the
    // launch failure with the system's text.
    virtual qint64 play(const QString &path) = 0;
    virtual bool running() const = 0;
    // Ends the player if it still runs and waits for it to exit.
    virtual void terminate() = 0;
};

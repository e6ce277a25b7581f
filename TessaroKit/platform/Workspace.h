#pragma once

#include <QSet>
#include <QString>

#include <functional>

// The desktop session around the application: the applications the user runs and the
// notice that the system is about to sleep, delivered on the main thread.
class Workspace {
public:
    using ObserverToken = int;

    virtual ~Workspace() = default;

    // Registers a handler called on the main thread each time the system is about to
    // sleep; the token removes it again. Tokens are never 0.
    virtual ObserverToken addSleepObserver(std::function<void()> handler) = 0;
    virtual void removeSleepObserver(ObserverToken token) = 0;

    // The identifiers of the running applications the user sees (those with a desktop
    // presence), in the same form the audio hardware reports them for their streams.
    virtual QSet<QString> regularApplications() = 0;
};

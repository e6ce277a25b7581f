#pragma once

#include <functional>

// The desktop session around the application: for now the notice that the system is
// about to sleep, delivered on the main thread.
class Workspace {
public:
    using ObserverToken = int;

    virtual ~Workspace() = default;

    // Registers a handler called on the main thread each time the system is about to
    // sleep; the token removes it again. Tokens are never 0.
    virtual ObserverToken addSleepObserver(std::function<void()> handler) = 0;
    virtual void removeSleepObserver(ObserverToken token) = 0;
};

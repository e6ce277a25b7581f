#pragma once

#include <QCoro/QCoroTask>
#include <QString>

// The development service run on this computer as a child process, for a person who
// has no service configured. It lives until stop() or the end of the app.
class LocalService {
public:
    virtual ~LocalService() = default;

    // Starts the service (the scripted sample when simulated) unless it already runs in
    // that mode, and returns the path of the connection file it wrote. Throws with the
    // service's own message when it cannot start.
    virtual QCoro::Task<QString> start(bool simulated) = 0;
    virtual bool running() const = 0;
    // Ends the service if it runs and removes its connection file.
    virtual void stop() = 0;
};

#pragma once

#include <functional>

// The one global hot key of the application, Control+Alt+Space, which brings the
// companion forward from anywhere on the desktop. Installing the handler and
// registering the key are two steps, each answering a status integer (0 on success,
// otherwise a platform code) that the launch status line reports. A failure leaves the
// application running without the hot key.
class HotKeys {
public:
    virtual ~HotKeys() = default;

    // Prepares delivery of presses: `pressed` is called on the thread that owns this
    // object for each press of the key once it is registered.
    virtual int installHandler(std::function<void()> pressed) = 0;
    // Claims Control+Alt+Space for this application.
    virtual int registerHotKey() = 0;
    // Releases the key; harmless when it is not registered.
    virtual void unregisterHotKey() = 0;
    // Stops delivery and drops the handler; harmless when none is installed.
    virtual void removeHandler() = 0;
};

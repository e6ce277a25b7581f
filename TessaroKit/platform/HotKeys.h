#pragma once

#include <QString>

#include <functional>

// The one global hot key of the application, Control+Alt+Space, which brings the
// companion forward from anywhere on the desktop. Installing the handler and
// registering the key are two steps, each answering a status integer (0 on success,
// otherwise a platform code) that the launch status line reports. A failure leaves the
// application running without the hot key.
class HotKeys {
public:
    // How a press reaches the application now, for the setup screen to tell.
    enum class Way {
        // No shortcut: neither a key grab nor the desktop's shortcut service.
        none,
        // The desktop's shortcut service was asked and has not answered yet.
        pending,
        // The application grabs the key itself (X11).
        keyGrab,
        // The desktop's shortcut service delivers it (the GlobalShortcuts portal).
        desktopShortcut,
    };
    struct Binding {
        Way way = Way::none;
        // The keys as the desktop writes them, e.g. "Ctrl+Alt+Space"; empty with none.
        QString keys;
    };

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

    // The way presses arrive now. Answers none until the key is registered.
    virtual Binding binding() const = 0;
    // Called on the owning thread whenever binding() changes after registration (a
    // desktop service answers later, or the user rebinds the key there).
    virtual void setBindingChanged(std::function<void()> changed) { m_bindingChanged = std::move(changed); }

protected:
    void bindingChanged() const
    {
        if (m_bindingChanged)
            m_bindingChanged();
    }

private:
    std::function<void()> m_bindingChanged;
};

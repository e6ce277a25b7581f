#pragma once

#include "platform/HotKeys.h"

#include <QStringList>

#include <memory>

// A hot key that the test presses by hand. Its handler always installs; registering
// answers the status the test sets. Each step is written to `log` ("installHandler",
// "registerHotKey", "unregisterHotKey", "removeHandler"), which a test may share with
// other recorders to check the order.
class FakeHotKeys : public HotKeys {
public:
    int registrationStatus = 0;
    std::shared_ptr<QStringList> log = std::make_shared<QStringList>();

    int installHandler(std::function<void()> pressed) override;
    int registerHotKey() override;
    void unregisterHotKey() override;
    void removeHandler() override;
    Binding binding() const override { return m_registered ? Binding{Way::keyGrab, QStringLiteral("Ctrl+Alt+Space")} : Binding{}; }

    bool installed() const { return bool(m_pressed); }
    bool registered() const { return m_registered; }
    // Presses the key: the handler runs when it is installed and the key registered, on
    // the calling thread, as the platform would from its own.
    void press();

private:
    std::function<void()> m_pressed;
    bool m_registered = false;
};

#pragma once

#include "platform/HotKeys.h"

#include <QByteArray>
#include <QtGlobal>
#include <QList>

#include <memory>

struct xcb_connection_t;
class QSocketNotifier;

// The hot key as an X11 key grab on the root window, over a connection of its own to
// the display. Space is grabbed with Control+Mod1 (Alt), and also with the Num Lock
// (Mod2) and Caps Lock masks added, so the key works whatever the lock state. Presses
// are read from the connection's socket on the thread that installed the handler.
//
// Status values: 0 on success; the X error code of the failed request (10, BadAccess,
// when another client already holds the grab); or one of the negative values below when
// there is no X11 to talk to. Without a connection registration answers the handler's
// status again, so the status line reads e.g. "-1, -1" on a desktop without X11.
class XcbHotKeys : public HotKeys {
public:
    // No display name is known ($DISPLAY unset or empty).
    static constexpr int noDisplay = -1;
    // The display could not be reached.
    static constexpr int connectionFailed = -2;
    // The display's keyboard map has no key for Space.
    static constexpr int noSpaceKey = -3;

    // Connects to `displayName` (as in $DISPLAY) when the handler is installed.
    explicit XcbHotKeys(QByteArray displayName = qgetenv("DISPLAY"));
    ~XcbHotKeys() override;
    XcbHotKeys(const XcbHotKeys &) = delete;
    XcbHotKeys &operator=(const XcbHotKeys &) = delete;

    int installHandler(std::function<void()> pressed) override;
    int registerHotKey() override;
    void unregisterHotKey() override;
    void removeHandler() override;
    Binding binding() const override;

private:
    void readEvents();
    void ungrab();

    QByteArray m_displayName;
    xcb_connection_t *m_connection = nullptr;
    quint32 m_root = 0;
    int m_handlerStatus = noDisplay;
    std::unique_ptr<QSocketNotifier> m_notifier;
    std::function<void()> m_pressed;
    // Set while presses are being read, when the notifier must not be deleted at once.
    bool m_reading = false;
    // The keycodes of Space that are grabbed now.
    QList<quint8> m_grabbed;
};

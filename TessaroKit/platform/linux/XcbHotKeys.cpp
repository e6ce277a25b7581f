#include "XcbHotKeys.h"

#include <QSocketNotifier>
#include <QTimer>

#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

#include <array>
#include <cstdlib>
#include <vector>

namespace {

constexpr xcb_keysym_t spaceKeysym = 0x0020; // XK_space

// Control+Alt, alone and with the Num Lock and Caps Lock masks, which X11 counts as
// modifiers of a grab.
constexpr std::array<uint16_t, 4> grabModifiers = {
    XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1,
    XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_2,
    XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_LOCK,
    XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_2 | XCB_MOD_MASK_LOCK,
};

QList<quint8> spaceKeycodes(xcb_connection_t *connection)
{
    QList<quint8> codes;
    xcb_key_symbols_t *symbols = xcb_key_symbols_alloc(connection);
    if (!symbols)
        return codes;
    if (xcb_keycode_t *found = xcb_key_symbols_get_keycode(symbols, spaceKeysym)) {
        for (xcb_keycode_t *code = found; *code != XCB_NO_SYMBOL; ++code) {
            if (!codes.contains(*code))
                codes.append(*code);
        }
        std::free(found);
    }
    xcb_key_symbols_free(symbols);
    return codes;
}

} // namespace

XcbHotKeys::XcbHotKeys(QByteArray displayName) : m_displayName(std::move(displayName)) {}

XcbHotKeys::~XcbHotKeys()
{
    removeHandler();
}

int XcbHotKeys::installHandler(std::function<void()> pressed)
{
    if (m_connection) {
        m_pressed = std::move(pressed);
        return 0;
    }
    if (m_displayName.isEmpty()) {
        m_handlerStatus = noDisplay;
        return m_handlerStatus;
    }
    int screenNumber = 0;
    xcb_connection_t *connection = xcb_connect(m_displayName.constData(), &screenNumber);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        m_handlerStatus = connectionFailed;
        return m_handlerStatus;
    }
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < screenNumber && screens.rem > 0; ++i)
        xcb_screen_next(&screens);
    if (screens.rem <= 0) {
        xcb_disconnect(connection);
        m_handlerStatus = connectionFailed;
        return m_handlerStatus;
    }
    m_connection = connection;
    m_root = screens.data->root;
    m_pressed = std::move(pressed);
    m_notifier = std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(connection), QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_notifier.get(), [this] { readEvents(); });
    m_handlerStatus = 0;
    return m_handlerStatus;
}

int XcbHotKeys::registerHotKey()
{
    if (!m_connection)
        return m_handlerStatus;
    if (!m_grabbed.isEmpty())
        return 0;
    const QList<quint8> codes = spaceKeycodes(m_connection);
    if (codes.isEmpty())
        return noSpaceKey;

    std::vector<xcb_void_cookie_t> cookies;
    for (quint8 code : codes) {
        for (uint16_t modifiers : grabModifiers)
            cookies.push_back(xcb_grab_key_checked(m_connection, 1, m_root, modifiers, code,
                                                   XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    }
    int status = 0;
    for (const xcb_void_cookie_t &cookie : cookies) {
        if (xcb_generic_error_t *error = xcb_request_check(m_connection, cookie)) {
            if (status == 0)
                status = error->error_code;
            std::free(error);
        }
    }
    if (status == 0 && xcb_connection_has_error(m_connection))
        status = connectionFailed;

    m_grabbed = codes;
    if (status != 0) {
        // All or nothing: a partial grab would answer only in some lock states.
        ungrab();
        return status;
    }
    // Checking the requests may have read events into the connection's queue, where the
    // socket notifier no longer sees them.
    QTimer::singleShot(0, m_notifier.get(), [this] { readEvents(); });
    return 0;
}

void XcbHotKeys::unregisterHotKey()
{
    ungrab();
}

void XcbHotKeys::removeHandler()
{
    ungrab();
    m_pressed = {};
    if (m_notifier) {
        m_notifier->setEnabled(false);
        if (m_reading)
            m_notifier.release()->deleteLater();
        else
            m_notifier.reset();
    }
    if (m_connection) {
        xcb_disconnect(m_connection);
        m_connection = nullptr;
    }
    m_handlerStatus = noDisplay;
}

HotKeys::Binding XcbHotKeys::binding() const
{
    if (m_grabbed.isEmpty())
        return {};
    return {Way::keyGrab, QStringLiteral("Ctrl+Alt+Space")};
}

void XcbHotKeys::ungrab()
{
    if (!m_connection || m_grabbed.isEmpty())
        return;
    for (quint8 code : std::as_const(m_grabbed)) {
        for (uint16_t modifiers : grabModifiers)
            xcb_ungrab_key(m_connection, code, m_root, modifiers);
    }
    xcb_flush(m_connection);
    m_grabbed.clear();
}

void XcbHotKeys::readEvents()
{
    if (!m_connection)
        return;
    int presses = 0;
    while (xcb_generic_event_t *event = xcb_poll_for_event(m_connection)) {
        if ((event->response_type & 0x7f) == XCB_KEY_PRESS) {
            const auto *press = reinterpret_cast<const xcb_key_press_event_t *>(event);
            if (m_grabbed.contains(press->detail))
                ++presses;
        }
        std::free(event);
    }
    if (xcb_connection_has_error(m_connection)) {
        // The display went away: stop watching a socket that will stay readable.
        m_notifier->setEnabled(false);
        m_grabbed.clear();
    }
    m_reading = true;
    for (int i = 0; i < presses && m_pressed; ++i) {
        const std::function<void()> pressed = m_pressed;
        pressed();
    }
    m_reading = false;
}

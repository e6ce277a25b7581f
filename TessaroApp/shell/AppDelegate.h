#pragma once

#include "model/SessionModel.h"

#include <QJSValue>
#include <QObject>
#include <QtQml/qqmlregistration.h>
#include <QPointer>

#include <cstdio>
#include <functional>
#include <memory>

class HotKeys;

class QJSEngine;
class QQmlEngine;

// The application delegate: registers the global hot key at launch, brings the companion
// forward when it is pressed, and ends the session before releasing the key at quit.
// Lives on the main thread.
//
// The application sets showCompanion to open (or raise) the "companion" window;
// setCompanionOpener(function () { ... }) sets it from JavaScript. The "Show companion"
// command calls showCompanionNow().
class AppDelegate : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(SessionModel *model READ model WRITE setModel NOTIFY modelChanged)
    // The setup screen's line on how the companion shortcut works here, and with which keys.
    Q_PROPERTY(QString shortcutLine READ shortcutLine NOTIFY shortcutLineChanged)

public:
    // The screens' instance: the one the application handed to their engine.
    static AppDelegate *create(QQmlEngine *engine, QJSEngine *);

    // `output` receives the launch status line; standard output in the application.
    explicit AppDelegate(std::shared_ptr<HotKeys> hotKeys, QObject *parent = nullptr, std::FILE *output = stdout);
    // Releases the hot key and its handler if applicationWillTerminate() did not.
    ~AppDelegate() override;

    // The session model, set by the application and ended at termination. Optional.
    SessionModel *model() const { return m_model; }
    void setModel(SessionModel *model);

    // Opens or raises the companion window; optional.
    std::function<void()> showCompanion;
    // Shows the companion when hidden, hides it when shown; optional. A desktop's global
    // shortcut toggles the companion with it, as `corvana --companion` does; without it
    // the shortcut only brings the companion forward.
    std::function<void()> toggleCompanion;
    // Set where the compositor, not the app, decides whether a window stays above others
    // (Wayland); the shortcut line then says so.
    bool compositorPlacesWindows = false;

    // Which way the companion shortcut works now, with which keys; or how to bind one.
    QString shortcutLine() const;
    static const QString noShortcutLine;

    // Sets showCompanion to call a JavaScript function; anything that is not callable
    // (null, undefined) clears it.
    Q_INVOKABLE void setCompanionOpener(const QJSValue &opener);

    // Installs the hot-key handler, registers Control+Alt+Space and writes one line,
    // "Corvana companion shortcut status: <handler>, <registration>", both 0 on success.
    // The application runs on without the hot key when either fails. Once per process;
    // later calls do nothing.
    void applicationDidFinishLaunching();
    // Ends the session through the model (when set), then unregisters the hot key and
    // removes its handler.
    void applicationWillTerminate();

    // The "Show companion" command: calls showCompanion when it is set, else nothing.
    Q_INVOKABLE void showCompanionNow();

signals:
    void modelChanged();
    void shortcutLineChanged();

private:
    void releaseHotKey();
    void hotKeyPressed();

    std::shared_ptr<HotKeys> m_hotKeys;
    std::FILE *m_output;
    QPointer<SessionModel> m_model;
    bool m_launched = false;
    bool m_hotKeyRegistered = false;
    bool m_handlerInstalled = false;
};

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

private:
    void releaseHotKey();

    std::shared_ptr<HotKeys> m_hotKeys;
    std::FILE *m_output;
    QPointer<SessionModel> m_model;
    bool m_launched = false;
    bool m_hotKeyRegistered = false;
    bool m_handlerInstalled = false;
};

#pragma once

#include <QObject>
#include <QtQml/qqmlregistration.h>
#include <QString>
#include <QWindow>

#include <memory>

class QQmlApplicationEngine;
class AppDelegate;
class AppUpdates;
class DesktopColorScheme;
class HotKeys;
class QmlFilePicker;
class SessionModel;
class SessionPresentation;
class SetupPresentation;
class KnowledgePresentation;
class OnboardingPresentation;
struct Platform;

class QJSEngine;
class QQmlEngine;

// The application object: owns the one session model and what the screens see of it,
// loads the windows and keeps the appearance the user chose. Windows are opened by
// name through the signals below, so the tray, the commands and the hot key all reach
// them the same way.
class TessaroApp : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(QString appearance READ appearance WRITE setAppearance NOTIFY appearanceChanged)
    Q_PROPERTY(bool darkScheme READ darkScheme NOTIFY appearanceChanged)
    Q_PROPERTY(QString version READ version CONSTANT)
    Q_PROPERTY(QString iconName READ iconName CONSTANT)

public:
    // The screens' instance: the one the application handed to their engine.
    static TessaroApp *create(QQmlEngine *engine, QJSEngine *);

    TessaroApp(Platform platform, std::shared_ptr<QmlFilePicker> filePicker, std::shared_ptr<HotKeys> hotKeys,
               QObject *parent = nullptr);
    ~TessaroApp() override;

    SessionModel &model() { return *m_model; }
    SessionPresentation &presentation() { return *m_presentation; }
    SetupPresentation &setupPresentation() { return *m_setupPresentation; }
    KnowledgePresentation &knowledgePresentation() { return *m_knowledgePresentation; }
    OnboardingPresentation &onboardingPresentation() { return *m_onboardingPresentation; }
    AppDelegate &delegate() { return *m_delegate; }
    AppUpdates &updates() { return *m_updates; }
    QQmlApplicationEngine *engine() const { return m_engine.get(); }

    // Loads the windows; false when the screens could not be created.
    bool loadWindows();

    // "system", "light" or "dark"; anything else reads as "system".
    QString appearance() const { return m_appearance; }
    void setAppearance(const QString &value);
    // The scheme every window uses: the forced one, or the desktop's for "system".
    bool darkScheme() const;
    static QString version();
    // The icon theme's name for the app's icon: the desktop entry's name.
    static QString iconName();

    // Open (or bring forward) a window: "main", "companion", "settings" or "about".
    Q_INVOKABLE void openWindow(const QString &id);
    // Shows a window that is hidden, hides one that is shown: the companion's toggle.
    Q_INVOKABLE void toggleWindow(const QString &id);
    // The loaded window of that id, if any.
    QWindow *window(const QString &id) const;
    // Keeps a window above others on every workspace (X11: sticky and on all desktops).
    Q_INVOKABLE void floatOnEveryWorkspace(QWindow *window);
    // Ends the process the way quitting from the menu does.
    Q_INVOKABLE void quit();

signals:
    void appearanceChanged();
    void windowRequested(const QString &id);

private:
    std::unique_ptr<SessionModel> m_model;
    std::unique_ptr<SessionPresentation> m_presentation;
    std::unique_ptr<SetupPresentation> m_setupPresentation;
    std::unique_ptr<KnowledgePresentation> m_knowledgePresentation;
    std::unique_ptr<OnboardingPresentation> m_onboardingPresentation;
    std::unique_ptr<AppUpdates> m_updates;
    std::unique_ptr<AppDelegate> m_delegate;
    std::shared_ptr<QmlFilePicker> m_filePicker;
    std::unique_ptr<DesktopColorScheme> m_desktopScheme;
    std::unique_ptr<QQmlApplicationEngine> m_engine;
    QString m_appearance;
};

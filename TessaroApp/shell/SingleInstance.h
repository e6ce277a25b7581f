#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>

// One Corvana per desktop session. The first start owns the bundle identifier as its
// name on the session bus and answers org.freedesktop.Application there, as desktop
// launchers expect; a later start (plain, --companion or --main) hands its request to
// that one and exits. Without a session bus every start runs on its own.
//
// Actions, as ActivateAction names them and the desktop entry's Actions= offers them:
// "companion" shows or hides the companion, "main" shows the main window. Activate and
// Open show the main window.
class SingleInstance : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Application")

public:
    SingleInstance(QString bundleIdentifier, QDBusConnection bus, QObject *parent = nullptr);

    enum class Claim {
        // This process owns the name and answers for the app.
        owned,
        // Another process owns it: hand the request over.
        taken,
        // No session bus, or the bus refused the name: run on alone.
        alone,
    };
    Claim claim();

    // Asks the running instance for `action` ("companion", "main"; empty means a plain
    // activation). Returns an empty string on success, else the bus's error text.
    QString handOver(const QString &action);

    // The object path of org.freedesktop.Application for an identifier:
    // "com.quorrel.corvana" gives "/com/quorrel/corvana".
    static QString objectPath(const QString &bundleIdentifier);
    static const QStringList actions;

public slots:
    Q_SCRIPTABLE void Activate(const QVariantMap &platformData);
    Q_SCRIPTABLE void ActivateAction(const QString &action, const QVariantList &parameter,
                                     const QVariantMap &platformData);
    Q_SCRIPTABLE void Open(const QStringList &uris, const QVariantMap &platformData);

signals:
    // Bring the main window forward.
    void activated();
    // One of `actions`, asked for by a launcher or a later start.
    void actionRequested(const QString &action);

private:
    QString m_identifier;
    QDBusConnection m_bus;
};

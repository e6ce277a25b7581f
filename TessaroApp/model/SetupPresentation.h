#pragma once

#include <QCoro/QCoroTask>
#include <QObject>
#include <QtQml/qqmlregistration.h>
#include <QString>
#include <QUrl>
#include <QVariantList>
#include <QVariantMap>

#include <optional>

class SessionModel;

class QJSEngine;
class QQmlEngine;

// What the setup window and the About window show, derived from the session model:
// every "which text shows when" decision as a property, and the screens' operations
// (save, connect) as calls that go through the model.
// Each group of properties notifies with the signal of what it reads.
class SetupPresentation : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    // The setup screen.
    Q_PROPERTY(bool locked READ locked NOTIFY sessionChanged)
    Q_PROPERTY(QString lockedNote READ lockedNote NOTIFY sessionChanged)
    Q_PROPERTY(QVariantList durationChoices READ durationChoices NOTIFY accountChanged)
    Q_PROPERTY(QString durationText READ durationText NOTIFY durationChanged)
    Q_PROPERTY(QVariantList appearanceChoices READ appearanceChoices CONSTANT)
    Q_PROPERTY(bool offersServiceConnection READ offersServiceConnection CONSTANT)
    Q_PROPERTY(QString connectionStatus READ connectionStatus NOTIFY accountChanged)
    Q_PROPERTY(QString connectionTone READ connectionTone NOTIFY accountChanged)
    Q_PROPERTY(bool connecting READ connecting NOTIFY messageChanged)
    Q_PROPERTY(QString message READ message NOTIFY messageChanged)
    Q_PROPERTY(bool failed READ failed NOTIFY messageChanged)

    // The About screen.
    Q_PROPERTY(QString versionLine READ versionLine CONSTANT)
    Q_PROPERTY(QString buildLine READ buildLine CONSTANT)
    Q_PROPERTY(bool showsPublisherLogo READ showsPublisherLogo CONSTANT)
    Q_PROPERTY(QUrl publisherLogo READ publisherLogo CONSTANT)
    Q_PROPERTY(QString creditsLine READ creditsLine CONSTANT)
    Q_PROPERTY(bool showsCredits READ showsCredits CONSTANT)

public:
    // The screens' instance: the one the application handed to their engine.
    static SetupPresentation *create(QQmlEngine *engine, QJSEngine *);

    // `version` is the application's short version; empty reads as "0.4.0".
    SetupPresentation(SessionModel &model, QString version, QObject *parent = nullptr);

    static const QString lockedMessage;
    static const QString connectedMessage;
    static const QString publisherLogoResource;

    bool locked() const;
    QString lockedNote() const;
    QVariantList durationChoices() const;
    QString durationText() const;
    static QVariantList appearanceChoices();
    bool offersServiceConnection() const;
    QString connectionStatus() const;
    // The badge tone of the connection status: "neutral", "caution" (simulated) or "ready".
    QString connectionTone() const;
    bool connecting() const { return m_connecting; }
    const QString &message() const { return m_message; }
    bool failed() const { return m_failed; }

    QString versionLine() const;
    QString buildLine() const;
    bool showsPublisherLogo() const;
    static QUrl publisherLogo();
    static QString creditsLine();
    bool showsCredits() const;

    // "Save preferences": validates and stores through the model; the result is also the
    // screen's message line. Returns {message, failed}.
    Q_INVOKABLE QVariantMap save(const QString &name, const QString &domain, const QString &familiarity,
                                 const QString &budget);
    // "Connect & save": starts connecting to the service and lets it run on.
    using QObject::connect;
    Q_INVOKABLE void connect(const QString &serviceURL, const QString &token);
    // Runs the development service on this computer (the scripted sample when simulated)
    // and connects to it; the result line says how it went.
    Q_INVOKABLE void useLocalService(bool simulated);
    QCoro::Task<void> connectTo(QString serviceURL, QString token, std::optional<bool> localSimulated = std::nullopt);
    // Clears the message line; the setup screen calls it each time it opens.
    Q_INVOKABLE void clearMessage();

signals:
    // Whether a session runs.
    void sessionChanged();
    // The account and the connection it came through.
    void accountChanged();
    void durationChanged();
    // This screen's own connecting state and message line.
    void messageChanged();

private:
    void setMessage(const QString &message, bool failed);

    SessionModel &m_model;
    QString m_version;
    bool m_connecting = false;
    QString m_message;
    bool m_failed = false;
};

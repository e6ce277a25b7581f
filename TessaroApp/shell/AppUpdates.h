#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QtQml/qqmlregistration.h>
#include <QPointer>
#include <QSslCertificate>
#include <QString>
#include <QUrl>
#include <QVariantMap>

class QNetworkAccessManager;
class QNetworkReply;
class QTimer;

class QJSEngine;
class QQmlEngine;

// The user-initiated update check. Updates are configured by the information dictionary:
// "SUFeedURL", the https address of the update feed (an appcast, see Appcast), and
// "SUPublicEDKey", the base64 Ed25519 public key releases are signed with. Without both,
// valid, no check is ever possible and canCheck stays false.
//
// A check fetches the feed (no redirects followed, at most 1 MiB, 30 seconds in all) and
// compares its newest version with the running one; the outcome is a sentence in
// `message` and, when a newer release exists, its page in `downloadURL`. Installing is
// left to the user and the system's package manager.
class AppUpdates : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(bool canCheck READ canCheck NOTIFY canCheckChanged)
    Q_PROPERTY(bool inProgress READ inProgress NOTIFY inProgressChanged)
    // The outcome of the last check, empty before the first and while one runs.
    Q_PROPERTY(QString message READ message NOTIFY messageChanged)
    // The newer release's page from the last check; empty when there is none.
    Q_PROPERTY(QString downloadURL READ downloadURL NOTIFY downloadURLChanged)

public:
    // The screens' instance: the one the application handed to their engine.
    static AppUpdates *create(QQmlEngine *engine, QJSEngine *);

    static constexpr qint64 maximumFeedBytes = 1024 * 1024;
    static constexpr int timeoutMilliseconds = 30'000;

    // The running application's version: the bundle's short version, "0.4.0" when the
    // build has none.
    static QString applicationVersion();

    explicit AppUpdates(const QVariantMap &information, const QString &currentVersion = applicationVersion(),
                        QObject *parent = nullptr);
    ~AppUpdates() override;

    bool canCheck() const { return m_canCheck; }
    bool inProgress() const { return m_inProgress; }
    QString message() const { return m_message; }
    QString downloadURL() const { return m_downloadURL; }
    // Whether the information dictionary configures updates at all.
    bool configured() const { return m_feedURL.isValid(); }

    // Starts a check when canCheck is true; otherwise does nothing. canCheck is false and
    // inProgress true until it ends.
    Q_INVOKABLE void checkForUpdates();

    // For tests only: certificate authorities trusted besides the system's, so a check
    // can reach a local server with a certificate of its own.
    void setExtraCaCertificates(const QList<QSslCertificate> &certificates);

signals:
    void canCheckChanged();
    void inProgressChanged();
    void messageChanged();
    void downloadURLChanged();

private:
    enum class Abort { None, Oversize, Timeout };

    void receive();
    void finish();
    QString outcome(int httpStatus);
    void abortWith(Abort reason);
    void setCanCheck(bool value);
    void setInProgress(bool value);
    void setResult(const QString &message, const QString &downloadURL);

    QString m_currentVersion;
    QUrl m_feedURL;
    QList<QSslCertificate> m_extraCaCertificates;
    QNetworkAccessManager *m_network = nullptr;
    QPointer<QNetworkReply> m_reply;
    QTimer *m_deadline = nullptr;
    QByteArray m_body;
    Abort m_abort = Abort::None;
    bool m_canCheck = false;
    bool m_inProgress = false;
    QString m_message;
    QString m_downloadURL;
};

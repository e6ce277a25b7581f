#pragma once

#include "access/SignInChallenge.h"
#include "protocol/Connection.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <QCoro/QCoroTask>

#include <functional>
#include <optional>

class HttpExchange;

// The two unauthenticated requests of email-code sign-in, bound together by a proof key:
// a random verifier kept here and its SHA-256 challenge sent with the first request,
// so only this client can redeem the code. Lives on the main thread.
class SignInClient : public QObject {
    Q_OBJECT

public:
    // Throws the Connection error when the address is not an acceptable service.
    explicit SignInClient(const QString &serviceURL, QObject *parent = nullptr);
    ~SignInClient() override;

    const QString &serviceURL() const { return m_serviceURL; }
    const std::optional<QString> &verifier() const { return m_verifier; }

    QCoro::Task<SignInChallenge> begin(QString email, QString deviceName);
    QCoro::Task<Connection> verify(SignInChallenge challenge, QString code, bool recover);
    // Forgets the verifier and ends every request; the client is not used again.
    void cancel();

    static QString base64url(const QByteArray &bytes);
    static QString challengeFor(const QString &verifier);

    // Where the verifier's random bytes come from; false when the source failed.
    // Tests replace it to exercise a failing generator.
    using RandomSource = std::function<bool(QByteArray &bytes)>;
    void setRandomSource(RandomSource source) { m_random = std::move(source); }

private:
    QCoro::Task<QByteArray> post(QString path, QByteArray body);

    QString m_serviceURL;
    HttpExchange *m_http;
    std::optional<QString> m_verifier;
    RandomSource m_random;
};

#include "SessionModel.h"

#include "model/Attempt.h"

#include "access/DeviceCredential.h"
#include "access/SignInClient.h"
#include "model/SessionSetup.h"
#include "protocol/ServiceClient.h"
#include "protocol/TessaroError.h"
#include "text/UnicodeText.h"

#include <QPointer>
#include <QSysInfo>

namespace {

const QString connectionLostMessage = QStringLiteral(
    "Connection lost. Prepared answers are kept. Reconnect, then resume; speech during the gap was not captured.");
// The name the account's device list shows for this computer.
QString deviceName(const Platform &platform)
{
    const QString computer = platform.computerName ? platform.computerName().trimmed() : QString();
    return QStringLiteral("Corvana on ") + (computer.isEmpty() ? QSysInfo::machineHostName() : computer);
}

} // namespace

std::optional<DeviceCredential> SessionModel::deviceCredential() const
{
    if (!m_platform.secrets)
        return std::nullopt;
    return DeviceCredential(*m_platform.secrets, m_bundleIdentifier);
}

void SessionModel::saveCredential(const Connection &connection)
{
    std::optional<DeviceCredential> credential = deviceCredential();
    if (!credential)
        throw TessaroError::message(QStringLiteral("Could not save the device token in your keyring."));
    credential->save(connection);
}

void SessionModel::resetConversation()
{
    setMemory(ConversationMemory(0));
    setTranscript({});
    setAnswers({});
    setSnapshot(std::nullopt);
    setRangeState(std::nullopt);
    setConversationStartedAt(std::nullopt);
}

QCoro::Task<void> SessionModel::connect(Connection connection, bool persist)
{
    if (m_active)
        throw TessaroError::message(QStringLiteral("End your session before changing services."));
    if (m_configuration.release()
        && (!m_configuration.serviceURL() || *m_configuration.serviceURL() != connection.serviceUrl()))
        throw TessaroError::message(QStringLiteral("This release only connects to the Corvana service."));

    QPointer<SessionModel> self(this);
    QPointer<ServiceClient> fresh = new ServiceClient(connection, m_serviceTiming);
    std::optional<Account> fetched;
    std::exception_ptr failure;
    try {
        fetched = co_await fresh->account();
        if (self && persist)
            saveCredential(connection);
    } catch (...) {
        failure = std::current_exception();
    }
    if (failure || !self) {
        if (fresh) {
            fresh->disconnect();
            fresh->deleteLater();
        }
        if (failure)
            std::rethrow_exception(failure);
        co_return;
    }

    if (m_lastConnection && !(*m_lastConnection == connection))
        resetConversation();
    replaceClient(fresh);

    setAccount(fetched);
    setServiceURL(connection.serviceUrl());
    if (!m_lastConnection || !(*m_lastConnection == connection)) {
        m_lastConnection = connection;
        emit connectionChanged();
    }
    setNeedsReconnect(false);
    setDurationMinutes(std::min(m_durationMinutes, maximumMinutes()));

    fresh->onEvent = [self](const ServerEvent &event) {
        if (self)
            self->receive(event);
    };
    fresh->onDisconnect = [self] {
        if (!self)
            return;
        self->pauseCapture(connectionLostMessage);
        self->setStatus(QStringLiteral("Connection interrupted"));
        self->setNeedsReconnect(true);
    };

    setStatus(simulated() ? QStringLiteral("Ready for a simulated sample")
                          : QStringLiteral("Ready to listen to meeting audio"));
    setError(std::nullopt);
    if (m_onboarding)
        setOnboardingStep(1);
}

QCoro::Task<void> SessionModel::connectLocalService(bool simulated)
{
    if (!m_platform.localService)
        throw TessaroError::message(QStringLiteral("This build cannot run the local service."));
    if (m_configuration.release())
        throw TessaroError::message(QStringLiteral("This release only connects to the Corvana service."));
    if (m_active)
        throw TessaroError::message(QStringLiteral("End your session before changing services."));
    QPointer<SessionModel> self(this);
    const std::shared_ptr<LocalService> service = m_platform.localService;
    const QString connectionFile = co_await service->start(simulated);
    if (!self)
        co_return;
    co_await connect(readBootstrapFile(connectionFile), false);
    if (self && m_platform.preferences)
        m_platform.preferences->setString(QStringLiteral("localService"),
                                          simulated ? QStringLiteral("simulated") : QStringLiteral("live"));
}

void SessionModel::requestLocalService(bool simulated)
{
    const auto run = [](QPointer<SessionModel> self, bool simulated) -> QCoro::Task<void> {
        if (!self || self->m_signingIn)
            co_return;
        self->setSigningIn(true);
        self->setSignInMessage(std::nullopt);
        const Attempt<> connected = co_await attempt(self, self->connectLocalService(simulated));
        if (connected.ownerGone)
            co_return;
        self->setSigningIn(false);
        if (connected.failure)
            self->setSignInMessage(connected.failure);
    };
    [[maybe_unused]] QCoro::Task<void> running = run(QPointer<SessionModel>(this), simulated);
}

void SessionModel::replaceClient(ServiceClient *client)
{
    if (m_client && m_client != client) {
        m_client->onEvent = nullptr;
        m_client->onDisconnect = nullptr;
        m_client->disconnect();
        m_client->deleteLater();
    }
    if (m_client == client)
        return;
    m_client = client;
    emit connectionChanged();
}

void SessionModel::requireSignInIfExpired(const std::exception &failure)
{
    const auto *error = dynamic_cast<const TessaroError *>(&failure);
    if (!error || !error->requiresSignIn())
        return;
    pauseCapture(QStringLiteral("Sign in again to reconnect this computer. Audio is off."));
    if (m_client)
        m_client->disconnect();
    setAccount(std::nullopt);
    setOnboardingStep(0);
    setOnboarding(true);
    setSignInMessage(QStringLiteral("Your device access expired or was removed. Sign in again."));
}

void SessionModel::dropSignInClient()
{
    if (m_signInClient) {
        m_signInClient->cancel();
        m_signInClient->deleteLater();
    }
    m_signInClient = nullptr;
}

QCoro::Task<void> SessionModel::requestSignIn()
{
    if (m_signingIn)
        co_return;
    if (!m_signInURL) {
        setSignInMessage(QStringLiteral("This build is not connected to the beta service yet."));
        co_return;
    }
    setSigningIn(true);
    setSignInMessage(std::nullopt);
    dropSignInClient();
    m_pendingSignInConnection.reset();
    try {
        m_signInClient = new SignInClient(*m_signInURL);
    } catch (const std::exception &failure) {
        setSignInMessage(describeFailure(failure));
        setSigningIn(false);
        co_return;
    }

    QPointer<SessionModel> self(this);
    QPointer<SignInClient> client = m_signInClient;
    const Attempt<SignInChallenge> begun = co_await attempt(self, client->begin(m_signInEmail, deviceName(m_platform)));
    if (begun.ownerGone)
        co_return;
    if (begun.value) {
        setSignInChallenge(begun.value);
        setSignInMessage(
            QStringLiteral("If this address is invited, a code is on its way. Check your inbox and spam folder."));
    } else {
        setSignInMessage(begun.failure);
    }
    setSigningIn(false);
}

QCoro::Task<void> SessionModel::completeSignIn()
{
    if (m_signingIn || !m_signInClient || !m_signInChallenge)
        co_return;
    setSigningIn(true);
    setSignInMessage(std::nullopt);

    QPointer<SessionModel> self(this);
    std::optional<QString> failureText;
    try {
        if (!m_pendingSignInConnection) {
            QString digits;
            for (const QChar c : m_signInCode) {
                if (c.isDigit())
                    digits.append(c);
            }
            QPointer<SignInClient> client = m_signInClient;
            const Connection verified = co_await client->verify(*m_signInChallenge, digits, m_recoveringAccount);
            if (!self)
                co_return;
            m_pendingSignInConnection = verified;
        }
        const Connection connection = *m_pendingSignInConnection;
        saveCredential(connection);
        co_await connect(connection, false);
    } catch (const std::exception &failure) {
        failureText = describeFailure(failure);
    }
    if (!self)
        co_return;
    if (failureText) {
        setSignInMessage(failureText);
        setSigningIn(false);
        co_return;
    }
    dropSignInClient();
    m_pendingSignInConnection.reset();
    setSignInCode(QString());
    setSignInChallenge(std::nullopt);
    setRecoveringAccount(false);
    setOnboardingStep(1);
    setOnboarding(true);
    setError(std::nullopt);
    setSigningIn(false);
}

QCoro::Task<void> SessionModel::refreshDevices()
{
    if (!m_client) {
        setDevices({});
        setAccountMessage(std::nullopt);
        co_return;
    }
    QPointer<SessionModel> self(this);
    QPointer<ServiceClient> client = m_client;
    const Attempt<QList<AccountDevice>> listed = co_await attempt(self, client->devices());
    if (listed.ownerGone)
        co_return;
    if (listed.value) {
        setDevices(*listed.value);
        setAccountMessage(std::nullopt);
    } else {
        setAccountMessage(listed.failure);
    }
}

QCoro::Task<void> SessionModel::removeDevice(AccountDevice device)
{
    if (device.current) {
        co_await signOut();
        co_return;
    }
    if (!m_client) {
        co_await refreshDevices();
        co_return;
    }
    QPointer<SessionModel> self(this);
    QPointer<ServiceClient> client = m_client;
    const Attempt<> revoked = co_await attempt(self, client->revokeDevice(device.id));
    if (revoked.ownerGone)
        co_return;
    if (revoked.failure) {
        setAccountMessage(revoked.failure);
        co_return;
    }
    co_await refreshDevices();
}

QCoro::Task<void> SessionModel::signOut()
{
    QPointer<SessionModel> self(this);
    co_await stop();
    if (!self)
        co_return;
    const auto composed = [](const QString &description) {
        return QStringLiteral("Could not sign out: ") + description
            + QStringLiteral(" Reconnect and try again, or use account recovery on another computer to remove this device.");
    };
    if (m_account && m_account->profile && m_client) {
        QPointer<ServiceClient> client = m_client;
        std::optional<QString> failureText;
        try {
            co_await client->signOut();
        } catch (const TessaroError &failure) {
            if (!failure.requiresSignIn())
                failureText = failure.description();
        } catch (const std::exception &failure) {
            failureText = describeFailure(failure);
        }
        if (!self)
            co_return;
        if (failureText) {
            setAccountMessage(composed(*failureText));
            co_return;
        }
    }
    try {
        if (std::optional<DeviceCredential> credential = deviceCredential())
            credential->remove();
    } catch (const std::exception &failure) {
        setAccountMessage(composed(describeFailure(failure)));
        co_return;
    }

    replaceClient(nullptr);
    m_lastConnection.reset();
    if (m_platform.localService)
        m_platform.localService->stop();
    if (m_platform.preferences && localServiceChoice())
        m_platform.preferences->setString(QStringLiteral("localService"), QString());
    setAccount(std::nullopt);
    setSnapshot(std::nullopt);
    setMemory(ConversationMemory(0));
    setTranscript({});
    setAnswers({});
    setRangeState(std::nullopt);
    setConversationStartedAt(std::nullopt);
    setDevices({});
    setSignInCode(QString());
    setSignInChallenge(std::nullopt);
    setSignInMessage(std::nullopt);
    setError(std::nullopt);
    setRecoveryMessage(std::nullopt);
    m_pendingSignInConnection.reset();
    dropSignInClient();
    setOnboardingStep(0);
    setOnboarding(true);
    setStatus(QStringLiteral("Sign in to Corvana"));
}

void SessionModel::finishOnboarding()
{
    if (!m_account || !SessionSetup::onboardingDomainAcceptable(m_domain))
        return;
    savePreferences();
    if (m_platform.preferences)
        m_platform.preferences->setBoolean(QStringLiteral("onboardingComplete"), true);
    setOnboarding(false);
}

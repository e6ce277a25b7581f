#include "SessionModel.h"

#include "devmodes/CaptureCheck.h"
#include "model/Attempt.h"
#include "devmodes/LiveEvaluation.h"
#include "model/SessionSetup.h"
#include "protocol/TaskHandle.h"
#include "protocol/ServiceClient.h"
#include "protocol/TessaroError.h"
#include "protocol/WireCoding.h"

#include <QCoreApplication>
#include <QFile>
#include <QPointer>

#include <cstdio>

namespace {

// A connection file is a small JSON object; anything larger is not one.
constexpr qint64 maximumBootstrapBytes = 64 * 1024;

const QString captureCheckStatus = QStringLiteral("Local capture check · no provider calls");

} // namespace

Connection SessionModel::readBootstrapFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw TessaroError::message(QStringLiteral("The connection file %1 could not be read: %2.")
                                        .arg(path, file.errorString()));
    if (file.size() > maximumBootstrapBytes)
        throw TessaroError::message(
            QStringLiteral("The connection file %1 is too large to be a connection.").arg(path));
    const QByteArray bytes = file.read(maximumBootstrapBytes + 1);
    if (bytes.size() > maximumBootstrapBytes)
        throw TessaroError::message(
            QStringLiteral("The connection file %1 is too large to be a connection.").arg(path));
    return wire::decode<Connection>(bytes);
}

std::optional<QString> SessionModel::localServiceChoice() const
{
    if (!m_platform.localService || m_configuration.release() || !m_platform.preferences)
        return std::nullopt;
    const std::optional<QString> choice = m_platform.preferences->string(QStringLiteral("localService"));
    if (choice != QStringLiteral("live") && choice != QStringLiteral("simulated"))
        return std::nullopt;
    return choice;
}

QCoro::Task<void> SessionModel::load()
{
    if (m_loaded)
        co_return;
    m_loaded = true;

    QPointer<SessionModel> self(this);
    if (m_platform.workspace && !m_sleepObserver) {
        m_sleepObserver = m_platform.workspace->addSleepObserver([self] {
            if (self)
                self->handleSleep();
        });
    }

    const auto environment = [this](const char *name) -> std::optional<QString> {
        if (!m_platform.environment)
            return std::nullopt;
        return m_platform.environment(QString::fromLatin1(name));
    };

    if (const std::optional<QString> check = environment("TESSARO_CAPTURE_CHECK")) {
        setStatus(captureCheckStatus);
        if (m_seams.captureCheck)
            co_await m_seams.captureCheck(*this, *check);
        else
            co_await runCaptureCheck(*check);
        co_return;
    }

    readPreferences();
    if (!environment("TESSARO_LIVE_EVALUATION"))
        openKnowledge();
    applySessionLimitOverride();
    if (m_seams.refreshAudioSources)
        m_seams.refreshAudioSources(*this);
    else if (m_platform.capture)
        refreshSources();
    setSignInURL(m_configuration.serviceURL());

    const bool connectionSettled = co_await findConnection();
    if (!self || !connectionSettled)
        co_return;

    if (const std::optional<QString> evaluation = environment("TESSARO_LIVE_EVALUATION")) {
        if (m_seams.liveEvaluation)
            co_await m_seams.liveEvaluation(*this, *evaluation);
        else
            co_await runLiveEvaluation(*evaluation);
    }
}

void SessionModel::beginLoad()
{
    // A dropped task keeps running and frees itself when it finishes.
    [[maybe_unused]] QCoro::Task<void> running = load();
}

void SessionModel::readPreferences()
{
    Preferences *preferences = m_platform.preferences.get();
    if (!preferences)
        return;
    if (const auto value = preferences->string(QStringLiteral("domainName")))
        setDomainName(*value);
    if (const auto value = preferences->string(QStringLiteral("domain")))
        setDomain(*value);
    if (const auto value = preferences->string(QStringLiteral("familiarity")))
        setFamiliarity(*value);
    if (const auto value = preferences->string(QStringLiteral("budget")))
        setBudget(*value);
    const qint64 minutes = preferences->integer(QStringLiteral("durationMinutes")).value_or(0);
    if (SessionSetup::storedDurationAcceptable(minutes))
        setDurationMinutes(int(minutes));
}

QCoro::Task<void> SessionModel::runCaptureCheck(QString path)
{
    CaptureCheck::Environment environment;
    environment.makeCapture = [hardware = m_platform.audioHardware, microphone = m_platform.microphone,
                               bundleIdentifier = m_platform.bundleIdentifier] {
        return std::make_unique<LiveAudioCapture>(hardware, microphone, bundleIdentifier);
    };
    environment.player = m_platform.fixturePlayer;
    environment.epochMilliseconds = m_platform.epochMilliseconds;
    environment.quit = [] {
        QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit, Qt::QueuedConnection);
    };
    CaptureCheck check(std::move(environment));
    co_await check.run(std::move(path));
}

QCoro::Task<void> SessionModel::runLiveEvaluation(QString path)
{
    LiveEvaluation::Environment environment;
    environment.hardware = m_platform.audioHardware;
    environment.player = m_platform.fixturePlayer;
    environment.epochMilliseconds = m_platform.epochMilliseconds;
    environment.print = [](const QString &line) {
        std::fputs(qPrintable(line + QLatin1Char('\n')), stdout);
        std::fflush(stdout);
    };
    environment.quit = [] {
        QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit, Qt::QueuedConnection);
    };
    LiveEvaluation evaluation(*this, std::move(environment));
    co_await evaluation.run(std::move(path));
}

void SessionModel::applySessionLimitOverride()
{
    if (!m_platform.environment)
        return;
    const std::optional<QString> limit =
        m_platform.environment(QStringLiteral("TESSARO_NATIVE_SESSION_LIMIT_MICROS"));
    if (!limit)
        return;
    if (const std::optional<QString> budgetText = SessionSetup::overrideBudget(*limit))
        setBudget(*budgetText);
}

bool SessionModel::connectionAcceptable(const Connection &connection) const
{
    if (!m_configuration.release())
        return true;
    const std::optional<QString> configured = m_configuration.serviceURL();
    return configured && *configured == connection.serviceUrl();
}

QCoro::Task<bool> SessionModel::findConnection()
{
    QPointer<SessionModel> self(this);
    const auto failStartup = [this](const QString &description) {
        setError(description);
        setSignInMessage(description);
        setOnboarding(true);
    };

    std::optional<Connection> connection;
    bool localServiceWanted = false;
    try {
        const std::optional<QString> bootstrap =
            m_platform.environment ? m_platform.environment(QStringLiteral("TESSARO_NATIVE_BOOTSTRAP"))
                                   : std::nullopt;
        if (bootstrap)
            connection = readBootstrapFile(*bootstrap);
        else if (m_seams.loadCredential)
            connection = m_seams.loadCredential();
        else if (std::optional<DeviceCredential> credential = deviceCredential())
            connection = credential->load();
        localServiceWanted = !bootstrap && !connection && localServiceChoice();
    } catch (const std::exception &failure) {
        failStartup(describeFailure(failure));
        co_return false;
    }

    if (localServiceWanted && !connection) {
        // The person chose the service on this computer last time: start it again.
        const Attempt<> connected =
            co_await attempt(self, connectLocalService(*localServiceChoice() == QStringLiteral("simulated")));
        if (connected.ownerGone)
            co_return false;
        if (connected.failure) {
            failStartup(*connected.failure);
            co_return false;
        }
        co_return true;
    }
    if (!connection || !connectionAcceptable(*connection)) {
        setOnboarding(true);
        co_return true;
    }

    std::optional<QString> connectFailure;
    try {
        if (m_seams.connect)
            co_await m_seams.connect(*this, *connection, false);
        else
            co_await connect(*connection, false);
    } catch (const std::exception &failure) {
        connectFailure = describeFailure(failure);
    }
    if (!self)
        co_return false;
    if (connectFailure) {
        failStartup(*connectFailure);
        co_return false;
    }
    const bool onboardingComplete = m_platform.preferences
        && m_platform.preferences->boolean(QStringLiteral("onboardingComplete")).value_or(false);
    if (m_account && m_account->profile && !onboardingComplete) {
        setOnboardingStep(1);
        setOnboarding(true);
    }
    co_return true;
}

void SessionModel::terminate()
{
    if (m_sleepObserver && m_platform.workspace)
        m_platform.workspace->removeSleepObserver(*m_sleepObserver);
    m_sleepObserver.reset();
    m_startingID.reset();
    if (m_platform.capture)
        m_platform.capture->stop();
    cancelTask(m_captureTask);
    cancelTask(m_clockTask);
    cancelTask(m_replayTask);
    if (m_client)
        m_client->disconnect();
    if (m_platform.localService)
        m_platform.localService->stop();
    waitForKnowledgeWrites();
}


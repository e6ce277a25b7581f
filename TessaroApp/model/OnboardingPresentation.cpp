#include "OnboardingPresentation.h"

#include "model/QmlInstances.h"

#include "model/ModelChanges.h"
#include "model/SessionModel.h"
#include "model/Money.h"
#include "model/SessionSetup.h"


namespace {

// Less than one cent: enough to sign in, not enough for a live session.
constexpr qint64 unfundedMicros = 9'999;

const char *const pageTitles[] = {"Sign in with email", "Describe your expertise", "Choose your audio"};
constexpr int pageCount = 3;

} // namespace

OnboardingPresentation::OnboardingPresentation(SessionModel &model, QObject *parent)
    : QObject(parent)
    , m_model(model)
    , m_pageRows({"key", "title", "passed", "current"})
    , m_deviceRows({"key", "name", "current"})
{
    connect(&model, &SessionModel::onboardingStepChanged, this, &OnboardingPresentation::refreshPages);
    connect(&model, &SessionModel::devicesChanged, this, &OnboardingPresentation::refreshDevicesRows);

    using M = SessionModel;
    using P = OnboardingPresentation;
    ModelChanges::relay(model, {&M::onboardingStepChanged}, this, &P::pageChanged);
    ModelChanges::relay(model,
                        {&M::signInURLChanged, &M::signInChallengeChanged, &M::signingInChanged,
                         &M::signInEmailChanged, &M::recoveringAccountChanged, &M::signInMessageChanged},
                        this, &P::signInChanged);
    ModelChanges::relay(model, {&M::domainChanged, &M::accountChanged, &M::sourceChanged}, this, &P::choicesChanged);
    ModelChanges::relay(model, {&M::accountChanged, &M::accountMessageChanged}, this, &P::accountChanged);
    refreshPages();
    refreshDevicesRows();
}

void OnboardingPresentation::refreshPages()
{
    const int current = page();
    QList<QVariantMap> rows;
    for (int i = 0; i < pageCount; ++i) {
        rows.append({{QStringLiteral("key"), QString::number(i)},
                     {QStringLiteral("title"), QString::fromLatin1(pageTitles[i])},
                     {QStringLiteral("passed"), i < current},
                     {QStringLiteral("current"), i == current}});
    }
    m_pageRows.setRows(std::move(rows));
}

void OnboardingPresentation::refreshDevicesRows()
{
    QList<QVariantMap> rows;
    for (const AccountDevice &device : m_model.devices()) {
        rows.append({{QStringLiteral("key"), device.id},
                     {QStringLiteral("name"), device.name},
                     {QStringLiteral("current"), device.current}});
    }
    m_deviceRows.setRows(std::move(rows));
}

QVariantList OnboardingPresentation::audioChoices()
{
    const auto choice = [](const char *value, const char *label) {
        return QVariantMap{{QStringLiteral("value"), QString::fromLatin1(value)},
                           {QStringLiteral("label"), QString::fromUtf8(label)}};
    };
    return {choice("system", "Meeting audio · works with headsets"),
            choice("microphone", "Microphone · for an in-person conversation"),
            choice("both", "Meeting audio + microphone")};
}

// Pages and footer.

int OnboardingPresentation::page() const
{
    return std::clamp(m_model.onboardingStep(), 0, pageCount - 1);
}

bool OnboardingPresentation::showBack() const
{
    return page() > 0;
}

bool OnboardingPresentation::showPrivacy() const
{
    return m_model.configuration().privacyURL().has_value();
}

bool OnboardingPresentation::showHelp() const
{
    return m_model.configuration().supportURL().has_value();
}

QString OnboardingPresentation::privacyURL() const
{
    const std::optional<QUrl> url = m_model.configuration().privacyURL();
    return url ? url->toString() : QString();
}

QString OnboardingPresentation::helpURL() const
{
    const std::optional<QUrl> url = m_model.configuration().supportURL();
    return url ? url->toString() : QString();
}

// Sign-in page.

bool OnboardingPresentation::serviceAvailable() const
{
    return m_model.signInURL().has_value();
}

bool OnboardingPresentation::showCodeStep() const
{
    return m_model.signInChallenge().has_value();
}

bool OnboardingPresentation::canSendCode() const
{
    return serviceAvailable() && !m_model.signingIn() && m_model.signInEmail().contains(QLatin1Char('@'));
}

bool OnboardingPresentation::canSignIn() const
{
    return showCodeStep() && !m_model.signingIn();
}

bool OnboardingPresentation::canEditSignIn() const
{
    return !m_model.signingIn();
}

QString OnboardingPresentation::simulatedCodeLine() const
{
    const std::optional<SignInChallenge> &challenge = m_model.signInChallenge();
    if (!challenge || !challenge->simulatedCode || challenge->simulatedCode->isEmpty())
        return {};
    return QStringLiteral("Simulated sign-in code: ") + *challenge->simulatedCode
        + QString::fromUtf8(" · no email sent");
}

bool OnboardingPresentation::showRecoveryWarning() const
{
    return m_model.recoveringAccount();
}

QString OnboardingPresentation::signInStatus() const
{
    return m_model.signInMessage().value_or(QString());
}

// Domain and audio pages.

bool OnboardingPresentation::canContinue() const
{
    // Finishing needs the same description, so a too-short one is caught here rather
    // than by an "Open Corvana" that does nothing.
    return SessionSetup::onboardingDomainAcceptable(m_model.domain());
}

bool OnboardingPresentation::canFinish() const
{
    return m_model.account().has_value() && SessionSetup::onboardingDomainAcceptable(m_model.domain());
}

int OnboardingPresentation::audioChoiceIndex() const
{
    const QVariantList choices = audioChoices();
    for (qsizetype i = 0; i < choices.size(); ++i) {
        if (choices[i].toMap().value(QStringLiteral("value")).toString() == m_model.source())
            return int(i);
    }
    return -1;
}

QString OnboardingPresentation::allowanceLine() const
{
    const std::optional<Account> &account = m_model.account();
    if (!account)
        return {};
    if (account->wallet.simulated)
        return QString::fromUtf8("Simulated allowance · no provider credits");
    return QStringLiteral("Beta allowance: ") + Money::dollars(account->wallet.balanceMicros);
}

bool OnboardingPresentation::showFundingNote() const
{
    const std::optional<Account> &account = m_model.account();
    return account && !account->wallet.simulated && account->wallet.balanceMicros <= unfundedMicros;
}

// Account panel.

QString OnboardingPresentation::signedOutNote() const
{
    return m_model.account() ? QString() : QStringLiteral("Sign in to access your beta allowance.");
}

QString OnboardingPresentation::simulatedNote() const
{
    return m_model.simulated() ? QString::fromUtf8("Simulated development account · no provider credits") : QString();
}

QString OnboardingPresentation::accountMessageText() const
{
    return m_model.accountMessage().value_or(QString());
}

// Entry points. A dropped task keeps running and frees itself when it finishes.

void OnboardingPresentation::requestSignIn()
{
    if (!canSendCode())
        return;
    [[maybe_unused]] QCoro::Task<void> running = m_model.requestSignIn();
}

void OnboardingPresentation::completeSignIn()
{
    [[maybe_unused]] QCoro::Task<void> running = m_model.completeSignIn();
}

void OnboardingPresentation::restartSignIn()
{
    if (m_model.signingIn())
        return;
    m_model.setSignInChallenge(std::nullopt);
    m_model.setSignInCode(QString());
    m_model.setSignInMessage(std::nullopt);
}

void OnboardingPresentation::back()
{
    if (showBack())
        m_model.setOnboardingStep(page() - 1);
}

void OnboardingPresentation::continueToAudio()
{
    if (canContinue())
        m_model.setOnboardingStep(2);
}

void OnboardingPresentation::finish()
{
    m_model.finishOnboarding();
}

void OnboardingPresentation::refreshDevices()
{
    [[maybe_unused]] QCoro::Task<void> running = m_model.refreshDevices();
}

void OnboardingPresentation::removeDevice(const QString &id)
{
    for (const AccountDevice &device : m_model.devices()) {
        if (device.id == id) {
            [[maybe_unused]] QCoro::Task<void> running = m_model.removeDevice(device);
            return;
        }
    }
}

void OnboardingPresentation::signOut()
{
    [[maybe_unused]] QCoro::Task<void> running = m_model.signOut();
}

OnboardingPresentation *OnboardingPresentation::create(QQmlEngine *engine, QJSEngine *)
{
    return QmlInstances::take<OnboardingPresentation>(engine);
}

#include "SetupPresentation.h"

#include "model/QmlInstances.h"

#include "model/ModelChanges.h"
#include "model/SessionModel.h"

#include "protocol/Connection.h"
#include "protocol/TessaroError.h"

#include <QFile>
#include <QPointer>

const QString SetupPresentation::lockedMessage = QStringLiteral("End your session to change its setup.");
const QString SetupPresentation::connectedMessage =
    QStringLiteral("Service connected. Save your domain preferences when ready.");
const QString SetupPresentation::publisherLogoResource = QStringLiteral(":/qt/qml/Corvana/SupportingViews/Quorrel.png");

namespace {

QVariantMap choice(const QString &value, const QString &label)
{
    return {{QStringLiteral("value"), value}, {QStringLiteral("label"), label}};
}

} // namespace

SetupPresentation::SetupPresentation(SessionModel &model, QString version, QObject *parent)
    : QObject(parent)
    , m_model(model)
    , m_version(version.trimmed().isEmpty() ? QStringLiteral("0.4.0") : version.trimmed())
{
    using M = SessionModel;
    using P = SetupPresentation;
    ModelChanges::relay(model, {&M::activeChanged}, this, &P::sessionChanged);
    ModelChanges::relay(model, {&M::accountChanged, &M::connectionChanged}, this, &P::accountChanged);
    ModelChanges::relay(model, {&M::durationMinutesChanged}, this, &P::durationChanged);
}

void SetupPresentation::setMessage(const QString &message, bool failed)
{
    m_message = message;
    m_failed = failed;
    emit messageChanged();
}

// The setup screen.

bool SetupPresentation::locked() const
{
    return m_model.active();
}

QString SetupPresentation::lockedNote() const
{
    return locked() ? lockedMessage : QString();
}

QVariantList SetupPresentation::durationChoices() const
{
    QVariantList choices;
    for (const int minutes : m_model.durationChoices()) {
        choices.append(QVariantMap{{QStringLiteral("value"), minutes},
                                   {QStringLiteral("label"), QString::number(minutes) + QStringLiteral(" minutes")}});
    }
    return choices;
}

QString SetupPresentation::durationText() const
{
    return QString::number(m_model.durationMinutes()) + QStringLiteral(" minutes");
}

QVariantList SetupPresentation::appearanceChoices()
{
    return {choice(QStringLiteral("system"), QStringLiteral("System")),
            choice(QStringLiteral("light"), QStringLiteral("Light")),
            choice(QStringLiteral("dark"), QStringLiteral("Dark"))};
}

bool SetupPresentation::offersServiceConnection() const
{
    // A release build connects only to its own service, through sign-in.
    return !m_model.configuration().release();
}

QString SetupPresentation::connectionStatus() const
{
    if (!m_model.client() || !m_model.account())
        return QStringLiteral("Not connected");
    return m_model.simulated() ? QStringLiteral("Simulated service") : QStringLiteral("Connected");
}

QString SetupPresentation::connectionTone() const
{
    if (!m_model.client() || !m_model.account())
        return QStringLiteral("neutral");
    return m_model.simulated() ? QStringLiteral("caution") : QStringLiteral("ready");
}

QVariantMap SetupPresentation::save(const QString &name, const QString &domain, const QString &familiarity,
                                    const QString &budget)
{
    const SessionModel::SetupResult result = m_model.saveSetup(name, domain, familiarity, budget);
    setMessage(result.message, result.failed);
    return {{QStringLiteral("message"), result.message}, {QStringLiteral("failed"), result.failed}};
}

void SetupPresentation::connect(const QString &serviceURL, const QString &token)
{
    [[maybe_unused]] QCoro::Task<void> running = connectTo(serviceURL, token);
}

void SetupPresentation::useLocalService(bool simulated)
{
    [[maybe_unused]] QCoro::Task<void> running = connectTo({}, {}, simulated);
}

QCoro::Task<void> SetupPresentation::connectTo(QString serviceURL, QString token, std::optional<bool> localSimulated)
{
    if (m_connecting)
        co_return;
    QPointer<SetupPresentation> self(this);
    m_connecting = true;
    emit messageChanged();
    std::optional<QString> failure;
    try {
        if (localSimulated) {
            co_await m_model.connectLocalService(*localSimulated);
        } else {
            const Connection connection(serviceURL, token);
            co_await m_model.connect(connection, true);
        }
    } catch (const std::exception &error) {
        failure = describeFailure(error);
    }
    if (!self)
        co_return;
    m_connecting = false;
    if (failure)
        setMessage(*failure, true);
    else
        setMessage(connectedMessage, false);
}

void SetupPresentation::clearMessage()
{
    if (m_connecting)
        return;
    setMessage(QString(), false);
}

// The About screen.

QString SetupPresentation::versionLine() const
{
    return QStringLiteral("Version ") + m_version;
}

QString SetupPresentation::buildLine() const
{
    return m_model.configuration().release() ? QStringLiteral("Private beta") : QStringLiteral("Development build");
}

bool SetupPresentation::showsPublisherLogo() const
{
    return QFile::exists(publisherLogoResource);
}

QUrl SetupPresentation::publisherLogo()
{
    return QUrl(QStringLiteral("qrc") + publisherLogoResource);
}

QString SetupPresentation::creditsLine()
{
    // The credits carry no text line of their own yet; the publisher's logo is the credit.
    return QString();
}

bool SetupPresentation::showsCredits() const
{
    return showsPublisherLogo() || !creditsLine().isEmpty();
}

SetupPresentation *SetupPresentation::create(QQmlEngine *engine, QJSEngine *)
{
    return QmlInstances::take<SetupPresentation>(engine);
}

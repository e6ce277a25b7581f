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
const QString SetupPresentation::removedCopyLine =
    QStringLiteral("Imported copy removed; this quote remains only in the current session.");
const QString SetupPresentation::publisherLogoResource = QStringLiteral(":/qt/qml/Corvana/SupportingViews/Quorrel.png");

namespace {

const QString separator = QStringLiteral(" · ");

QVariantMap choice(const QString &value, const QString &label)
{
    return {{QStringLiteral("value"), value}, {QStringLiteral("label"), label}};
}

bool cites(const PreparedAnswer &answer)
{
    return answer.citations && !answer.citations->isEmpty();
}

} // namespace

SetupPresentation::SetupPresentation(SessionModel &model, QString version, QObject *parent)
    : QObject(parent)
    , m_model(model)
    , m_version(version.trimmed().isEmpty() ? QStringLiteral("0.4.0") : version.trimmed())
    , m_documentRows({"key", "title", "enabled"})
    , m_preferenceRows({"key", "topic", "prominence", "style"})
{
    connect(&model, &SessionModel::privateKnowledgeChanged, this, &SetupPresentation::refreshRows);
    connect(&model, &SessionModel::domainChanged, this, &SetupPresentation::refreshRows);
    ModelChanges::forwardAll(model, this);
    refreshRows();
}

void SetupPresentation::refreshRows()
{
    QList<QVariantMap> documents;
    for (const KnowledgeDocument &document : m_model.domainDocuments()) {
        documents.append({{QStringLiteral("key"), document.id},
                          {QStringLiteral("title"), document.title},
                          {QStringLiteral("enabled"), document.enabled}});
    }
    m_documentRows.setRows(std::move(documents));

    QList<QVariantMap> preferences;
    for (const LearnedPreference &preference : m_model.learnedPreferences()) {
        preferences.append({{QStringLiteral("key"), preference.id},
                            {QStringLiteral("topic"), preference.topic},
                            {QStringLiteral("prominence"), preference.prominence},
                            {QStringLiteral("style"), preference.style}});
    }
    m_preferenceRows.setRows(std::move(preferences));
}

void SetupPresentation::setMessage(const QString &message, bool failed)
{
    m_message = message;
    m_failed = failed;
    emit changed();
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

QCoro::Task<void> SetupPresentation::connectTo(QString serviceURL, QString token)
{
    if (m_connecting)
        co_return;
    QPointer<SetupPresentation> self(this);
    m_connecting = true;
    emit changed();
    std::optional<QString> failure;
    try {
        const Connection connection(serviceURL, token);
        co_await m_model.connect(connection, true);
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

// The reference library.

QString SetupPresentation::documentsTitle() const
{
    return QStringLiteral("Reference documents") + separator + QString::number(m_documentRows.count());
}

QString SetupPresentation::documentsDomainLine() const
{
    return QStringLiteral("Reference files for your saved domain: ") + m_model.domainName();
}

QString SetupPresentation::documentsEmptyLine() const
{
    return m_documentRows.count() == 0 ? QStringLiteral("No reference documents yet.") : QString();
}

bool SetupPresentation::importing() const
{
    return m_model.importingDocument();
}

bool SetupPresentation::canImport() const
{
    return !m_model.active() && !m_model.busy() && !m_model.importingDocument();
}

QString SetupPresentation::knowledgeMessage() const
{
    return m_model.knowledgeMessage().value_or(QString());
}

// Private learning.

QString SetupPresentation::learningTitle() const
{
    return QStringLiteral("Private learning") + separator
        + (learningEnabled() ? QStringLiteral("on") : QStringLiteral("off"));
}

bool SetupPresentation::learningEnabled() const
{
    return m_model.privateKnowledge().learningEnabled;
}

QString SetupPresentation::preferencesEmptyLine() const
{
    return m_preferenceRows.count() == 0 ? QStringLiteral("No learned preferences for this domain.") : QString();
}

QVariantList SetupPresentation::prominenceChoices()
{
    return {choice(QStringLiteral("normal"), QStringLiteral("Normal")),
            choice(QStringLiteral("known"), QStringLiteral("I know this")),
            choice(QStringLiteral("quiet"), QStringLiteral("Quiet"))};
}

QVariantList SetupPresentation::styleChoices()
{
    return {choice(QStringLiteral("Cue"), QStringLiteral("Answer")),
            choice(QStringLiteral("Deeper"), QStringLiteral("Deeper")),
            choice(QStringLiteral("Simpler"), QStringLiteral("Simpler")),
            choice(QStringLiteral("ELI5"), QStringLiteral("ELI5"))};
}

void SetupPresentation::setDocumentEnabled(const QString &id, bool enabled)
{
    m_model.updateKnowledge([&id, enabled](PrivateKnowledge &knowledge) {
        for (KnowledgeDocument &document : knowledge.documents) {
            if (document.id == id)
                document.enabled = enabled;
        }
    });
}

void SetupPresentation::removeDocument(const QString &id)
{
    m_model.updateKnowledge([&id](PrivateKnowledge &knowledge) {
        knowledge.documents.removeIf([&id](const KnowledgeDocument &document) { return document.id == id; });
    });
}

void SetupPresentation::importDocuments()
{
    m_model.importDocuments();
}

void SetupPresentation::setLearningEnabled(bool enabled)
{
    m_model.updateKnowledge([enabled](PrivateKnowledge &knowledge) { knowledge.learningEnabled = enabled; });
}

void SetupPresentation::savePreference(const QString &id, const QString &topic, const QString &prominence,
                                       const QString &style)
{
    m_model.updateKnowledge([&](PrivateKnowledge &knowledge) { knowledge.savePreference(id, topic, prominence, style); });
}

void SetupPresentation::forgetPreference(const QString &id)
{
    m_model.updateKnowledge([&id](PrivateKnowledge &knowledge) { knowledge.forgetPreference(id); });
}

void SetupPresentation::forgetDomainPreferences()
{
    const QString domain = m_model.domain();
    m_model.updateKnowledge([&domain](PrivateKnowledge &knowledge) { knowledge.forgetPreferences(domain); });
}

QVariantMap SetupPresentation::documentContent(const QString &id) const
{
    for (const KnowledgeDocument &document : m_model.privateKnowledge().documents) {
        if (document.id != id)
            continue;
        QVariantList passages;
        for (const KnowledgePassage &passage : document.passages) {
            passages.append(QVariantMap{{QStringLiteral("key"), passage.id},
                                        {QStringLiteral("location"), passage.location},
                                        {QStringLiteral("text"), passage.text}});
        }
        return {{QStringLiteral("found"), true},
                {QStringLiteral("title"), document.title},
                {QStringLiteral("passages"), passages}};
    }
    return {{QStringLiteral("found"), false}, {QStringLiteral("title"), QString()},
            {QStringLiteral("passages"), QVariantList()}};
}

// Citation sources.

QString SetupPresentation::sourcesTitle(const PreparedAnswer &answer)
{
    if (!cites(answer))
        return {};
    return QStringLiteral("Sources") + separator + QString::number(answer.citations->size());
}

QString SetupPresentation::sourcesNote(const PreparedAnswer &answer)
{
    if (!cites(answer))
        return {};
    return answer.source == QLatin1String("sample")
        ? QStringLiteral("Simulated answer · exact quotes from your imported text.")
        : QStringLiteral("Exact quotes from your imported text. The explanation may also include model knowledge.");
}

QString SetupPresentation::sourcesLine(const PreparedAnswer &answer)
{
    if (cites(answer) || !answer.retrieval || !answer.retrieval->searched)
        return {};
    return answer.retrieval->matched != 0 ? QStringLiteral("No supporting document citation · model knowledge")
                                          : QStringLiteral("No matching document passage · model knowledge");
}

std::optional<QString> SetupPresentation::citedPassage(const PrivateKnowledge &knowledge,
                                                       const DocumentCitation &citation)
{
    for (const KnowledgeDocument &document : knowledge.documents) {
        if (document.id != citation.documentId)
            continue;
        for (const KnowledgePassage &passage : document.passages) {
            if (passage.id == citation.id)
                return passage.text;
        }
        return std::nullopt;
    }
    return std::nullopt;
}

QString SetupPresentation::quotation(const QString &quote) const
{
    return QStringLiteral("\u201c") + quote + QStringLiteral("\u201d");
}

QString SetupPresentation::passageNote(bool removed) const
{
    return removed ? removedCopyLine : QString();
}

SetupPresentation *SetupPresentation::create(QQmlEngine *engine, QJSEngine *)
{
    return QmlInstances::take<SetupPresentation>(engine);
}

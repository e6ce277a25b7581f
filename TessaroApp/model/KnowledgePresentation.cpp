#include "KnowledgePresentation.h"

#include "model/QmlInstances.h"

#include "model/AnswerSources.h"
#include "model/ModelChanges.h"
#include "model/SessionModel.h"

namespace {

const QString separator = QStringLiteral(" · ");

QVariantMap choice(const QString &value, const QString &label)
{
    return {{QStringLiteral("value"), value}, {QStringLiteral("label"), label}};
}

} // namespace

KnowledgePresentation::KnowledgePresentation(SessionModel &model, QObject *parent)
    : QObject(parent)
    , m_model(model)
    , m_documentRows({"key", "title", "enabled"})
    , m_preferenceRows({"key", "topic", "prominence", "style"})
{
    connect(&model, &SessionModel::privateKnowledgeChanged, this, &KnowledgePresentation::refreshRows);
    connect(&model, &SessionModel::domainChanged, this, &KnowledgePresentation::refreshRows);
    using M = SessionModel;
    using P = KnowledgePresentation;
    ModelChanges::relay(model, {&M::privateKnowledgeChanged, &M::domainChanged, &M::domainNameChanged}, this,
                        &P::libraryChanged);
    ModelChanges::relay(model, {&M::activeChanged, &M::busyChanged, &M::importingDocumentChanged}, this,
                        &P::importChanged);
    ModelChanges::relay(model, {&M::knowledgeMessageChanged}, this, &P::knowledgeMessageChanged);
    refreshRows();
}

void KnowledgePresentation::refreshRows()
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

// The reference library.

QString KnowledgePresentation::documentsTitle() const
{
    return QStringLiteral("Reference documents") + separator + QString::number(m_documentRows.count());
}

QString KnowledgePresentation::documentsDomainLine() const
{
    return QStringLiteral("Reference files for your saved domain: ") + m_model.domainName();
}

QString KnowledgePresentation::documentsEmptyLine() const
{
    return m_documentRows.count() == 0 ? QStringLiteral("No reference documents yet.") : QString();
}

bool KnowledgePresentation::importing() const
{
    return m_model.importingDocument();
}

bool KnowledgePresentation::canImport() const
{
    return !m_model.active() && !m_model.busy() && !m_model.importingDocument();
}

QString KnowledgePresentation::knowledgeMessage() const
{
    return m_model.knowledgeMessage().value_or(QString());
}

// Private learning.

QString KnowledgePresentation::learningTitle() const
{
    return QStringLiteral("Private learning") + separator
        + (learningEnabled() ? QStringLiteral("on") : QStringLiteral("off"));
}

bool KnowledgePresentation::learningEnabled() const
{
    return m_model.privateKnowledge().learningEnabled;
}

QString KnowledgePresentation::preferencesEmptyLine() const
{
    return m_preferenceRows.count() == 0 ? QStringLiteral("No learned preferences for this domain.") : QString();
}

QVariantList KnowledgePresentation::prominenceChoices()
{
    return {choice(QStringLiteral("normal"), QStringLiteral("Normal")),
            choice(QStringLiteral("known"), QStringLiteral("I know this")),
            choice(QStringLiteral("quiet"), QStringLiteral("Quiet"))};
}

QVariantList KnowledgePresentation::styleChoices()
{
    return {choice(QStringLiteral("Cue"), QStringLiteral("Answer")),
            choice(QStringLiteral("Deeper"), QStringLiteral("Deeper")),
            choice(QStringLiteral("Simpler"), QStringLiteral("Simpler")),
            choice(QStringLiteral("ELI5"), QStringLiteral("ELI5"))};
}

void KnowledgePresentation::setDocumentEnabled(const QString &id, bool enabled)
{
    m_model.updateKnowledge([&id, enabled](PrivateKnowledge &knowledge) {
        for (KnowledgeDocument &document : knowledge.documents) {
            if (document.id == id)
                document.enabled = enabled;
        }
    });
}

void KnowledgePresentation::removeDocument(const QString &id)
{
    m_model.updateKnowledge([&id](PrivateKnowledge &knowledge) {
        knowledge.documents.removeIf([&id](const KnowledgeDocument &document) { return document.id == id; });
    });
}

void KnowledgePresentation::importDocuments()
{
    m_model.importDocuments();
}

void KnowledgePresentation::setLearningEnabled(bool enabled)
{
    m_model.updateKnowledge([enabled](PrivateKnowledge &knowledge) { knowledge.learningEnabled = enabled; });
}

void KnowledgePresentation::savePreference(const QString &id, const QString &topic, const QString &prominence,
                                       const QString &style)
{
    m_model.updateKnowledge([&](PrivateKnowledge &knowledge) { knowledge.savePreference(id, topic, prominence, style); });
}

void KnowledgePresentation::forgetPreference(const QString &id)
{
    m_model.updateKnowledge([&id](PrivateKnowledge &knowledge) { knowledge.forgetPreference(id); });
}

void KnowledgePresentation::forgetDomainPreferences()
{
    const QString domain = m_model.domain();
    m_model.updateKnowledge([&domain](PrivateKnowledge &knowledge) { knowledge.forgetPreferences(domain); });
}

QVariantMap KnowledgePresentation::documentContent(const QString &id) const
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

QString KnowledgePresentation::quotation(const QString &quote) const
{
    return AnswerSources::quotation(quote);
}

QString KnowledgePresentation::passageNote(bool removed) const
{
    return AnswerSources::passageNote(removed);
}

KnowledgePresentation *KnowledgePresentation::create(QQmlEngine *engine, QJSEngine *)
{
    return QmlInstances::take<KnowledgePresentation>(engine);
}

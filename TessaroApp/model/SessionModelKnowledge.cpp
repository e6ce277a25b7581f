#include "SessionModel.h"

#include "knowledge/KnowledgeImporter.h"
#include "protocol/TessaroError.h"

#include <QCoro/QCoroFuture>
#include <QPointer>
#include <QPromise>
#include <QThreadPool>

namespace {

const QString openFailurePrefix = QStringLiteral("Local knowledge could not be opened: ");
const QString notOpen =
    QStringLiteral("Local knowledge could not be opened. Restart the app after resolving its storage error.");

constexpr qsizetype domainDocumentLimit = 10;
constexpr qsizetype domainPassageLimit = 160;
constexpr qsizetype domainTextBytesLimit = 240'000;

// What the background reading of chosen files hands back.
struct ImportResult {
    QList<KnowledgeDocument> documents;
    std::optional<QString> failure;
};

} // namespace

void SessionModel::openKnowledge()
{
    std::optional<QString> directory;
    if (m_platform.environment)
        directory = m_platform.environment(QString::fromLatin1(PrivateKnowledgeStore::directoryVariable));
    try {
        if (m_seams.openKnowledge) {
            setPrivateKnowledge(m_seams.openKnowledge(directory));
        } else {
            PrivateKnowledgeStore store(directory);
            setPrivateKnowledge(store.load());
            m_knowledgeStore = store;
        }
        m_knowledgeOpen = true;
    } catch (const std::exception &failure) {
        setKnowledgeMessage(openFailurePrefix + describeFailure(failure));
    }
}

void SessionModel::updateKnowledge(const std::function<void(PrivateKnowledge &)> &change)
{
    if (!m_knowledgeOpen) {
        setKnowledgeMessage(notOpen);
        return;
    }
    PrivateKnowledge updated = m_privateKnowledge;
    change(updated);
    setPrivateKnowledge(updated);
    setKnowledgeMessage(std::nullopt);
    if (!m_knowledgeStore)
        return;
    if (!m_knowledgeWrites)
        m_knowledgeWrites = std::make_unique<KnowledgeWriter>();
    QPointer<SessionModel> self(this);
    m_knowledgeWrites->save(*m_knowledgeStore, updated, this, [self](const QString &text) {
        if (self)
            self->setKnowledgeMessage(QStringLiteral("Could not save local knowledge: ") + text);
    });
}

void SessionModel::waitForKnowledgeWrites()
{
    if (m_knowledgeWrites)
        m_knowledgeWrites->wait();
}

QList<KnowledgeDocument> SessionModel::domainDocuments() const
{
    const QString key = PrivateKnowledge::domainKey(m_domain);
    QList<KnowledgeDocument> documents;
    for (const KnowledgeDocument &document : m_privateKnowledge.documents)
        if (document.domainKey == key)
            documents.append(document);
    return documents;
}

QList<LearnedPreference> SessionModel::learnedPreferences() const
{
    const QString key = PrivateKnowledge::domainKey(m_domain);
    QList<LearnedPreference> preferences;
    for (const LearnedPreference &preference : m_privateKnowledge.preferences)
        if (preference.domainKey == key)
            preferences.append(preference);
    return preferences;
}

void SessionModel::importDocuments()
{
    if (m_active || m_busy || m_importingDocument || !m_platform.filePicker)
        return;
    QPointer<SessionModel> self(this);
    m_platform.filePicker->chooseFiles(
        QStringLiteral("Import reference documents"),
        QStringLiteral("Import reference documents for the saved domain. Enabled document text is shared with your "
                       "service during a session."),
        {QStringLiteral("Reference documents (*.pdf *.PDF *.txt *.TXT *.md *.MD *.markdown *.MARKDOWN)")},
        [self](QStringList paths) {
            if (self && !paths.isEmpty())
                self->importFiles(std::move(paths));
        });
}

QCoro::Task<void> SessionModel::importFiles(QStringList paths)
{
    if (m_active || m_busy || m_importingDocument || paths.isEmpty())
        co_return;
    QPointer<SessionModel> self(this);
    const QString domain = m_domain;
    setImportingDocument(true);

    // The files are read away from the main thread, one after another; the first
    // failure ends the whole import.
    auto promise = std::make_shared<QPromise<ImportResult>>();
    QFuture<ImportResult> reading = promise->future();
    promise->start();
    const PdfText::Opener openPdf = m_platform.openPdf;
    QThreadPool::globalInstance()->start([promise, paths, domain, openPdf] {
        ImportResult result;
        try {
            for (const QString &path : paths)
                result.documents.append(KnowledgeImporter::read(path, domain, openPdf));
        } catch (const std::exception &failure) {
            result.documents.clear();
            result.failure = describeFailure(failure);
        }
        promise->addResult(std::move(result));
        promise->finish();
    });
    const ImportResult result = co_await reading;
    if (!self)
        co_return;

    if (result.failure) {
        setKnowledgeMessage(result.failure);
        setImportingDocument(false);
        co_return;
    }

    PrivateKnowledge updated = m_privateKnowledge;
    for (const KnowledgeDocument &document : result.documents) {
        const bool known = std::any_of(updated.documents.cbegin(), updated.documents.cend(),
                                       [&](const KnowledgeDocument &held) {
                                           return held.domainKey == document.domainKey
                                               && held.fingerprint == document.fingerprint;
                                       });
        if (!known)
            updated.documents.append(document);
    }

    const QString key = PrivateKnowledge::domainKey(domain);
    qsizetype documents = 0;
    qsizetype passages = 0;
    qsizetype textBytes = 0;
    for (const KnowledgeDocument &document : std::as_const(updated.documents)) {
        if (document.domainKey != key)
            continue;
        ++documents;
        passages += document.passages.size();
        for (const KnowledgePassage &passage : document.passages)
            textBytes += passage.text.toUtf8().size();
    }
    if (documents > domainDocumentLimit || passages > domainPassageLimit || textBytes > domainTextBytesLimit) {
        setKnowledgeMessage(QStringLiteral("Keep this domain\u2019s library within 10 documents, 160 passages and "
                                           "240 KB of extracted text. Remove a document or import a smaller section."));
    } else if (!m_knowledgeOpen) {
        setKnowledgeMessage(QStringLiteral("Local knowledge storage is unavailable."));
    } else {
        updateKnowledge([&updated](PrivateKnowledge &knowledge) { knowledge = updated; });
        setKnowledgeMessage(QStringLiteral("Documents imported on this computer."));
    }
    setImportingDocument(false);
}

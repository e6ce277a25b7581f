#include "AnswerSources.h"

namespace {

const QString separator = QStringLiteral(" · ");

bool cites(const PreparedAnswer &answer)
{
    return answer.citations && !answer.citations->isEmpty();
}

} // namespace

const QString AnswerSources::removedCopyLine =
    QStringLiteral("Imported copy removed; this quote remains only in the current session.");

QString AnswerSources::sourcesTitle(const PreparedAnswer &answer)
{
    if (!cites(answer))
        return {};
    return QStringLiteral("Sources") + separator + QString::number(answer.citations->size());
}

QString AnswerSources::sourcesNote(const PreparedAnswer &answer)
{
    if (!cites(answer))
        return {};
    return answer.source == QLatin1String("sample")
        ? QStringLiteral("Simulated answer · exact quotes from your imported text.")
        : QStringLiteral("Exact quotes from your imported text. The explanation may also include model knowledge.");
}

QString AnswerSources::sourcesLine(const PreparedAnswer &answer)
{
    if (cites(answer) || !answer.retrieval || !answer.retrieval->searched)
        return {};
    return answer.retrieval->matched != 0 ? QStringLiteral("No supporting document citation · model knowledge")
                                          : QStringLiteral("No matching document passage · model knowledge");
}

std::optional<QString> AnswerSources::citedPassage(const PrivateKnowledge &knowledge, const DocumentCitation &citation)
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

QString AnswerSources::quotation(const QString &quote)
{
    return QStringLiteral("\u201c") + quote + QStringLiteral("\u201d");
}

QString AnswerSources::passageNote(bool removed)
{
    return removed ? removedCopyLine : QString();
}

#include "DemoScript.h"

namespace {

Transcript segment(const QString &id, const QString &text, double startMs, double endMs, bool final)
{
    Transcript t;
    t.id = id;
    t.text = text;
    t.final = final;
    t.startMs = startMs;
    t.endMs = endMs;
    t.lastWordEndMs = endMs;
    return t;
}

ServerEvent transcriptEvent(const Transcript &t)
{
    ServerEvent event;
    event.type = QStringLiteral("transcript");
    event.transcript = t;
    return event;
}

ServerEvent signal(const char *type)
{
    ServerEvent event;
    event.type = QString::fromLatin1(type);
    return event;
}

struct AnswerText {
    const char *id;
    const char *title;
    const char *category;
    const char *question;
    const char *cue;
    const char *deeper;
    const char *simpler;
    const char *eli5;
    double startMs;
    double endMs;
};

const AnswerText answerTexts[] = {
    {"answer-calibration", "Calibration", "term", "What does calibration mean for a classifier?",
     "Predicted probabilities match observed frequencies.",
     "A calibrated model that says 70% is right about 70% of the time. Check it with a reliability diagram "
     "or expected calibration error, and fix it with temperature scaling or isotonic regression.",
     "The model's confidence can be trusted as a probability.",
     "If it says 'seven out of ten', it is right seven times out of ten.", 0, 6'000},
    {"answer-rag", "Retrieval-augmented generation", "term", "How does retrieval-augmented generation work?",
     "The model answers from passages retrieved for the question.",
     "A retriever finds the passages most similar to the question, and the generator conditions on them. "
     "Quality depends on chunking, the embedding model and how citations are checked.",
     "Look things up first, then answer using what you found.",
     "Like checking a book before answering a quiz question.", 6'000, 12'000},
    {"answer-drift", "Model drift", "term", "What is model drift?",
     "Production data moves away from the training data.",
     "Drift shows up as shifting input distributions or changing label relationships. Monitor population "
     "stability, retrain on fresh data and alert on degraded calibration.",
     "The world changes and the model slowly gets worse.",
     "Like a map that gets old as new roads are built.", 12'000, 18'000},
    {"answer-q3", "Date: Q3 launch", "date", "When is the launch?",
     "The launch is planned for the third quarter.",
     "The team named the third quarter for the launch, after the evaluation on held-out data completes.",
     nullptr, nullptr, 18'000, 24'000},
};

PreparedAnswer makeAnswer(const AnswerText &text, const QList<KnowledgePassage> &knowledge)
{
    PreparedAnswer answer;
    answer.id = QString::fromLatin1(text.id);
    answer.topic = QString::fromLatin1(text.title);
    answer.title = answer.topic;
    answer.question = QString::fromLatin1(text.question);
    answer.cue = QString::fromLatin1(text.cue);
    answer.deeper = QString::fromLatin1(text.deeper);
    if (text.simpler)
        answer.simpler = QString::fromLatin1(text.simpler);
    if (text.eli5)
        answer.eli5 = QString::fromLatin1(text.eli5);
    answer.status = QStringLiteral("ready");
    answer.source = QStringLiteral("sample");
    answer.preparation = QStringLiteral("live");
    answer.contextVersion = 1;
    answer.followUps = {PreparedFollowUp{QStringLiteral("How would we measure it?"),
                                         QStringLiteral("Track it on a held-out set every release.")}};
    answer.category = QString::fromLatin1(text.category);
    answer.occurrences = QList<SpeechOccurrence>{
        SpeechOccurrence{answer.id + QStringLiteral("-at"), text.startMs, text.endMs}};
    const QList<DocumentCitation> cited = DemoScript::citations(answer.title, knowledge);
    if (!cited.isEmpty())
        answer.citations = cited;
    answer.retrieval = RetrievalInfo{!knowledge.isEmpty(), qint64(cited.size()), 4.0};
    return answer;
}

} // namespace

QList<DocumentCitation> DemoScript::citations(const QString &title, const QList<KnowledgePassage> &knowledge)
{
    QList<DocumentCitation> found;
    for (const KnowledgePassage &passage : knowledge) {
        if (found.size() == 2)
            break;
        const qsizetype at = passage.text.indexOf(title, 0, Qt::CaseInsensitive);
        if (at < 0)
            continue;
        const qsizetype from = std::max<qsizetype>(0, at - 60);
        found.append(DocumentCitation{passage.id, passage.documentId, passage.title, passage.location,
                                      passage.text.mid(from, 240).trimmed()});
    }
    return found;
}

PreparedAnswer DemoScript::assistAnswer(const QString &question, int number)
{
    PreparedAnswer answer;
    answer.id = QStringLiteral("assist-%1").arg(number);
    answer.topic = question;
    answer.title = question;
    answer.question = question;
    answer.cue = QStringLiteral("A prepared reply to your question.");
    answer.deeper = QStringLiteral("In depth: ") + question
        + QStringLiteral(" depends on the data, the evaluation and the deployment constraints discussed so far.");
    answer.status = QStringLiteral("ready");
    answer.source = QStringLiteral("assist");
    answer.preparation = QStringLiteral("assist");
    answer.contextVersion = 1;
    return answer;
}

QList<DemoScript::Step> DemoScript::conversation(const QList<KnowledgePassage> &knowledge)
{
    const QList<Transcript> speech = {
        segment("seg-1", "Let's talk about whether the classifier is well calibrated.", 0, 6'000, true),
        segment("seg-2", "We could add retrieval-augmented generation for the support answers.", 6'000, 12'000, true),
        segment("seg-3", "I'm worried about model drift once it is in production.", 12'000, 18'000, true),
        segment("seg-4", "The launch is planned for Q3 if the evaluation holds.", 18'000, 24'000, true),
    };
    QList<PreparedAnswer> answers;
    for (const AnswerText &text : answerTexts)
        answers.append(makeAnswer(text, knowledge));

    QList<Step> steps;
    for (qsizetype i = 0; i < speech.size(); ++i) {
        Transcript partial = speech[i];
        partial.final = false;
        partial.text = partial.text.left(partial.text.size() / 2);
        steps.append({250, transcriptEvent(partial), 2'000});
        steps.append({250, transcriptEvent(speech[i]), 3'000});
        steps.append({100, signal("answer.started"), 0});
        ServerEvent bank;
        bank.type = QStringLiteral("bank");
        bank.answers = answers.mid(0, i + 1);
        steps.append({200, bank, 20'000});
        steps.append({50, signal("quiet"), 0});
    }
    return steps;
}

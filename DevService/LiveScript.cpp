#include "LiveScript.h"

#include "DemoScript.h"

#include <QStringList>

#include <algorithm>
#include <array>
#include <cmath>

namespace {

struct Topic {
    const char *sentence;
    const char *topic;
    const char *title;
    const char *phrase;  // another way the topic is named, for citations
    const char *question;
    const char *cue;
    const char *deeper;
    const char *simpler;
    const char *eli5;
    std::array<std::array<const char *, 2>, 2> followUps;
};

const Topic topics[] = {
    {"Let's start with the evaluation. Accuracy on the held-out set went up, but the new model is poorly calibrated "
     "at the top end.",
     "Model evaluation", "Calibration", "calibrat*",
     "What does it mean that the model is poorly calibrated?",
     "Its confidence scores don't match how often it is right.",
     "A calibrated model that reports 90% confidence is right about 90% of the time. Calibration is checked with a "
     "reliability diagram or the expected calibration error per confidence bin; overconfidence at the top end is "
     "common after fine-tuning and matters wherever scores decide what is automated.",
     "The model sounds more certain than it is.",
     "Like a friend who always says \"I'm sure!\" but is only right some of the time.",
     {{{"How do we fix it?",
        "Temperature scaling fitted on a validation set usually corrects overconfidence without changing which "
        "answer wins."},
       {"Does it change accuracy?", "No. Recalibration changes the confidence scores, not the model's choices."}}}},
    {"The bigger change is retrieval-augmented generation, so the assistant now reads help centre passages before it "
     "writes a reply.",
     "Retrieval", "Retrieval-augmented generation", "RAG",
     "How does retrieval-augmented generation work here?",
     "It looks up help-centre passages first, then answers from them.",
     "A retriever finds the passages most similar to the question in an index of the help centre and hands them to "
     "the model as context. Replies can cite their sources and stay current without retraining; quality depends on "
     "chunking, the embedding model and reranking.",
     "The assistant searches the help centre before it answers.",
     "Like looking in the book before answering a quiz question.",
     {{{"What if an article is wrong?",
        "The assistant repeats the mistake: retrieval grounds replies in the documents, it does not check them."},
       {"Does it need retraining when articles change?", "No. Re-index the changed articles; the model stays as it is."}}}},
    {"On the grounded test set the hallucination rate fell from eleven percent to four, judged against the cited "
     "passages.",
     "Retrieval", "Hallucination rate", "hallucinat*",
     "How is the hallucination rate measured?",
     "The share of replies with claims their sources don't support.",
     "Each reply is split into claims, and each claim is checked against the retrieved passages, by annotators or by a "
     "judge model validated against them. The rate is the share of replies with at least one unsupported claim.",
     "How often the assistant says something its sources don't back up.",
     "Counting how often someone tells you things that aren't in the book they read.",
     {{{"Is four percent good?",
        "It depends on the stakes; support teams often gate a launch on it and on which errors remain."},
       {"Who judges the claims?", "Trained annotators, or a judge model checked against them on a sample."}}}},
    {"Latency is the open issue: the p95 is two point eight seconds, and the target is under two.",
     "Performance", "p95 latency", "latenc*",
     "What does a p95 of 2.8 seconds mean?",
     "95% of replies arrive within 2.8 s; the slowest 5% take longer.",
     "p95 is the 95th percentile of response time: the value 95% of requests stay under. It reflects what users feel "
     "on slow requests better than the average; here it adds up retrieval, reranking and generation, and generation "
     "length usually dominates.",
     "Almost all replies come within 2.8 seconds; the goal is 2.",
     "If twenty kids run a race, it's how long the nineteenth one takes.",
     {{{"Why not the average?", "The average hides slow outliers, and users remember the slow replies."},
       {"What is the quickest win?", "Streaming the reply, so the first words appear long before the last."}}}},
    {"We could distill the model into a smaller student, which kept most of the quality in the first experiment.",
     "Performance", "Knowledge distillation", "distill*",
     "Could distillation get the latency under target?",
     "Train a smaller student model to imitate the large one.",
     "In knowledge distillation a smaller student learns from the outputs of the larger teacher, its probabilities or "
     "its generated replies. It keeps much of the quality at a fraction of the compute, which cuts latency and cost, "
     "but it has to pass the full evaluation again.",
     "Teach a small, fast model to copy the big one.",
     "Like a student learning from the teacher's notes instead of every book in the library.",
     {{{"What do we lose?", "Usually some quality on rare cases; check calibration and the hallucination rate again."},
       {"How long does it take?", "A few days of training once the teacher's outputs are collected."}}}},
    {"After launch we need a plan for model drift, since support topics change every time the product ships a "
     "release.",
     "Operations", "Model drift", "drift",
     "How do we watch for model drift?",
     "Quality slips as the questions change; watch the inputs and spot-check replies.",
     "Drift is the gap that opens between the data a model was trained on and what it sees in production. Watch input "
     "statistics such as population stability, track outcomes such as the hand-over rate, and spot-check "
     "conversations every week; a product release is the usual trigger.",
     "The world changes and the model falls behind, so keep checking it.",
     "Like a map that gets out of date when new roads are built.",
     {{{"How often should we retrain?", "When monitoring shows drift, not on a fixed calendar; big releases are the usual moment."},
       {"What should the dashboard show?", "Input stability, the hand-over rate and the weekly spot-check results."}}}},
};

constexpr int topicCount = int(std::size(topics));

const QList<QStringList> &sentenceWords()
{
    static const QList<QStringList> words = [] {
        QList<QStringList> list;
        for (const Topic &topic : topics)
            list.append(QString::fromUtf8(topic.sentence).split(QLatin1Char(' '), Qt::SkipEmptyParts));
        return list;
    }();
    return words;
}

int wrap(int sentence)
{
    return ((sentence % topicCount) + topicCount) % topicCount;
}

} // namespace

LiveScript::LiveScript(QString idPrefix, QList<KnowledgePassage> knowledge)
    : m_idPrefix(std::move(idPrefix))
    , m_knowledge(std::move(knowledge))
{
}

int LiveScript::nextSentence()
{
    const int sentence = m_nextSentence;
    m_nextSentence = wrap(m_nextSentence + 1);
    return sentence;
}

qsizetype LiveScript::wordsHeard(double speechMs, bool final)
{
    if (!std::isfinite(speechMs) || speechMs < 0)
        speechMs = 0;
    const double words = speechMs / msPerWord;
    const double count = final ? std::max(1.0, std::round(words)) : std::floor(words);
    return qsizetype(std::min(count, double(maximumWords)));
}

QString LiveScript::words(int first, qsizetype count)
{
    QStringList heard;
    for (int sentence = wrap(first); heard.size() < count; sentence = wrap(sentence + 1)) {
        const QStringList &words = sentenceWords()[sentence];
        heard += words.mid(0, count - heard.size());
    }
    return heard.join(QLatin1Char(' '));
}

PreparedAnswer LiveScript::answerFor(int first, const Transcript &segment)
{
    const Topic &topic = topics[wrap(first)];
    PreparedAnswer answer;
    answer.id = QStringLiteral("%1-answer-%2").arg(m_idPrefix).arg(++m_answers);
    answer.topic = QString::fromUtf8(topic.topic);
    answer.title = QString::fromUtf8(topic.title);
    answer.question = QString::fromUtf8(topic.question);
    answer.cue = QString::fromUtf8(topic.cue);
    answer.deeper = QString::fromUtf8(topic.deeper);
    answer.simpler = QString::fromUtf8(topic.simpler);
    answer.eli5 = QString::fromUtf8(topic.eli5);
    answer.status = QStringLiteral("ready");
    answer.source = QStringLiteral("live");
    answer.preparation = QStringLiteral("complete");
    answer.contextVersion = m_answers;
    for (const auto &[question, reply] : topic.followUps)
        answer.followUps.append(PreparedFollowUp{QString::fromUtf8(question), QString::fromUtf8(reply)});
    answer.category = QStringLiteral("term");
    const double startMs = segment.startMs.value_or(0);
    answer.occurrences = QList<SpeechOccurrence>{
        SpeechOccurrence{segment.id + QLatin1Char('-') + answer.id, startMs, segment.endMs.value_or(startMs)}};
    qint64 matched = 0;
    const QList<DocumentCitation> cited =
        DemoScript::citations({answer.title, QString::fromUtf8(topic.phrase)}, m_knowledge, &matched);
    if (!cited.isEmpty())
        answer.citations = cited;
    answer.retrieval = RetrievalInfo{!m_knowledge.isEmpty(), matched, m_knowledge.isEmpty() ? 0.0 : 3.5};
    return answer;
}

PreparedAnswer LiveScript::staged(PreparedAnswer answer, Stage stage)
{
    answer.preparation = stage == Stage::Complete ? QStringLiteral("complete") : QStringLiteral("partial");
    answer.provisional = stage == Stage::Preparing;
    answer.status = stage == Stage::Preparing ? QStringLiteral("preparing") : QStringLiteral("ready");
    if (stage == Stage::Preparing) {
        answer.cue.clear();
        answer.deeper.clear();
    }
    if (stage != Stage::Complete) {
        answer.simpler.reset();
        answer.eli5.reset();
        answer.followUps.clear();
    }
    return answer;
}

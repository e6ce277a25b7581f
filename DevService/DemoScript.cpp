#include "DemoScript.h"

#include <QRegularExpression>

#include <algorithm>
#include <array>
#include <cmath>

namespace {

// Pace of the script, in unscaled conversation milliseconds.
constexpr double msPerWord = 350;            // about 170 words a minute
constexpr double transcriptLatencyMs = 250;  // a partial follows the words it holds
constexpr double finalLatencyMs = 450;       // the final segment follows the end of speech
constexpr double startedAfterMs = 300;       // first stage of an answer after its segment
constexpr double readyAfterMs = 2'500;       // cue and Deeper
constexpr double completeAfterMs = 6'000;    // the other forms and follow-ups
constexpr double siblingDelayMs = 400;       // a second answer from the same segment

// What each step spends, in micro-dollars; the whole script stays well inside $1.00.
constexpr qint64 partialCost = 800;
constexpr qint64 finalCost = 2'000;
constexpr qint64 stageCost[] = {0, 2'000, 15'000, 12'000};

struct Line {
    bool microphone;
    int pauseMs;  // silence before the line
    const char *text;
};

const Line lines[] = {
    {false, 600, "Thanks for joining, everyone. This is the product review for the support assistant model before we "
                 "decide on the rollout."},
    {false, 900, "First, the evaluation. Accuracy on the held-out set is up four points, but the classifier is poorly "
                 "calibrated at the top end."},
    {true, 1'200, "When you say poorly calibrated, do you mean the confidence scores are too high?"},
    {false, 800, "Yes. When it says ninety percent, it is right about seventy percent of the time. We will fix that "
                 "with temperature scaling before launch."},
    {false, 1'400, "The bigger change is retrieval-augmented generation. The assistant now pulls passages from the help "
                   "centre before it writes a reply."},
    {true, 1'100, "How are we chunking the help centre articles, and how do we rank what comes back?"},
    {false, 900, "Chunks of about three hundred tokens with some overlap, and a cross-encoder reranks the top twenty."},
    {false, 1'000, "The hallucination rate on the grounded test set dropped from eleven percent to four, measured "
                   "against the cited passages."},
    {true, 1'300, "That's a big drop. What happens when the retriever finds nothing useful?"},
    {false, 800, "Then it says it doesn't know and hands the ticket to a human agent. That is the fallback we agreed on "
                 "March fourteenth."},
    {false, 1'500, "Latency is the open issue. The p95 is two point eight seconds, and the target is under two."},
    {true, 1'000, "Could we distill the model to get under that target?"},
    {false, 800, "Distillation is on the list. A smaller student model kept ninety-seven percent of the quality in "
                 "the first experiment."},
    {false, 1'500, "We also need a plan for model drift. Support topics change every time the product ships a release."},
    {true, 1'100, "What are we monitoring in production right now?"},
    {false, 900, "Population stability on the inputs, and weekly spot checks of a hundred conversations by the "
                 "support leads."},
    {false, 1'600, "On the schedule: the A/B test starts on June second, with five percent of traffic."},
    {false, 900, "If the guardrail metrics hold for two weeks, the general release is planned for the third quarter."},
    {true, 1'200, "And the privacy review and the model card have to be done before the A/B test, right?"},
    {false, 900, "Right. The privacy review is booked for May twentieth, and legal wants the model card a week before "
                 "that."},
    {false, 1'400, "Good. Action items: temperature scaling, the latency work and a drift dashboard. We meet again "
                   "after the privacy review."},
    {true, 1'000, "Sounds good. I will send the notes around this afternoon."},
};

struct FollowUpText {
    const char *question;
    const char *answer;
};

struct AnswerText {
    const char *id;
    const char *title;
    const char *topic;
    const char *category;
    int line;  // index into lines: the speech the answer is for
    bool hidden;
    bool focus;  // the service brings it forward once it is ready
    std::array<const char *, 5> phrases;
    const char *question;
    const char *cue;
    const char *deeper;
    const char *simpler;
    const char *eli5;
    const char *uncertainty;
    std::array<FollowUpText, 3> followUps;
};

const AnswerText answerTexts[] = {
    {"answer-calibration", "Calibration", "Model evaluation", "term", 1, false, false,
     {"calibrat*"},
     "What does it mean that the classifier is poorly calibrated?",
     "Its confidence scores don't match how often it is right.",
     "A calibrated model that reports 90% confidence is right about 90% of the time. Calibration is checked with a "
     "reliability diagram or the expected calibration error (ECE), per confidence bin. Overconfidence at the top end "
     "is common after fine-tuning, and it matters when scores drive automation thresholds such as when to answer "
     "without a human.",
     "The model sounds more certain than it is. When it says 90%, it is really right about 70% of the time.",
     "It's like a friend who always says \"I'm totally sure!\" but is only right some of the time.",
     "The seventy-percent figure was stated in the meeting, not measured here.",
     {{{"How do we measure calibration?",
        "Plot a reliability diagram on the held-out set and report the expected calibration error per confidence bin."},
       {"Does recalibrating change accuracy?",
        "No. It changes the confidence scores, not which answer the model picks."}}}},
    {"answer-holdout", "Held-out set", "Model evaluation", "term", 1, true, false,
     {"held-out set", "held-out data", "holdout set", "holdout data", "test set"},
     "What is a held-out set?",
     "Labelled data kept out of training, used only to measure the model.",
     "A held-out set is a sample of labelled data the model never sees during training or tuning, so its scores "
     "estimate how the model does on new data. It has to be refreshed when the production mix changes, and it must "
     "not be reused to tune thresholds, or it stops being an honest estimate.",
     "Test questions the model never practised on.",
     "Like a surprise quiz with questions that weren't in the homework.",
     "",
     {{{"How large should it be?",
        "Large enough that the metric's confidence interval is narrower than the differences you care about; often a "
        "few thousand labelled examples."}}}},
    {"answer-temperature", "Temperature scaling", "Model evaluation", "term", 3, false, false,
     {"temperature scal*"},
     "How does temperature scaling fix calibration?",
     "One learned number softens overconfident scores.",
     "Temperature scaling divides the model's logits by a single temperature T, fitted on a validation set, before "
     "the softmax. A T above 1 flattens the probabilities and corrects overconfidence. The ranking of answers stays "
     "the same, so accuracy is unchanged, and it is cheap to refit whenever the model is retrained.",
     "It turns the model's confidence down by the right amount without changing its answers.",
     "Like turning down the volume on someone who always shouts, so you can tell when they really mean it.",
     "",
     {{{"Why not isotonic regression?",
        "Isotonic regression is more flexible but needs more validation data and can overfit; temperature scaling "
        "has one parameter."},
       {"When do we refit it?", "Every time the model or its training data changes."}}}},
    {"answer-rag", "Retrieval-augmented generation", "Retrieval", "term", 4, false, false,
     {"retrieval-augmented generation", "RAG"},
     "How does retrieval-augmented generation work in the assistant?",
     "It looks up help-centre passages first, then writes the reply from them.",
     "A retriever embeds the question, finds the most similar passages in an index of the help centre and hands "
     "them to the generator as context. Replies can cite their sources and stay current without retraining. Quality "
     "depends on chunking, the embedding model, reranking, and checking that the reply is supported by the passages.",
     "The assistant searches the help centre before it answers, and answers from what it found.",
     "Like looking in the book before answering a quiz question instead of guessing.",
     "",
     {{{"What if the help centre is wrong?",
        "The assistant repeats the mistake: retrieval grounds replies in the documents, it does not check them."},
       {"Does it need retraining when articles change?", "No. Re-index the changed articles; the model stays as it is."},
       {"How is it evaluated?",
        "In two parts: retrieval (are the right passages found) and generation (is the reply faithful to them)."}}}},
    {"answer-hallucination", "Hallucination rate", "Retrieval", "term", 7, false, false,
     {"hallucinat*", "groundedness", "faithfulness"},
     "How is the hallucination rate measured?",
     "The share of replies with claims the cited passages don't support.",
     "Each reply in a grounded test set is split into claims, and each claim is checked against the retrieved "
     "passages, by annotators or by a judge model validated against them. The rate is the share of replies with at "
     "least one unsupported claim. A retrieval miss counts too, because the passages cannot confirm the claim.",
     "How often the assistant says something its sources don't back up.",
     "Counting how often someone tells you things that aren't in the book they read.",
     "Depends on how strictly claims were judged; the method was not described.",
     {{{"Is four percent good?",
        "It depends on the stakes; support teams often gate a launch on the rate and on which kinds of errors "
        "remain."}}}},
    {"answer-fallback", "March 14: human fallback", "Decisions", "date", 9, false, false,
     {"human fallback", "fallback", "hand-off", "handoff", "human agent"},
     "What was agreed on March 14?",
     "On March 14 the team agreed: no useful passages means handing over to a human.",
     "The decision of March 14: when retrieval returns nothing above the relevance threshold, the assistant says it "
     "does not know and routes the ticket to a human agent instead of answering from model knowledge. The threshold "
     "decides how often that happens, so it belongs in the launch review.",
     "Since March 14, the assistant passes the ticket to a person when it can't find an answer.",
     "If the helper can't find the answer in the book, it asks a grown-up.",
     "The date was mentioned once in the meeting.",
     {{{"How often does the fallback trigger?",
        "That depends on the relevance threshold; ask for the hand-over rate of the last evaluation."}}}},
    {"answer-latency", "p95 latency", "Performance", "term", 10, false, false,
     {"p95", "95th percentile", "tail latenc*", "latenc*"},
     "What does a p95 latency of 2.8 seconds mean?",
     "95% of replies arrive within 2.8 s; the slowest 5% take longer.",
     "p95 is the 95th percentile of response time: sort the requests by latency and read the value 95% of them stay "
     "under. It tracks what users feel on slow requests better than the average. In a retrieval-augmented assistant "
     "it adds up retrieval, reranking and generation; generation length usually dominates, so shorter replies, "
     "streaming and a smaller model are the usual levers.",
     "Almost all replies come within 2.8 seconds, and the goal is 2.",
     "If twenty kids run a race, it's how long the nineteenth kid takes to finish.",
     "",
     {{{"Why not the average latency?", "The average hides slow outliers, and users remember the slow replies."},
       {"What is the quickest win?", "Streaming the reply, so the first words appear long before the last."}}}},
    {"answer-distillation", "Knowledge distillation", "Performance", "term", 11, false, false,
     {"distill*", "student model", "teacher model"},
     "Could distillation get the latency under target?",
     "Train a smaller student model to imitate the large one.",
     "In knowledge distillation a smaller student model learns from the outputs of the larger teacher: its soft "
     "probabilities or its generated replies. It keeps much of the quality at a fraction of the compute, which cuts "
     "latency and cost. The student has to pass the full evaluation again, calibration and hallucination rate "
     "included, since those can regress apart from accuracy.",
     "Teach a small, fast model to copy the big, slow one.",
     "Like a student learning from the teacher's notes, so the teacher doesn't have to answer every question.",
     "",
     {{{"What do we lose?", "Usually a little quality on rare or hard cases; the first experiment kept 97%."},
       {"Do we need new labels?", "No. The teacher's outputs on unlabelled tickets are the training data."}}}},
    {"answer-drift", "Model drift", "Monitoring", "term", 13, false, false,
     {"model drift", "data drift", "concept drift", "drift*"},
     "How do we plan for model drift?",
     "Production data moves away from what the model was trained on.",
     "Drift shows up as shifting inputs (new products, new wording) or as changing relations between inputs and the "
     "right answers. Monitor input statistics such as the population stability index, watch quality signals from "
     "spot checks, and retrain or re-index when they cross agreed thresholds. For a retrieval-augmented assistant, "
     "re-indexing new articles fixes much of the drift without retraining.",
     "The world changes, and the model slowly gets worse unless it is updated.",
     "Like a map that gets old as new roads are built.",
     "",
     {{{"How fast does it drift?", "For support, usually with each product release; check the metrics after every release."},
       {"What is the population stability index?",
        "A number comparing how inputs are distributed now and at training time; above about 0.2 is usually a "
        "warning."}}}},
    {"answer-abtest", "June 2: A/B test starts", "Schedule", "date", 16, false, false,
     {"A/B test*", "AB test*", "split test*"},
     "When does the A/B test start?",
     "June 2, with 5% of traffic on the new model.",
     "The A/B test starts on June 2 and sends 5% of support traffic to the new assistant while the rest stays on the "
     "current one. The two are compared on resolution rate, hand-over rate and the guardrail metrics; the general "
     "release depends on those holding for two weeks.",
     "From June 2, one customer in twenty gets the new assistant.",
     "Starting June 2, a few people try the new helper first, to see if it's better.",
     "The start date was stated once; the traffic share may change.",
     {{{"Why only five percent?",
        "It limits the harm if something goes wrong while still giving enough data in two weeks."}}}},
    {"answer-release", "Q3: general release", "Schedule", "date", 17, false, true,
     {"general release", "general availability", "third quarter", "Q3"},
     "When is the general release?",
     "Planned for the third quarter, if the guardrails hold for two weeks.",
     "The general release is planned for Q3 (July to September). It is conditional: the A/B test starting June 2 "
     "has to keep every guardrail metric within bounds for two weeks first, and a breach pushes the release back.",
     "Everyone gets the new assistant in the third quarter, if the test goes well.",
     nullptr,
     "Conditional on the A/B test; no exact date was given.",
     {{{"What could delay it?", "A guardrail breach during the test, or a privacy review that is not signed off."}}}},
    {"answer-guardrails", "Guardrail metrics", "Launch criteria", "term", 17, false, false,
     {"guardrail*"},
     "What are guardrail metrics?",
     "Metrics that must not get worse while the test runs.",
     "Guardrail metrics are not what the experiment tries to improve, but they must stay within agreed bounds: "
     "customer satisfaction, hand-over rate, complaint rate, latency and cost per ticket, for example. If one breaks "
     "its bound the test is paused, even when the main metric improves.",
     "The things that must not get worse, even if the main number gets better.",
     "Like the bumpers on a bowling lane that keep the ball out of the gutter.",
     "",
     {{{"Who sets the bounds?",
        "Product and the support leads, before the test starts, so the decision is not made after seeing the "
        "data."}}}},
    {"answer-privacy", "May 20: privacy review", "Schedule", "date", 19, false, true,
     {"privacy review", "DPIA", "data protection impact assessment"},
     "When is the privacy review?",
     "May 20; the model card is due a week earlier, around May 13.",
     "The privacy review is booked for May 20, ahead of the June 2 A/B test, and legal wants the model card a week "
     "before, around May 13. The review looks at which customer data reaches the model and the retrieval index, how "
     "long it is kept, and who can read the logs.",
     "Privacy check on May 20; the model card is due about May 13.",
     nullptr,
     "The model card date was given as \"a week before\"; May 13 is inferred.",
     {{{"What do we need to bring?",
        "The model card, a data-flow diagram of the retrieval index and the log retention policy."}}}},
    {"answer-modelcard", "Model card", "Documentation", "term", 19, false, false,
     {"model card*"},
     "What goes into a model card?",
     "A short document of what the model is for, how it was tested and where it fails.",
     "A model card records the model's intended use and users, its training and evaluation data, metrics broken down "
     "by relevant groups, known limitations and failure modes, and ethical and privacy considerations. For this "
     "launch it should cover calibration, the hallucination rate, the human fallback and the drift monitoring plan.",
     "A fact sheet about the model: what it does, how well, and where it goes wrong.",
     "Like the label on a medicine box that says what it's for and what to watch out for.",
     "",
     {{{"Who writes it?", "The model's owners, reviewed by legal and the support leads."},
       {"Is it public?", "Not necessarily; internal model cards are common for support tools."}}}},
};

// A phrase list as one pattern; see DemoScript::citations for the phrase rules.
QRegularExpression phrasePattern(const QStringList &phrases)
{
    static const QRegularExpression separators(QStringLiteral("[\\s\\-]+"));
    QStringList alternatives;
    for (QString phrase : phrases) {
        phrase = phrase.trimmed();
        const bool stem = phrase.endsWith(QLatin1Char('*'));
        if (stem)
            phrase.chop(1);
        QStringList words = phrase.split(separators, Qt::SkipEmptyParts);
        if (words.isEmpty())
            continue;
        for (QString &word : words)
            word = QRegularExpression::escape(word);
        alternatives.append(QStringLiteral("(?<!\\w)") + words.join(QStringLiteral("[\\s\\-\\x{2010}\\x{2011}]+"))
                            + (stem ? QStringLiteral("\\w*") : QStringLiteral("(?!\\w)")));
    }
    if (alternatives.isEmpty())
        return QRegularExpression(QStringLiteral("(?!)"));  // matches nothing
    return QRegularExpression(QStringLiteral("(?:") + alternatives.join(QLatin1Char('|')) + QLatin1Char(')'),
                              QRegularExpression::CaseInsensitiveOption | QRegularExpression::UseUnicodePropertiesOption);
}

QStringList phrasesOf(const AnswerText &text)
{
    QStringList phrases{QString::fromUtf8(text.title)};
    for (const char *phrase : text.phrases) {
        if (phrase)
            phrases.append(QString::fromUtf8(phrase));
    }
    return phrases;
}

// The sentence (or line) around text[from, to), widened by the following sentences while
// it is very short and cut at words when it is very long. Always a piece of the text as
// it stands, without leading list or heading marks.
QString quoteAround(const QString &text, qsizetype from, qsizetype to)
{
    constexpr qsizetype shortQuote = 60;
    constexpr qsizetype longQuote = 320;
    const auto endsSentence = [&](qsizetype i) {
        const QChar c = text[i];
        if (c == QLatin1Char('\n'))
            return true;
        return (c == QLatin1Char('.') || c == QLatin1Char('!') || c == QLatin1Char('?'))
            && (i + 1 == text.size() || text[i + 1].isSpace());
    };
    qsizetype begin = from;
    while (begin > 0 && !endsSentence(begin - 1))
        --begin;
    qsizetype end = to;
    while (end < text.size()) {
        while (end < text.size() && !endsSentence(end))
            ++end;
        if (end < text.size() && text[end] != QLatin1Char('\n'))
            ++end;  // keep the full stop
        if (end - begin >= shortQuote || end >= text.size() || end - begin >= longQuote)
            break;
        ++end;
    }
    end = std::min(end, text.size());
    // A sentence far too long for a quote: keep the words nearest the mention.
    if (end - begin > longQuote) {
        const qsizetype reach = (longQuote - (to - from)) / 2;
        const qsizetype left = std::max(begin, from - std::max<qsizetype>(0, reach));
        const qsizetype right = std::min(end, std::max(to, left + longQuote));
        qsizetype cutBegin = left;
        if (cutBegin > begin) {
            while (cutBegin < from && !text[cutBegin].isSpace())
                ++cutBegin;
        }
        qsizetype cutEnd = right;
        if (cutEnd < end) {
            while (cutEnd > to && !text[cutEnd - 1].isSpace())
                --cutEnd;
        }
        begin = cutBegin;
        end = cutEnd;
    }
    static const QString marks = QStringLiteral("#>*-+");
    while (begin < from && (text[begin].isSpace() || marks.contains(text[begin])))
        ++begin;
    while (end > to && text[end - 1].isSpace())
        --end;
    if (begin < end && text[begin].isLowSurrogate())
        ++begin;
    if (end > begin && text[end - 1].isHighSurrogate())
        --end;
    return text.mid(begin, end - begin);
}

Transcript transcriptOf(const QString &id, const QString &text, bool microphone, double startMs, double endMs,
                        bool final)
{
    Transcript t;
    t.id = id;
    t.text = text;
    t.channel = microphone ? QStringLiteral("microphone") : QStringLiteral("system");
    t.final = final;
    t.startMs = startMs;
    t.endMs = endMs;
    t.lastWordEndMs = endMs;
    return t;
}

ServerEvent signal(const char *type)
{
    ServerEvent event;
    event.type = QString::fromLatin1(type);
    return event;
}

// One line as spoken: its words and when they start, in unscaled conversation time.
struct Spoken {
    QString id;
    QString text;
    QStringList words;
    bool microphone = false;
    double startMs = 0;
    double endMs = 0;
};

// Where in the line the answer's topic is said: the words the first mention covers,
// or the whole line when the topic is not named word for word.
SpeechOccurrence occurrenceIn(const Spoken &spoken, const QRegularExpression &pattern, const QString &id)
{
    const QRegularExpressionMatch match = pattern.match(spoken.text);
    if (!match.hasMatch())
        return SpeechOccurrence{id, spoken.startMs, spoken.endMs};
    const auto wordsBefore = [&](qsizetype position) {
        return qsizetype(spoken.text.left(position).split(QLatin1Char(' '), Qt::SkipEmptyParts).size());
    };
    const qsizetype first = wordsBefore(match.capturedStart());
    const qsizetype last = std::max(first + 1, wordsBefore(match.capturedEnd()));
    return SpeechOccurrence{id, spoken.startMs + double(first) * msPerWord, spoken.startMs + double(last) * msPerWord};
}

struct Moment {
    double atMs;         // unscaled
    int line = -1;       // a transcript of this line ...
    int words = 0;       // ... holding this many words (all: the final segment)
    int answer = -1;     // or an answer reaching ...
    int stage = 0;       // ... this stage
};

} // namespace

QList<DocumentCitation> DemoScript::citations(const QStringList &phrases, const QList<KnowledgePassage> &knowledge,
                                              qint64 *matched)
{
    const QRegularExpression pattern = phrasePattern(phrases);
    QList<DocumentCitation> found;
    qint64 mentioning = 0;
    for (const KnowledgePassage &passage : knowledge) {
        // The first mention in running text; a Markdown heading only when there is no other.
        std::optional<QRegularExpressionMatch> match;
        QRegularExpressionMatchIterator mentions = pattern.globalMatch(passage.text);
        while (mentions.hasNext()) {
            const QRegularExpressionMatch mention = mentions.next();
            const qsizetype lineStart = passage.text.lastIndexOf(QLatin1Char('\n'), mention.capturedStart()) + 1;
            const bool heading = QStringView(passage.text).mid(lineStart).trimmed().startsWith(QLatin1Char('#'));
            if (!match || !heading)
                match = mention;
            if (!heading)
                break;
        }
        if (!match)
            continue;
        ++mentioning;
        if (found.size() == 2)
            continue;
        const QString quote = quoteAround(passage.text, match->capturedStart(), match->capturedEnd());
        found.append(DocumentCitation{passage.id, passage.documentId, passage.title, passage.location, quote});
    }
    if (matched)
        *matched = mentioning;
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

namespace {

// One playing of the sample: steps due from 0, conversation times from `offsetMs`, and
// the suffixes added to its segment and answer ids.
QList<DemoScript::Step> roundSteps(const QList<KnowledgePassage> &knowledge, double timeScale, double offsetMs,
                                   const QString &suffix)
{
    using Step = DemoScript::Step;
    // Conversation times in events and the moments steps are sent scale alike.
    const auto at = [&](double ms) { return offsetMs + ms * timeScale; };

    // The lines as spoken, one after the other.
    QList<Spoken> spoken;
    double clock = 0;
    for (const Line &line : lines) {
        Spoken s;
        s.id = QStringLiteral("seg-%1").arg(spoken.size() + 1, 2, 10, QLatin1Char('0')) + suffix;
        s.text = QString::fromUtf8(line.text);
        s.words = s.text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        s.microphone = line.microphone;
        s.startMs = clock + line.pauseMs;
        s.endMs = s.startMs + double(s.words.size()) * msPerWord;
        clock = s.endMs;
        spoken.append(s);
    }

    QList<Moment> moments;
    for (qsizetype i = 0; i < spoken.size(); ++i) {
        const Spoken &s = spoken[i];
        const int words = int(s.words.size());
        const int partials = std::clamp(words / 6, 2, 4);
        for (int p = 1; p <= partials; ++p) {
            const int held = (words * p + partials) / (partials + 1);  // grows by at least one word
            moments.append({s.startMs + held * msPerWord + transcriptLatencyMs, int(i), held});
        }
        moments.append({s.endMs + finalLatencyMs, int(i), words});
    }

    // Every answer: its texts in full, its citations and where its topic was said.
    const qsizetype answerCount = qsizetype(std::size(answerTexts));
    QList<PreparedAnswer> complete;
    for (qsizetype a = 0; a < answerCount; ++a) {
        const AnswerText &text = answerTexts[a];
        const Spoken &s = spoken[text.line];
        int sibling = 0;
        for (qsizetype b = 0; b < a; ++b)
            sibling += answerTexts[b].line == text.line;
        const double ready = s.endMs + finalLatencyMs;
        const double delay = sibling * siblingDelayMs;
        moments.append({ready + startedAfterMs + delay, -1, 0, int(a), 1});
        moments.append({ready + readyAfterMs + delay, -1, 0, int(a), 2});
        moments.append({ready + completeAfterMs + delay, -1, 0, int(a), 3});

        PreparedAnswer answer;
        answer.id = QString::fromUtf8(text.id) + suffix;
        answer.topic = QString::fromUtf8(text.topic);
        answer.title = QString::fromUtf8(text.title);
        answer.question = QString::fromUtf8(text.question);
        answer.cue = QString::fromUtf8(text.cue);
        answer.deeper = QString::fromUtf8(text.deeper);
        answer.simpler = QString::fromUtf8(text.simpler);
        if (text.eli5)
            answer.eli5 = QString::fromUtf8(text.eli5);
        answer.uncertainty = QString::fromUtf8(text.uncertainty);
        answer.hidden = text.hidden;
        answer.source = QStringLiteral("sample");
        answer.contextVersion = text.line + 1;
        for (const FollowUpText &followUp : text.followUps) {
            if (followUp.question)
                answer.followUps.append(
                    PreparedFollowUp{QString::fromUtf8(followUp.question), QString::fromUtf8(followUp.answer)});
        }
        answer.category = QString::fromLatin1(text.category);
        const QStringList phrases = phrasesOf(text);
        SpeechOccurrence occurrence = occurrenceIn(s, phrasePattern(phrases), s.id + QLatin1Char('-') + answer.id);
        occurrence.startMs = at(occurrence.startMs);
        occurrence.endMs = at(occurrence.endMs);
        answer.occurrences = QList<SpeechOccurrence>{occurrence};
        qint64 matched = 0;
        const QList<DocumentCitation> cited = DemoScript::citations(phrases, knowledge, &matched);
        if (!cited.isEmpty())
            answer.citations = cited;
        answer.retrieval = RetrievalInfo{!knowledge.isEmpty(), matched, knowledge.isEmpty() ? 0.0 : 3.5};
        complete.append(answer);
    }

    std::stable_sort(moments.begin(), moments.end(), [](const Moment &a, const Moment &b) { return a.atMs < b.atMs; });

    // An answer as it stands at a stage: 1 preparing, 2 cue and Deeper, 3 every form.
    const auto staged = [&](qsizetype a, int stage) {
        PreparedAnswer answer = complete[a];
        answer.preparation = stage == 3 ? QStringLiteral("complete") : QStringLiteral("partial");
        if (stage == 1) {
            answer.cue.clear();
            answer.deeper.clear();
            answer.status = QStringLiteral("preparing");
            answer.provisional = true;
        } else {
            answer.status = QStringLiteral("ready");
        }
        if (stage < 3) {
            answer.simpler.reset();
            answer.eli5.reset();
            answer.followUps.clear();
        }
        return answer;
    };

    QList<Step> steps;
    QList<int> stages(answerCount, 0);
    for (const Moment &moment : moments) {
        const double sendAt = moment.atMs * timeScale;
        if (moment.line >= 0) {
            const Spoken &s = spoken[moment.line];
            const bool final = moment.words == s.words.size();
            const double endMs = final ? s.endMs : s.startMs + moment.words * msPerWord;
            ServerEvent event;
            event.type = QStringLiteral("transcript");
            event.transcript = transcriptOf(s.id, QStringList(s.words.mid(0, moment.words)).join(QLatin1Char(' ')),
                                            s.microphone, at(s.startMs), at(endMs), final);
            steps.append({sendAt, event, final ? finalCost : partialCost});
            continue;
        }
        stages[moment.answer] = moment.stage;
        if (moment.stage == 1)
            steps.append({sendAt, signal("answer.started"), 0});
        ServerEvent bank;
        bank.type = QStringLiteral("bank");
        QList<PreparedAnswer> answers;
        for (qsizetype a = 0; a < answerCount; ++a) {
            if (stages[a] > 0)
                answers.append(staged(a, stages[a]));
        }
        bank.answers = answers;
        steps.append({sendAt, bank, stageCost[moment.stage]});
        if (moment.stage == 2 && answerTexts[moment.answer].focus) {
            ServerEvent focus;
            focus.type = QStringLiteral("answer");
            focus.answer = staged(moment.answer, 2);
            steps.append({sendAt, focus, 0});
        }
        if (std::none_of(stages.cbegin(), stages.cend(), [](int stage) { return stage == 1 || stage == 2; }))
            steps.append({sendAt, signal("quiet"), 0});
    }
    // The conversation is over and nothing is being prepared.
    if (steps.last().event.type != QLatin1String("quiet"))
        steps.append({steps.last().atMs + finalLatencyMs * timeScale, signal("quiet"), 0});
    return steps;
}

} // namespace

QList<DemoScript::Step> DemoScript::conversation(const QList<KnowledgePassage> &knowledge, double timeScale,
                                                 double offsetMs)
{
    return round(knowledge, timeScale, offsetMs, 1, 0);
}

QList<DemoScript::Step> DemoScript::round(const QList<KnowledgePassage> &knowledge, double timeScale, double offsetMs,
                                          int number, double startMs)
{
    if (!std::isfinite(timeScale) || timeScale <= 0)
        timeScale = 1.0;
    if (!std::isfinite(offsetMs) || offsetMs < 0)
        offsetMs = 0;
    if (!std::isfinite(startMs) || startMs < 0)
        startMs = 0;
    number = std::max(1, number);
    const QString roundSuffix = number > 1 ? QStringLiteral("-r%1").arg(number) : QString();
    const QString runSuffix = offsetMs > 0 ? QStringLiteral("-at-%1").arg(qRound64(offsetMs)) : QString();
    QList<Step> steps = roundSteps(knowledge, timeScale, offsetMs + startMs, runSuffix + roundSuffix);
    for (Step &step : steps)
        step.atMs += startMs;
    return steps;
}

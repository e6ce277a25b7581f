#include "LiveMode.h"

#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace {

constexpr qint64 bytesPerSecond = UtteranceDetector::sampleRate * 2;
constexpr qsizetype recentBytes = 3 * bytesPerSecond;  // more than an audio message and the pre-roll

ServerEvent signal(const char *type)
{
    ServerEvent event;
    event.type = QString::fromLatin1(type);
    return event;
}

qint64 byteAt(double ms)
{
    return qint64(std::llround(ms * bytesPerSecond / 1000.0)) / 2 * 2;
}

} // namespace

LiveMode::LiveMode(Host host, LiveScript script, RecognitionWorker::Factory recognizer,
                   std::unique_ptr<LibraryIndex> library, QString idPrefix, double timeOffsetMs, QObject *parent)
    : QObject(parent)
    , m_host(std::move(host))
    , m_script(std::move(script))
    , m_library(std::move(library))
    , m_idPrefix(std::move(idPrefix))
    , m_offsetMs(std::isfinite(timeOffsetMs) && timeOffsetMs > 0 ? timeOffsetMs : 0)
{
    m_channels[0].name = QStringLiteral("microphone");
    m_channels[1].name = QStringLiteral("system");
    for (Channel &channel : m_channels) {
        channel.worker = std::make_unique<RecognitionWorker>(
            recognizer, this, [this](const RecognitionWorker::Result &result) { recognized(result); });
    }
}

// The workers go first: nothing they finish later reaches this object.
LiveMode::~LiveMode()
{
    for (Channel &channel : m_channels)
        channel.worker.reset();
}

LiveMode::Channel *LiveMode::channelNamed(const QString &name)
{
    for (Channel &channel : m_channels) {
        if (channel.name == name)
            return &channel;
    }
    return nullptr;
}

bool LiveMode::pending() const
{
    return m_preparing > 0 || !m_utterances.isEmpty();
}

void LiveMode::audio(const QString &name, QByteArrayView pcm)
{
    Channel *channel = channelNamed(name);
    if (m_halted || m_unpaid || !channel || pcm.isEmpty())
        return;
    // Transcription is paid as the audio comes, in whole micros of the channel's total.
    const qint64 due = (channel->bytes + pcm.size()) * transcriptionMicrosPerSecond / bytesPerSecond;
    if (due > channel->paidMicros && !m_host.spend(due - channel->paidMicros)) {
        stopTaking();
        settle();
        return;
    }
    channel->paidMicros = std::max(channel->paidMicros, due);
    channel->bytes += pcm.size();
    channel->recent.append(pcm.data(), pcm.size());
    if (channel->recent.size() > recentBytes)
        channel->recent.remove(0, channel->recent.size() - recentBytes);
    for (const UtteranceDetector::Change &change : channel->detector.feed(pcm)) {
        if (m_halted || m_unpaid)
            return;
        changed(*channel, change);
    }
    if (channel->open >= 0)
        feedTo(*channel, channel->bytes);
}

void LiveMode::finish(const QString &name)
{
    Channel *channel = channelNamed(name);
    if (m_halted || !channel)
        return;
    if (const std::optional<UtteranceDetector::Change> end = channel->detector.finish())
        ended(*channel, *end);
    settle();
}

void LiveMode::halt()
{
    m_halted = true;
}

void LiveMode::feedTo(Channel &channel, qint64 position)
{
    const qint64 keptFrom = channel.bytes - channel.recent.size();
    const qint64 from = std::max(channel.fedTo, keptFrom);
    const qint64 to = std::min(position, channel.bytes);
    if (to > from)
        channel.worker->feed(QByteArrayView(channel.recent).sliced(from - keptFrom, to - from));
    channel.fedTo = std::max(channel.fedTo, to);
}

void LiveMode::changed(Channel &channel, const UtteranceDetector::Change &change)
{
    using Kind = UtteranceDetector::Change::Kind;
    if (change.kind == Kind::Ended) {
        ended(channel, change);
        settle();
        return;
    }
    if (change.kind == Kind::Started) {
        const int ordinal = m_segments++;
        Utterance utterance;
        utterance.segmentId = QStringLiteral("%1-seg-%2").arg(m_idPrefix).arg(m_segments);
        utterance.channel = channel.name;
        utterance.sentence = m_script.nextSentence();
        utterance.startMs = change.startMs;
        m_utterances.insert(ordinal, utterance);
        channel.open = ordinal;
        channel.fedTo = std::max<qint64>(0, byteAt(change.startMs - preRollMs));
        channel.worker->begin(ordinal);
    }
    if (const auto open = m_utterances.find(channel.open); open != m_utterances.end())
        open->endMs = change.endMs;
}

void LiveMode::ended(Channel &channel, const UtteranceDetector::Change &change)
{
    const auto open = m_utterances.find(channel.open);
    channel.open = -1;
    if (open == m_utterances.end())
        return;
    open->endMs = change.endMs;
    feedTo(channel, byteAt(change.endMs + tailMs));
    channel.worker->end();
}

void LiveMode::recognized(const RecognitionWorker::Result &result)
{
    const auto utterance = m_utterances.find(result.ordinal);
    if (m_halted || utterance == m_utterances.end())
        return;
    if (result.kind == RecognitionWorker::Result::Kind::Partial) {
        // Until its final words are known, the words so far of an utterance that has
        // already ended still show.
        if (result.text.isEmpty() || (result.text == utterance->partialSent && utterance->endMs == utterance->partialEndMs))
            return;
        utterance->partialSent = result.text;
        utterance->partialEndMs = utterance->endMs;
        ServerEvent event = signal("transcript");
        event.transcript = segment(*utterance, result.text, false);
        m_host.send(event);
        return;
    }
    const Utterance heard = m_utterances.take(result.ordinal);
    if (!result.text.isEmpty()) {
        ServerEvent event = signal("transcript");
        event.transcript = segment(heard, result.text, true);
        m_host.send(event);
        if (!m_halted)
            prepare(*event.transcript, heard.sentence);
    }
    settle();
}

Transcript LiveMode::segment(const Utterance &utterance, const QString &text, bool final) const
{
    Transcript t;
    t.id = utterance.segmentId;
    t.text = text;
    t.channel = utterance.channel;
    t.final = final;
    t.startMs = m_offsetMs + utterance.startMs;
    t.endMs = m_offsetMs + utterance.endMs;
    t.lastWordEndMs = t.endMs;
    return t;
}

std::optional<PreparedAnswer> LiveMode::libraryAnswer(const Transcript &segment)
{
    QElapsedTimer searching;
    searching.start();
    const QList<LibraryIndex::Match> matches = m_library->search(segment.text);
    const double elapsedMs = double(searching.nsecsElapsed()) / 1e6;
    const double atMs = segment.endMs.value_or(0);
    const auto fresh = std::find_if(matches.cbegin(), matches.cend(), [&](const LibraryIndex::Match &match) {
        const auto offered = m_offered.constFind(match.passage.id);
        return offered == m_offered.cend() || atMs - *offered >= repeatAfterMs;
    });
    if (fresh == matches.cend())
        return std::nullopt;
    const KnowledgePassage &passage = fresh->passage;
    m_offered.insert(passage.id, atMs);

    PreparedAnswer answer;
    answer.id = QStringLiteral("%1-answer-%2").arg(m_idPrefix).arg(++m_answers);
    answer.topic = passage.title;
    answer.title = fresh->phrase;
    answer.question = segment.text;
    answer.cue = fresh->sentence;
    answer.deeper = passage.text;
    answer.uncertainty = QStringLiteral("An excerpt of your document \u201c%1\u201d, not a generated answer.").arg(passage.title);
    answer.status = QStringLiteral("ready");
    answer.source = QStringLiteral("live");
    answer.preparation = QStringLiteral("complete");
    answer.contextVersion = m_answers;
    const double startMs = segment.startMs.value_or(0);
    answer.occurrences = QList<SpeechOccurrence>{
        SpeechOccurrence{segment.id + QLatin1Char('-') + answer.id, startMs, segment.endMs.value_or(startMs)}};
    answer.citations = QList<DocumentCitation>{
        DocumentCitation{passage.id, passage.documentId, passage.title, passage.location, fresh->sentence}};
    answer.retrieval = RetrievalInfo{true, qint64(matches.size()), elapsedMs};
    return answer;
}

void LiveMode::prepare(const Transcript &segment, int sentence)
{
    if (m_unpaid)
        return;
    std::optional<PreparedAnswer> complete;
    if (m_library) {
        complete = libraryAnswer(segment);
        if (!complete)
            return;  // nothing in the library fits: an honest silence
    }
    if (!m_host.spend(preparationMicros)) {
        stopTaking();
        return;
    }
    if (!complete)
        complete = m_script.answerFor(sentence, segment);
    ++m_preparing;
    m_host.send(signal("answer.started"));
    m_host.prepared(LiveScript::staged(*complete, LiveScript::Stage::Preparing));
    const PreparedAnswer answer = *complete;
    QTimer::singleShot(readyAfter, this, [this, answer] {
        if (m_halted)
            return;
        m_host.prepared(LiveScript::staged(answer, LiveScript::Stage::Ready));
        QTimer::singleShot(completeAfter, this, [this, answer] {
            if (m_halted)
                return;
            m_host.prepared(LiveScript::staged(answer, LiveScript::Stage::Complete));
            --m_preparing;
            settle();
        });
    });
}

// The session can pay for nothing more: what was heard so far still gets its final segment.
void LiveMode::stopTaking()
{
    m_unpaid = true;
    for (Channel &channel : m_channels) {
        if (const std::optional<UtteranceDetector::Change> end = channel.detector.finish())
            ended(channel, *end);
    }
}

void LiveMode::settle()
{
    if (!m_halted && !pending())
        m_host.send(signal("quiet"));
}

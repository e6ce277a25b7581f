#include "LiveMode.h"

#include <QTimer>

#include <algorithm>
#include <cmath>

namespace {

constexpr qint64 bytesPerSecond = UtteranceDetector::sampleRate * 2;

ServerEvent signal(const char *type)
{
    ServerEvent event;
    event.type = QString::fromLatin1(type);
    return event;
}

} // namespace

LiveMode::LiveMode(Host host, LiveScript script, QString idPrefix, double timeOffsetMs, QObject *parent)
    : QObject(parent)
    , m_host(std::move(host))
    , m_script(std::move(script))
    , m_idPrefix(std::move(idPrefix))
    , m_offsetMs(std::isfinite(timeOffsetMs) && timeOffsetMs > 0 ? timeOffsetMs : 0)
{
    m_channels[0].name = QStringLiteral("microphone");
    m_channels[1].name = QStringLiteral("system");
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
    return m_preparing > 0
        || std::any_of(m_channels.cbegin(), m_channels.cend(), [](const Channel &c) { return c.detector.open(); });
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
    for (const UtteranceDetector::Change &change : channel->detector.feed(pcm)) {
        if (m_halted || m_unpaid)
            return;
        changed(*channel, change);
    }
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

void LiveMode::changed(Channel &channel, const UtteranceDetector::Change &change)
{
    using Kind = UtteranceDetector::Change::Kind;
    if (change.kind == Kind::Ended) {
        ended(channel, change);
        settle();
        return;
    }
    if (change.kind == Kind::Started) {
        channel.segmentId = QStringLiteral("%1-seg-%2").arg(m_idPrefix).arg(++m_segments);
        channel.sentence = m_script.nextSentence();
        channel.wordsSent = 0;
    }
    // A partial for every word more that the speech so far reveals.
    const qsizetype words = LiveScript::wordsHeard(change.endMs - change.startMs, false);
    if (words <= channel.wordsSent)
        return;
    channel.wordsSent = words;
    ServerEvent event = signal("transcript");
    event.transcript = segment(channel, change, words, false);
    m_host.send(event);
}

void LiveMode::ended(Channel &channel, const UtteranceDetector::Change &change)
{
    if (channel.segmentId.isEmpty())
        return;
    const qsizetype words = std::max(channel.wordsSent, LiveScript::wordsHeard(change.endMs - change.startMs, true));
    ServerEvent event = signal("transcript");
    event.transcript = segment(channel, change, words, true);
    channel.segmentId.clear();
    channel.wordsSent = 0;
    m_host.send(event);
    if (!m_halted)
        prepare(*event.transcript, channel.sentence);
}

Transcript LiveMode::segment(const Channel &channel, const UtteranceDetector::Change &change, qsizetype words,
                             bool final) const
{
    Transcript t;
    t.id = channel.segmentId;
    t.text = LiveScript::words(channel.sentence, words);
    t.channel = channel.name;
    t.final = final;
    t.startMs = m_offsetMs + change.startMs;
    t.endMs = m_offsetMs + change.endMs;
    t.lastWordEndMs = t.endMs;
    return t;
}

void LiveMode::prepare(const Transcript &segment, int sentence)
{
    if (m_unpaid)
        return;
    if (!m_host.spend(preparationMicros)) {
        stopTaking();
        return;
    }
    const PreparedAnswer complete = m_script.answerFor(sentence, segment);
    ++m_preparing;
    m_host.send(signal("answer.started"));
    m_host.prepared(LiveScript::staged(complete, LiveScript::Stage::Preparing));
    QTimer::singleShot(readyAfter, this, [this, complete] {
        if (m_halted)
            return;
        m_host.prepared(LiveScript::staged(complete, LiveScript::Stage::Ready));
        QTimer::singleShot(completeAfter, this, [this, complete] {
            if (m_halted)
                return;
            m_host.prepared(LiveScript::staged(complete, LiveScript::Stage::Complete));
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

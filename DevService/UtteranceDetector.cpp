#include "UtteranceDetector.h"

#include <algorithm>
#include <cmath>

namespace {

qint64 samplesOf(double ms)
{
    if (!std::isfinite(ms) || ms <= 0)
        return 0;
    return qint64(std::llround(std::min(ms, 3'600'000.0) * UtteranceDetector::sampleRate / 1000.0));
}

} // namespace

UtteranceDetector::UtteranceDetector()
    : UtteranceDetector(Settings())
{
}

UtteranceDetector::UtteranceDetector(Settings settings)
    : m_windowSamples(std::max<qint64>(1, samplesOf(settings.windowMs)))
    , m_thresholdSquare(std::isfinite(settings.thresholdRms) ? settings.thresholdRms * settings.thresholdRms : 0)
    , m_maximumCrossings(std::isfinite(settings.maximumZeroCrossings) ? settings.maximumZeroCrossings : 1)
    , m_hangoverSamples(samplesOf(settings.hangoverMs))
    , m_minimumVoicedSamples(samplesOf(settings.minimumVoicedMs))
    , m_maximumSamples(std::max(m_windowSamples, samplesOf(settings.maximumUtteranceMs)))
{
}

QList<UtteranceDetector::Change> UtteranceDetector::feed(QByteArrayView pcm)
{
    QList<Change> changes;
    for (const char byte : pcm) {
        if (!m_lowByte) {
            m_lowByte = quint8(byte);
            continue;
        }
        const double sample = double(qint16(quint16(*m_lowByte) | quint16(quint8(byte)) << 8));
        m_lowByte.reset();
        m_sumOfSquares += sample * sample;
        if ((sample < 0) != m_negative) {
            m_negative = sample < 0;
            ++m_crossings;
        }
        ++m_samples;
        if (++m_filled == m_windowSamples)
            closeWindow(changes);
    }
    return changes;
}

void UtteranceDetector::closeWindow(QList<Change> &changes)
{
    const bool voiced = m_sumOfSquares / double(m_filled) >= m_thresholdSquare
        && double(m_crossings) / double(m_filled) <= m_maximumCrossings;
    const qint64 windowStart = m_samples - m_filled;
    const qint64 windowEnd = m_samples;
    m_filled = 0;
    m_sumOfSquares = 0;
    m_crossings = 0;

    const auto report = [&](Change::Kind kind) {
        if (kind == Change::Kind::Grew && !changes.isEmpty() && changes.last().kind == Change::Kind::Grew)
            changes.last() = change(kind);
        else
            changes.append(change(kind));
    };

    switch (m_state) {
    case State::Silent:
        if (!voiced)
            return;
        m_state = State::Candidate;
        m_start = windowStart;
        m_lastVoicedEnd = windowEnd;
        m_voiced = windowEnd - windowStart;
        break;
    case State::Candidate:
        if (!voiced) {
            if (windowEnd - m_lastVoicedEnd >= m_hangoverSamples)
                m_state = State::Silent;  // too little to be speech
            return;
        }
        m_lastVoicedEnd = windowEnd;
        m_voiced += windowEnd - windowStart;
        break;
    case State::Open:
        if (!voiced) {
            if (windowEnd - m_lastVoicedEnd >= m_hangoverSamples) {
                m_state = State::Silent;
                report(Change::Kind::Ended);
            }
            return;
        }
        m_lastVoicedEnd = windowEnd;
        if (m_lastVoicedEnd - m_start >= m_maximumSamples) {
            m_state = State::Silent;
            report(Change::Kind::Ended);
            return;
        }
        report(Change::Kind::Grew);
        return;
    }
    if (m_state == State::Candidate && m_voiced >= m_minimumVoicedSamples) {
        m_state = State::Open;
        report(Change::Kind::Started);
    }
}

std::optional<UtteranceDetector::Change> UtteranceDetector::finish()
{
    m_lowByte.reset();
    m_filled = 0;
    m_sumOfSquares = 0;
    m_crossings = 0;
    const State state = m_state;
    m_state = State::Silent;
    if (state != State::Open)
        return std::nullopt;
    return change(Change::Kind::Ended);
}

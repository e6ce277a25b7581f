#include "ConversationMemory.h"

#include <algorithm>
#include <limits>

namespace {

double startOf(const Transcript &segment)
{
    return segment.startMs.value_or(0);
}

// Sums far beyond any allowance saturate instead of wrapping.
qint64 saturatingAdd(qint64 a, qint64 b)
{
    qint64 sum = 0;
    if (__builtin_add_overflow(a, b, &sum))
        return b > 0 ? std::numeric_limits<qint64>::max() : std::numeric_limits<qint64>::min();
    return sum;
}

qint64 saturatingSubtract(qint64 a, qint64 b)
{
    qint64 difference = 0;
    if (__builtin_sub_overflow(a, b, &difference))
        return b < 0 ? std::numeric_limits<qint64>::max() : std::numeric_limits<qint64>::min();
    return difference;
}

bool speechStillHeld(const PreparedAnswer &answer, double availableFromMs)
{
    if (!answer.occurrences)
        return false;
    return std::any_of(answer.occurrences->cbegin(), answer.occurrences->cend(),
                       [&](const SpeechOccurrence &occurrence) { return occurrence.endMs >= availableFromMs; });
}

} // namespace

ConversationMemory::ConversationMemory(qint64 limitMicros) : m_limitMicros(limitMicros) {}

const QList<Transcript> &ConversationMemory::transcript() const { return m_transcript; }
const QList<PreparedAnswer> &ConversationMemory::answers() const { return m_answers; }
double ConversationMemory::availableFromMs() const { return m_availableFromMs; }
qint64 ConversationMemory::limitMicros() const { return m_limitMicros; }

void ConversationMemory::append(const Transcript &segment)
{
    // A segment is replaced by its newest version; the others keep their order.
    m_transcript.removeIf([&](const Transcript &held) { return held.id == segment.id; });

    // The held list is always ordered by start time, so placing the new segment after
    // the last one that starts at or before it is exactly the order a stable sort of
    // the list with the segment appended at the end would give.
    const double start = startOf(segment);
    const auto position = std::upper_bound(m_transcript.cbegin(), m_transcript.cend(), start,
                                           [](double value, const Transcript &held) { return value < startOf(held); });
    m_transcript.insert(position - m_transcript.cbegin(), segment);

    qint64 textUnits = 0;
    for (const Transcript &held : std::as_const(m_transcript))
        textUnits += held.text.size();
    qsizetype removed = 0;
    while (m_transcript.size() - removed > maximumSegments || textUnits > maximumTextUnits) {
        const Transcript &earliest = m_transcript.at(removed);
        textUnits -= earliest.text.size();
        m_availableFromMs = std::max(m_availableFromMs, earliest.endMs.value_or(0));
        ++removed;
    }
    if (removed > 0)
        m_transcript.remove(0, removed);

    m_answers.removeIf([&](const PreparedAnswer &answer) { return !speechStillHeld(answer, m_availableFromMs); });
}

void ConversationMemory::merge(const QList<PreparedAnswer> &incoming)
{
    for (const PreparedAnswer &answer : incoming) {
        const auto held = std::find_if(m_answers.begin(), m_answers.end(),
                                       [&](const PreparedAnswer &candidate) { return candidate.id == answer.id; });
        if (held != m_answers.end())
            *held = answer;
        else
            m_answers.append(answer);
    }
    if (m_answers.size() > maximumAnswers)
        m_answers.remove(0, m_answers.size() - maximumAnswers);
}

void ConversationMemory::account(const SessionSnapshot &snapshot)
{
    m_commitments.insert(snapshot.id, saturatingAdd(snapshot.spentMicros, snapshot.reservedMicros));
}

qint64 ConversationMemory::committedMicros() const
{
    qint64 total = 0;
    for (const qint64 value : m_commitments)
        total = saturatingAdd(total, value);
    return total;
}

qint64 ConversationMemory::remainingMicros() const
{
    return std::max<qint64>(0, saturatingSubtract(m_limitMicros, committedMicros()));
}

QStringList ConversationMemory::sessionIDs() const
{
    return m_commitments.keys();
}

QList<HistorySegment> ConversationMemory::history() const
{
    QList<HistorySegment> result;
    for (const Transcript &segment : m_transcript)
        if (segment.final)
            result.append(HistorySegment(segment));
    return result;
}

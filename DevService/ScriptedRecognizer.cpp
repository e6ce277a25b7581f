#include "ScriptedRecognizer.h"

#include "LiveScript.h"

void ScriptedRecognizer::begin(int ordinal)
{
    m_sentence = ordinal;
    m_detector = UtteranceDetector(UtteranceDetector::Settings{.hangoverMs = 3'600'000, .maximumUtteranceMs = 3'600'000});
    m_startMs = m_endMs = -1;
}

void ScriptedRecognizer::feed(const qint16 *samples, std::size_t count)
{
    const auto bytes = QByteArrayView(reinterpret_cast<const char *>(samples), qsizetype(count * 2));
    for (const UtteranceDetector::Change &change : m_detector.feed(bytes)) {
        m_startMs = change.startMs;
        m_endMs = change.endMs;
    }
}

double ScriptedRecognizer::speechMs() const
{
    return m_startMs < 0 ? 0 : m_endMs - m_startMs;
}

QString ScriptedRecognizer::partial()
{
    return LiveScript::words(m_sentence, LiveScript::wordsHeard(speechMs(), false));
}

QString ScriptedRecognizer::finish()
{
    if (m_startMs < 0)
        return {};
    return LiveScript::words(m_sentence, LiveScript::wordsHeard(speechMs(), true));
}

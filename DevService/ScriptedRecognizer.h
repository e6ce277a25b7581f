#pragma once

#include "SpeechRecognizer.h"
#include "UtteranceDetector.h"

// The script as a recogniser, for runs without real speech: utterance n says the words of
// the script's sentence n onwards, one word for every `LiveScript::msPerWord` of speech the
// detector finds in what it is fed (whole words while it lasts, the nearest count at least
// one once it ends).
class ScriptedRecognizer : public SpeechRecognizer {
public:
    void begin(int ordinal) override;
    void feed(const qint16 *samples, std::size_t count) override;
    QString partial() override;
    QString finish() override;

private:
    double speechMs() const;

    int m_sentence = 0;
    UtteranceDetector m_detector{UtteranceDetector::Settings{.hangoverMs = 3'600'000, .maximumUtteranceMs = 3'600'000}};
    double m_startMs = -1;
    double m_endMs = -1;
};

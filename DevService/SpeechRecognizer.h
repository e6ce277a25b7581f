#pragma once

#include <QString>

#include <cstddef>

// Turns the speech of one channel into words, one utterance at a time: begin, feed the
// utterance's 16 kHz mono signed 16-bit samples in pieces, read the words recognised so
// far whenever wanted, then finish for the final text. A recogniser is used by one
// thread at a time; it may be made and freed on another thread than the one it decodes on.
class SpeechRecognizer {
public:
    virtual ~SpeechRecognizer() = default;

    // Begins an utterance. `ordinal` counts the session's utterances from 0; a recogniser
    // that does not need it ignores it.
    virtual void begin(int ordinal) = 0;
    virtual void feed(const qint16 *samples, std::size_t count) = 0;
    // The words recognised so far in the open utterance (empty: none yet).
    virtual QString partial() = 0;
    // Ends the utterance; its final text, empty when nothing was recognised.
    virtual QString finish() = 0;
};

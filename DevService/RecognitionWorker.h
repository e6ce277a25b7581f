#pragma once

#include "SpeechRecognizer.h"

#include <QByteArrayView>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

// Runs the recogniser of one channel on a worker thread, so decoding never holds up the
// thread that receives the audio. Work is taken in order: begin an utterance, its audio,
// end it. Partial words are reported after every quarter second of decoded speech, and
// each utterance's final text once it has ended, on the thread of `receiver`, and only
// while this worker lives.
//
// The audio waiting for the decoder is bounded: at `maximumBacklogBytes` (ten seconds of
// audio) the newest audio is not taken, so the decoder keeps an unbroken stretch from the
// utterance's start and its final text covers what was decoded of it; the utterance still
// ends where the speech ended. The recogniser is made on the worker (loading a model takes
// a while) and freed there once the worker is gone and its current step has finished.
class RecognitionWorker {
public:
    static constexpr qsizetype maximumBacklogBytes = 10 * 32'000;
    static constexpr qsizetype partialEveryBytes = 8'000;

    struct Result {
        enum class Kind { Partial, Final };
        Kind kind = Kind::Partial;
        int ordinal = 0;  // of the utterance
        QString text;
    };
    using Factory = std::function<std::unique_ptr<SpeechRecognizer>()>;

    RecognitionWorker(Factory factory, QObject *receiver, std::function<void(const Result &)> deliver);
    ~RecognitionWorker();
    RecognitionWorker(const RecognitionWorker &) = delete;
    RecognitionWorker &operator=(const RecognitionWorker &) = delete;

    void begin(int ordinal);
    // Queues 16-bit PCM of the open utterance; false when the backlog is full and it was
    // not taken.
    bool feed(QByteArrayView pcm);
    void end();

    // Audio not taken at the bound so far.
    qint64 droppedBytes() const;

private:
    struct State;
    std::shared_ptr<State> m_state;
};

#pragma once

#include "LibraryIndex.h"
#include "LiveScript.h"
#include "RecognitionWorker.h"
#include "UtteranceDetector.h"
#include "protocol/ServerEvent.h"

#include <QHash>
#include <QObject>

#include <array>
#include <chrono>
#include <functional>
#include <memory>

// The live mode of one session. It finds utterances in the audio of each channel and has
// the channel's recogniser (on a worker thread of its own) turn each into words: partial
// transcripts with the words recognised so far while it lasts, and a final segment with
// the final words at the conversation times it was spoken once it ends. An utterance with
// no words (a cough, noise) has no final segment. For each final segment it prepares an
// answer in stages (preparing, then cue and Deeper, then complete): from the passage of the
// session's library the words name, or from the LiveScript when the library is not used;
// with no passage that fits, nothing is prepared. It says "quiet" once no utterance is
// open or being recognised and no answer is being prepared.
//
// A passage is offered at most once every `repeatAfterMs` of conversation time.
//
// Transcription is paid per second of audio received on each channel, preparation per
// answer. Once the host refuses a payment (the session limit), open utterances still get
// their final segments, answers already paid for are still completed, and nothing else is
// taken.
class LiveMode : public QObject {
    Q_OBJECT

public:
    static constexpr qint64 transcriptionMicrosPerSecond = 100;
    static constexpr qint64 preparationMicros = 2'000;
    static constexpr std::chrono::milliseconds readyAfter{300};     // preparing → cue and Deeper
    static constexpr std::chrono::milliseconds completeAfter{400};  // → every form and follow-up
    static constexpr double repeatAfterMs = 180'000;
    static constexpr double preRollMs = 300;    // audio before the speech the recogniser is given
    static constexpr double tailMs = 300;       // and after it

    struct Host {
        // Pays for work; false when the session cannot pay (it has then been ended).
        std::function<bool(qint64 micros)> spend;
        // Sends a "transcript", "answer.started" or "quiet" event.
        std::function<void(ServerEvent)> send;
        // Puts an answer as it now stands into the bank and sends the bank.
        std::function<void(const PreparedAnswer &)> prepared;
    };

    // Segment ids start with `idPrefix`; `timeOffsetMs` is the conversation time at which the
    // session's audio starts. `recognizer` makes each channel's recogniser; without a
    // `library` the answers are the script's.
    LiveMode(Host host, LiveScript script, RecognitionWorker::Factory recognizer, std::unique_ptr<LibraryIndex> library,
             QString idPrefix, double timeOffsetMs, QObject *parent = nullptr);
    ~LiveMode() override;

    // PCM bytes received on "system" or "microphone".
    void audio(const QString &channel, QByteArrayView pcm);
    // The channel's audio ends: its open utterance ends at once.
    void finish(const QString &channel);
    // Stops for good: no further events, not even of answers being prepared.
    void halt();

    // An utterance is open or being recognised, or an answer is being prepared.
    bool pending() const;

private:
    // An utterance from its start until its final words are known.
    struct Utterance {
        QString segmentId;
        QString channel;
        int sentence = 0;         // of the script
        double startMs = 0;       // of the channel's audio
        double endMs = 0;
        QString partialSent;      // the text of its last partial
        double partialEndMs = -1; // and where it ended
    };

    struct Channel {
        QString name;
        UtteranceDetector detector;
        qint64 bytes = 0;          // PCM received
        qint64 paidMicros = 0;     // transcription paid for it
        QByteArray recent;         // the last seconds of its audio, ending at `bytes`
        qint64 fedTo = 0;          // audio up to here has gone to the recogniser
        int open = -1;             // ordinal of the open utterance
        std::unique_ptr<RecognitionWorker> worker;
    };

    Channel *channelNamed(const QString &name);
    void changed(Channel &channel, const UtteranceDetector::Change &change);
    void ended(Channel &channel, const UtteranceDetector::Change &change);
    // Gives the recogniser the channel's audio up to `position` (bytes), as far as kept.
    void feedTo(Channel &channel, qint64 position);
    void recognized(const RecognitionWorker::Result &result);
    Transcript segment(const Utterance &utterance, const QString &text, bool final) const;
    void prepare(const Transcript &segment, int sentence);
    std::optional<PreparedAnswer> libraryAnswer(const Transcript &segment);
    void stopTaking();
    void settle();

    Host m_host;
    LiveScript m_script;
    std::unique_ptr<LibraryIndex> m_library;
    QHash<QString, double> m_offered;           // passage id → conversation time last offered
    QHash<int, Utterance> m_utterances;         // by ordinal, until their final words
    int m_answers = 0;
    QString m_idPrefix;
    double m_offsetMs;
    std::array<Channel, 2> m_channels;
    int m_segments = 0;
    int m_preparing = 0;
    bool m_unpaid = false;   // the session could not pay: take nothing more
    bool m_halted = false;
};

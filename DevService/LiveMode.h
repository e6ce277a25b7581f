#pragma once

#include "LiveScript.h"
#include "UtteranceDetector.h"
#include "protocol/ServerEvent.h"

#include <QObject>

#include <array>
#include <chrono>
#include <functional>

// The live mode of one session. It finds utterances in the audio of each channel, sends
// each one as growing partial transcripts while it lasts and as a final segment at the
// conversation times it was spoken once it ends, then prepares an answer for it in stages
// (preparing, then cue and Deeper, then every form and the follow-ups), and says "quiet"
// once no utterance is open and no answer is being prepared. Words and answers come from
// a LiveScript; timing and spend follow the audio.
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

    struct Host {
        // Pays for work; false when the session cannot pay (it has then been ended).
        std::function<bool(qint64 micros)> spend;
        // Sends a "transcript", "answer.started" or "quiet" event.
        std::function<void(ServerEvent)> send;
        // Puts an answer as it now stands into the bank and sends the bank.
        std::function<void(const PreparedAnswer &)> prepared;
    };

    // Segment ids start with `idPrefix`; `timeOffsetMs` is the conversation time at which the
    // session's audio starts.
    LiveMode(Host host, LiveScript script, QString idPrefix, double timeOffsetMs, QObject *parent = nullptr);

    // PCM bytes received on "system" or "microphone".
    void audio(const QString &channel, QByteArrayView pcm);
    // The channel's audio ends: its open utterance ends at once.
    void finish(const QString &channel);
    // Stops for good: no further events, not even of answers being prepared.
    void halt();

    // An utterance is open or an answer is being prepared.
    bool pending() const;

private:
    struct Channel {
        QString name;
        UtteranceDetector detector;
        qint64 bytes = 0;          // PCM received
        qint64 paidMicros = 0;     // transcription paid for it
        QString segmentId;         // of the open utterance
        int sentence = 0;          // where its words start
        qsizetype wordsSent = 0;   // in its last partial
    };

    Channel *channelNamed(const QString &name);
    void changed(Channel &channel, const UtteranceDetector::Change &change);
    void ended(Channel &channel, const UtteranceDetector::Change &change);
    Transcript segment(const Channel &channel, const UtteranceDetector::Change &change, qsizetype words,
                       bool final) const;
    void prepare(const Transcript &segment, int sentence);
    void stopTaking();
    void settle();

    Host m_host;
    LiveScript m_script;
    QString m_idPrefix;
    double m_offsetMs;
    std::array<Channel, 2> m_channels;
    int m_segments = 0;
    int m_preparing = 0;
    bool m_unpaid = false;   // the session could not pay: take nothing more
    bool m_halted = false;
};

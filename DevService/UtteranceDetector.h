#pragma once

#include <QByteArrayView>
#include <QList>

#include <optional>

// Finds utterances in one channel's audio (16 kHz mono, signed 16-bit little-endian PCM)
// by the energy of short windows. A window whose RMS level reaches the threshold is
// voiced, unless its signal changes sign more often than speech does (hiss and white
// noise change sign at about every other sample; voiced speech far less often). An utterance starts at its first voiced window once enough voiced windows
// follow it (a click alone is not speech), grows with every voiced window, and ends at
// the end of its last voiced window once the silence after it has lasted the hangover, so
// a short pause inside a sentence does not split it. Speech that goes on past the longest
// utterance is cut there and goes on as a new one.
//
// Input may come in pieces of any size, odd ones included; the detector keeps only the
// window being filled (no buffer), so memory stays the same whatever it is fed. Positions
// are milliseconds of this channel's audio, counted from its first sample.
class UtteranceDetector {
public:
    static constexpr int sampleRate = 16'000;

    struct Settings {
        double windowMs = 20;
        double thresholdRms = 400;           // of full scale 32,768: about -38 dBFS
        double maximumZeroCrossings = 0.3;   // sign changes per sample of a voiced window
        double hangoverMs = 1'000;           // silence that ends an utterance
        double minimumVoicedMs = 100;        // voiced windows an utterance needs to count
        double maximumUtteranceMs = 30'000;  // longer speech is cut into utterances this long
    };

    struct Change {
        enum class Kind { Started, Grew, Ended };
        Kind kind = Kind::Started;
        double startMs = 0;  // start of the utterance's first voiced window
        double endMs = 0;    // end of its last voiced window so far

        bool operator==(const Change &) const = default;
    };

    UtteranceDetector();
    explicit UtteranceDetector(Settings settings);

    // Takes the next PCM bytes and returns what changed, in order. Several growths in a
    // row are reported as the last of them.
    QList<Change> feed(QByteArrayView pcm);
    // The channel's audio ends: an open utterance ends at once at its last voiced window;
    // a half-filled window and speech too short to count are dropped.
    std::optional<Change> finish();

    // An utterance has started and not ended.
    bool open() const { return m_state == State::Open; }
    // How much audio has been taken, in milliseconds.
    double positionMs() const { return msOf(m_samples); }

private:
    enum class State { Silent, Candidate, Open };

    void closeWindow(QList<Change> &changes);
    static double msOf(qint64 samples) { return double(samples) * 1000.0 / sampleRate; }
    Change change(Change::Kind kind) const { return Change{kind, msOf(m_start), msOf(m_lastVoicedEnd)}; }

    qint64 m_windowSamples;
    double m_thresholdSquare;
    double m_maximumCrossings;
    qint64 m_hangoverSamples;
    qint64 m_minimumVoicedSamples;
    qint64 m_maximumSamples;

    qint64 m_samples = 0;          // whole samples taken
    std::optional<quint8> m_lowByte;
    qint64 m_filled = 0;           // samples in the window being filled
    double m_sumOfSquares = 0;
    qint64 m_crossings = 0;        // sign changes in the window being filled
    bool m_negative = false;       // the sign of the last sample

    State m_state = State::Silent;
    qint64 m_start = 0;            // first voiced sample of the utterance
    qint64 m_lastVoicedEnd = 0;    // end of its last voiced window
    qint64 m_voiced = 0;           // voiced samples of a candidate
};

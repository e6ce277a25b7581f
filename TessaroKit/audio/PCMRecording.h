#pragma once

#include <QByteArray>
#include <QList>

// A WAV recording replayed in place of live capture: 16 kHz, mono, signed 16-bit
// little-endian samples, at most 90 seconds. Only the sample data is kept.
class PCMRecording {
public:
    static constexpr qsizetype maximumFileBytes = 3'000'000;
    static constexpr qsizetype maximumPCMBytes = 2'880'000;
    static constexpr qsizetype bytesPerSecond = 32'000;
    static constexpr qsizetype frameBytes = 3'200;

    // Throws TessaroError::message("Choose a 16 kHz, mono, 16-bit PCM WAV recording, up to
    // 90 seconds.") for every kind of rejection.
    explicit PCMRecording(const QByteArray &data);

    // The contents of every "data" chunk, in file order: never empty, even length.
    const QByteArray &pcm() const;
    double seconds() const;
    // Consecutive 100 ms frames of 3,200 bytes; the last one holds the remainder.
    QList<QByteArray> frames() const;

private:
    QByteArray m_pcm;
};

#pragma once

#include <QByteArray>
#include <QtEndian>

#include <cmath>
#include <numbers>

// A 16-bit PCM WAV file holding `pcm` (interleaved when there are several channels) at
// `rate` frames per second.
inline QByteArray wavOf(const QByteArray &pcm, quint32 rate = 16'000, quint16 channels = 1)
{
    const auto le32 = [](quint32 v) {
        v = qToLittleEndian(v);
        return QByteArray(reinterpret_cast<const char *>(&v), 4);
    };
    const auto le16 = [](quint16 v) {
        v = qToLittleEndian(v);
        return QByteArray(reinterpret_cast<const char *>(&v), 2);
    };
    return "RIFF" + le32(quint32(36 + pcm.size())) + "WAVEfmt " + le32(16) + le16(1) + le16(channels) + le32(rate)
        + le32(rate * 2 * channels) + le16(2 * channels) + le16(16) + "data" + le32(quint32(pcm.size())) + pcm;
}

// A 220 Hz tone of that peak amplitude: 16 kHz, mono, 16-bit.
inline QByteArray tonePcm(qsizetype samples, double amplitude)
{
    QByteArray pcm(samples * 2, '\0');
    for (qsizetype i = 0; i < samples; ++i)
        qToLittleEndian(qint16(std::lround(amplitude * std::sin(2 * std::numbers::pi * 220 * double(i) / 16'000))),
                        pcm.data() + 2 * i);
    return pcm;
}

// `frames` 100 ms frames of a constant low sample at 16 kHz, as a WAV file.
inline QByteArray wavOfFrames(int frames)
{
    return wavOf(QByteArray(qsizetype(frames) * 3200, '\x01'));
}

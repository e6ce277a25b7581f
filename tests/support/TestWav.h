#pragma once

#include <QByteArray>
#include <QtEndian>

// A mono 16-bit PCM WAV file holding `pcm` at `rate` samples per second.
inline QByteArray wavOf(const QByteArray &pcm, quint32 rate = 16'000)
{
    const auto le32 = [](quint32 v) {
        v = qToLittleEndian(v);
        return QByteArray(reinterpret_cast<const char *>(&v), 4);
    };
    const auto le16 = [](quint16 v) {
        v = qToLittleEndian(v);
        return QByteArray(reinterpret_cast<const char *>(&v), 2);
    };
    return "RIFF" + le32(quint32(36 + pcm.size())) + "WAVEfmt " + le32(16) + le16(1) + le16(1) + le32(rate)
        + le32(rate * 2) + le16(2) + le16(16) + "data" + le32(quint32(pcm.size())) + pcm;
}

// `frames` 100 ms frames of a constant low sample at 16 kHz, as a WAV file.
inline QByteArray wavOfFrames(int frames)
{
    return wavOf(QByteArray(qsizetype(frames) * 3200, '\x01'));
}

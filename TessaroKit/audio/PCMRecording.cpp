#include "PCMRecording.h"

#include "protocol/TessaroError.h"

#include <QtEndian>

namespace {

[[noreturn]] void reject()
{
    throw TessaroError::message(
        QStringLiteral("Choose a 16 kHz, mono, 16-bit PCM WAV recording, up to 90 seconds."));
}

quint16 read16(const QByteArray &data, qint64 offset)
{
    return qFromLittleEndian<quint16>(data.constData() + offset);
}

quint32 read32(const QByteArray &data, qint64 offset)
{
    return qFromLittleEndian<quint32>(data.constData() + offset);
}

// Tags are compared as text, the four bytes read as UTF-8.
bool hasTag(const QByteArray &data, qint64 offset, QLatin1String tag)
{
    return QString::fromUtf8(data.constData() + offset, 4) == tag;
}

bool isAcceptedFormat(const QByteArray &data, qint64 body)
{
    return read16(data, body) == 1         // integer PCM
        && read16(data, body + 2) == 1     // mono
        && read32(data, body + 4) == 16000 // sample rate
        && read32(data, body + 8) == 32000 // byte rate
        && read16(data, body + 12) == 2    // block alignment
        && read16(data, body + 14) == 16;  // bits per sample
}

} // namespace

PCMRecording::PCMRecording(const QByteArray &data)
{
    const qint64 length = data.size();
    if (length < 44 || length > maximumFileBytes)
        reject();
    if (!hasTag(data, 0, QLatin1String("RIFF")) || !hasTag(data, 8, QLatin1String("WAVE")))
        reject();
    if (qint64(read32(data, 4)) + 8 != length)
        reject();

    bool acceptedFormat = false;
    QByteArray pcm;
    qint64 offset = 12;
    while (offset + 8 <= length) {
        const qint64 size = read32(data, offset + 4);
        if (size > length - (offset + 8))
            reject();
        const qint64 body = offset + 8;
        if (hasTag(data, offset, QLatin1String("fmt "))) {
            if (size < 16)
                reject();
            acceptedFormat = isAcceptedFormat(data, body);
        } else if (hasTag(data, offset, QLatin1String("data"))) {
            // Refuse to collect more than a recording may hold; the final check would
            // reject it anyway.
            if (pcm.size() + size > maximumPCMBytes)
                reject();
            pcm.append(data.constData() + body, size);
        }
        offset = body + size + (size % 2);
    }

    if (!acceptedFormat || pcm.isEmpty() || pcm.size() % 2 != 0 || pcm.size() > maximumPCMBytes)
        reject();
    m_pcm = std::move(pcm);
}

const QByteArray &PCMRecording::pcm() const
{
    return m_pcm;
}

double PCMRecording::seconds() const
{
    return double(m_pcm.size()) / double(bytesPerSecond);
}

QList<QByteArray> PCMRecording::frames() const
{
    QList<QByteArray> result;
    result.reserve((m_pcm.size() + frameBytes - 1) / frameBytes);
    for (qsizetype i = 0; i < m_pcm.size(); i += frameBytes)
        result.append(m_pcm.mid(i, std::min(frameBytes, m_pcm.size() - i)));
    return result;
}

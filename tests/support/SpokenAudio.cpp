#include "SpokenAudio.h"

#include "TestFiles.h"
#include "audio/PCMRecording.h"
#include "audio/SoxrSampleConverter.h"
#include "protocol/TessaroError.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtEndian>

namespace {

// The samples of a 16-bit mono WAV file of any rate, and that rate; empty when the file is
// not one.
QByteArray readMono16(const QByteArray &file, double &rate)
{
    if (file.size() < 12 || !file.startsWith("RIFF") || file.mid(8, 4) != "WAVE")
        return {};
    for (qsizetype at = 12; at + 8 <= file.size();) {
        const QByteArray id = file.mid(at, 4);
        const quint32 size = qFromLittleEndian<quint32>(file.constData() + at + 4);
        if (id == "fmt " && size >= 16) {
            if (qFromLittleEndian<quint16>(file.constData() + at + 10) != 1
                || qFromLittleEndian<quint16>(file.constData() + at + 22) != 16)
                return {};
            rate = qFromLittleEndian<quint32>(file.constData() + at + 12);
        } else if (id == "data") {
            return file.mid(at + 8, size);
        }
        at += 8 + size + (size & 1);
    }
    return {};
}

} // namespace

QByteArray spokenPcm(const QString &sentence)
{
    const QString espeak = QStandardPaths::findExecutable(QStringLiteral("espeak-ng"));
    QTemporaryDir dir;
    const QString scratch = dir.filePath(QStringLiteral("spoken.wav"));
    if (espeak.isEmpty() || !dir.isValid() || QProcess::execute(espeak, {QStringLiteral("-v"), QStringLiteral("en-us"), QStringLiteral("-w"), scratch, sentence}) != 0)
        return {};
    double rate = 0;
    const QByteArray samples = readMono16(fileContents(scratch), rate);
    const auto converter = SoxrSampleConverter::make(AudioFormat{rate, 1, SampleLayout::Int16});
    if (samples.isEmpty() || !converter)
        return {};
    const qsizetype frames = samples.size() / 2;
    QByteArray pcm(qsizetype(double(frames) * 16'000 / rate + 64) * 2, '\0');
    const std::optional<qsizetype> written = converter->convert(
        AudioBuffer{AudioFormat{rate, 1, SampleLayout::Int16}, frames, samples.constData()},
        reinterpret_cast<qint16 *>(pcm.data()), pcm.size() / 2);
    if (!written)
        return {};
    pcm.truncate(*written * 2);
    return pcm;
}

QByteArray readingPcm(const QString &id)
{
    const QByteArray file = fileContents(QDir(QString::fromLatin1(readingsFolder)).filePath(id + QStringLiteral(".wav")));
    try {
        return file.isEmpty() ? QByteArray() : PCMRecording(file).pcm();
    } catch (const TessaroError &) {
        return {};
    }
}

// PCMRecording from the bytes of a WAV file, as the replay picker and the live evaluation
// hand them over. A recording that is accepted must hold what it promises: samples of
// even, non-zero length within 90 seconds, cut into frames that give them back whole.

#include "FuzzSupport.h"

#include "audio/PCMRecording.h"
#include "protocol/TessaroError.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz::startApplication();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::optional<PCMRecording> recording;
    try {
        recording.emplace(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    } catch (const TessaroError &error) {
        FUZZ_CHECK(error.description()
                       == QLatin1String("Choose a 16 kHz, mono, 16-bit PCM WAV recording, up to 90 seconds."),
                   error.description());
        return 0;
    }
    const QByteArray &pcm = recording->pcm();
    FUZZ_CHECK(!pcm.isEmpty() && pcm.size() % 2 == 0, QString::number(pcm.size()));
    FUZZ_CHECK(pcm.size() <= PCMRecording::maximumPCMBytes && pcm.size() <= qsizetype(size) - 44,
               QString::number(pcm.size()));
    FUZZ_CHECK(recording->seconds() == double(pcm.size()) / 32000.0, QString::number(recording->seconds()));

    const QList<QByteArray> frames = recording->frames();
    FUZZ_CHECK(frames.size() == (pcm.size() + PCMRecording::frameBytes - 1) / PCMRecording::frameBytes,
               QString::number(frames.size()));
    QByteArray joined;
    for (qsizetype i = 0; i < frames.size(); ++i) {
        const bool last = i + 1 == frames.size();
        FUZZ_CHECK(last ? frames[i].size() >= 1 && frames[i].size() <= PCMRecording::frameBytes
                        : frames[i].size() == PCMRecording::frameBytes,
                   QString::number(frames[i].size()));
        joined += frames[i];
    }
    FUZZ_CHECK(joined == pcm, QString());
    return 0;
}

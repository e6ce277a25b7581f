#pragma once

#include <QByteArray>
#include <QString>

// `sentence` spoken by espeak-ng's US English voice, as 16 kHz mono signed 16-bit PCM; empty when espeak-ng
// is not installed or fails.
QByteArray spokenPcm(const QString &sentence);

// The LibriVox readings of a human voice that pocketsphinx-testdata ships: 16 kHz mono WAV
// files named by id, and a "transcription" file of what each says.
inline constexpr const char *readingsFolder = "/usr/share/pocketsphinx/test/data/librivox";

// The samples of reading `id` ("sense_and_sensibility_01_austen_64kb-0880"), as 16 kHz mono
// signed 16-bit PCM; empty when it is not installed.
QByteArray readingPcm(const QString &id);

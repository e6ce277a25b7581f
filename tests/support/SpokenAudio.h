#pragma once

#include <QByteArray>
#include <QString>

// `sentence` spoken by espeak-ng's US English voice, as 16 kHz mono signed 16-bit PCM; empty when espeak-ng
// is not installed or fails.
QByteArray spokenPcm(const QString &sentence);

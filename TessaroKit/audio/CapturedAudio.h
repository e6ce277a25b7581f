#pragma once

#include <QByteArray>
#include <QString>

// One captured frame as handed to the consumer: 3,200 bytes of 16 kHz mono signed
// 16-bit little-endian PCM (100 ms), its channel ("system" or "microphone") and its
// peak level from 0.0 to 1.0.
struct CapturedAudio {
    QString channel;
    QByteArray pcm;
    float level = 0;
};

#pragma once

#include "RunTask.h"
#include "audio/AudioCapture.h"
#include "protocol/TessaroError.h"

// Everything a capture stream hands out until it ends, and how it ended: an empty error
// after a clean end, else the failure's text.
struct DrainedStream {
    QList<CapturedAudio> frames;
    QString error;

    explicit DrainedStream(CapturedAudioStream &stream)
    {
        try {
            while (const std::optional<CapturedAudio> frame = runTask(stream.next()))
                frames.append(*frame);
        } catch (const TessaroError &failure) {
            error = failure.description();
        }
    }
};

#pragma once

#include "audio/AudioSource.h"
#include "audio/CapturedAudio.h"

#include <QCoro/QCoroTask>

#include <memory>
#include <optional>

// The frames of one capture run, read on the main thread one at a time.
class CapturedAudioStream {
public:
    virtual ~CapturedAudioStream() = default;
    // The next frame; absent once capture has ended normally (after stop()). Throws the
    // failure that ended capture, after every frame buffered before it.
    virtual QCoro::Task<std::optional<CapturedAudio>> next() = 0;
};

// What the session model asks of the capture controller.
class AudioCapture {
public:
    virtual ~AudioCapture() = default;
    // Applications whose audio can be captured, ascending by id. Throws.
    virtual QList<AudioSource> sources() = 0;
    // Starts capture of "system", "microphone" or "both"; processes are the audio objects
    // of the chosen application, absent for all audio but this application's own. Throws.
    virtual QCoro::Task<std::shared_ptr<CapturedAudioStream>> start(QString source,
                                                                    std::optional<QList<quint32>> processes) = 0;
    // Ends capture and finishes the stream; harmless when nothing runs.
    virtual void stop() = 0;
};

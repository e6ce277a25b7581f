#pragma once

#include "audio/AudioFramePipe.h"
#include "audio/AudioSource.h"
#include "audio/TapFormat.h"
#include "platform/AudioHardware.h"

#include <QList>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

// One running capture of system audio: a process tap on the chosen processes (or on
// everything but this application), wrapped in a private aggregate device whose I/O
// callback feeds the "system" pipe. It watches the default output device and the tap's
// format. Used on the main thread; the I/O callback runs on the hardware's serial
// audio thread ("com.tessaro.system-audio").
class SystemAudioTap {
public:
    static constexpr const char *queueLabel = "com.tessaro.system-audio";
    static constexpr const char *tapName = "Corvana meeting audio";
    static constexpr const char *deviceName = "Corvana private capture";

    struct Listener {
        AudioHardware::ObjectID object;
        AudioHardware::Property property;
        AudioHardware::ListenerID id;
    };

    SystemAudioTap(std::shared_ptr<AudioHardware> hardware, QString ownBundleIdentifier);
    ~SystemAudioTap();
    SystemAudioTap(const SystemAudioTap &) = delete;
    SystemAudioTap &operator=(const SystemAudioTap &) = delete;

    // The applications that can be tapped, grouped by bundle identifier without any
    // ".helper" tail and sorted by it; this application's own processes are left out.
    // Throws TessaroError.
    static QList<AudioSource> sources(AudioHardware &hardware, const QString &ownBundleIdentifier);

    // Starts capture of `processes` (absent: all audio but this application's own)
    // into `pipe`; `outputChanged` is called on the main thread after the default
    // output device changed and the pipe was closed. Throws TessaroError; on a throw
    // everything is already released.
    void start(std::optional<QList<quint32>> processes, std::shared_ptr<AudioFramePipe> pipe,
               std::function<void()> outputChanged);
    // Releases everything; safe to call repeatedly and before any start.
    void stop();

    AudioHardware::ObjectID tap() const { return m_tap; }
    AudioHardware::ObjectID device() const { return m_device; }
    bool running() const { return m_io.has_value(); }

private:
    static QList<AudioHardware::ObjectID> objects(AudioHardware &hardware);
    static void check(AudioHardware::Status status);
    AudioFormat format(AudioHardware::ObjectID tap);
    void formatChanged();
    void outputDeviceChanged();

    std::shared_ptr<AudioHardware> m_hardware;
    QString m_ownBundleIdentifier;
    AudioHardware::ObjectID m_tap = 0;
    AudioHardware::ObjectID m_device = 0;
    std::optional<AudioHardware::IOProcID> m_io;
    std::shared_ptr<AudioFramePipe> m_pipe;
    std::shared_ptr<TapFormat> m_format;
    QList<Listener> m_listeners;
    std::optional<AudioHardware::ObjectID> m_initialOutput;
    std::function<void()> m_outputChanged;
    // Listener callbacks hold this weakly so a queued notification cannot reach a
    // destroyed tap.
    std::shared_ptr<SystemAudioTap *> m_self;
};

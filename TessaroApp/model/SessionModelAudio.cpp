#include "SessionModel.h"

#include "protocol/TessaroError.h"

#include <QFile>
#include <QFileInfo>
#include <QPointer>

std::optional<QList<quint32>> SessionModel::resolveProcesses()
{
    if (m_evaluationProcesses)
        return m_evaluationProcesses;
    if (m_sourceApp == QLatin1String("all") || m_source == QLatin1String("microphone"))
        return std::nullopt;
    if (!m_platform.capture)
        return QList<quint32>();
    for (const AudioSource &source : m_platform.capture->sources()) {
        if (source.id == m_sourceApp)
            return source.processIDs;
    }
    return QList<quint32>();
}

void SessionModel::refreshSources()
{
    if (!m_platform.capture) {
        setError(QStringLiteral("Audio capture is not available on this system."));
        return;
    }
    QList<AudioSource> listed;
    try {
        listed = m_platform.capture->sources();
    } catch (const std::exception &failure) {
        setError(describeFailure(failure));
        return;
    }
    const QSet<QString> running = m_platform.workspace ? m_platform.workspace->regularApplications() : QSet<QString>();
    QList<AudioSource> shown;
    for (const AudioSource &source : std::as_const(listed)) {
        if (running.contains(source.id))
            shown.append(source);
    }
    setAudioSources(shown);
    setError(std::nullopt);
}

void SessionModel::chooseRecording()
{
    if (!m_platform.filePicker)
        return;
    QPointer<SessionModel> self(this);
    m_platform.filePicker->chooseFile(QStringLiteral("Choose a recording"),
                                      {QStringLiteral("WAV recordings (*.wav *.WAV)")},
                                      [self](std::optional<QString> path) {
                                          if (self && path)
                                              self->useRecordingFile(*path);
                                      });
}

void SessionModel::useRecordingFile(const QString &path)
{
    QFile file(path);
    // One byte past the largest acceptable file is enough for the recording to refuse it.
    constexpr qint64 readLimit = PCMRecording::maximumFileBytes + 1;
    if (!file.open(QIODevice::ReadOnly)) {
        setError(QStringLiteral("The file \u201C%1\u201D couldn\u2019t be opened: %2.")
                     .arg(QFileInfo(path).fileName(), file.errorString()));
        return;
    }
    const QByteArray bytes = file.read(readLimit);
    try {
        PCMRecording recording(bytes);
        m_recording = recording;
        setRecordingName(QFileInfo(path).fileName());
        setError(std::nullopt);
    } catch (const std::exception &failure) {
        setError(describeFailure(failure));
    }
}

QString SessionModel::audioDescription() const
{
    if (m_reviewOnly)
        return QStringLiteral("Reviewing selected speech · audio off");
    if (simulated())
        return m_active ? QStringLiteral("Simulated audio") : QStringLiteral("Simulated sample · audio off");
    if (!m_active)
        return QStringLiteral("Audio off");
    if (m_source == QLatin1String("recording"))
        return m_progress < 1.0 ? QStringLiteral("Replaying recording") : QStringLiteral("Recording finished · audio off");
    if (m_source == QLatin1String("both"))
        return QStringLiteral("Meeting audio + microphone");
    if (m_source == QLatin1String("microphone"))
        return QStringLiteral("Microphone");
    return QStringLiteral("Meeting audio · microphone off");
}

QString SessionModel::listeningLabel() const
{
    if (m_reviewOnly || (m_source == QLatin1String("recording") && m_progress >= 1.0))
        return QStringLiteral("Reviewing");
    if (simulated())
        return QStringLiteral("Sample running");
    return QStringLiteral("Listening");
}

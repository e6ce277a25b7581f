#include "DevServiceLauncher.h"

#include "protocol/TessaroError.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <QTimer>

#include <QCoro/QCoroTimer>

namespace {

const QString programName = QStringLiteral("corvana-devservice");

// The last line the service wrote to standard error: its own reason for stopping.
QString lastLine(const QByteArray &output)
{
    const QList<QByteArray> lines = output.trimmed().split('\n');
    return lines.isEmpty() ? QString() : QString::fromUtf8(lines.last()).trimmed();
}

QString withoutProgramPrefix(QString line)
{
    const QString prefix = programName + QStringLiteral(": ");
    if (line.startsWith(prefix))
        line.remove(0, prefix.size());
    return line;
}

} // namespace

DevServiceLauncher::DevServiceLauncher(QString program, std::chrono::milliseconds startTimeout)
    : m_program(std::move(program)), m_startTimeout(startTimeout)
{
}

DevServiceLauncher::~DevServiceLauncher()
{
    stop();
}

QString DevServiceLauncher::findProgram()
{
    const QString appDir = QCoreApplication::applicationDirPath();
    for (const QString &candidate : {appDir + QLatin1Char('/') + programName,
                                     appDir + QStringLiteral("/../DevService/") + programName}) {
        const QFileInfo info(candidate);
        if (info.isFile() && info.isExecutable())
            return info.canonicalFilePath();
    }
    return QStandardPaths::findExecutable(programName);
}

bool DevServiceLauncher::running() const
{
    return m_process && m_process->state() == QProcess::Running && !m_starting;
}

QCoro::Task<QString> DevServiceLauncher::start(bool simulated)
{
    if (m_starting)
        throw TessaroError::message(QStringLiteral("The local service is already starting."));
    // co_return hands its operand on by moving it: return copies, never the member.
    if (running() && m_simulated == simulated)
        co_return QString(m_connectionFile);
    stop();

    const QString program = m_program.isEmpty() ? findProgram() : m_program;
    if (program.isEmpty())
        throw TessaroError::message(
            QStringLiteral("The local service corvana-devservice was not found. Reinstall Corvana."));

    QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (runtime.isEmpty())
        runtime = QDir::tempPath();
    const QString folder = runtime + QStringLiteral("/corvana");
    if (!QDir().mkpath(folder)
        || !QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner))
        throw TessaroError::message(QStringLiteral("The folder %1 for the local service could not be made.").arg(folder));
    m_connectionFile = folder + QStringLiteral("/local-service-%1.json").arg(QCoreApplication::applicationPid());
    QFile::remove(m_connectionFile);

    QStringList arguments{QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--bootstrap-file"),
                          m_connectionFile};
    if (simulated)
        arguments << QStringLiteral("--simulated");
    m_simulated = simulated;
    m_process = std::make_unique<QProcess>();
    m_process->setProgram(program);
    m_process->setArguments(arguments);
    m_process->setStandardOutputFile(QProcess::nullDevice());
    m_process->start();
    if (!m_process->waitForStarted()) {
        const QString text = m_process->errorString();
        m_process.reset();
        throw TessaroError::message(QStringLiteral("The local service could not start: %1.").arg(text));
    }

    // The service writes its connection file once it listens; it may instead exit with
    // its reason, or take too long.
    m_starting = true;
    const std::weak_ptr<bool> alive = m_alive;
    QProcess *process = m_process.get();
    QElapsedTimer waited;
    waited.start();
    while (process == m_process.get() && process->state() == QProcess::Running && !QFile::exists(m_connectionFile)
           && waited.elapsed() < m_startTimeout.count()) {
        QTimer tick;
        tick.setSingleShot(true);
        tick.start(50);
        co_await tick;
        if (alive.expired())
            throw TessaroError::message(QStringLiteral("The local service was stopped while it started."));
    }
    m_starting = false;
    if (process != m_process.get())
        throw TessaroError::message(QStringLiteral("The local service was stopped while it started."));
    if (process->state() != QProcess::Running) {
        const QString reason = withoutProgramPrefix(lastLine(process->readAllStandardError()));
        m_process.reset();
        throw TessaroError::message(reason.isEmpty() ? QStringLiteral("The local service stopped as it started.")
                                                     : QStringLiteral("The local service could not start: %1").arg(reason));
    }
    if (!QFile::exists(m_connectionFile)) {
        stop();
        throw TessaroError::message(QStringLiteral("The local service did not start in time."));
    }
    co_return QString(m_connectionFile);
}

void DevServiceLauncher::stop()
{
    m_starting = false;
    if (m_process) {
        if (m_process->state() != QProcess::NotRunning) {
            m_process->terminate();
            if (!m_process->waitForFinished(3'000)) {
                m_process->kill();
                m_process->waitForFinished(2'000);
            }
        }
        m_process.reset();
    }
    if (!m_connectionFile.isEmpty())
        QFile::remove(m_connectionFile);
}

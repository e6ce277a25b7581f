#include "DevServiceProcess.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QTimer>

#include <sys/prctl.h>

#include <csignal>

DevServiceProcess::DevServiceProcess(QStringList extraArguments)
{
#ifdef CORVANA_DEVSERVICE_PATH
    m_process = std::make_unique<QProcess>();
    m_process->setProcessChannelMode(QProcess::SeparateChannels);
    // A test that crashes must not leave its service running.
    m_process->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    // The simulated sample plays fifty times faster unless the test sets its own pace.
    if (!extraArguments.contains(QStringLiteral("--time-scale")))
        extraArguments += QStringList{QStringLiteral("--time-scale"), QStringLiteral("0.02")};
    m_process->start(QStringLiteral(CORVANA_DEVSERVICE_PATH), QStringList{QStringLiteral("--port"), QStringLiteral("0")} + extraArguments);
    if (!m_process->waitForStarted(10'000)) {
        m_error = QStringLiteral("corvana-devservice did not start: ") + m_process->errorString();
        return;
    }
    QByteArray line;
    QElapsedTimer waited;
    waited.start();
    while (!line.contains('\n') && waited.elapsed() < 10'000) {
        if (!m_process->waitForReadyRead(200) && m_process->state() == QProcess::NotRunning)
            break;
        line += m_process->readAllStandardOutput();
    }
    static const QRegularExpression form(QStringLiteral("^listening on http://127\\.0\\.0\\.1:(\\d+) token (\\S+)"));
    const QRegularExpressionMatch match = form.match(QString::fromUtf8(line));
    if (!match.hasMatch()) {
        m_error = QStringLiteral("corvana-devservice printed no listening line: ") + QString::fromUtf8(line)
            + QString::fromUtf8(m_process->readAllStandardError());
        return;
    }
    m_port = quint16(match.captured(1).toUInt());
    m_token = match.captured(2);
#else
    Q_UNUSED(extraArguments);
    m_error = QStringLiteral("built without corvana-devservice");
#endif
}

DevServiceProcess::~DevServiceProcess()
{
    if (m_process && m_process->state() != QProcess::NotRunning) {
        m_process->terminate();
        if (!m_process->waitForFinished(3000)) {
            m_process->kill();
            m_process->waitForFinished(3000);
        }
    }
}

QString DevServiceProcess::baseUrl() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(m_port);
}

Connection DevServiceProcess::connection() const
{
    return Connection(baseUrl(), m_token);
}

std::optional<QByteArray> DevServiceProcess::request(const QByteArray &method, const QString &path, const QByteArray &body)
{
    QNetworkAccessManager network;
    QNetworkRequest request(QUrl(baseUrl() + path));
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
    QNetworkReply *reply = network.sendCustomRequest(request, method, body);
    QEventLoop loop;
    QTimer::singleShot(5000, &loop, &QEventLoop::quit);
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    if (!reply->isFinished())
        loop.exec();
    std::optional<QByteArray> result;
    if (reply->isFinished() && reply->error() == QNetworkReply::NoError)
        result = reply->readAll();
    reply->abort();
    reply->deleteLater();
    return result;
}

bool DevServiceProcess::setScenario(const QJsonObject &scenario)
{
    return request("POST", QStringLiteral("/dev/scenario"), QJsonDocument(scenario).toJson(QJsonDocument::Compact)).has_value();
}

bool DevServiceProcess::reset()
{
    return request("POST", QStringLiteral("/dev/reset"), "{}").has_value();
}

QJsonObject DevServiceProcess::log()
{
    const std::optional<QByteArray> body = request("GET", QStringLiteral("/dev/log"), QByteArray());
    return body ? QJsonDocument::fromJson(*body).object() : QJsonObject();
}

#include "AppUpdates.h"

#include "model/QmlInstances.h"

#include "Appcast.h"

#include "access/BundleInfo.h"
#include "protocol/TessaroError.h"
#include "protocol/UrlComponents.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslConfiguration>
#include <QTimer>

#include <openssl/evp.h>

#include <optional>

namespace {

// The feed address: a string that parses as a URL whose scheme is exactly "https" and
// that names a host.
std::optional<QUrl> feedAddress(const QVariantMap &information)
{
    const auto entry = information.constFind(QStringLiteral("SUFeedURL"));
    if (entry == information.constEnd() || entry->typeId() != QMetaType::QString)
        return std::nullopt;
    const QString text = entry->toString();
    const std::optional<UrlComponents> components = UrlComponents::parse(text);
    if (!components || components->scheme != QLatin1String("https"))
        return std::nullopt;
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty())
        return std::nullopt;
    return url;
}

// Whether "SUPublicEDKey" is a base64 Ed25519 public key (32 bytes) that OpenSSL accepts.
bool hasPublicKey(const QVariantMap &information)
{
    const auto entry = information.constFind(QStringLiteral("SUPublicEDKey"));
    if (entry == information.constEnd() || entry->typeId() != QMetaType::QString)
        return false;
    const QString text = entry->toString();
    for (QChar c : text) {
        if (c.unicode() > 0x7f)
            return false;
    }
    const QByteArray::FromBase64Result decoded =
        QByteArray::fromBase64Encoding(text.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || decoded.decoded.size() != 32)
        return false;
    EVP_PKEY *key = EVP_PKEY_new_raw_public_key(
        EVP_PKEY_ED25519, nullptr, reinterpret_cast<const unsigned char *>(decoded.decoded.constData()),
        size_t(decoded.decoded.size()));
    const bool accepted = key != nullptr;
    EVP_PKEY_free(key);
    return accepted;
}

QString asSentence(QString text)
{
    text = text.trimmed();
    if (!text.endsWith(u'.'))
        text += u'.';
    return text;
}

} // namespace

QString AppUpdates::applicationVersion()
{
    const QString version = BundleInfo::shortVersion().trimmed();
    return version.isEmpty() ? QStringLiteral("0.4.0") : version;
}

AppUpdates::AppUpdates(const QVariantMap &information, const QString &currentVersion, QObject *parent)
    : QObject(parent), m_currentVersion(currentVersion)
{
    const std::optional<QUrl> feed = feedAddress(information);
    if (!feed || !hasPublicKey(information))
        return;
    m_feedURL = *feed;
    m_network = new QNetworkAccessManager(this);
    m_network->setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
    m_deadline = new QTimer(this);
    m_deadline->setSingleShot(true);
    connect(m_deadline, &QTimer::timeout, this, [this] { abortWith(Abort::Timeout); });
    m_canCheck = true;
}

AppUpdates::~AppUpdates()
{
    if (QNetworkReply *reply = m_reply) {
        m_reply = nullptr;
        disconnect(reply, nullptr, this, nullptr);
        reply->abort();
        delete reply;
    }
}

void AppUpdates::setExtraCaCertificates(const QList<QSslCertificate> &certificates)
{
    m_extraCaCertificates = certificates;
}

void AppUpdates::checkForUpdates()
{
    if (!m_canCheck || m_reply)
        return;
    m_body.clear();
    m_abort = Abort::None;
    setResult({}, {});
    setCanCheck(false);
    setInProgress(true);

    QNetworkRequest request(m_feedURL);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    request.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("Corvana/") + m_currentVersion);
    request.setRawHeader("Accept", "application/rss+xml, application/xml;q=0.9, text/xml;q=0.8");
    if (!m_extraCaCertificates.isEmpty()) {
        QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
        tls.addCaCertificates(m_extraCaCertificates);
        request.setSslConfiguration(tls);
    }

    QNetworkReply *reply = m_network->get(request);
    m_reply = reply;
    connect(reply, &QNetworkReply::metaDataChanged, this, [this, reply] {
        bool known = false;
        const qint64 length = reply->header(QNetworkRequest::ContentLengthHeader).toLongLong(&known);
        if (known && length > maximumFeedBytes)
            abortWith(Abort::Oversize);
    });
    connect(reply, &QNetworkReply::readyRead, this, &AppUpdates::receive);
    connect(reply, &QNetworkReply::finished, this, &AppUpdates::finish);
    m_deadline->start(timeoutMilliseconds);
}

void AppUpdates::receive()
{
    if (!m_reply || m_abort != Abort::None)
        return;
    m_body += m_reply->read(maximumFeedBytes + 1 - m_body.size());
    if (m_body.size() > maximumFeedBytes)
        abortWith(Abort::Oversize);
}

void AppUpdates::abortWith(Abort reason)
{
    if (!m_reply || m_abort != Abort::None)
        return;
    m_abort = reason;
    m_reply->abort();
}

void AppUpdates::finish()
{
    QNetworkReply *reply = m_reply;
    if (!reply)
        return;
    m_reply = nullptr;
    m_deadline->stop();
    disconnect(reply, nullptr, this, nullptr);
    if (m_abort == Abort::None) {
        m_body += reply->read(maximumFeedBytes + 1 - m_body.size());
        if (m_body.size() > maximumFeedBytes)
            m_abort = Abort::Oversize;
    }

    QString message;
    QString download;
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (m_abort == Abort::Oversize) {
        message = QStringLiteral("The update feed is larger than 1 MiB.");
    } else if (m_abort == Abort::Timeout) {
        message = QStringLiteral("The update feed did not answer within 30 seconds.");
    } else if (status == 0) {
        message = QStringLiteral("The update feed could not be reached: ") + asSentence(reply->errorString());
    } else if (status != 200) {
        message = QStringLiteral("The update feed answered with HTTP status %1.").arg(status);
    } else if (reply->error() != QNetworkReply::NoError) {
        message = QStringLiteral("The update feed could not be read: ") + asSentence(reply->errorString());
    } else {
        try {
            const Appcast appcast = Appcast::parse(m_body);
            const Appcast::Item &newest = appcast.newest();
            if (Appcast::compareVersions(newest.version, m_currentVersion) > 0) {
                message = QStringLiteral("Corvana %1 is available.").arg(newest.version);
                download = newest.downloadURL;
            } else {
                message = QStringLiteral("Corvana %1 is the newest version.").arg(m_currentVersion);
            }
        } catch (const TessaroError &error) {
            message = error.description();
        }
    }
    reply->deleteLater();
    m_body.clear();

    setResult(message, download);
    setInProgress(false);
    setCanCheck(true);
}

void AppUpdates::setCanCheck(bool value)
{
    if (m_canCheck == value)
        return;
    m_canCheck = value;
    emit canCheckChanged();
}

void AppUpdates::setInProgress(bool value)
{
    if (m_inProgress == value)
        return;
    m_inProgress = value;
    emit inProgressChanged();
}

void AppUpdates::setResult(const QString &message, const QString &downloadURL)
{
    if (m_message != message) {
        m_message = message;
        emit messageChanged();
    }
    if (m_downloadURL != downloadURL) {
        m_downloadURL = downloadURL;
        emit downloadURLChanged();
    }
}

AppUpdates *AppUpdates::create(QQmlEngine *engine, QJSEngine *)
{
    return QmlInstances::take<AppUpdates>(engine);
}

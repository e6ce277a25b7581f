#include "devmodes/DevModeConfiguration.h"

#include "protocol/TessaroError.h"

#include <QFile>
#include <QJsonDocument>

namespace {

// Configurations are a few lines; anything far larger is not one.
constexpr qint64 configurationLimit = 1024 * 1024;

QString quoted(const QString &key)
{
    return QStringLiteral("\u201C%1\u201D").arg(key);
}

} // namespace

DevModeConfiguration::DevModeConfiguration(const QString &path, const QString &mode) : m_mode(mode)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw TessaroError::message(QStringLiteral("The %1 configuration \u201C%2\u201D couldn\u2019t be opened: %3.")
                                        .arg(mode, path, file.errorString()));
    const QByteArray bytes = file.read(configurationLimit + 1);
    if (bytes.size() > configurationLimit)
        invalid(QStringLiteral("the file is too large"));
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        invalid(parseError.errorString());
    if (!document.isObject())
        invalid(QStringLiteral("it must be a JSON object"));
    m_object = document.object();
}

void DevModeConfiguration::invalid(const QString &detail) const
{
    throw TessaroError::message(QStringLiteral("The %1 configuration is not valid: %2.").arg(m_mode, detail));
}

QJsonValue DevModeConfiguration::required(const QString &key) const
{
    const QJsonValue value = m_object.value(key);
    if (value.isUndefined())
        invalid(quoted(key) + QStringLiteral(" is missing"));
    return value;
}

QString DevModeConfiguration::requiredString(const QString &key) const
{
    const QJsonValue value = required(key);
    if (!value.isString())
        invalid(quoted(key) + QStringLiteral(" must be a string"));
    return value.toString();
}

std::optional<QString> DevModeConfiguration::optionalString(const QString &key) const
{
    const QJsonValue value = m_object.value(key);
    if (value.isUndefined() || value.isNull())
        return std::nullopt;
    if (!value.isString())
        invalid(quoted(key) + QStringLiteral(" must be a string"));
    return value.toString();
}

double DevModeConfiguration::requiredNumber(const QString &key) const
{
    const QJsonValue value = required(key);
    if (!value.isDouble())
        invalid(quoted(key) + QStringLiteral(" must be a number"));
    return value.toDouble();
}

bool DevModeConfiguration::optionalBool(const QString &key, bool absent) const
{
    const QJsonValue value = m_object.value(key);
    if (value.isUndefined() || value.isNull())
        return absent;
    if (!value.isBool())
        invalid(quoted(key) + QStringLiteral(" must be true or false"));
    return value.toBool();
}

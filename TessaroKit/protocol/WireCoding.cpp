#include "WireCoding.h"

#include <QJsonDocument>
#include <QJsonParseError>
#include <QLocale>
#include <QVariant>

#include <cmath>

namespace wire {

QJsonValue parse(const QByteArray &json)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError)
        throw WireFormatError(QStringLiteral("is not valid JSON (%1 at offset %2)")
                                  .arg(error.errorString())
                                  .arg(error.offset));
    if (document.isObject())
        return document.object();
    return document.array();
}

void writeString(QByteArray &out, const QString &text)
{
    static const char hex[] = "0123456789abcdef";
    out += '"';
    const QByteArray utf8 = text.toUtf8();
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        switch (byte) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        default:
            if (byte < 0x20) {
                out += "\\u00";
                out += hex[byte >> 4];
                out += hex[byte & 0xF];
            } else {
                out += c;
            }
        }
    }
    out += '"';
}

void writeDouble(QByteArray &out, double value)
{
    if (!std::isfinite(value))
        throw WireFormatError(QStringLiteral("a number that is not finite has no JSON form"));
    if (value == 0.0) {
        out += '0';
        return;
    }
    out += QByteArray::number(value, 'g', QLocale::FloatingPointShortest);
}

qint64 Coder<qint64>::decode(const QJsonValue &value)
{
    if (!value.isDouble())
        throw WireFormatError(QStringLiteral("is not a number"));
    // Qt keeps integers written without fraction or exponent exactly as 64-bit values.
    const QVariant exact = value.toVariant();
    if (exact.typeId() == QMetaType::LongLong)
        return exact.toLongLong();
    const double number = value.toDouble();
    constexpr double limit = 9223372036854775808.0; // 2^63
    if (std::trunc(number) != number || number < -limit || number >= limit)
        throw WireFormatError(QStringLiteral("is not a 64-bit integer"));
    return static_cast<qint64>(number);
}

} // namespace wire

#pragma once

// Declarative JSON coding shared by every wire record.
//
// A record lists its members once, in wire order:
//
//     static constexpr auto wireFields()
//     {
//         return std::tuple{wire::field("id", &Transcript::id), ...};
//     }
//
// Presence follows the member's type: a std::optional member is optional (missing or
// null reads as absent, absent is not written), every other member is required
// (missing, null or of another JSON type fails the whole record). Unknown members are
// ignored. Nothing is defaulted on decode. Members are written in the listed order.
// Integers are 64-bit and exact in both directions.
//
// A record that must check what it decodes provides `static T fromWire(const QJsonValue &)`
// instead of being decoded member by member; it is still encoded from its field table.

#include "WireFormatError.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QString>

#include <concepts>
#include <optional>
#include <tuple>

namespace wire {

template <class Record, class Member>
struct Field {
    const char *name;
    Member Record::*member;
};

template <class Record, class Member>
constexpr Field<Record, Member> field(const char *name, Member Record::*member)
{
    return {name, member};
}

template <class T>
concept Record = requires { T::wireFields(); };

template <class T>
concept CustomDecoded = requires(const QJsonValue &value) {
    { T::fromWire(value) } -> std::same_as<T>;
};

template <class T>
struct IsOptional : std::false_type {};
template <class T>
struct IsOptional<std::optional<T>> : std::true_type {};

// Parses a complete JSON text; fails with WireFormatError when it is not JSON.
QJsonValue parse(const QByteArray &json);

void writeString(QByteArray &out, const QString &text);
void writeDouble(QByteArray &out, double value); // fails on a non-finite value

template <class T>
struct Coder;

template <>
struct Coder<QString> {
    static QString decode(const QJsonValue &value)
    {
        if (!value.isString())
            throw WireFormatError(QStringLiteral("is not a string"));
        return value.toString();
    }
    static void encode(QByteArray &out, const QString &value) { writeString(out, value); }
};

template <>
struct Coder<bool> {
    static bool decode(const QJsonValue &value)
    {
        if (!value.isBool())
            throw WireFormatError(QStringLiteral("is not a Boolean"));
        return value.toBool();
    }
    static void encode(QByteArray &out, bool value) { out += value ? "true" : "false"; }
};

template <>
struct Coder<qint64> {
    static qint64 decode(const QJsonValue &value);
    static void encode(QByteArray &out, qint64 value) { out += QByteArray::number(value); }
};

template <>
struct Coder<double> {
    static double decode(const QJsonValue &value)
    {
        if (!value.isDouble())
            throw WireFormatError(QStringLiteral("is not a number"));
        return value.toDouble();
    }
    static void encode(QByteArray &out, double value) { writeDouble(out, value); }
};

template <class T>
struct Coder<std::optional<T>> {
    static std::optional<T> decode(const QJsonValue &value)
    {
        if (value.isUndefined() || value.isNull())
            return std::nullopt;
        return Coder<T>::decode(value);
    }
    static void encode(QByteArray &out, const std::optional<T> &value)
    {
        if (value)
            Coder<T>::encode(out, *value);
        else
            out += "null";
    }
};

template <class T>
struct Coder<QList<T>> {
    static QList<T> decode(const QJsonValue &value)
    {
        if (!value.isArray())
            throw WireFormatError(QStringLiteral("is not an array"));
        const QJsonArray array = value.toArray();
        QList<T> result;
        result.reserve(array.size());
        for (qsizetype i = 0; i < array.size(); ++i) {
            try {
                result.append(Coder<T>::decode(array.at(i)));
            } catch (const WireFormatError &failure) {
                throw failure.within(QStringLiteral("[%1]").arg(i));
            }
        }
        return result;
    }
    static void encode(QByteArray &out, const QList<T> &value)
    {
        out += '[';
        for (qsizetype i = 0; i < value.size(); ++i) {
            if (i > 0)
                out += ',';
            Coder<T>::encode(out, value.at(i));
        }
        out += ']';
    }
};

// Reads one member of an object with the presence rule of its type.
template <class M>
M decodeMember(const QJsonObject &object, const char *name)
{
    const QJsonValue value = object.value(QLatin1String(name));
    try {
        if constexpr (!IsOptional<M>::value) {
            if (value.isUndefined() || value.isNull())
                throw WireFormatError(QStringLiteral("is missing"));
        }
        return Coder<M>::decode(value);
    } catch (const WireFormatError &failure) {
        throw failure.within(QString::fromLatin1(name));
    }
}

template <Record T>
struct Coder<T> {
    static T decode(const QJsonValue &value)
    {
        if constexpr (CustomDecoded<T>) {
            return T::fromWire(value);
        } else {
            if (!value.isObject())
                throw WireFormatError(QStringLiteral("is not an object"));
            const QJsonObject object = value.toObject();
            T record{};
            std::apply([&](const auto &...fields) {
                ((record.*(fields.member) =
                      decodeMember<std::remove_cvref_t<decltype(record.*(fields.member))>>(object, fields.name)),
                 ...);
            }, T::wireFields());
            return record;
        }
    }

    static void encode(QByteArray &out, const T &record)
    {
        out += '{';
        bool first = true;
        std::apply([&](const auto &...fields) {
            (writeMember(out, first, fields.name, record.*(fields.member)), ...);
        }, T::wireFields());
        out += '}';
    }

private:
    template <class M>
    static void writeMember(QByteArray &out, bool &first, const char *name, const M &value)
    {
        if constexpr (IsOptional<M>::value) {
            if (!value)
                return;
        }
        if (!first)
            out += ',';
        first = false;
        writeString(out, QString::fromLatin1(name));
        out += ':';
        Coder<M>::encode(out, value);
    }
};

template <class T>
T decodeValue(const QJsonValue &value)
{
    return Coder<T>::decode(value);
}

template <class T>
T decode(const QByteArray &json)
{
    return Coder<T>::decode(parse(json));
}

// Compact JSON text with members in field order.
template <class T>
QByteArray encode(const T &value)
{
    QByteArray out;
    Coder<T>::encode(out, value);
    return out;
}

// The encoded form as a JSON value (member order is then Qt's).
template <class T>
QJsonValue toJsonValue(const T &value)
{
    return parse(encode(value));
}

} // namespace wire

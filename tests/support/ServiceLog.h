#pragma once

#include "DevServiceProcess.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QStringList>

// Readings of the development service's log of what it was sent.

// The type of every session command received, in order.
inline QStringList commandTypes(const QJsonObject &log)
{
    QStringList types;
    for (const QJsonValue &entry : log.value(QStringLiteral("commands")).toArray())
        types.append(entry.toObject().value(QStringLiteral("type")).toString());
    return types;
}

// How many HTTP requests went to exactly this path.
inline int requestsTo(DevServiceProcess &service, const QString &path)
{
    int count = 0;
    for (const QJsonValue &request : service.log().value(QStringLiteral("requests")).toArray())
        count += request.toObject().value(QStringLiteral("path")).toString() == path;
    return count;
}

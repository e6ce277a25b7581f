#pragma once

#include "protocol/PreparedAnswer.h"
#include "protocol/ServerEvent.h"

// Prepared answers and banks as the suites build them: "Topic <id>" with a cue and a
// Deeper text, from the service.
PreparedAnswer answerFixture(const QString &id, const QString &status = QStringLiteral("ready"), bool hidden = false,
                             bool provisional = false);
ServerEvent bankOf(const QList<PreparedAnswer> &answers);

// The ids of records (answers, segments, sessions), in order.
template <typename Record>
QStringList ids(const QList<Record> &records)
{
    QStringList result;
    for (const Record &record : records)
        result.append(record.id);
    return result;
}

#include "AnswerFixtures.h"

PreparedAnswer answerFixture(const QString &id, const QString &status, bool hidden, bool provisional)
{
    PreparedAnswer a;
    a.id = id;
    a.title = QStringLiteral("Topic ") + id;
    a.topic = a.title;
    a.cue = QStringLiteral("cue of ") + id;
    a.deeper = QStringLiteral("deeper of ") + id;
    a.status = status;
    a.hidden = hidden;
    a.provisional = provisional;
    a.source = QStringLiteral("service");
    a.preparation = QStringLiteral("complete");
    return a;
}

ServerEvent bankOf(const QList<PreparedAnswer> &answers)
{
    ServerEvent event;
    event.type = QStringLiteral("bank");
    event.answers = answers;
    return event;
}

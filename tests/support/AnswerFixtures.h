#pragma once

#include "protocol/PreparedAnswer.h"
#include "protocol/ServerEvent.h"

// Prepared answers and banks as the suites build them: "Topic <id>" with a cue and a
// Deeper text, from the service.
PreparedAnswer answerFixture(const QString &id, const QString &status = QStringLiteral("ready"), bool hidden = false,
                             bool provisional = false);
ServerEvent bankOf(const QList<PreparedAnswer> &answers);

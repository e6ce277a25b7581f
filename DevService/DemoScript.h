#pragma once

#include "protocol/KnowledgePassage.h"
#include "protocol/PreparedAnswer.h"
#include "protocol/ServerEvent.h"

#include <QList>

// The scripted conversation of the simulated mode: transcript segments (partial, then
// final), preparation signals and banks of prepared answers in every form, with
// citations quoted from the session's knowledge when a passage mentions an answer.
class DemoScript {
public:
    struct Step {
        int afterMs = 0;          // wait before this step
        ServerEvent event;
        qint64 costMicros = 0;    // what this step spends
    };

    static QList<Step> conversation(const QList<KnowledgePassage> &knowledge);

    // An answer prepared for a typed question.
    static PreparedAnswer assistAnswer(const QString &question, int number);
    // The citations of the passages that mention the title, at most two.
    static QList<DocumentCitation> citations(const QString &title, const QList<KnowledgePassage> &knowledge);
};

#pragma once

#include "protocol/KnowledgePassage.h"
#include "protocol/PreparedAnswer.h"
#include "protocol/ServerEvent.h"

#include <QList>
#include <QStringList>

// The scripted conversation of the simulated mode: a product review of a machine-learning
// support assistant, about two and a half minutes long and paced in real time. Meeting
// ("system") and user ("microphone") speech arrives as growing partial transcripts and
// then a final segment; every answer the speech calls for goes through its preparation
// stages in successive banks (preparing, then cue and Deeper, then the other forms and
// follow-ups), with citations quoted from the session's knowledge passages that mention it.
class DemoScript {
public:
    struct Step {
        double atMs = 0;          // when to send it, counted from "sample.start"
        ServerEvent event;
        qint64 costMicros = 0;    // what this step spends
    };

    // The steps in the order they are sent. `timeScale` multiplies every wait and every
    // conversation time in the events alike, so a compressed run (0.02 plays the sample in
    // about three seconds) still shows transcript times that agree with the app's clock.
    // `offsetMs` is the conversation time at which the session starts, for a resumed
    // conversation; its segments and answers then get ids of their own, so what the
    // earlier sessions said stays as it was.
    static QList<Step> conversation(const QList<KnowledgePassage> &knowledge, double timeScale = 1.0,
                                    double offsetMs = 0);

    // Round `number` (from 1) of the sample played several times back to back: the same
    // conversation, its steps due from `startMs` after "sample.start" (where the previous
    // round ended) and its conversation times following on from there. From round 2 on its
    // segment and answer ids end in "-r" and the round number. Round 1 from 0 is
    // `conversation`.
    static QList<Step> round(const QList<KnowledgePassage> &knowledge, double timeScale, double offsetMs, int number,
                             double startMs);

    // An answer prepared for a typed question.
    static PreparedAnswer assistAnswer(const QString &question, int number);

    // The citations of the passages whose text mentions one of the phrases, at most two,
    // each quoting the sentence around the mention exactly as the passage has it.
    // `matched`, when given, receives the number of passages that mention one.
    // Phrases ignore case and need whole words; a space or hyphen in a phrase matches any
    // run of spaces and hyphens, and a trailing '*' lets the last word go on
    // ("calibrat*" finds "calibration" and "calibrated").
    static QList<DocumentCitation> citations(const QStringList &phrases, const QList<KnowledgePassage> &knowledge,
                                             qint64 *matched = nullptr);
};

#pragma once

#include "WireCoding.h"
#include "DocumentCitation.h"
#include "PreparedFollowUp.h"
#include "RetrievalInfo.h"
#include "SpeechOccurrence.h"

struct PreparedAnswer {
    QString id;
    QString topic;
    QString title;
    QString question;
    QString cue;
    QString deeper;
    std::optional<QString> answer;
    std::optional<QString> simpler;
    std::optional<QString> eli5;
    QString uncertainty;
    bool hidden = false;
    bool provisional = false;
    QString status;
    QString source;
    QString preparation;
    qint64 contextVersion = 0;
    QList<PreparedFollowUp> followUps;
    std::optional<QString> category;
    std::optional<QList<SpeechOccurrence>> occurrences;
    std::optional<QList<DocumentCitation>> citations;
    std::optional<RetrievalInfo> retrieval;

    static constexpr auto wireFields()
    {
        return std::tuple{
            wire::field("id", &PreparedAnswer::id),
            wire::field("topic", &PreparedAnswer::topic),
            wire::field("title", &PreparedAnswer::title),
            wire::field("question", &PreparedAnswer::question),
            wire::field("cue", &PreparedAnswer::cue),
            wire::field("deeper", &PreparedAnswer::deeper),
            wire::field("answer", &PreparedAnswer::answer),
            wire::field("simpler", &PreparedAnswer::simpler),
            wire::field("eli5", &PreparedAnswer::eli5),
            wire::field("uncertainty", &PreparedAnswer::uncertainty),
            wire::field("hidden", &PreparedAnswer::hidden),
            wire::field("provisional", &PreparedAnswer::provisional),
            wire::field("status", &PreparedAnswer::status),
            wire::field("source", &PreparedAnswer::source),
            wire::field("preparation", &PreparedAnswer::preparation),
            wire::field("contextVersion", &PreparedAnswer::contextVersion),
            wire::field("followUps", &PreparedAnswer::followUps),
            wire::field("category", &PreparedAnswer::category),
            wire::field("occurrences", &PreparedAnswer::occurrences),
            wire::field("citations", &PreparedAnswer::citations),
            wire::field("retrieval", &PreparedAnswer::retrieval)};
    }

    // Complete and no longer provisional.
    bool isCurrent() const;
    // The text of an explanation style: "Deeper", "Simpler" and "ELI5" (exact, case-sensitive)
    // name their forms, which may be absent; any other style is the cue.
    std::optional<QString> preparedText(const QString &style) const;

    bool operator==(const PreparedAnswer &) const = default;
};

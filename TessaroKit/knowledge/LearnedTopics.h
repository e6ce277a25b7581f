#pragma once

#include "knowledge/LearnedPreference.h"
#include "protocol/PreparedAnswer.h"

#include <QHash>
#include <QString>

struct PrivateKnowledge;

// The learned preferences of one domain, keyed by their folded topic, so that a lookup
// folds only the answer's title. Built once per change of the library; empty while
// learning is off.
class LearnedTopics {
public:
    LearnedTopics() = default;
    LearnedTopics(const PrivateKnowledge &knowledge, const QString &domain);

    const QString &domain() const { return m_domain; }
    // The preference learned for the topic; the library's first one when several share its key.
    const LearnedPreference *find(const QString &topic) const;
    // Whether an answer stays out of the way: its topic is known or quieted, and nothing in
    // it (an uncertainty, a figure, a revision in the question) asks for attention.
    bool shouldQuiet(const PreparedAnswer &answer) const;

private:
    QString m_domain;
    QHash<QString, LearnedPreference> m_byTopicKey;
};

#include "LearnedTopics.h"

#include "knowledge/PrivateKnowledge.h"
#include "text/UnicodeRegex.h"

LearnedTopics::LearnedTopics(const PrivateKnowledge &knowledge, const QString &domain)
    : m_domain(domain)
{
    if (!knowledge.learningEnabled || knowledge.preferences.isEmpty())
        return;
    const QString key = PrivateKnowledge::domainKey(domain);
    // Backwards, so that of several preferences with one topic key the library's first wins.
    for (auto it = knowledge.preferences.crbegin(); it != knowledge.preferences.crend(); ++it) {
        if (it->domainKey == key)
            m_byTopicKey.insert(PrivateKnowledge::topicKey(it->topic), *it);
    }
}

const LearnedPreference *LearnedTopics::find(const QString &topic) const
{
    if (m_byTopicKey.isEmpty())
        return nullptr;
    const auto found = m_byTopicKey.constFind(PrivateKnowledge::topicKey(topic));
    return found == m_byTopicKey.cend() ? nullptr : &*found;
}

bool LearnedTopics::shouldQuiet(const PreparedAnswer &answer) const
{
    const LearnedPreference *found = find(answer.title);
    if (!found || found->prominence == QLatin1String("normal"))
        return false;
    if (!answer.uncertainty.isEmpty())
        return false;
    for (const QChar c : answer.cue) {
        if (c.isDigit())
            return false;
    }
    static const UnicodeRegex revision(QStringLiteral("\\b(correction|actually|instead|changed)\\b"), true);
    return !revision.found(answer.question);
}

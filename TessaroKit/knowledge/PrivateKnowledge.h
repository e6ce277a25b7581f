#pragma once

#include "knowledge/KnowledgeDocument.h"
#include "knowledge/LearnedPreference.h"
#include "protocol/PreparedAnswer.h"
#include "protocol/WireCoding.h"

#include <QList>

// The user's private library: imported documents of every domain and the preferences
// learned from feedback.
struct PrivateKnowledge {
    static constexpr qsizetype maximumPreferences = 200;
    static constexpr qsizetype maximumTopicLength = 100;

    QList<KnowledgeDocument> documents;
    bool learningEnabled = false;
    QList<LearnedPreference> preferences;

    // The members of the knowledge file's top-level object, every one required.
    static constexpr auto wireFields()
    {
        return std::tuple{
            wire::field("documents", &PrivateKnowledge::documents),
            wire::field("learningEnabled", &PrivateKnowledge::learningEnabled),
            wire::field("preferences", &PrivateKnowledge::preferences)};
    }

    // Case- and diacritic-folded words of the text joined by single spaces; empty when
    // the text has no letter or digit.
    static QString topicKey(const QString &text);
    // The SHA-256 digest of the topic key, in lower-case hexadecimal.
    static QString domainKey(const QString &text);
    static QString digest(const QByteArray &bytes);
    // The current time as the library keeps dates: seconds since 2001-01-01 00:00:00 UTC.
    static double nowSinceReferenceDate();

    // The passages of the enabled documents of a domain, in document order.
    QList<KnowledgePassage> passages(const QString &domain) const;

    // Records what the user's feedback says about a topic; nothing while learning is off.
    void learn(const QString &domain, const QString &topic, const std::optional<QString> &prominence,
               const std::optional<QString> &style);
    std::optional<LearnedPreference> preference(const QString &domain, const QString &topic) const;
    // The knowledge screens' edit of one preference: the topic is trimmed, and every other
    // preference of its domain with the same topic key is dropped. Nothing happens when no
    // preference has the id.
    void savePreference(const QString &id, const QString &topic, const QString &prominence, const QString &style);
    void forgetPreference(const QString &id);
    // Forgets every preference of the domain.
    void forgetPreferences(const QString &domain);
    bool shouldQuiet(const QString &domain, const PreparedAnswer &answer) const;

    bool operator==(const PrivateKnowledge &) const = default;

private:
    qsizetype preferenceIndex(const QString &domainKey, const QString &topicKey) const;
};

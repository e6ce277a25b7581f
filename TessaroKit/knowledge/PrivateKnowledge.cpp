#include "PrivateKnowledge.h"

#include "knowledge/LearnedTopics.h"

#include "text/UnicodeText.h"

#include <algorithm>
#include <QCryptographicHash>
#include <QDateTime>
#include <QStringList>
#include <QUuid>

namespace {

// 2001-01-01 00:00:00 UTC in seconds since 1970.
constexpr double referenceDateOffset = 978'307'200.0;

bool isOneOf(const QString &value, std::initializer_list<const char *> accepted)
{
    for (const char *candidate : accepted) {
        if (value == QLatin1String(candidate))
            return true;
    }
    return false;
}

} // namespace

double PrivateKnowledge::nowSinceReferenceDate()
{
    return double(QDateTime::currentMSecsSinceEpoch()) / 1000.0 - referenceDateOffset;
}

QString PrivateKnowledge::topicKey(const QString &text)
{
    const QString folded = UnicodeText::folded(text);
    QStringList words;
    QString word;
    for (const char32_t codePoint : folded.toUcs4()) {
        if (QChar::isLetterOrNumber(codePoint)) {
            word += QString::fromUcs4(&codePoint, 1);
        } else if (!word.isEmpty()) {
            words.append(word);
            word.clear();
        }
    }
    if (!word.isEmpty())
        words.append(word);
    return words.join(QLatin1Char(' '));
}

QString PrivateKnowledge::digest(const QByteArray &bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

QString PrivateKnowledge::domainKey(const QString &text)
{
    return digest(topicKey(text).toUtf8());
}

QList<KnowledgePassage> PrivateKnowledge::passages(const QString &domain) const
{
    const QString key = domainKey(domain);
    QList<KnowledgePassage> result;
    for (const KnowledgeDocument &document : documents) {
        if (document.enabled && document.domainKey == key)
            result += document.passages;
    }
    return result;
}

qsizetype PrivateKnowledge::preferenceIndex(const QString &domainKey, const QString &topicKey) const
{
    for (qsizetype i = 0; i < preferences.size(); ++i) {
        if (preferences[i].domainKey == domainKey && PrivateKnowledge::topicKey(preferences[i].topic) == topicKey)
            return i;
    }
    return -1;
}

void PrivateKnowledge::learn(const QString &domain, const QString &topic, const std::optional<QString> &prominence,
                             const std::optional<QString> &style)
{
    if (!learningEnabled || UnicodeText::trimmed(topic).isEmpty())
        return;
    const QString key = domainKey(domain);
    const qsizetype index = preferenceIndex(key, topicKey(topic));
    LearnedPreference preference;
    if (index >= 0) {
        preference = preferences[index];
    } else {
        preference.id = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
        preference.domainKey = key;
        preference.topic = UnicodeText::graphemePrefix(topic, maximumTopicLength);
        preference.prominence = QStringLiteral("normal");
        preference.style = QStringLiteral("Cue");
    }
    if (prominence && isOneOf(*prominence, {"normal", "known", "quiet"}))
        preference.prominence = *prominence;
    if (style && isOneOf(*style, {"Cue", "Deeper", "Simpler", "ELI5"}))
        preference.style = *style;
    preference.updatedAt = nowSinceReferenceDate();
    if (index >= 0)
        preferences[index] = preference;
    else
        preferences.append(preference);
    while (preferences.size() > maximumPreferences)
        preferences.removeFirst();
}

std::optional<LearnedPreference> PrivateKnowledge::preference(const QString &domain, const QString &topic) const
{
    if (!learningEnabled)
        return std::nullopt;
    const qsizetype index = preferenceIndex(domainKey(domain), topicKey(topic));
    if (index < 0)
        return std::nullopt;
    return preferences[index];
}

void PrivateKnowledge::savePreference(const QString &id, const QString &topic, const QString &prominence,
                                      const QString &style)
{
    const auto edited = std::find_if(preferences.cbegin(), preferences.cend(),
                                     [&](const LearnedPreference &held) { return held.id == id; });
    if (edited == preferences.cend())
        return;
    const QString trimmedTopic = UnicodeText::trimmed(topic);
    const QString key = topicKey(trimmedTopic);
    const QString domain = edited->domainKey;
    preferences.removeIf([&](const LearnedPreference &held) {
        return held.id != id && held.domainKey == domain && topicKey(held.topic) == key;
    });
    for (LearnedPreference &held : preferences) {
        if (held.id != id)
            continue;
        held.topic = trimmedTopic;
        held.prominence = prominence;
        held.style = style;
        held.updatedAt = nowSinceReferenceDate();
    }
}

void PrivateKnowledge::forgetPreference(const QString &id)
{
    preferences.removeIf([&](const LearnedPreference &held) { return held.id == id; });
}

void PrivateKnowledge::forgetPreferences(const QString &domain)
{
    const QString key = domainKey(domain);
    preferences.removeIf([&](const LearnedPreference &held) { return held.domainKey == key; });
}

bool PrivateKnowledge::shouldQuiet(const QString &domain, const PreparedAnswer &answer) const
{
    return LearnedTopics(*this, domain).shouldQuiet(answer);
}

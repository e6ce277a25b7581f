#include "SessionModel.h"

#include "model/Attempt.h"

#include "conversation/AnswerWindow.h"
#include "protocol/ServiceClient.h"
#include "protocol/TessaroError.h"
#include "text/UnicodeText.h"

#include <QPointer>

bool SessionModel::isQuiet(const PreparedAnswer &answer) const
{
    return m_locallyHidden.contains(answer.id) || answer.hidden || learnedTopics().shouldQuiet(answer);
}

const LearnedTopics &SessionModel::learnedTopics() const
{
    const QString domain = learningDomain();
    if (!m_learnedTopics || m_learnedTopics->domain() != domain)
        m_learnedTopics.emplace(m_privateKnowledge, domain);
    return *m_learnedTopics;
}

QList<PreparedAnswer> SessionModel::visibleAnswers() const
{
    QList<PreparedAnswer> visible;
    if (m_simple) {
        const AnswerWindow current = window();
        const double now = elapsed();
        for (const PreparedAnswer &answer : m_memory.answers()) {
            if (current.contains(answer, now))
                visible.append(answer);
        }
        return visible;
    }
    for (const PreparedAnswer &answer : m_answers) {
        if (answer.provisional)
            continue;
        const bool chosen = m_selectedID && answer.id == *m_selectedID;
        const bool listed = answer.status == QLatin1String("ready") && !m_locallyHidden.contains(answer.id)
            && !answer.hidden && !learnedTopics().shouldQuiet(answer);
        if (m_showHidden || chosen || listed)
            visible.append(answer);
    }
    return visible;
}

std::optional<PreparedAnswer> SessionModel::selected() const
{
    return selectedAmong(visibleAnswers());
}

std::optional<PreparedAnswer> SessionModel::selectedAmong(const QList<PreparedAnswer> &visible) const
{
    if (m_selectedID) {
        for (const PreparedAnswer &answer : visible) {
            if (answer.id == *m_selectedID)
                return answer;
        }
    }
    for (auto it = visible.crbegin(); it != visible.crend(); ++it) {
        if (m_simple)
            return *it;
        if (!isQuiet(*it) && it->status == QLatin1String("ready") && !it->provisional)
            return *it;
    }
    return std::nullopt;
}

void SessionModel::learnFrom(const PreparedAnswer &answer, std::optional<QString> prominence,
                             std::optional<QString> style)
{
    if (answer.source == QLatin1String("sample"))
        return;
    const QString domain = learningDomain();
    const QString topic = answer.title;
    updateKnowledge([domain, topic, prominence, style](PrivateKnowledge &knowledge) {
        knowledge.learn(domain, topic, prominence, style);
    });
}

void SessionModel::selectDetail(const QString &form)
{
    setDetail(form);
    if (const std::optional<PreparedAnswer> answer = selected())
        learnFrom(*answer, std::nullopt, form);
}

QCoro::Task<void> SessionModel::hideSelected(QString action)
{
    const std::optional<PreparedAnswer> answer = selected();
    if (!answer)
        co_return;
    QPointer<SessionModel> self(this);
    const bool inBank = std::any_of(m_answers.begin(), m_answers.end(),
                                    [&](const PreparedAnswer &held) { return held.id == answer->id; });
    if (m_active && inBank && m_client) {
        QPointer<ServiceClient> client = m_client;
        const Attempt<> sent =
            co_await attempt(self, client->command(QStringLiteral("feedback"), std::nullopt, answer->id, action));
        if (sent.ownerGone)
            co_return;
        if (sent.failure) {
            setError(sent.failure);
            co_return;
        }
    }
    m_locallyHidden.insert(answer->id);
    learnFrom(*answer, action == QLatin1String("known") ? QStringLiteral("known") : QStringLiteral("quiet"),
              std::nullopt);
    setSelectedID(std::nullopt);
    emit answersChanged();
}

QCoro::Task<void> SessionModel::ask()
{
    const QString question = UnicodeText::trimmed(m_manualQuestion);
    if (question.isEmpty() || !m_active)
        co_return;
    if (!m_client) {
        setManualQuestion(QString());
        setSelectedID(std::nullopt);
        co_return;
    }
    QPointer<SessionModel> self(this);
    QPointer<ServiceClient> client = m_client;
    const Attempt<> asked = co_await attempt(self, client->command(QStringLiteral("assist.request"), std::nullopt,
                                                                   std::nullopt, std::nullopt, question,
                                                                   QStringLiteral("deeper")));
    if (asked.ownerGone)
        co_return;
    if (asked.failure) {
        setError(asked.failure);
        co_return;
    }
    setManualQuestion(QString());
    setSelectedID(std::nullopt);
}

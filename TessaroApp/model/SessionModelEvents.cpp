#include "SessionModel.h"

void SessionModel::receive(const ServerEvent &event)
{
    if (m_evaluationObserver)
        m_evaluationObserver(event);

    if (event.session) {
        const SessionSnapshot &snapshot = *event.session;
        setSnapshot(snapshot);
        m_memory.account(snapshot);
        emit memoryChanged();
        if (!m_conversationStartedAt)
            setConversationStartedAt(snapshot.startedAt * 1000.0);
        if (snapshot.state == QLatin1String("stopped") || snapshot.state == QLatin1String("limited")) {
            pauseCapture(snapshot.reason.value_or(QStringLiteral("Session ended."))
                         + QStringLiteral(" Prepared answers are kept; resume explicitly when ready."));
            setStatus(snapshot.reason.value_or(QStringLiteral("Session ended")));
        }
    }

    const QString &type = event.type;
    if (type == QLatin1String("transcript")) {
        if (event.transcript) {
            m_memory.append(*event.transcript);
            emit memoryChanged();
            setTranscript(m_memory.transcript());
        }
    } else if (type == QLatin1String("bank")) {
        replaceBank(event.answers.value_or(QList<PreparedAnswer>()));
    } else if (type == QLatin1String("range")) {
        if (event.range) {
            setRangeState(event.range);
            m_memory.merge(event.range->answers);
            emit memoryChanged();
        }
    } else if (type == QLatin1String("answer")) {
        if (event.answer)
            setSelectedID(event.answer->id);
    } else if (type == QLatin1String("answer.started")) {
        setPreparing(true);
    } else if (type == QLatin1String("quiet")) {
        setPreparing(false);
    } else if (type == QLatin1String("error")) {
        setError(event.message);
    }
}

void SessionModel::replaceBank(const QList<PreparedAnswer> &list)
{
    const std::optional<PreparedAnswer> before = selected();
    if (!list.isEmpty() || m_answers.isEmpty())
        setAnswers(list);
    m_memory.merge(list);
    emit memoryChanged();
    if (m_selectedID) {
        const bool present = std::any_of(m_answers.begin(), m_answers.end(),
                                         [this](const PreparedAnswer &answer) { return answer.id == *m_selectedID; });
        if (!present)
            setSelectedID(std::nullopt);
    }
    const std::optional<PreparedAnswer> now = selected();
    if (!now)
        return;
    if (before && before->id == now->id)
        return;
    const std::optional<LearnedPreference> preference =
        m_privateKnowledge.preference(learningDomain(), now->title);
    setDetail(preference ? preference->style : QStringLiteral("Cue"));
}

QString SessionModel::learningDomain() const
{
    return m_sessionDomain.value_or(m_domain);
}

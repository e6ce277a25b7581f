#include "SessionModel.h"

#include "model/QmlInstances.h"

#include "model/SessionSetup.h"

#include <algorithm>

SessionModel::SessionModel(Platform platform, SessionModelSeams seams, QObject *parent)
    : QObject(parent)
    , m_platform(std::move(platform))
    , m_seams(std::move(seams))
    , m_configuration(m_platform.informationDictionary)
    , m_bundleIdentifier(m_platform.bundleIdentifier)
{
    if (m_platform.epochMilliseconds)
        m_clock = m_platform.epochMilliseconds();
}

SessionModel::~SessionModel()
{
    if (m_sleepObserver && m_platform.workspace)
        m_platform.workspace->removeSleepObserver(*m_sleepObserver);
}

bool SessionModel::simulated() const
{
    return m_account && m_account->health.mode == QLatin1String("demo");
}

int SessionModel::maximumMinutes() const
{
    return SessionSetup::maximumMinutes(m_account);
}

double SessionModel::elapsed() const
{
    double origin = m_clock;
    if (m_conversationStartedAt)
        origin = *m_conversationStartedAt;
    else if (m_snapshot)
        origin = m_snapshot->startedAt * 1000.0; // the wire carries seconds since 1970
    return std::max(0.0, m_clock - origin);
}

QList<int> SessionModel::durationChoices() const
{
    return SessionSetup::durationChoices(maximumMinutes());
}

QVariantList SessionModel::durationChoicesValue() const
{
    QVariantList list;
    for (const int minutes : durationChoices())
        list.append(minutes);
    return list;
}

bool SessionModel::liveEvaluationRequested() const
{
    return m_platform.environment && m_platform.environment(QStringLiteral("TESSARO_LIVE_EVALUATION"));
}

SessionModel *SessionModel::create(QQmlEngine *engine, QJSEngine *)
{
    return QmlInstances::take<SessionModel>(engine);
}

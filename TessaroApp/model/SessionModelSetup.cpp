#include "SessionModel.h"

#include "model/SessionSetup.h"
#include "text/UnicodeText.h"

void SessionModel::savePreferences()
{
    if (liveEvaluationRequested() || !m_platform.preferences)
        return;
    Preferences &preferences = *m_platform.preferences;
    preferences.setString(QStringLiteral("domainName"), m_domainName);
    preferences.setString(QStringLiteral("domain"), m_domain);
    preferences.setString(QStringLiteral("familiarity"), m_familiarity);
    preferences.setString(QStringLiteral("budget"), m_budget);
    preferences.setInteger(QStringLiteral("durationMinutes"), m_durationMinutes);
}

SessionModel::SetupResult SessionModel::saveSetup(const QString &name, const QString &domain,
                                                  const QString &familiarity, const QString &budget)
{
    if (const std::optional<QString> problem = SessionSetup::setupProblem(name, domain, familiarity, budget))
        return {*problem, true};
    setDomainName(UnicodeText::trimmed(name));
    setDomain(UnicodeText::trimmed(domain));
    setFamiliarity(familiarity);
    setBudget(budget);
    savePreferences();
    return {QStringLiteral("Preferences saved."), false};
}

QVariantMap SessionModel::saveSetupValue(const QString &name, const QString &domain,
                                         const QString &familiarity, const QString &budget)
{
    const SetupResult result = saveSetup(name, domain, familiarity, budget);
    return {{QStringLiteral("message"), result.message}, {QStringLiteral("failed"), result.failed}};
}

std::optional<QString> SessionModel::startProblem() const
{
    return SessionSetup::startProblem(m_domain, m_familiarity, m_budget);
}

#pragma once

#include "protocol/Account.h"

#include <QList>
#include <QString>

#include <optional>

// The rules for the five setup values of a session: what each place that accepts them
// checks, and how they are converted for the service.
class SessionSetup {
public:
    static const QString setupBudgetMessage;
    static const QString setupDomainMessage;
    static const QString setupFamiliarityMessage;
    static const QString setupNameMessage;
    static const QString startMessage;

    // The first failing rule of the setup screen's save, checked in order: budget,
    // trimmed domain of 3 to 2,000 characters, familiarity, domain name.
    static std::optional<QString> setupProblem(const QString &name, const QString &domain,
                                               const QString &familiarity, const QString &budget);
    // The one message a session start refuses with; the domain's upper bound applies to
    // the text as held.
    static std::optional<QString> startProblem(const QString &domain, const QString &familiarity,
                                               const QString &budget);
    // Onboarding finishes only with a domain whose trimmed text is at least 3 characters.
    static bool onboardingDomainAcceptable(const QString &domain);

    // True when the budget is a plain decimal number ("1", "1.50", ".5", "2e1") between
    // 0.01 and 20 inclusive, compared exactly on the digits typed.
    static bool budgetAcceptable(const QString &budget);
    // The budget in micro-dollars, rounded from the exact decimal value to the nearest
    // integer with halves away from zero; absent when the text is not a decimal number
    // or the amount does not fit in 64 bits.
    static std::optional<qint64> budgetMicros(const QString &budget);

    // The budget text a session-limit override in micro-dollars sets: the shortest
    // decimal text of the dollars ("0.01", "1.5", "2.0"); absent unless the text is a
    // signed 64-bit decimal integer between 10,000 and 20,000,000.
    static std::optional<QString> overrideBudget(const QString &limitMicros);

    // The account's session length cap: its health.maxSessionMinutes, else 60, never
    // more than 120.
    static int maximumMinutes(const std::optional<Account> &account);
    // 15, 30, 60, 90, 120 and the maximum itself, those not above the maximum, ascending.
    static QList<int> durationChoices(int maximumMinutes);
    // A stored session length is taken only between 1 and 120.
    static bool storedDurationAcceptable(qint64 minutes);
};

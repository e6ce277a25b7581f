#include "SessionSetup.h"

#include "text/UnicodeText.h"

#include <algorithm>
#include <limits>

const QString SessionSetup::setupBudgetMessage = QStringLiteral("Enter a session limit between $0.01 and $20.");
const QString SessionSetup::setupDomainMessage = QStringLiteral("Describe your domain in 3–2,000 characters.");
const QString SessionSetup::setupFamiliarityMessage = QStringLiteral("Keep familiarity to 1,500 characters or fewer.");
const QString SessionSetup::setupNameMessage = QStringLiteral("Keep the domain name to 80 characters or fewer.");
const QString SessionSetup::startMessage =
    QStringLiteral("Enter a domain and a session limit between $0.01 and $20.");

namespace {

constexpr qint64 minimumBudgetMicros = 10'000;
constexpr qint64 maximumBudgetMicros = 20'000'000;
constexpr qsizetype maximumDomain = 2000;
constexpr qsizetype minimumDomain = 3;
constexpr qsizetype maximumFamiliarity = 1500;
constexpr qsizetype maximumName = 80;

// A decimal number as typed: value = (negative ? -1 : 1) × digits × 10^exponent, with
// the digits free of leading zeros (empty for zero).
struct Decimal {
    bool negative = false;
    QByteArray digits;
    qint64 exponent = 0;
};

bool isDigit(QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }

std::optional<Decimal> parseDecimal(const QString &text)
{
    Decimal result;
    qsizetype i = 0;
    const qsizetype n = text.size();
    if (i < n && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-')))
        result.negative = text[i++] == QLatin1Char('-');
    QByteArray digits;
    qint64 fractionDigits = 0;
    bool anyDigit = false;
    while (i < n && isDigit(text[i])) {
        digits.append(char(text[i++].unicode()));
        anyDigit = true;
    }
    if (i < n && text[i] == QLatin1Char('.')) {
        ++i;
        while (i < n && isDigit(text[i])) {
            digits.append(char(text[i++].unicode()));
            ++fractionDigits;
            anyDigit = true;
        }
    }
    if (!anyDigit)
        return std::nullopt;
    qint64 exponent = 0;
    if (i < n && (text[i] == QLatin1Char('e') || text[i] == QLatin1Char('E'))) {
        ++i;
        bool negativeExponent = false;
        if (i < n && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-')))
            negativeExponent = text[i++] == QLatin1Char('-');
        if (i >= n || !isDigit(text[i]))
            return std::nullopt;
        // Exponents beyond a billion make every amount zero or too large alike.
        while (i < n && isDigit(text[i])) {
            exponent = std::min<qint64>(exponent * 10 + (text[i++].unicode() - '0'), 1'000'000'000);
        }
        if (negativeExponent)
            exponent = -exponent;
    }
    if (i != n)
        return std::nullopt;
    qsizetype firstNonZero = 0;
    while (firstNonZero < digits.size() && digits[firstNonZero] == '0')
        ++firstNonZero;
    result.digits = digits.mid(firstNonZero);
    result.exponent = exponent - fractionDigits;
    return result;
}

// The magnitude in micro-dollars, truncated, with what the truncation dropped.
struct Micros {
    qint64 truncated = 0;
    bool roundUp = false;      // the first dropped digit is 5 or more
    bool inexact = false;      // some dropped digit is not 0
    bool overflow = false;
};

Micros toMicros(const Decimal &decimal)
{
    Micros result;
    const qint64 n = decimal.digits.size();
    if (n == 0)
        return result;
    const qint64 shift = decimal.exponent + 6;
    qint64 integerDigits = n + shift;
    if (integerDigits > 18) {
        result.overflow = true;
        return result;
    }
    QByteArray integerPart;
    QByteArray dropped;
    if (shift >= 0) {
        integerPart = decimal.digits + QByteArray(shift, '0');
    } else if (integerDigits <= 0) {
        dropped = QByteArray(std::min<qint64>(-integerDigits, 1), '0') + decimal.digits;
    } else {
        integerPart = decimal.digits.left(integerDigits);
        dropped = decimal.digits.mid(integerDigits);
    }
    for (const char digit : integerPart)
        result.truncated = result.truncated * 10 + (digit - '0');
    if (!dropped.isEmpty()) {
        result.roundUp = dropped[0] >= '5';
        result.inexact = std::any_of(dropped.begin(), dropped.end(), [](char c) { return c != '0'; });
    }
    return result;
}

std::optional<qint64> parseInt64(const QString &text)
{
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-')))
        negative = text[i++] == QLatin1Char('-');
    if (i >= text.size())
        return std::nullopt;
    // Accumulate negatively so that the minimum value fits.
    qint64 value = 0;
    for (; i < text.size(); ++i) {
        if (!isDigit(text[i]))
            return std::nullopt;
        const int digit = text[i].unicode() - '0';
        if (value < (std::numeric_limits<qint64>::min() + digit) / 10)
            return std::nullopt;
        value = value * 10 - digit;
    }
    if (!negative) {
        if (value == std::numeric_limits<qint64>::min())
            return std::nullopt;
        value = -value;
    }
    return value;
}

} // namespace

std::optional<QString> SessionSetup::setupProblem(const QString &name, const QString &domain,
                                                  const QString &familiarity, const QString &budget)
{
    if (!budgetAcceptable(budget))
        return setupBudgetMessage;
    const qsizetype domainLength = UnicodeText::graphemeCount(UnicodeText::trimmed(domain));
    if (domainLength < minimumDomain || domainLength > maximumDomain)
        return setupDomainMessage;
    if (UnicodeText::graphemeCount(familiarity) > maximumFamiliarity)
        return setupFamiliarityMessage;
    if (UnicodeText::graphemeCount(name) > maximumName)
        return setupNameMessage;
    return std::nullopt;
}

std::optional<QString> SessionSetup::startProblem(const QString &domain, const QString &familiarity,
                                                  const QString &budget)
{
    if (!budgetAcceptable(budget) || !onboardingDomainAcceptable(domain)
        || UnicodeText::graphemeCount(domain) > maximumDomain
        || UnicodeText::graphemeCount(familiarity) > maximumFamiliarity)
        return startMessage;
    return std::nullopt;
}

bool SessionSetup::onboardingDomainAcceptable(const QString &domain)
{
    return UnicodeText::graphemeCount(UnicodeText::trimmed(domain)) >= minimumDomain;
}

bool SessionSetup::budgetAcceptable(const QString &budget)
{
    const std::optional<Decimal> decimal = parseDecimal(budget);
    if (!decimal)
        return false;
    const Micros micros = toMicros(*decimal);
    if (micros.overflow || decimal->digits.isEmpty())
        return false;
    if (decimal->negative)
        return false;
    if (micros.truncated < minimumBudgetMicros)
        return false;
    return micros.truncated < maximumBudgetMicros
        || (micros.truncated == maximumBudgetMicros && !micros.inexact);
}

std::optional<qint64> SessionSetup::budgetMicros(const QString &budget)
{
    const std::optional<Decimal> decimal = parseDecimal(budget);
    if (!decimal)
        return std::nullopt;
    const Micros micros = toMicros(*decimal);
    if (micros.overflow)
        return std::nullopt;
    const qint64 magnitude = micros.truncated + (micros.roundUp ? 1 : 0);
    return decimal->negative ? -magnitude : magnitude;
}

std::optional<QString> SessionSetup::overrideBudget(const QString &limitMicros)
{
    const std::optional<qint64> value = parseInt64(limitMicros);
    if (!value || *value < minimumBudgetMicros || *value > maximumBudgetMicros)
        return std::nullopt;
    QString text = QString::number(double(*value) / 1'000'000.0, 'g', QLocale::FloatingPointShortest);
    if (!text.contains(QLatin1Char('.')) && !text.contains(QLatin1Char('e')))
        text += QLatin1String(".0");
    return text;
}

int SessionSetup::maximumMinutes(const std::optional<Account> &account)
{
    if (!account || !account->health.maxSessionMinutes)
        return 60;
    return int(std::min<qint64>(*account->health.maxSessionMinutes, 120));
}

QList<int> SessionSetup::durationChoices(int maximumMinutes)
{
    QList<int> choices;
    for (const int minutes : {15, 30, 60, 90, 120, maximumMinutes}) {
        if (minutes <= maximumMinutes && !choices.contains(minutes))
            choices.append(minutes);
    }
    std::sort(choices.begin(), choices.end());
    return choices;
}

bool SessionSetup::storedDurationAcceptable(qint64 minutes)
{
    return minutes >= 1 && minutes <= 120;
}

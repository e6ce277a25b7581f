#include "AnswerWindow.h"

#include <algorithm>
#include <cmath>
#include <limits>

double AnswerWindow::startMs() const
{
    const double start = mode == QLatin1String("now") ? anchorMs : anchorMs - lookbackSeconds * 1000;
    return std::max(0.0, start);
}

double AnswerWindow::endMs(double elapsed) const
{
    if (mode == QLatin1String("past"))
        return anchorMs;
    return std::min(startMs() + maximumSpanMs, elapsed);
}

bool AnswerWindow::contains(const PreparedAnswer &answer, double elapsed) const
{
    if (answer.provisional)
        return false;
    if (category != QLatin1String("all") && answer.category != category)
        return false;
    if (!answer.occurrences)
        return false;
    const double start = startMs();
    const double end = endMs(elapsed);
    return std::any_of(answer.occurrences->cbegin(), answer.occurrences->cend(),
                       [&](const SpeechOccurrence &occurrence) {
                           return occurrence.endMs >= start && occurrence.startMs <= end;
                       });
}

QString AnswerWindow::timestamp(double ms)
{
    // Times that are not numbers read as 0; times beyond the integer range are held at its end.
    qint64 whole = 0;
    if (std::isnan(ms) || ms <= 0)
        whole = 0;
    else if (ms >= 9.2e18)
        whole = std::numeric_limits<qint64>::max();
    else
        whole = qint64(ms);
    const qint64 minutes = whole / 60000;
    const qint64 seconds = (whole / 1000) % 60;
    return QString::asprintf("%lld:%02lld", static_cast<long long>(minutes), static_cast<long long>(seconds));
}

QString AnswerWindow::modeLabel(const QString &mode)
{
    if (mode == QLatin1String("past"))
        return QStringLiteral("Past only");
    if (mode == QLatin1String("now"))
        return QStringLiteral("Starting now");
    return QStringLiteral("Past + present");
}

QString AnswerWindow::categoryLabel(const QString &category)
{
    if (category == QLatin1String("all"))
        return QStringLiteral("All");
    if (category == QLatin1String("term"))
        return QStringLiteral("Terms");
    if (category == QLatin1String("date"))
        return QStringLiteral("Dates");
    return category;
}

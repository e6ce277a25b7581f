#include "PreparedAnswer.h"

bool PreparedAnswer::isCurrent() const
{
    return status == QLatin1String("ready") && !provisional;
}

std::optional<QString> PreparedAnswer::preparedText(const QString &style) const
{
    if (style == QLatin1String("Deeper"))
        return deeper;
    if (style == QLatin1String("Simpler"))
        return simpler;
    if (style == QLatin1String("ELI5"))
        return eli5;
    return cue;
}

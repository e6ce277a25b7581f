#pragma once

#include <QString>

namespace Money {

// Money as the screens show it: "$" and four decimals.
inline QString dollars(qint64 micros)
{
    return QStringLiteral("$") + QString::asprintf("%.4f", double(micros) / 1'000'000.0);
}

} // namespace Money

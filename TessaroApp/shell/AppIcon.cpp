#include "AppIcon.h"

QIcon AppIcon::load(const QString &themeName)
{
    const QIcon brand(brandMark());
    if (themeName.isEmpty())
        return brand;
    return QIcon::fromTheme(themeName, brand);
}

QString AppIcon::brandMark()
{
    return QStringLiteral(":/qt/qml/Corvana/DesignSystem/brand.svg");
}

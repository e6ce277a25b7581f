#pragma once

#include <QIcon>
#include <QString>

// The app's icon: the one the icon theme holds under the desktop entry's name (installed
// with the app in the hicolor theme), or the brand mark compiled into the app where the
// theme has none, as when the app runs from its build folder.
class AppIcon {
public:
    static QIcon load(const QString &themeName);
    // The brand mark inside the app's resources.
    static QString brandMark();
};

#pragma once

#include <QObject>
#include <QDBusVariant>
#include <QVariant>

// The desktop's preferred colour scheme: the freedesktop portal's "color-scheme"
// setting when a portal answers, else the lightness of the application palette.
class DesktopColorScheme : public QObject {
    Q_OBJECT

public:
    explicit DesktopColorScheme(QObject *parent = nullptr);

    bool prefersDark() const;

signals:
    void changed();

private slots:
    void settingChanged(const QString &group, const QString &key, const QDBusVariant &value);

private:
    void apply(const QVariant &value);

    // 0 no preference, 1 prefer dark, 2 prefer light, as the portal reports it.
    uint m_portalScheme = 0;
};

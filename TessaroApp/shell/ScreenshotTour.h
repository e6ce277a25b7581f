#pragma once

#include <QCoro/QCoroTask>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

class QQuickWindow;
class TessaroApp;

// Walks the screens through their main states against a running service and saves each
// as <directory>/<state>-<scheme>-<width>.png: the main window at 940 and 1100 points
// wide, the companion at 410 and 370, each in the light and the dark scheme. Presentation
// toggles are found by their object names. Quits with 0 when every picture was written,
// 1 otherwise.
class ScreenshotTour : public QObject {
    Q_OBJECT

public:
    ScreenshotTour(TessaroApp &app, QString directory, QObject *parent = nullptr);

    void begin();

private:
    QCoro::Task<void> run();
    QCoro::Task<bool> waitFor(std::function<bool()> condition, int timeoutMs);
    QCoro::Task<void> settle(int ms = 350);
    QCoro::Task<void> shootMain(QString state);
    QCoro::Task<void> shootCompanion(QString state);
    QCoro::Task<void> shootWindow(const char *name, QString state);
    QCoro::Task<void> shoot(QQuickWindow *window, QString state, QList<int> widths, int height);
    // The setup window's library and learning, the document reader and an answer's sources.
    QCoro::Task<void> shootKnowledge();
    // Scrolls the view that holds the item so that the item's top is at the view's top.
    void scrollTo(QObject *item);
    QQuickWindow *window(const char *name) const;
    QObject *find(QQuickWindow *window, const QString &objectName) const;
    bool setToggle(const QString &objectName, const char *property, bool value);
    void fail(const QString &reason);

    TessaroApp &m_app;
    QString m_directory;
    QStringList m_written;
    int m_failures = 0;
};

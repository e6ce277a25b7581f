#include "ScreenshotTour.h"

#include "TessaroApp.h"
#include "model/SessionModel.h"
#include "model/SessionPresentation.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QQmlApplicationEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QCoro/QCoroTimer>

#include <chrono>
#include <cstdio>

namespace {

// A real message of the app, for the picture of the status notice.
const QString sampleError = QStringLiteral("Open the meeting app, refresh sources, and select it again.");

QObject *findIn(QObject *root, const QString &objectName)
{
    if (!root)
        return nullptr;
    if (root->objectName() == objectName)
        return root;
    if (QObject *found = root->findChild<QObject *>(objectName))
        return found;
    // Items made by a Loader or a Repeater are children of their visual parent only.
    if (auto *item = qobject_cast<QQuickItem *>(root)) {
        const QList<QQuickItem *> children = item->childItems();
        for (QQuickItem *child : children) {
            if (QObject *found = findIn(child, objectName))
                return found;
        }
    }
    return nullptr;
}

} // namespace

ScreenshotTour::ScreenshotTour(TessaroApp &app, QString directory, QObject *parent)
    : QObject(parent)
    , m_app(app)
    , m_directory(std::move(directory))
{
}

void ScreenshotTour::begin()
{
    [[maybe_unused]] QCoro::Task<void> running = run();
}

QCoro::Task<bool> ScreenshotTour::waitFor(std::function<bool()> condition, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs)
            co_return false;
        co_await QCoro::sleepFor(std::chrono::milliseconds(100));
    }
    co_return true;
}

QCoro::Task<void> ScreenshotTour::settle(int ms)
{
    co_await QCoro::sleepFor(std::chrono::milliseconds(ms));
    QCoreApplication::processEvents();
}

QQuickWindow *ScreenshotTour::window(const char *name) const
{
    const QList<QObject *> roots = m_app.engine()->rootObjects();
    for (QObject *root : roots) {
        if (auto *found = qvariant_cast<QQuickWindow *>(root->property(name)))
            return found;
        if (auto *found = qvariant_cast<QObject *>(root->property(name)))
            return qobject_cast<QQuickWindow *>(found);
    }
    return nullptr;
}

QObject *ScreenshotTour::find(QQuickWindow *window, const QString &objectName) const
{
    if (!window)
        return nullptr;
    if (QObject *found = findIn(window->contentItem(), objectName))
        return found;
    return window->findChild<QObject *>(objectName);
}

bool ScreenshotTour::setToggle(const QString &objectName, const char *property, bool value)
{
    QObject *toggle = find(window("mainWindow"), objectName);
    if (!toggle) {
        fail(QStringLiteral("no object named %1").arg(objectName));
        return false;
    }
    toggle->setProperty(property, value);
    return true;
}

void ScreenshotTour::fail(const QString &reason)
{
    ++m_failures;
    std::fprintf(stderr, "screenshots: %s\n", qPrintable(reason));
    std::fflush(stderr);
}

QCoro::Task<void> ScreenshotTour::shoot(QQuickWindow *window, QString state, QList<int> widths, int height)
{
    if (!window) {
        fail(QStringLiteral("no window for %1").arg(state));
        co_return;
    }
    const QString chosen = m_app.appearance();
    const QStringList schemes{QStringLiteral("light"), QStringLiteral("dark")};
    for (const QString &scheme : schemes) {
        m_app.setAppearance(scheme);
        for (const int width : widths) {
            window->resize(width, height);
            co_await settle();
            const QImage image = window->grabWindow();
            const QString path = QDir(m_directory).filePath(QStringLiteral("%1-%2-%3.png").arg(state, scheme).arg(width));
            if (image.isNull() || !image.save(path)) {
                fail(QStringLiteral("could not write %1").arg(path));
                continue;
            }
            m_written.append(path);
            std::printf("screenshots: %s\n", qPrintable(path));
            std::fflush(stdout);
        }
    }
    m_app.setAppearance(chosen);
}

QCoro::Task<void> ScreenshotTour::shootMain(QString state)
{
    const QList<int> widths{940, 1100};
    co_await shoot(window("mainWindow"), state, widths, 790);
}

QCoro::Task<void> ScreenshotTour::shootCompanion(QString state)
{
    QQuickWindow *companion = window("companionWindow");
    if (companion)
        companion->show();
    const QList<int> widths{410, 370};
    co_await shoot(companion, QStringLiteral("companion-") + state, widths, 340);
    if (companion)
        companion->hide();
}

QCoro::Task<void> ScreenshotTour::shootWindow(const char *name, QString state)
{
    QQuickWindow *shown = window(name);
    if (!shown) {
        fail(QStringLiteral("no window %1").arg(QString::fromLatin1(name)));
        co_return;
    }
    shown->show();
    const QList<int> widths{shown->width()};
    co_await shoot(shown, state, widths, shown->height());
    shown->hide();
}

QCoro::Task<void> ScreenshotTour::run()
{
    SessionModel &model = m_app.model();
    SessionPresentation &screen = m_app.presentation();

    if (!QDir().mkpath(m_directory)) {
        fail(QStringLiteral("cannot create %1").arg(m_directory));
        QCoreApplication::exit(1);
        co_return;
    }

    // Start-up: connected and ready, or onboarding.
    const std::function<bool()> loaded = [&model] {
        return model.loaded() && !model.busy() && (model.onboarding() || model.client() != nullptr);
    };
    if (!co_await waitFor(loaded, 30'000))
        fail(QStringLiteral("the app did not finish loading: %1").arg(model.status()));
    if (model.onboarding()) {
        co_await settle(600);
        co_await shootMain(QStringLiteral("onboarding"));
        model.finishOnboarding();
        const std::function<bool()> onboarded = [&model] { return !model.onboarding(); };
        if (!co_await waitFor(onboarded, 5'000)) {
            fail(QStringLiteral("onboarding did not finish: %1")
                     .arg(model.signInMessage().value_or(model.status())));
            QCoreApplication::exit(1);
            co_return;
        }
    }
    co_await settle(600);

    co_await shootMain(QStringLiteral("idle"));
    co_await shootCompanion(QStringLiteral("empty"));
    if (setToggle(QStringLiteral("moreOptionsMenu"), "visible", true)) {
        co_await shootMain(QStringLiteral("menu"));
        setToggle(QStringLiteral("moreOptionsMenu"), "visible", false);
    }
    co_await shootWindow("setupWindow", QStringLiteral("setup"));
    co_await shootWindow("aboutWindow", QStringLiteral("about"));

    // The sample, with an answer in front.
    model.requestStart(false, false);
    const std::function<bool()> answered = [&model, &screen] {
        return model.active() && screen.hasSelection() && screen.selectedReady()
            && screen.transcriptRows()->count() >= 4 && screen.answerRows()->count() >= 2;
    };
    if (!co_await waitFor(answered, 180'000))
        fail(QStringLiteral("no answer arrived: %1 %2").arg(model.status(), model.error().value_or(QString())));
    // The fuller explanation shows what the detail and the companion look like with text.
    model.selectDetail(QStringLiteral("Deeper"));
    co_await settle(800);
    co_await shootMain(QStringLiteral("running"));
    // Hold the answer in front so the companion shows it in the same form throughout.
    if (const std::optional<PreparedAnswer> front = model.selected())
        model.selectAnswer(front->id);
    model.selectDetail(QStringLiteral("Deeper"));
    co_await shootCompanion(QStringLiteral("running"));
    model.followConversation();

    model.setShowHidden(true);
    co_await shootMain(QStringLiteral("hidden"));
    model.setShowHidden(false);

    if (setToggle(QStringLiteral("shelfColumn"), "showRange", true)) {
        co_await shootMain(QStringLiteral("range"));
        setToggle(QStringLiteral("shelfColumn"), "showRange", false);
    }

    if (setToggle(QStringLiteral("usageView"), "visible", true)) {
        co_await shootMain(QStringLiteral("usage"));
        setToggle(QStringLiteral("usageView"), "visible", false);
    }

    model.setError(sampleError);
    co_await shootMain(QStringLiteral("error"));
    model.setError(std::nullopt);

    model.requestStop();
    const std::function<bool()> stopped = [&model] { return !model.active() && !model.busy(); };
    co_await waitFor(stopped, 15'000);
    co_await settle(300);
    co_await shootMain(QStringLiteral("ended"));
    co_await shootCompanion(QStringLiteral("ended"));

    std::printf("screenshots: %lld written to %s\n", static_cast<long long>(m_written.size()), qPrintable(m_directory));
    std::fflush(stdout);
    QCoreApplication::exit(m_failures == 0 ? 0 : 1);
}

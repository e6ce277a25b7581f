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
#include <QFile>
#include <QTemporaryDir>
#include <QCoro/QCoroTimer>

#include <algorithm>
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

void ScreenshotTour::scrollTo(QObject *item)
{
    auto *target = qobject_cast<QQuickItem *>(item);
    for (QQuickItem *view = target ? target->parentItem() : nullptr; view; view = view->parentItem()) {
        auto *content = qvariant_cast<QQuickItem *>(view->property("contentItem"));
        if (!view->property("contentY").isValid() || !content)
            continue;
        const double room = std::max(0.0, view->property("contentHeight").toDouble() - view->height());
        const double top = target->mapToItem(content, QPointF(0, 0)).y() - 12;
        view->setProperty("contentY", std::clamp(top, 0.0, room));
        return;
    }
}

QCoro::Task<void> ScreenshotTour::shootKnowledge()
{
    SessionModel &model = m_app.model();
    SessionPresentation &screen = m_app.presentation();

    // Two reference documents, one of them turned off, and two learned preferences.
    QTemporaryDir files;
    const auto write = [&files](const QString &name, const QByteArray &text) {
        QFile file(files.filePath(name));
        file.open(QIODevice::WriteOnly);
        file.write(text);
        return file.fileName();
    };
    const QString notes = write(QStringLiteral("evaluation-notes.md"),
                                "# Evaluation notes\n\n"
                                "Calibration is checked on the held-out set before every release; a model that says "
                                "80% should be right about 80% of the time.\n\n"
                                "## Drift\n\n"
                                "Drift monitoring compares this week's inputs with the training distribution and "
                                "alerts the support leads when the gap grows.\n");
    const QString checklist = write(QStringLiteral("release-checklist.txt"),
                                    "Release checklist. Human fallback for low-confidence answers. Rollback plan "
                                    "reviewed by the support leads.\n");
    const QStringList chosen{notes, checklist};
    co_await model.importFiles(chosen);
    const QList<KnowledgeDocument> documents = model.domainDocuments();
    if (documents.size() < 2) {
        fail(QStringLiteral("the documents were not imported: %1").arg(model.knowledgeMessage().value_or(QString())));
        co_return;
    }
    const QString domain = model.domain();
    const QString disabled = documents.last().id;
    model.updateKnowledge([&domain, &disabled](PrivateKnowledge &knowledge) {
        for (KnowledgeDocument &document : knowledge.documents) {
            if (document.id == disabled)
                document.enabled = false;
        }
        knowledge.learningEnabled = true;
        knowledge.learn(domain, QStringLiteral("Expected calibration error"), QStringLiteral("known"), std::nullopt);
        knowledge.learn(domain, QStringLiteral("Temperature scaling"), std::nullopt, QStringLiteral("Simpler"));
    });

    // The setup window at the library, then at the service connection.
    QQuickWindow *setup = window("setupWindow");
    QObject *section = find(setup, QStringLiteral("domainKnowledge"));
    if (!setup || !section) {
        fail(QStringLiteral("no setup window with its knowledge section"));
        co_return;
    }
    setup->show();
    const QList<int> setupWidth{setup->width()};
    const int setupHeight = setup->height();
    if (QObject *form = find(setup, QStringLiteral("domainGroup"))) {
        co_await settle();
        scrollTo(form);
        co_await shoot(setup, QStringLiteral("setup-form"), setupWidth, setupHeight);
    }
    section->setProperty("learningExpanded", true);
    co_await settle();
    scrollTo(section);
    co_await shoot(setup, QStringLiteral("setup-knowledge"), setupWidth, setupHeight);

    if (QObject *connection = find(setup, QStringLiteral("serviceConnection"))) {
        connection->metaObject()->invokeMethod(connection, "clicked");
        // Reached from the keyboard, so that the picture shows the focus ring.
        if (auto *button = qobject_cast<QQuickItem *>(connection))
            button->forceActiveFocus(Qt::TabFocusReason);
        co_await settle();
        scrollTo(connection);
        co_await shoot(setup, QStringLiteral("setup-connection"), setupWidth, setupHeight);
    } else {
        fail(QStringLiteral("no service connection group"));
    }

    // The reader over the setup window.
    section->setProperty("readingId", documents.first().id);
    co_await settle(500);
    co_await shoot(setup, QStringLiteral("document-reader"), setupWidth, setupHeight);
    section->setProperty("readingId", QString());
    setup->hide();

    // A new conversation whose answer on calibration quotes the notes.
    model.requestStart(false, false);
    std::optional<QString> cited;
    const std::function<bool()> quoted = [&model, &cited] {
        for (const PreparedAnswer &answer : model.answers()) {
            if (answer.status == QLatin1String("ready") && answer.citations && !answer.citations->isEmpty())
                cited = answer.id;
        }
        return model.active() && cited.has_value();
    };
    if (!co_await waitFor(quoted, 180'000)) {
        fail(QStringLiteral("no answer with sources arrived: %1").arg(model.error().value_or(model.status())));
    } else {
        model.selectAnswer(*cited);
        model.selectDetail(QStringLiteral("Cue"));
        co_await settle();
        QObject *sources = find(window("mainWindow"), QStringLiteral("sourcesDisclosure"));
        if (sources && screen.citationRows()->count() > 0) {
            sources->setProperty("expanded", true);
            co_await settle();
            // Once the quotes are laid out, the view can scroll down to them.
            scrollTo(sources);
            co_await settle();
            scrollTo(sources);
            co_await shootMain(QStringLiteral("sources"));
            sources->setProperty("expanded", false);
        } else {
            fail(QStringLiteral("the selected answer shows no sources"));
        }
        model.followConversation();
    }
    model.requestStop();
    const std::function<bool()> stopped = [&model] { return !model.active() && !model.busy(); };
    co_await waitFor(stopped, 15'000);
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
    // The first-run pages, whichever way start-up ended: sign-in (without a configured
    // service, with the email field, with a simulated code), domain and audio.
    const bool startedOnboarding = model.onboarding();
    const int startStep = model.onboardingStep();
    const std::optional<QString> configuredSignIn = model.signInURL();
    co_await settle(600);
    model.setOnboarding(true);
    model.setOnboardingStep(0);
    model.setSignInURL(std::nullopt);
    co_await shootMain(QStringLiteral("onboarding-noservice"));
    model.setSignInURL(configuredSignIn.value_or(model.serviceURL()));
    co_await shootMain(QStringLiteral("onboarding-signin"));
    SignInChallenge challenge;
    challenge.requestId = QStringLiteral("screenshots");
    challenge.simulatedCode = QStringLiteral("48213067");
    model.setSignInEmail(QStringLiteral("ada@example.com"));
    model.setSignInChallenge(challenge);
    model.setSignInMessage(
        QStringLiteral("If this address is invited, a code is on its way. Check your inbox and spam folder."));
    model.setRecoveringAccount(true);
    co_await shootMain(QStringLiteral("onboarding-code"));
    model.setRecoveringAccount(false);
    model.setSignInChallenge(std::nullopt);
    model.setSignInMessage(std::nullopt);
    model.setSignInEmail(QString());
    model.setSignInURL(configuredSignIn);
    model.setOnboardingStep(1);
    co_await shootMain(QStringLiteral("onboarding-domain"));
    model.setOnboardingStep(2);
    co_await shootMain(QStringLiteral("onboarding-audio"));
    if (startedOnboarding) {
        model.finishOnboarding();
        const std::function<bool()> onboarded = [&model] { return !model.onboarding(); };
        if (!co_await waitFor(onboarded, 5'000)) {
            fail(QStringLiteral("onboarding did not finish: %1")
                     .arg(model.signInMessage().value_or(model.status())));
            QCoreApplication::exit(1);
            co_return;
        }
    } else {
        model.setOnboardingStep(startStep);
        model.setOnboarding(false);
    }
    co_await settle(600);

    // The account panel at the top of the setup window, and its sign-out confirmation.
    if (QQuickWindow *setup = window("setupWindow"); setup && find(setup, QStringLiteral("accountAccess"))) {
        QObject *account = find(setup, QStringLiteral("accountAccess"));
        const QSize setupSize = setup->size();
        const QList<int> setupWidths{setupSize.width(), setup->minimumWidth()};
        setup->show();
        co_await settle(800);
        co_await shoot(setup, QStringLiteral("account"), setupWidths, setupSize.height());
        account->setProperty("signingOut", true);
        co_await shoot(setup, QStringLiteral("account-signout"), setupWidths, setupSize.height());
        account->setProperty("signingOut", false);
        setup->resize(setupSize);
        setup->hide();
    } else {
        fail(QStringLiteral("no account panel in the setup window"));
    }

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

    co_await shootKnowledge();

    std::printf("screenshots: %lld written to %s\n", static_cast<long long>(m_written.size()), qPrintable(m_directory));
    std::fflush(stdout);
    QCoreApplication::exit(m_failures == 0 ? 0 : 1);
}

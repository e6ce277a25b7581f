// The app's windows over the real QML and a real simulated development service, used the
// way a person (or a screen reader) uses them: through the accessibility tree.
#include "AccessibleTree.h"
#include "RunTask.h"
#include "ScreenApp.h"
#include "ServiceLog.h"
#include "TestFiles.h"
#include "model/SessionModel.h"
#include "model/SessionPresentation.h"
#include "shell/AppDelegate.h"

#include <QElapsedTimer>
#include <QQuickWindow>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>
#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(CorvanaPlugin)

namespace {

// The tree lists only what is on screen; a window tall enough leaves nothing scrolled away.
void showEverything(QQuickWindow *window)
{
    window->resize(window->width(), 2400);
    QTRY_COMPARE(window->height(), 2400);
}

} // namespace

class ScreensTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        // The appearance is kept in the application's settings; keep the tests' own apart.
        QStandardPaths::setTestModeEnabled(true);
    }

    void init()
    {
        // The sign-in tests start from a fresh profile (no stored credential, onboarding never
        // completed); the others connected, with onboarding done.
        const bool fresh = QByteArray(QTest::currentTestFunction()).startsWith("signIn");
        const QString failed = m_screen.start({"--simulated", "--time-scale", "0.1"}, !fresh);
        QVERIFY2(failed.isEmpty(), qPrintable(failed));
        m_screen.app->setAppearance(QStringLiteral("system"));
        QTRY_VERIFY_WITH_TIMEOUT(model().loaded(), 10'000);
        QTRY_VERIFY_WITH_TIMEOUT(bool(model().client()) != fresh, 10'000);
        QCOMPARE(model().onboarding(), fresh);
    }

    void cleanup()
    {
        if (m_screen.app)
            m_screen.app->setAppearance(QStringLiteral("system"));
        m_screen.stop();
    }

    void signInThenOut_data()
    {
        QTest::addColumn<bool>("throughTheRow");
        QTest::newRow("Remove access on this computer") << true;
        QTest::newRow("Sign out after the confirmation") << false;
    }

    void signInThenOut()
    {
        QFETCH(bool, throughTheRow);
        AccessibleTree main(m_screen.main);
        QTRY_VERIFY(main.has(QStringLiteral("WELCOME")));

        // This build names no beta service (the development service is plain http on
        // loopback, which the configuration never accepts): the walkthrough goes on from
        // there with a development connection.
        QVERIFY(!main.has(QStringLiteral("Sign-in email address")));

        model().setSignInURL(m_screen.service->baseUrl());
        QTRY_VERIFY(main.has(QStringLiteral("Sign-in email address")));
        QVERIFY(!main.enabled(QStringLiteral("Send sign-in code")));
        QVERIFY(main.type(QStringLiteral("Sign-in email address"), QStringLiteral("ada@example.com")));
        QTRY_VERIFY(main.enabled(QStringLiteral("Send sign-in code")));
        QVERIFY(main.press(QStringLiteral("Send sign-in code")));

        // The simulated service shows its code on the page; no email is involved.
        QTRY_VERIFY_WITH_TIMEOUT(!main.names().filter(QStringLiteral(" · no email sent")).isEmpty(), 10'000);
        const QString line = main.names().filter(QStringLiteral(" · no email sent")).first();
        const QRegularExpressionMatch code = QRegularExpression(QStringLiteral("(\\d{4})(\\d{4})")).match(line);
        QVERIFY2(code.hasMatch(), qPrintable(line));
        QVERIFY(!main.has(QStringLiteral("Sign-in email address")));

        // Typed as it reads in an email, with a space between the groups.
        const QString typed = code.captured(1) + QLatin1Char(' ') + code.captured(2);
        QVERIFY(main.type(QStringLiteral("Email sign-in code"), typed));
        QTRY_VERIFY(main.enabled(QStringLiteral("Sign in")));
        QVERIFY(main.press(QStringLiteral("Sign in")));
        QTRY_VERIFY_WITH_TIMEOUT(main.has(QStringLiteral("Give the conversation context.")), 10'000);
        QCOMPARE(model().account()->profile->email, QStringLiteral("ada@example.com"));

        QTRY_VERIFY(main.enabled(QStringLiteral("Continue")));
        QVERIFY(main.press(QStringLiteral("Continue")));
        QTRY_VERIFY(main.has(QStringLiteral("Listen where the conversation is.")));
        QVERIFY(main.has(QStringLiteral("Show companion   Ctrl+Alt+Space")));

        QTRY_VERIFY(main.enabled(QStringLiteral("Open Corvana")));
        QVERIFY(main.press(QStringLiteral("Open Corvana")));
        QTRY_VERIFY(main.has(QStringLiteral("Answers, already in reach.")));
        QVERIFY(!model().onboarding());
        QVERIFY(m_screen.platform->preferences->boolean(QStringLiteral("onboardingComplete")).value_or(false));

        // The account panel in Setup, then signing out by either way.
        const int fetchesBefore = requestsTo(*m_screen.service, QStringLiteral("/v1/devices"));
        QQuickWindow *setup = openSetup();
        QVERIFY(setup);
        showEverything(setup);
        AccessibleTree panel(setup);
        // Showing the panel fetched the devices once.
        QTRY_VERIFY_WITH_TIMEOUT(panel.has(QStringLiteral("this computer")), 10'000);
        QCOMPARE(requestsTo(*m_screen.service, QStringLiteral("/v1/devices")), fetchesBefore + 1);
        QVERIFY(panel.has(QStringLiteral("Corvana on Ada’s laptop")));
        QVERIFY(panel.has(QStringLiteral("Simulated development account · no provider credits")));

        if (throughTheRow) {
            QVERIFY(panel.press(QStringLiteral("Remove access")));
        } else {
            const QString warning = QStringLiteral(
                "Audio will stop and conversation memory will be cleared. Your local reference library and preferences "
                "remain.");
            QVERIFY(panel.press(QStringLiteral("Sign out")));
            QTRY_VERIFY(panel.has(warning));
            QVERIFY(panel.press(QStringLiteral("Cancel")));
            QTRY_VERIFY(!panel.has(warning));
            QVERIFY(panel.press(QStringLiteral("Sign out")));
            QTRY_VERIFY(panel.has(warning));
            // The confirmation's own "Sign out" replaces the first one.
            QCOMPARE(panel.names().count(QStringLiteral("Sign out")), 1);
            QVERIFY(panel.press(QStringLiteral("Sign out")));
        }
        QTRY_VERIFY_WITH_TIMEOUT(!model().account(), 10'000);
        QCOMPARE(model().onboardingStep(), 0);
        QVERIFY(m_screen.platform->secrets->items.isEmpty());
        QCOMPARE(requestsTo(*m_screen.service, QStringLiteral("/v1/auth/signout")), 1);
        QTRY_VERIFY(panel.has(QStringLiteral("Sign in to access your beta allowance.")));
        // The main window is back at the first page.
        QTRY_VERIFY(main.has(QStringLiteral("Sign-in email address")));
    }

    void sampleWalkthrough()
    {
        AccessibleTree main(m_screen.main);
        QTRY_VERIFY(main.has(QStringLiteral("Meeting audio appears here when you start listening.")));

        QVERIFY(main.press(QStringLiteral("Start simulated sample")));
        // Partial lines show "Live" until they are final; each line has its time stamp.
        QTRY_VERIFY_WITH_TIMEOUT(main.has(QStringLiteral("Live")), 15'000);
        QVERIFY(main.has(presentation().transcriptRows()->value(0, QStringLiteral("time")).toString()));
        QTRY_VERIFY_WITH_TIMEOUT(main.has(QStringLiteral("CUE + DEEPER READY")), 20'000);

        // Each prepared form of the answer in front.
        const QStringList forms = presentation().selectedForms();
        QVERIFY(forms.contains(QStringLiteral("Deeper")));
        for (const QString &form : forms) {
            QVERIFY2(main.press(form), qPrintable(form));
            QTRY_COMPARE(model().detail(), form);
            QVERIFY(main.has(presentation().selectedText()));
        }

        // "I know that" and "Dismiss" hide the answer in front; the service hears which.
        const int hiddenBefore = presentation().hiddenCount();
        const QString first = presentation().selectedTitle();
        QVERIFY(main.press(QStringLiteral("I know that")));
        QTRY_VERIFY(presentation().selectedTitle() != first);
        QTRY_VERIFY(presentation().hasSelection());
        QVERIFY(main.press(QStringLiteral("Dismiss")));
        QTRY_COMPARE(presentation().hiddenCount(), hiddenBefore + 2);
        QTRY_VERIFY(main.has(presentation().hiddenCountText()));
        QStringList feedback;
        for (const QJsonValue &command : m_screen.service->log().value(QStringLiteral("commands")).toArray())
            if (command[QStringLiteral("type")] == QStringLiteral("feedback"))
                feedback.append(command[QStringLiteral("action")].toString());
        QCOMPARE(feedback.value(0), QStringLiteral("known"));

        // Revealing lists them again, marked as hidden.
        const int listed = presentation().answerRows()->count();
        QVERIFY(main.press(QStringLiteral("Reveal previously prepared answers")));
        QTRY_VERIFY(presentation().answerRows()->count() >= listed + 2);
        QTRY_VERIFY(main.has(QStringLiteral("Hidden answer")));

        // A typed follow-up goes to the service and its prepared reply comes forward.
        QVERIFY(main.type(QStringLiteral("Optional follow-up question"), QStringLiteral("How do we check drift?")));
        QTRY_COMPARE(model().manualQuestion(), QStringLiteral("How do we check drift?"));
        QVERIFY(main.press(QStringLiteral("Ask")));
        QTRY_COMPARE_WITH_TIMEOUT(presentation().selectedTitle(), QStringLiteral("How do we check drift?"), 10'000);
    }

    void companionFollowsTheSelection()
    {
        SessionModel &model = this->model();
        // The hot key's command, wired by the application, opens the companion.
        QCOMPARE(m_screen.app->delegate().model(), &model);
        m_screen.app->delegate().showCompanionNow();
        QQuickWindow *companion = m_screen.window("companionWindow");
        QVERIFY(companion);
        QTRY_VERIFY(companion->isVisible());
        QCOMPARE(companion->title(), QStringLiteral("Corvana Companion"));
        QVERIFY(companion->flags() & Qt::WindowStaysOnTopHint);
        AccessibleTree card(companion);
        QTRY_VERIFY(card.has(QStringLiteral("Start listening in Corvana.")));

        model.requestStart(false, false);
        QTRY_VERIFY_WITH_TIMEOUT(card.has(QStringLiteral("FOLLOWING THE CONVERSATION")), 20'000);
        QVERIFY(card.has(QStringLiteral("Sample running")));

        // The service brings answers forward while it plays; choose once it has played out.
        QElapsedTimer quietFor;
        quietFor.start();
        QObject listening;
        connect(&model, &SessionModel::answersChanged, &listening, [&quietFor] { quietFor.restart(); });
        QTRY_VERIFY_WITH_TIMEOUT(quietFor.elapsed() > 2'000 && !model.preparing(), 40'000);

        // Choosing an answer in the main window brings it to the companion.
        model.selectAnswer(presentation().answerRows()->value(0, QStringLiteral("key")).toString());
        QTRY_VERIFY(card.has(presentation().selectedCue()));
        QVERIFY(card.press(QStringLiteral("Deeper")));
        QTRY_COMPARE(model.detail(), QStringLiteral("Deeper"));
        QVERIFY(card.press(QStringLiteral("Deeper")));
        QTRY_COMPARE(model.detail(), QStringLiteral("Cue"));
        QVERIFY(card.press(QStringLiteral("Follow conversation")));
        QTRY_VERIFY(!model.selectedID());

        QVERIFY(card.press(QStringLiteral("Stop")));
        QTRY_VERIFY(!model.active());
        QTRY_VERIFY(card.has(QStringLiteral("Audio off")));
    }

    void saveThroughTheForm()
    {
        SessionModel &model = this->model();
        QQuickWindow *setup = openSetup();
        QVERIFY(setup);
        QCOMPARE(setup->title(), QStringLiteral("Corvana Setup"));
        QCOMPARE(setup->size(), QSize(580, 690));
        showEverything(setup);
        AccessibleTree form(setup);
        QTRY_VERIFY(form.has(QStringLiteral("Reference documents · 0")));

        // The form's fields reach the model as typed (its checks are the presentation's).
        QVERIFY(form.type(QStringLiteral("Maximum session spend in US dollars"), QStringLiteral("2.5")));
        QVERIFY(form.type(QStringLiteral("Domain name"), QStringLiteral("Cardiology trials")));
        QVERIFY(form.press(QStringLiteral("Save preferences")));
        QTRY_VERIFY(form.has(QStringLiteral("Preferences saved.")));
        QCOMPARE(model.budget(), QStringLiteral("2.5"));
        QCOMPARE(model.domainName(), QStringLiteral("Cardiology trials"));
        QVERIFY(form.has(QStringLiteral("Reference files for your saved domain: Cardiology trials")));
        QAccessibleInterface *length = form.find(QStringLiteral("Maximum connection length"), QAccessible::ComboBox);
        QCOMPARE(length->text(QAccessible::Description),
                 QStringLiteral("60 minutes"));

        // The appearance applies at once, to every window.
        QVERIFY(form.step(QStringLiteral("Appearance"), Qt::Key_Down, 2));
        QTRY_COMPARE(m_screen.app->appearance(), QStringLiteral("dark"));
        QVERIFY(m_screen.app->darkScheme());
        QVERIFY(form.step(QStringLiteral("Appearance"), Qt::Key_Up, 1));
        QTRY_COMPARE(m_screen.app->appearance(), QStringLiteral("light"));
        QVERIFY(!m_screen.app->darkScheme());
    }

    void libraryAndLearning()
    {
        SessionModel &model = this->model();
        model.updateKnowledge([&model](PrivateKnowledge &knowledge) {
            knowledge.learningEnabled = true;
            knowledge.learn(model.domain(), QStringLiteral("Expected calibration error"), QStringLiteral("known"),
                            std::nullopt);
        });
        importNotes();
        QQuickWindow *setup = openSetup();
        QVERIFY(setup);
        showEverything(setup);
        AccessibleTree form(setup);
        QTRY_VERIFY(form.has(QStringLiteral("Documents imported on this computer.")));

        // The document's switch turns its text off for later sessions; it stays listed.
        QVERIFY(form.press(model.domainDocuments().first().title));
        QTRY_VERIFY(!model.domainDocuments().first().enabled);
        QVERIFY(model.privateKnowledge().passages(model.domain()).isEmpty());

        // The reader shows every passage of the imported copy.
        QVERIFY(form.press(QStringLiteral("Read")));
        QTRY_VERIFY(form.has(QStringLiteral("Imported text · saved on this computer")));
        QVERIFY(!form.names().filter(QStringLiteral("Calibration is checked on the held-out set")).isEmpty());
        QVERIFY(form.press(QStringLiteral("Done")));
        QTRY_VERIFY(!form.has(QStringLiteral("Imported text · saved on this computer")));

        // With learning off, the learned preference stays listed and its row still saves.
        QVERIFY(form.press(QStringLiteral("Private learning · on")));
        QTRY_VERIFY(form.has(QStringLiteral("Learn from my feedback on this computer")));
        QVERIFY(form.press(QStringLiteral("Learn from my feedback on this computer")));
        QTRY_VERIFY(form.has(QStringLiteral("Private learning · off")));
        QVERIFY(!model.privateKnowledge().learningEnabled);
        QVERIFY(form.type(form.find(QStringLiteral("Topic"), QAccessible::EditableText), QStringLiteral("ECE")));
        QVERIFY(form.press(QStringLiteral("Save")));
        QTRY_COMPARE(model.learnedPreferences().first().topic, QStringLiteral("ECE"));
        QVERIFY(form.press(QStringLiteral("Forget")));
        QTRY_VERIFY(form.has(QStringLiteral("No learned preferences for this domain.")));

        QVERIFY(form.press(QStringLiteral("Remove")));
        QTRY_VERIFY(form.has(QStringLiteral("No reference documents yet.")));
    }

    void answerWithSources()
    {
        SessionModel &model = this->model();
        importNotes();
        showEverything(m_screen.main);
        AccessibleTree main(m_screen.main);
        QTRY_VERIFY(main.enabled(QStringLiteral("Start simulated sample")));
        QVERIFY(main.press(QStringLiteral("Start simulated sample")));

        // The answer on calibration cites the imported notes.
        std::optional<PreparedAnswer> cited;
        const auto citedAnswer = [&model, &cited] {
            for (const PreparedAnswer &answer : model.answers()) {
                if (answer.title == QLatin1String("Calibration") && answer.status == QLatin1String("ready")
                    && answer.citations && !answer.citations->isEmpty())
                    cited = answer;
            }
            return cited.has_value();
        };
        QTRY_VERIFY_WITH_TIMEOUT(citedAnswer(), 60'000);
        model.selectAnswer(cited->id);

        // While the session runs, the setup cannot change.
        QQuickWindow *setup = openSetup();
        QVERIFY(setup);
        showEverything(setup);
        AccessibleTree form(setup);
        QTRY_VERIFY(form.has(QStringLiteral("End your session to change its setup.")));
        QVERIFY(!form.enabled(QStringLiteral("Save preferences")));

        const QString sources = QStringLiteral("Sources · %1").arg(cited->citations->size());
        QTRY_VERIFY(main.has(sources));
        QVERIFY(main.press(sources));
        QTRY_VERIFY(main.has(QStringLiteral("Simulated answer · exact quotes from your imported text.")));
        const QString quote = QStringLiteral("“") + cited->citations->first().quote + QStringLiteral("”");
        QVERIFY(main.has(quote));
        QVERIFY(main.names().filter(QStringLiteral("Rollback plans")).isEmpty());
        QVERIFY(main.press(QStringLiteral("Read the full passage")));
        QTRY_VERIFY(!main.names().filter(QStringLiteral("Rollback plans are reviewed every month.")).isEmpty());

        QVERIFY(main.press(QStringLiteral("End session")));
        QTRY_VERIFY(!form.has(QStringLiteral("End your session to change its setup.")));
        QVERIFY(form.enabled(QStringLiteral("Save preferences")));
    }

private:
    SessionModel &model() { return m_screen.app->model(); }
    SessionPresentation &presentation() { return m_screen.app->presentation(); }

    void importNotes()
    {
        const QString path = m_screen.folder->filePath(QStringLiteral("evaluation-notes.md"));
        QVERIFY(writeFile(path, "# Evaluation notes\n\n"
                                "Calibration is checked on the held-out set before every release; a model that says 80% "
                                "should be right about 80% of the time. Rollback plans are reviewed every month.\n"));
        runTask(model().importFiles({path}));
    }

    QQuickWindow *openSetup()
    {
        m_screen.app->openWindow(QStringLiteral("settings"));
        QQuickWindow *setup = m_screen.window("setupWindow");
        if (!setup || !QTest::qWaitFor([setup] { return setup->isVisible() && setup->isExposed(); }, 5'000))
            return nullptr;
        return setup;
    }

    ScreenApp m_screen;
};

QTEST_MAIN(ScreensTest)
#include "tst_Screens.moc"

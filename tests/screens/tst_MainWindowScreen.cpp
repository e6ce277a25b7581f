// The main window and the companion over the real QML and a real development service,
// used the way a person (or a screen reader) uses them: through the accessibility tree.
#include "AccessibleTree.h"
#include "ScreenApp.h"
#include "model/SessionModel.h"
#include "model/SessionPresentation.h"
#include "shell/AppDelegate.h"

#include <QElapsedTimer>
#include <QQuickWindow>
#include <QTest>
#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(CorvanaPlugin)

class MainWindowScreenTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void sampleWalkthrough();
    void companionFollowsTheSelection();

private:
    ScreenApp m_screen;
};

void MainWindowScreenTest::init()
{
    const QString failed = m_screen.start({"--simulated", "--time-scale", "0.1"}, true);
    QVERIFY2(failed.isEmpty(), qPrintable(failed));
    QTRY_VERIFY_WITH_TIMEOUT(m_screen.app->model().client() && m_screen.app->model().loaded(), 10'000);
    QVERIFY(!m_screen.app->model().onboarding());
}

void MainWindowScreenTest::cleanup()
{
    m_screen.stop();
}

void MainWindowScreenTest::sampleWalkthrough()
{
    SessionModel &model = m_screen.app->model();
    AccessibleTree main(m_screen.main);
    QCOMPARE(m_screen.main->title(), QStringLiteral("Corvana"));
    QTRY_VERIFY(main.has(QStringLiteral("Answers, already in reach.")));
    QVERIFY(main.has(QStringLiteral("Meeting audio appears here when you start listening.")));

    QVERIFY(main.press(QStringLiteral("Start simulated sample")));
    // Partial lines show "Live" until they are final; both speakers appear.
    QTRY_VERIFY_WITH_TIMEOUT(main.has(QStringLiteral("Live")), 15'000);
    QTRY_VERIFY_WITH_TIMEOUT(main.has(QStringLiteral("Meeting")), 15'000);
    // Each line carries its time stamp in minutes and seconds.
    const QString firstTime = m_screen.app->presentation().transcriptRows()->value(0, QStringLiteral("time")).toString();
    QVERIFY(firstTime.contains(QLatin1Char(':')));
    QVERIFY(main.has(firstTime));
    QTRY_VERIFY_WITH_TIMEOUT(main.has(QStringLiteral("CUE + DEEPER READY")), 20'000);
    QVERIFY(main.has(QStringLiteral("End session")));

    // Each prepared form of the answer in front.
    const QStringList forms = m_screen.app->presentation().selectedForms();
    QVERIFY(forms.contains(QStringLiteral("Deeper")));
    for (const QString &form : forms) {
        QVERIFY2(main.press(form), qPrintable(form));
        QTRY_COMPARE(model.detail(), form);
        QVERIFY(main.has(m_screen.app->presentation().selectedText()));
    }

    // "I know that" and "Dismiss" hide the answer in front; the hidden count grows.
    const int hiddenBefore = m_screen.app->presentation().hiddenCount();
    const QString first = m_screen.app->presentation().selectedTitle();
    QVERIFY(main.press(QStringLiteral("I know that")));
    QTRY_VERIFY(m_screen.app->presentation().selectedTitle() != first);
    QTRY_VERIFY(m_screen.app->presentation().hasSelection());
    QVERIFY(main.press(QStringLiteral("Dismiss")));
    QTRY_COMPARE(m_screen.app->presentation().hiddenCount(), hiddenBefore + 2);
    const QString countText = m_screen.app->presentation().hiddenCountText();
    QTRY_VERIFY(main.has(countText));

    // Revealing lists them again, marked as hidden.
    const int listed = m_screen.app->presentation().answerRows()->count();
    QVERIFY(main.press(QStringLiteral("Reveal previously prepared answers")));
    QTRY_VERIFY(model.showHidden());
    QTRY_VERIFY(m_screen.app->presentation().answerRows()->count() >= listed + 2);
    QTRY_VERIFY(main.has(QStringLiteral("Hidden answer")));

    // A typed follow-up goes to the service and its prepared reply comes forward.
    QVERIFY(main.type(QStringLiteral("Optional follow-up question"), QStringLiteral("How do we check drift?")));
    QTRY_COMPARE(model.manualQuestion(), QStringLiteral("How do we check drift?"));
    QVERIFY(main.press(QStringLiteral("Ask")));
    QTRY_VERIFY(model.manualQuestion().isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(m_screen.app->presentation().selectedTitle(), QStringLiteral("How do we check drift?"), 10'000);

    QVERIFY(main.press(QStringLiteral("End session")));
    QTRY_VERIFY(!model.active());
    QTRY_COMPARE(model.status(), QStringLiteral("Session ended"));
    QTRY_VERIFY(main.has(QStringLiteral("Resume")));
    QVERIFY(main.has(QStringLiteral("Audio off")));
}

void MainWindowScreenTest::companionFollowsTheSelection()
{
    SessionModel &model = m_screen.app->model();
    // The hot key's command, wired by the application, opens the companion.
    QCOMPARE(m_screen.app->delegate().model(), &model);
    m_screen.app->delegate().showCompanionNow();
    QQuickWindow *companion = m_screen.window("companionWindow");
    QVERIFY(companion);
    QTRY_VERIFY(companion->isVisible());
    QCOMPARE(companion->title(), QStringLiteral("Corvana Companion"));
    QVERIFY(companion->flags() & Qt::WindowStaysOnTopHint);
    AccessibleTree card(companion);
    QTRY_VERIFY(card.has(QStringLiteral("READY WHEN YOU ARE")));
    QVERIFY(card.has(QStringLiteral("Start listening in Corvana.")));

    model.requestStart(false, false);
    QTRY_VERIFY_WITH_TIMEOUT(card.has(QStringLiteral("FOLLOWING THE CONVERSATION")), 20'000);
    QTRY_VERIFY(card.has(m_screen.app->presentation().selectedCue()));
    QVERIFY(card.has(QStringLiteral("Sample running")));

    // The service brings answers forward while it plays; choose once it has played out.
    QElapsedTimer quietFor;
    quietFor.start();
    QObject listening;
    connect(&model, &SessionModel::answersChanged, &listening, [&quietFor] { quietFor.restart(); });
    QTRY_VERIFY_WITH_TIMEOUT(quietFor.elapsed() > 2'000 && !model.preparing(), 40'000);

    // Choosing an answer in the main window brings it to the companion.
    const QString chosen = m_screen.app->presentation().answerRows()->value(0, QStringLiteral("key")).toString();
    model.selectAnswer(chosen);
    QTRY_VERIFY(card.has(m_screen.app->presentation().selectedCue()));
    QVERIFY(card.press(QStringLiteral("Deeper")));
    QTRY_COMPARE(model.detail(), QStringLiteral("Deeper"));
    QVERIFY(card.press(QStringLiteral("Deeper")));
    QTRY_COMPARE(model.detail(), QStringLiteral("Cue"));
    QVERIFY(card.press(QStringLiteral("Follow conversation")));
    QTRY_VERIFY(!model.selectedID());

    QVERIFY(card.press(QStringLiteral("Stop")));
    QTRY_VERIFY(!model.active());
    QTRY_VERIFY(card.has(QStringLiteral("Audio off")));
    model.followConversation();
    model.setShowHidden(false);
}

QTEST_MAIN(MainWindowScreenTest)
#include "tst_MainWindowScreen.moc"

// The setup window, the knowledge views and an answer's sources over the real QML and a
// real development service, used through the accessibility tree as a screen reader does.
#include "AccessibleTree.h"
#include "RunTask.h"
#include "ScreenApp.h"
#include "model/SessionModel.h"

#include <QQuickWindow>
#include <QStandardPaths>
#include <QTest>
#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(CorvanaPlugin)

namespace {

const QString removedLine = QStringLiteral("Imported copy removed; this quote remains only in the current session.");

// The tree lists only what is on screen; a window tall enough leaves nothing scrolled away.
void showEverything(QQuickWindow *window, int height)
{
    window->resize(window->width(), height);
    QTRY_COMPARE(window->height(), height);
}

} // namespace

class SetupScreenTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void saveThroughTheForm();
    void libraryAndLearning();
    void answerWithSources();

private:
    QString importNotes();
    QQuickWindow *openSetup();

    ScreenApp m_screen;
};

void SetupScreenTest::initTestCase()
{
    // The appearance is kept in the application's settings; keep the tests' own apart.
    QStandardPaths::setTestModeEnabled(true);
}

void SetupScreenTest::init()
{
    const QString failed = m_screen.start({"--simulated", "--time-scale", "0.05"}, true);
    QVERIFY2(failed.isEmpty(), qPrintable(failed));
    m_screen.app->setAppearance(QStringLiteral("system"));
    QTRY_VERIFY_WITH_TIMEOUT(m_screen.app->model().client() && m_screen.app->model().loaded(), 10'000);
    QVERIFY(!m_screen.app->model().onboarding());
}

void SetupScreenTest::cleanup()
{
    if (m_screen.app)
        m_screen.app->setAppearance(QStringLiteral("system"));
    m_screen.stop();
}

QString SetupScreenTest::importNotes()
{
    const QString path = m_screen.folder->filePath(QStringLiteral("evaluation-notes.md"));
    QFile notes(path);
    notes.open(QIODevice::WriteOnly);
    notes.write("# Evaluation notes\n\n"
                "Calibration is checked on the held-out set before every release; a model that says 80% "
                "should be right about 80% of the time. Rollback plans are reviewed every month.\n");
    notes.close();
    runTask(m_screen.app->model().importFiles({path}));
    return path;
}

QQuickWindow *SetupScreenTest::openSetup()
{
    m_screen.app->openWindow(QStringLiteral("settings"));
    QQuickWindow *setup = m_screen.window("setupWindow");
    if (!setup || !QTest::qWaitFor([setup] { return setup->isVisible() && setup->isExposed(); }, 5'000))
        return nullptr;
    return setup;
}

void SetupScreenTest::saveThroughTheForm()
{
    SessionModel &model = m_screen.app->model();
    QQuickWindow *setup = openSetup();
    QVERIFY(setup);
    QCOMPARE(setup->title(), QStringLiteral("Corvana Setup"));
    QCOMPARE(setup->size(), QSize(580, 690));
    showEverything(setup, 2400);
    AccessibleTree form(setup);
    QTRY_VERIFY(form.has(QStringLiteral("Corvana setup")));
    for (const char *shown : {"Expertise, within reach.", "YOUR DOMAIN", "SESSION & APPEARANCE", "Service connection",
                              "Simulated service", "Reference documents · 0", "Save preferences"})
        QVERIFY2(form.has(QString::fromUtf8(shown)), shown);
    QVERIFY(!form.has(QStringLiteral("End your session to change its setup.")));

    // A spend limit over $20 is refused and nothing is stored.
    const QString spend = QStringLiteral("Maximum session spend in US dollars");
    QVERIFY(form.type(spend, QStringLiteral("25")));
    QVERIFY(form.type(QStringLiteral("Domain name"), QStringLiteral("Cardiology trials")));
    QVERIFY(form.press(QStringLiteral("Save preferences")));
    QTRY_VERIFY(form.has(QStringLiteral("Enter a session limit between $0.01 and $20.")));
    QCOMPARE(model.budget(), QStringLiteral("1.00"));
    QCOMPARE(model.domainName(), QStringLiteral("ML & AI"));
    QVERIFY(!m_screen.platform->preferences->string(QStringLiteral("budget")));

    // A limit within range saves the form.
    QVERIFY(form.type(spend, QStringLiteral("2.5")));
    QVERIFY(form.press(QStringLiteral("Save preferences")));
    QTRY_VERIFY(form.has(QStringLiteral("Preferences saved.")));
    QVERIFY(!form.has(QStringLiteral("Enter a session limit between $0.01 and $20.")));
    QCOMPARE(model.budget(), QStringLiteral("2.5"));
    QCOMPARE(model.domainName(), QStringLiteral("Cardiology trials"));
    QCOMPARE(m_screen.platform->preferences->string(QStringLiteral("budget")), std::optional<QString>(QStringLiteral("2.5")));
    QVERIFY(form.has(QStringLiteral("Reference files for your saved domain: Cardiology trials")));
    QAccessibleInterface *length = form.find(QStringLiteral("Maximum connection length"), QAccessible::ComboBox);
    QVERIFY(length);
    QCOMPARE(length->text(QAccessible::Description), QStringLiteral("60 minutes"));

    // The appearance applies at once, to every window.
    QVERIFY(form.step(QStringLiteral("Appearance"), Qt::Key_Down, 2));
    QTRY_COMPARE(m_screen.app->appearance(), QStringLiteral("dark"));
    QVERIFY(m_screen.app->darkScheme());
    QVERIFY(form.step(QStringLiteral("Appearance"), Qt::Key_Up, 1));
    QTRY_COMPARE(m_screen.app->appearance(), QStringLiteral("light"));
    QVERIFY(!m_screen.app->darkScheme());

    // Opening the window again starts from the saved values, without the old message.
    setup->hide();
    openSetup();
    QTRY_VERIFY(!form.has(QStringLiteral("Preferences saved.")));
}

void SetupScreenTest::libraryAndLearning()
{
    SessionModel &model = m_screen.app->model();
    model.updateKnowledge([&model](PrivateKnowledge &knowledge) {
        knowledge.learningEnabled = true;
        knowledge.learn(model.domain(), QStringLiteral("Expected calibration error"), QStringLiteral("known"),
                        std::nullopt);
    });
    importNotes();
    QQuickWindow *setup = openSetup();
    QVERIFY(setup);
    showEverything(setup, 2400);
    AccessibleTree form(setup);
    QTRY_VERIFY(form.has(QStringLiteral("Reference documents · 1")));
    QVERIFY(form.has(QStringLiteral("Documents imported on this computer.")));
    const QString title = model.domainDocuments().first().title;

    // The document's switch turns its text off for later sessions; it stays listed.
    QVERIFY(form.press(title));
    QTRY_VERIFY(!model.domainDocuments().first().enabled);
    QVERIFY(model.privateKnowledge().passages(model.domain()).isEmpty());
    QVERIFY(form.has(QStringLiteral("Reference documents · 1")));

    // The reader shows every passage of the imported copy.
    QVERIFY(form.press(QStringLiteral("Read")));
    QTRY_VERIFY(form.has(QStringLiteral("Imported text · saved on this computer")));
    QVERIFY(!form.namesContaining(QStringLiteral("Calibration is checked on the held-out set")).isEmpty());
    QVERIFY(form.press(QStringLiteral("Done")));
    QTRY_VERIFY(!form.has(QStringLiteral("Imported text · saved on this computer")));

    // With learning off, the learned preference stays listed and its row still saves.
    QVERIFY(form.press(QStringLiteral("Private learning · on")));
    QTRY_VERIFY(form.has(QStringLiteral("Learn from my feedback on this computer")));
    QVERIFY(form.press(QStringLiteral("Learn from my feedback on this computer")));
    QTRY_VERIFY(form.has(QStringLiteral("Private learning · off")));
    QVERIFY(!model.privateKnowledge().learningEnabled);
    QAccessibleInterface *topic = form.find(QStringLiteral("Topic"), QAccessible::EditableText);
    QVERIFY(form.type(topic, QStringLiteral("ECE")));
    QVERIFY(form.press(QStringLiteral("Save")));
    QTRY_COMPARE(model.learnedPreferences().first().topic, QStringLiteral("ECE"));
    QVERIFY(form.press(QStringLiteral("Forget")));
    QTRY_VERIFY(form.has(QStringLiteral("No learned preferences for this domain.")));

    QVERIFY(form.press(QStringLiteral("Remove")));
    QTRY_VERIFY(form.has(QStringLiteral("No reference documents yet.")));
    QVERIFY(form.has(QStringLiteral("Reference documents · 0")));
}

void SetupScreenTest::answerWithSources()
{
    SessionModel &model = m_screen.app->model();
    importNotes();
    showEverything(m_screen.main, 2400);
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
    QTRY_VERIFY_WITH_TIMEOUT(citedAnswer(), 30'000);
    model.selectAnswer(cited->id);

    // While the session runs, the setup cannot change.
    QQuickWindow *setup = openSetup();
    QVERIFY(setup);
    showEverything(setup, 2400);
    AccessibleTree form(setup);
    QTRY_VERIFY(form.has(QStringLiteral("End your session to change its setup.")));
    QVERIFY(!form.enabled(QStringLiteral("Domain name")));
    QVERIFY(!form.enabled(QStringLiteral("Save preferences")));

    const QString sources = QStringLiteral("Sources · %1").arg(cited->citations->size());
    QTRY_VERIFY(main.has(sources));
    QVERIFY(main.press(sources));
    QTRY_VERIFY(main.has(QStringLiteral("Simulated answer · exact quotes from your imported text.")));
    const DocumentCitation &first = cited->citations->first();
    QVERIFY(main.has(QStringLiteral("“") + first.quote + QStringLiteral("”")));
    QVERIFY(main.has(first.title));
    QVERIFY(!first.quote.contains(QStringLiteral("Rollback")));
    QVERIFY(main.namesContaining(QStringLiteral("Rollback plans")).isEmpty());
    QVERIFY(main.press(QStringLiteral("Read the full passage")));
    QTRY_VERIFY(!main.namesContaining(QStringLiteral("Rollback plans are reviewed every month.")).isEmpty());
    QVERIFY(!main.has(removedLine));

    // Removing the imported copy leaves the quote, without its passage.
    QVERIFY(form.press(QStringLiteral("Remove")));
    QTRY_VERIFY(main.has(removedLine));
    QVERIFY(!main.has(QStringLiteral("Read the full passage")));
    QVERIFY(main.has(QStringLiteral("“") + first.quote + QStringLiteral("”")));

    QVERIFY(main.press(QStringLiteral("End session")));
    QTRY_VERIFY(!model.active());
    QTRY_VERIFY(!form.has(QStringLiteral("End your session to change its setup.")));
    QVERIFY(form.enabled(QStringLiteral("Domain name")));
    QVERIFY(form.enabled(QStringLiteral("Save preferences")));
}

QTEST_MAIN(SetupScreenTest)
#include "tst_SetupScreen.moc"

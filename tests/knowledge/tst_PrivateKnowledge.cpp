#include "knowledge/PrivateKnowledge.h"

#include <QTest>

namespace {

const QString domain = QStringLiteral("Cardiac electrophysiology");

PreparedAnswer answerOn(const QString &title, const QString &cue = QStringLiteral("Ablation targets the circuit."),
                        const QString &question = QStringLiteral("What does ablation do?"),
                        const QString &uncertainty = QString())
{
    PreparedAnswer answer;
    answer.id = QStringLiteral("a1");
    answer.title = title;
    answer.cue = cue;
    answer.question = question;
    answer.uncertainty = uncertainty;
    return answer;
}

PrivateKnowledge learning()
{
    PrivateKnowledge knowledge;
    knowledge.learningEnabled = true;
    return knowledge;
}

} // namespace

Q_DECLARE_METATYPE(PreparedAnswer)

class PrivateKnowledgeTest : public QObject {
    Q_OBJECT

private slots:
    void topicKey_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("key");
        QTest::newRow("case, accents, punctuation") << QStringLiteral("  Atrial-Fibrillation, Ré-entry ") << "atrial fibrillation re entry";
        QTest::newRow("digits are words") << QStringLiteral("QT interval 450ms") << "qt interval 450ms";
        QTest::newRow("no letters") << QStringLiteral("—  !! ") << "";
    }

    void topicKey()
    {
        QFETCH(QString, text);
        QFETCH(QString, key);
        QCOMPARE(PrivateKnowledge::topicKey(text), key);
    }

    // Only the enabled documents of the domain lend their passages.
    void passagesOfEnabledDocuments()
    {
        PrivateKnowledge knowledge;
        const auto add = [&](const QString &text, const QString &field, bool enabled) {
            KnowledgeDocument document;
            document.domainKey = PrivateKnowledge::domainKey(field);
            document.enabled = enabled;
            document.passages = {{text, text, text, text, text}};
            knowledge.documents.append(document);
        };
        add(QStringLiteral("used"), domain, true);
        add(QStringLiteral("disabled"), domain, false);
        add(QStringLiteral("elsewhere"), QStringLiteral("Cardiac surgery"), true);
        QCOMPARE(knowledge.passages(domain).size(), 1);
        QCOMPARE(knowledge.passages(domain).first().text, QStringLiteral("used"));
    }

    void learningOffChangesNothing()
    {
        PrivateKnowledge knowledge;
        knowledge.learn(domain, QStringLiteral("Ablation"), QStringLiteral("known"), std::nullopt);
        QVERIFY(knowledge.preferences.isEmpty());
        knowledge.learningEnabled = true;
        knowledge.learn(domain, QStringLiteral("Ablation"), QStringLiteral("known"), std::nullopt);
        knowledge.learningEnabled = false;
        QVERIFY(!knowledge.preference(domain, QStringLiteral("Ablation")));
        QVERIFY(!knowledge.shouldQuiet(domain, answerOn(QStringLiteral("Ablation"))));
    }

    void sameTopicSpelledDifferentlyIsOnePreference()
    {
        PrivateKnowledge knowledge = learning();
        knowledge.learn(domain, QStringLiteral("ATRIAL FLUTTER"), std::nullopt, QStringLiteral("Deeper"));
        const double first = knowledge.preferences.first().updatedAt;
        knowledge.learn(domain, QStringLiteral("atrial-flutter"), QStringLiteral("known"), std::nullopt);
        QCOMPARE(knowledge.preferences.size(), 1);
        const LearnedPreference &held = knowledge.preferences.first();
        QCOMPARE(held.topic, QStringLiteral("ATRIAL FLUTTER"));
        QCOMPARE(held.prominence, QStringLiteral("known"));
        QCOMPARE(held.style, QStringLiteral("Deeper"));
        QVERIFY(held.updatedAt >= first);
        QCOMPARE(held.id, held.id.toUpper());
        QVERIFY(!QUuid::fromString(held.id).isNull());
    }

    void unknownValuesAreIgnoredButTheTimeMoves()
    {
        PrivateKnowledge knowledge = learning();
        knowledge.learn(domain, QStringLiteral("Ablation"), QStringLiteral("hidden"), QStringLiteral("Poem"));
        QCOMPARE(knowledge.preferences.size(), 1);
        QCOMPARE(knowledge.preferences.first().prominence, QStringLiteral("normal"));
        QCOMPARE(knowledge.preferences.first().style, QStringLiteral("Cue"));
        knowledge.preferences.first().updatedAt = 0;
        knowledge.learn(domain, QStringLiteral("Ablation"), QStringLiteral("hidden"), std::nullopt);
        QVERIFY(knowledge.preferences.first().updatedAt > 0);
        knowledge.learn(domain, QStringLiteral(" \n\t"), QStringLiteral("known"), std::nullopt);
        QCOMPARE(knowledge.preferences.size(), 1);
        // A long topic is cut to 100 characters, never inside one.
        knowledge.learn(domain, QString(99, QLatin1Char('a')) + QStringLiteral("e\u0301xyz"), std::nullopt, std::nullopt);
        QCOMPARE(knowledge.preferences.last().topic, QString(99, QLatin1Char('a')) + QStringLiteral("e\u0301"));
    }

    void theOldestGoesAfterTwoHundred()
    {
        PrivateKnowledge knowledge = learning();
        for (int index = 0; index < 201; ++index)
            knowledge.learn(domain, QStringLiteral("Topic %1").arg(index), std::nullopt, std::nullopt);
        QCOMPARE(knowledge.preferences.size(), 200);
        QCOMPARE(knowledge.preferences.first().topic, QStringLiteral("Topic 1"));
        QCOMPARE(knowledge.preferences.last().topic, QStringLiteral("Topic 200"));
        // Updating an old one keeps its place.
        knowledge.learn(domain, QStringLiteral("topic 1"), QStringLiteral("quiet"), std::nullopt);
        QCOMPARE(knowledge.preferences.first().prominence, QStringLiteral("quiet"));
    }

    void quieting_data()
    {
        QTest::addColumn<QString>("prominence");
        QTest::addColumn<PreparedAnswer>("answer");
        QTest::addColumn<bool>("quiet");
        const QString topic = QStringLiteral("Ablation");
        QTest::newRow("known") << "known" << answerOn(topic) << true;
        QTest::newRow("quiet") << "quiet" << answerOn(topic) << true;
        QTest::newRow("normal") << "normal" << answerOn(topic) << false;
        QTest::newRow("other topic") << "known" << answerOn(QStringLiteral("Pacing")) << false;
        QTest::newRow("topic spelled differently") << "known" << answerOn(QStringLiteral("ABLATION!")) << true;
        QTest::newRow("digit in the cue") << "known" << answerOn(topic, QStringLiteral("Success rates near 90 %.")) << false;
        QTest::newRow("Actually in the question")
            << "known" << answerOn(topic, QStringLiteral("Ablation works."), QStringLiteral("Actually, is it safe?"))
            << false;
        QTest::newRow("word only inside another word")
            << "known" << answerOn(topic, QStringLiteral("Ablation works."), QStringLiteral("Is it unchanged?")) << true;
        QTest::newRow("uncertain answer")
            << "known" << answerOn(topic, QStringLiteral("Ablation works."), QString(), QStringLiteral("Sources disagree."))
            << false;
    }

    void quieting()
    {
        QFETCH(QString, prominence);
        QFETCH(PreparedAnswer, answer);
        QFETCH(bool, quiet);
        PrivateKnowledge knowledge = learning();
        knowledge.learn(domain, QStringLiteral("ablation"), prominence, std::nullopt);
        QCOMPARE(knowledge.shouldQuiet(domain, answer), quiet);
        QVERIFY(!knowledge.shouldQuiet(QStringLiteral("Another domain"), answer));
    }

    void editingMergesTopics()
    {
        PrivateKnowledge knowledge = learning();
        knowledge.learn(domain, QStringLiteral("Ablation"), QStringLiteral("known"), std::nullopt);
        knowledge.learn(domain, QStringLiteral("Pacing"), QStringLiteral("quiet"), std::nullopt);
        knowledge.learn(QStringLiteral("Other field"), QStringLiteral("ablation"), QStringLiteral("quiet"), std::nullopt);
        const QString pacing = knowledge.preferences.at(1).id;
        knowledge.savePreference(pacing, QStringLiteral("  ABLATION \n"), QStringLiteral("normal"), QStringLiteral("ELI5"));
        QCOMPARE(knowledge.preferences.size(), 2);
        QCOMPARE(knowledge.preferences.first().id, pacing);
        QCOMPARE(knowledge.preferences.first().topic, QStringLiteral("ABLATION"));
        QCOMPARE(knowledge.preferences.first().style, QStringLiteral("ELI5"));
        const QString otherField = PrivateKnowledge::domainKey(QStringLiteral("Other field"));
        QCOMPARE(knowledge.preferences.last().domainKey, otherField);
        // Saved again under its own topic, it is no duplicate of itself.
        knowledge.savePreference(pacing, QStringLiteral("Ablation"), QStringLiteral("known"), QStringLiteral("Cue"));
        QCOMPARE(knowledge.preferences.size(), 2);

        knowledge.forgetPreferences(domain);
        QCOMPARE(knowledge.preferences.size(), 1);
        QCOMPARE(knowledge.preferences.first().domainKey, otherField);
        knowledge.forgetPreference(knowledge.preferences.first().id);
        QVERIFY(knowledge.preferences.isEmpty());
    }
};

QTEST_GUILESS_MAIN(PrivateKnowledgeTest)
#include "tst_PrivateKnowledge.moc"

#include "knowledge/PrivateKnowledge.h"
#include "protocol/Account.h"
#include "protocol/AccountDevice.h"
#include "protocol/HistorySegment.h"
#include "protocol/KnowledgePassage.h"
#include "protocol/PreparedAnswer.h"
#include "protocol/ServerEvent.h"
#include "protocol/SessionInput.h"

#include <QJsonDocument>
#include <QTest>

#include <cmath>
#include <limits>

namespace {

// Decodes `json` as T and encodes the result again.
using Transcoder = QByteArray (*)(const QByteArray &);

template <class T>
QByteArray transcode(const QByteArray &json)
{
    return wire::encode(wire::decode<T>(json));
}

const QByteArray healthJson = R"({"mode":"demo","liveReady":true,"pricingVersion":"2026-01","maxSessionMinutes":90})";
const QByteArray walletJson = R"({"balanceMicros":9007199254740993,"reservedMicros":250000,"spentMicros":1250000,"simulated":false})";
const QByteArray profileJson = R"({"email":"ana@example.com","deviceId":"4f0c2a4e-8b7d-4c55-9a43-1f5e0f3f1a10","expiresAt":1790000000.5})";
const QByteArray passageJson = R"({"id":"p1","documentId":"d1","title":"Field guide","location":"p. 4","text":"Passage text"})";
const QByteArray historyJson = R"({"id":"t0","text":"Earlier","channel":"them","startMs":0,"endMs":950.25})";
const QByteArray transcriptJson = R"({"id":"t1","text":"Hello there","channel":"mic","final":true,"startMs":1200,"endMs":2450.5,"lastWordEndMs":2400})";
const QByteArray sessionJson = R"({"id":"0b6e1f7c-2f3e-4c1a-9d1f-3c2b1a0f9e8d","state":"running","spentMicros":1000,"reservedMicros":2000,"budgetMicros":3000000,"startedAt":1780000100.75,"reason":"budget","timeLimitSeconds":3600})";
const QByteArray followUpJson = R"({"question":"Why?","answer":"Because."})";
const QByteArray occurrenceJson = R"({"id":"o1","startMs":1200,"endMs":1800})";
const QByteArray citationJson = R"({"id":"c1","documentId":"d1","title":"Field guide","location":"§ 2","quote":"Quoted"})";
const QByteArray retrievalJson = R"({"searched":true,"matched":3,"elapsedMs":12.5})";
const QByteArray answerJson =
    R"({"id":"a1","topic":"Dosage","title":"Dose limits","question":"What is the limit?","cue":"Max 4 g a day",)"
    R"("deeper":"Deeper text","answer":"Full answer","simpler":"Simpler text","eli5":"ELI5 text","uncertainty":"low",)"
    R"("hidden":true,"provisional":false,"status":"ready","source":"live","preparation":"fast","contextVersion":7,)"
    R"("followUps":[)" + followUpJson + R"(],"category":"clinical","occurrences":[)" + occurrenceJson +
    R"(],"citations":[)" + citationJson + R"(],"retrieval":)" + retrievalJson + "}";
const QByteArray minimalAnswerJson =
    R"({"id":"a1","topic":"Dosage","title":"Dose limits","question":"What is the limit?","cue":"Cue text",)"
    R"("deeper":"Deeper text","uncertainty":"low","hidden":false,"provisional":false,"status":"ready",)"
    R"("source":"live","preparation":"fast","contextVersion":3,"followUps":[]})";
const QByteArray documentJson =
    R"({"id":"d1","title":"Notes.pdf","domainKey":"k","enabled":true,"fingerprint":"f","importedAt":786543210.25,)"
    R"("passages":[)" + passageJson + "]}";
const QByteArray preferenceJson =
    R"({"id":"P1","domainKey":"k","topic":"AV node","prominence":"known","style":"Deeper","updatedAt":0.25})";
const QByteArray rangeJson =
    R"({"id":"r1","fromMs":0,"toMs":60000,"availableFromMs":0,"follow":true,"state":"running","selectedSegments":10,)"
    R"("reviewedSegments":4,"reusedEntries":1,"answers":[)" + answerJson + R"(],"message":"Reviewing"})";

struct RecordKind {
    QString name;
    Transcoder transcode;
    QByteArray sample; // every member present, compact, in field order
    QStringList optional;
};

const QList<RecordKind> &recordKinds()
{
    static const QList<RecordKind> kinds{
        {"Health", transcode<Health>, healthJson, {"maxSessionMinutes"}},
        {"Wallet", transcode<Wallet>, walletJson, {}},
        {"Account", transcode<Account>,
         R"({"health":)" + healthJson + R"(,"wallet":)" + walletJson + R"(,"profile":)" + profileJson + "}", {"profile"}},
        {"AccountProfile", transcode<AccountProfile>, profileJson, {}},
        {"AccountDevice", transcode<AccountDevice>,
         R"({"id":"4f0c2a4e-8b7d-4c55-9a43-1f5e0f3f1a10","name":"Work laptop","createdAt":1780000000.25,"expiresAt":1790000000.5,"current":true})",
         {}},
        {"SessionSnapshot", transcode<SessionSnapshot>, sessionJson, {"reason", "timeLimitSeconds"}},
        {"SessionInput", transcode<SessionInput>,
         R"({"domain":"Cardiology","familiarity":"expert","budgetMicros":2000000,"source":"microphone","knowledge":[)" +
             passageJson + R"(],"durationMinutes":45,"timeOffsetMs":61000.5,"history":[)" + historyJson +
             R"(],"historyAvailableFromMs":1200})",
         {"knowledge", "durationMinutes", "timeOffsetMs", "history", "historyAvailableFromMs"}},
        {"Transcript", transcode<Transcript>, transcriptJson, {"startMs", "endMs", "lastWordEndMs"}},
        {"HistorySegment", transcode<HistorySegment>, historyJson, {}},
        {"KnowledgePassage", transcode<KnowledgePassage>, passageJson, {}},
        {"DocumentCitation", transcode<DocumentCitation>, citationJson, {}},
        {"RetrievalInfo", transcode<RetrievalInfo>, retrievalJson, {}},
        {"PreparedFollowUp", transcode<PreparedFollowUp>, followUpJson, {}},
        {"SpeechOccurrence", transcode<SpeechOccurrence>, occurrenceJson, {}},
        {"PreparedAnswer", transcode<PreparedAnswer>, answerJson,
         {"answer", "simpler", "eli5", "category", "occurrences", "citations", "retrieval"}},
        // Without optionals, and with empty lists, which are present rather than absent.
        {"PreparedAnswer (minimal)", transcode<PreparedAnswer>, minimalAnswerJson, {}},
        {"PreparedAnswer (empty lists)", transcode<PreparedAnswer>,
         QByteArray(minimalAnswerJson).replace("[]}", R"([],"occurrences":[],"citations":[]})"),
         {"occurrences", "citations"}},
        {"RangeState", transcode<RangeState>, rangeJson, {}},
        // The stored library.
        {"KnowledgeDocument", transcode<KnowledgeDocument>, documentJson, {}},
        {"LearnedPreference", transcode<LearnedPreference>, preferenceJson, {}},
        {"PrivateKnowledge", transcode<PrivateKnowledge>,
         R"({"documents":[)" + documentJson + R"(],"learningEnabled":true,"preferences":[)" + preferenceJson + "]}", {}},
        {"ServerEvent", transcode<ServerEvent>,
         R"({"type":"bank","id":"e1","error":"failed","code":"E42","message":"Text","session":)" + sessionJson +
             R"(,"wallet":)" + walletJson + R"(,"health":)" + healthJson + R"(,"transcript":)" + transcriptJson +
             R"(,"answer":)" + answerJson + R"(,"answers":[)" + answerJson + "," + answerJson + R"(],"range":)" +
             rangeJson + "}",
         {"id", "error", "code", "message", "session", "wallet", "health", "transcript", "answer", "answers", "range"}},
    };
    return kinds;
}

QJsonObject object(const QByteArray &json)
{
    return QJsonDocument::fromJson(json).object();
}

QByteArray compact(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

// A value of another JSON type than `value`.
QJsonValue otherType(const QJsonValue &value)
{
    switch (value.type()) {
    case QJsonValue::String: return 42;
    case QJsonValue::Double: return QStringLiteral("42");
    case QJsonValue::Bool: return 1;
    case QJsonValue::Array: return QJsonObject{{"0", 1}};
    case QJsonValue::Object: return QJsonArray{};
    default: return QStringLiteral("?");
    }
}

// Paths are compared without the separator before an index ("a.[1]" and "a[1]" alike).
QString normalisedPath(QString path)
{
    return path.replace(QLatin1String(".["), QLatin1String("["));
}

PreparedAnswer minimalAnswer()
{
    return wire::decode<PreparedAnswer>(minimalAnswerJson);
}

} // namespace

class WireCodingTest : public QObject {
    Q_OBJECT
private slots:
    void integerForms_data()
    {
        QTest::addColumn<QByteArray>("number");
        QTest::addColumn<bool>("decodes");
        QTest::addColumn<qint64>("expected");

        QTest::newRow("2^53 + 1") << QByteArray("9007199254740993") << true << qint64(9007199254740993LL);
        QTest::newRow("max") << QByteArray("9223372036854775807") << true << std::numeric_limits<qint64>::max();
        QTest::newRow("integral fraction") << QByteArray("12.0") << true << qint64(12);
        QTest::newRow("fraction") << QByteArray("1.5") << false << qint64(0);
        QTest::newRow("max + 1") << QByteArray("9223372036854775808") << false << qint64(0);
    }

    void integerForms()
    {
        QFETCH(QByteArray, number);
        QFETCH(bool, decodes);
        QFETCH(qint64, expected);

        const QByteArray json = R"({"searched":true,"matched":)" + number + R"(,"elapsedMs":1})";
        if (!decodes) {
            try {
                wire::decode<RetrievalInfo>(json);
                QFAIL("decoded");
            } catch (const WireFormatError &failure) {
                QCOMPARE(failure.path(), QStringLiteral("matched"));
            }
            return;
        }
        const auto info = wire::decode<RetrievalInfo>(json);
        QCOMPARE(info.matched, expected);
        QCOMPARE(wire::encode(info), R"({"searched":true,"matched":)" + QByteArray::number(expected) + R"(,"elapsedMs":1})");
    }

    void samplesRoundTripInFieldOrder_data()
    {
        QTest::addColumn<int>("record");
        for (int record = 0; record < recordKinds().size(); ++record)
            QTest::newRow(qPrintable(recordKinds()[record].name)) << record;
    }

    // Every sample reads back as written, also with members it does not know.
    void samplesRoundTripInFieldOrder()
    {
        QFETCH(int, record);
        const RecordKind &kind = recordKinds()[record];
        QCOMPARE(kind.transcode(kind.sample), kind.sample);
        QJsonObject extended = object(kind.sample);
        extended["futureMember"] = QJsonObject{{"nested", QJsonArray{1, "two", QJsonValue::Null}}};
        extended["Type"] = 5; // names are case-sensitive: not an alias of "type"
        QCOMPARE(kind.transcode(compact(extended)), kind.sample);
    }

    // Every member of every record, removed, null or of another type.
    void memberPresence_data()
    {
        QTest::addColumn<int>("record");
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("member");
        QTest::addColumn<bool>("decodes");

        for (int record = 0; record < recordKinds().size(); ++record) {
            const RecordKind &kind = recordKinds()[record];
            const QJsonObject sample = object(kind.sample);
            for (const QString &member : sample.keys()) {
                const bool optional = kind.optional.contains(member);
                QJsonObject changed = sample;
                changed.remove(member);
                QTest::addRow("%s.%s missing", qPrintable(kind.name), qPrintable(member))
                    << record << compact(changed) << member << optional;
                changed[member] = QJsonValue::Null;
                QTest::addRow("%s.%s null", qPrintable(kind.name), qPrintable(member))
                    << record << compact(changed) << member << optional;
                changed[member] = otherType(sample.value(member));
                QTest::addRow("%s.%s wrong type", qPrintable(kind.name), qPrintable(member))
                    << record << compact(changed) << member << false;
            }
        }
    }

    void memberPresence()
    {
        QFETCH(int, record);
        QFETCH(QByteArray, json);
        QFETCH(QString, member);
        QFETCH(bool, decodes);
        const RecordKind &kind = recordKinds()[record];

        if (!decodes) {
            try {
                kind.transcode(json);
                QFAIL("decoded");
            } catch (const WireFormatError &failure) {
                QCOMPARE(failure.path(), member);
            }
            return;
        }
        // An absent optional reads as absent and is left out on encode (no null written).
        const QByteArray encoded = kind.transcode(json);
        QVERIFY2(!encoded.contains("null"), encoded.constData());
        QJsonObject expected = object(kind.sample);
        expected.remove(member);
        QCOMPARE(object(encoded), expected);
    }

    void nestedFailuresFailTheRecord_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("path");

        QByteArray answerWithoutCue = answerJson;
        answerWithoutCue.replace(R"("cue":"Max 4 g a day",)", "");
        QByteArray answerWithBadFollowUp = answerJson;
        answerWithBadFollowUp.replace(followUpJson, R"({"question":"Why?"})");

        QTest::newRow("answers[1] lacks cue")
            << QByteArray(R"({"type":"bank","answers":[)" + answerJson + "," + answerWithoutCue + "]}") << "answers[1].cue";
        QTest::newRow("answers[0] is null") << QByteArray(R"({"type":"bank","answers":[null]})") << "answers[0]";
        QTest::newRow("answer follow-up lacks answer")
            << QByteArray(R"({"type":"answer","answer":)" + answerWithBadFollowUp + "}") << "answer.followUps[0].answer";
    }

    void nestedFailuresFailTheRecord()
    {
        QFETCH(QByteArray, json);
        QFETCH(QString, path);
        try {
            wire::decode<ServerEvent>(json);
            QFAIL("decoded");
        } catch (const WireFormatError &failure) {
            QCOMPARE(normalisedPath(failure.path()), path);
            QVERIFY2(QString::fromUtf8(failure.what()).contains(failure.path()), failure.what());
        }
    }

    void malformedTextFails_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("reason");
        const QString notJson = QStringLiteral("is not valid JSON");
        QTest::newRow("not JSON") << QByteArray("type=bank") << notJson;
        QTest::newRow("truncated") << QByteArray(R"({"type":"bank")") << notJson;
        QTest::newRow("trailing garbage") << QByteArray(R"({"type":"bank"} x)") << notJson;
        QTest::newRow("deep nesting") << QByteArray(R"({"type":"x","extra":)") + QByteArray(100000, '[') +
                                             QByteArray(100000, ']') + "}" << notJson;
        QTest::newRow("array") << QByteArray(R"([{"type":"bank"}])") << QStringLiteral("is not an object");
    }

    void malformedTextFails()
    {
        QFETCH(QByteArray, json);
        QFETCH(QString, reason);
        try {
            wire::decode<ServerEvent>(json);
            QFAIL("decoded");
        } catch (const WireFormatError &failure) {
            QVERIFY2(QString::fromUtf8(failure.what()).contains(reason), failure.what());
        }
    }

    // The text of a style falls back on the cue; an answer is current once ready and final.
    void preparedTextAndCurrency()
    {
        PreparedAnswer answer = minimalAnswer();
        QCOMPARE(answer.preparedText("Simpler"), std::nullopt);
        answer.simpler = "Simple";
        answer.eli5 = "Five";
        QCOMPARE(answer.preparedText("Deeper"), std::optional<QString>("Deeper text"));
        QCOMPARE(answer.preparedText("Simpler"), std::optional<QString>("Simple"));
        QCOMPARE(answer.preparedText("ELI5"), std::optional<QString>("Five"));
        QCOMPARE(answer.preparedText("deeper"), std::optional<QString>("Cue text"));
        QVERIFY(answer.isCurrent());
        answer.provisional = true;
        QVERIFY(!answer.isCurrent());
        answer.provisional = false;
        answer.status = "preparing";
        QVERIFY(!answer.isCurrent());
    }

    void historySegmentFromTranscript_data()
    {
        QTest::addColumn<QByteArray>("times");
        QTest::addColumn<double>("startMs");
        QTest::addColumn<double>("endMs");

        QTest::newRow("start only") << QByteArray(R"(,"startMs":1200)") << 1200.0 << 1200.0;
        QTest::newRow("end only") << QByteArray(R"(,"endMs":800)") << 0.0 << 800.0;
        QTest::newRow("last word is not the end") << QByteArray(R"(,"startMs":1200,"lastWordEndMs":2000)") << 1200.0 << 1200.0;
    }

    void historySegmentFromTranscript()
    {
        QFETCH(QByteArray, times);
        QFETCH(double, startMs);
        QFETCH(double, endMs);
        const auto transcript =
            wire::decode<Transcript>(R"({"id":"t7","text":"Hello","channel":"them","final":false)" + times + "}");
        const HistorySegment segment(transcript);
        QCOMPARE(segment, HistorySegment("t7", "Hello", "them", startMs, endMs));
        QCOMPARE(wire::decode<HistorySegment>(wire::encode(segment)), segment);
    }

    void stringsRoundTrip_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("quotes and backslashes") << QStringLiteral("say \"hi\" \\ back\\slash </script>");
        QTest::newRow("control characters") << QStringLiteral("tab\t nl\n cr\r bs\b ff\f nul") + QChar(0) + QStringLiteral(" unit") + QChar(0x1f) + QStringLiteral(" del") + QChar(0x7f);
        QTest::newRow("non-ASCII") << QString::fromUtf16(u"Résumé – 東京 👩‍👩‍👧 🇫🇷 a\u2028b\u2029c\u0085d");
    }

    void stringsRoundTrip()
    {
        QFETCH(QString, text);
        const PreparedFollowUp followUp{text, text};
        const QByteArray encoded = wire::encode(followUp);
        for (const char c : encoded)
            QVERIFY2(static_cast<unsigned char>(c) >= 0x20, "raw control character in JSON text");
        QCOMPARE(wire::decode<PreparedFollowUp>(encoded), followUp);
    }

    void doublesRoundTrip_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("integral") << 1200.0 << QByteArray("1200");
        QTest::newRow("instant") << 1790000000.125 << QByteArray("1790000000.125");
        QTest::newRow("tiny") << 5e-324 << QByteArray();
        // No JSON form: encoding refuses rather than writing "inf" or "nan".
        QTest::newRow("infinity") << std::numeric_limits<double>::infinity() << QByteArray("-");
        QTest::newRow("not a number") << std::nan("") << QByteArray("-");
    }

    void doublesRoundTrip()
    {
        QFETCH(double, value);
        QFETCH(QByteArray, text);
        const SpeechOccurrence occurrence{"o", value, value};
        if (text == "-") {
            QVERIFY_THROWS_EXCEPTION(WireFormatError, wire::encode(occurrence));
            return;
        }
        const QByteArray encoded = wire::encode(occurrence);
        if (!text.isEmpty())
            QCOMPARE(encoded, R"({"id":"o","startMs":)" + text + R"(,"endMs":)" + text + "}");
        QCOMPARE(wire::decode<SpeechOccurrence>(encoded), occurrence);
    }
};

QTEST_GUILESS_MAIN(WireCodingTest)
#include "tst_WireCoding.moc"

#include "protocol/Account.h"
#include "protocol/AccountDevice.h"
#include "protocol/Connection.h"
#include "protocol/HistorySegment.h"
#include "protocol/KnowledgePassage.h"
#include "protocol/PreparedAnswer.h"
#include "protocol/ServerEvent.h"
#include "protocol/SessionInput.h"
#include "protocol/TessaroError.h"

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
        {"ServerEvent", transcode<ServerEvent>,
         R"({"type":"bank","id":"e1","error":"failed","code":"E42","message":"Text","session":)" + sessionJson +
             R"(,"wallet":)" + walletJson + R"(,"health":)" + healthJson + R"(,"transcript":)" + transcriptJson +
             R"(,"answer":)" + answerJson + R"(,"answers":[)" + answerJson + "," + answerJson + R"(],"range":)" +
             rangeJson + "}",
         {"id", "error", "code", "message", "session", "wallet", "health", "transcript", "answer", "answers", "range"}},
    };
    return kinds;
}

const RecordKind &recordKind(const QString &name)
{
    for (const RecordKind &kind : recordKinds())
        if (kind.name == name)
            return kind;
    qFatal("unknown record %s", qPrintable(name));
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
    void integerForms_data();
    void integerForms();
    void samplesRoundTripInFieldOrder_data();
    void samplesRoundTripInFieldOrder();
    void memberPresence_data();
    void memberPresence();
    void unknownMembersAreIgnored_data();
    void unknownMembersAreIgnored();
    void nestedFailuresFailTheRecord_data();
    void nestedFailuresFailTheRecord();
    void malformedTextFails_data();
    void malformedTextFails();
    void preparedText_data();
    void preparedText();
    void isCurrent_data();
    void isCurrent();
    void historySegmentFromTranscript_data();
    void historySegmentFromTranscript();
    void stringsRoundTrip_data();
    void stringsRoundTrip();
    void doublesRoundTrip_data();
    void doublesRoundTrip();
};

void WireCodingTest::integerForms_data()
{
    QTest::addColumn<QByteArray>("number");
    QTest::addColumn<bool>("decodes");
    QTest::addColumn<qint64>("expected");

    QTest::newRow("zero") << QByteArray("0") << true << qint64(0);
    QTest::newRow("negative") << QByteArray("-1") << true << qint64(-1);
    QTest::newRow("2^53 + 1") << QByteArray("9007199254740993") << true << qint64(9007199254740993LL);
    QTest::newRow("-(2^53 + 1)") << QByteArray("-9007199254740993") << true << qint64(-9007199254740993LL);
    QTest::newRow("max") << QByteArray("9223372036854775807") << true << std::numeric_limits<qint64>::max();
    QTest::newRow("min") << QByteArray("-9223372036854775808") << true << std::numeric_limits<qint64>::min();
    QTest::newRow("integral fraction") << QByteArray("12.0") << true << qint64(12);
    QTest::newRow("exponent") << QByteArray("1e3") << true << qint64(1000);
    QTest::newRow("fraction") << QByteArray("1.5") << false << qint64(0);
    QTest::newRow("max + 1") << QByteArray("9223372036854775808") << false << qint64(0);
    QTest::newRow("min - 1") << QByteArray("-9223372036854775809") << false << qint64(0);
    // Beyond 2^53 a number with fraction or exponent cannot be read exactly.
    QTest::newRow("2^53 + 1 with fraction") << QByteArray("9007199254740993.0") << false << qint64(0);
    QTest::newRow("huge") << QByteArray("1e300") << false << qint64(0);
    QTest::newRow("string") << QByteArray("\"5\"") << false << qint64(0);
    QTest::newRow("Boolean") << QByteArray("true") << false << qint64(0);
}

void WireCodingTest::integerForms()
{
    QFETCH(QByteArray, number);
    QFETCH(bool, decodes);
    QFETCH(qint64, expected);

    const QByteArray json = R"({"searched":true,"matched":)" + number + R"(,"elapsedMs":1})";
    if (!decodes) {
        // Qt's JSON parser stores every integral number that fits 64 bits as an integer,
        // so these two arrive already rounded and cannot be told apart from exact ones.
        QEXPECT_FAIL("min - 1", "rounded to the minimum by the JSON parser", Abort);
        QEXPECT_FAIL("2^53 + 1 with fraction", "rounded to 2^53 by the JSON parser", Abort);
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

void WireCodingTest::samplesRoundTripInFieldOrder_data()
{
    QTest::addColumn<QString>("record");
    for (const RecordKind &kind : recordKinds())
        QTest::newRow(qPrintable(kind.name)) << kind.name;
}

void WireCodingTest::samplesRoundTripInFieldOrder()
{
    QFETCH(QString, record);
    const RecordKind &kind = recordKind(record);
    QCOMPARE(kind.transcode(kind.sample), kind.sample);
}

// Every member of every record, removed, null or of another type.
void WireCodingTest::memberPresence_data()
{
    QTest::addColumn<QString>("record");
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("member");
    QTest::addColumn<bool>("decodes");

    for (const RecordKind &kind : recordKinds()) {
        const QJsonObject sample = object(kind.sample);
        for (const QString &member : sample.keys()) {
            const bool optional = kind.optional.contains(member);
            QJsonObject changed = sample;
            changed.remove(member);
            QTest::addRow("%s.%s missing", qPrintable(kind.name), qPrintable(member))
                << kind.name << compact(changed) << member << optional;
            changed[member] = QJsonValue::Null;
            QTest::addRow("%s.%s null", qPrintable(kind.name), qPrintable(member))
                << kind.name << compact(changed) << member << optional;
            changed[member] = otherType(sample.value(member));
            QTest::addRow("%s.%s wrong type", qPrintable(kind.name), qPrintable(member))
                << kind.name << compact(changed) << member << false;
        }
    }
}

void WireCodingTest::memberPresence()
{
    QFETCH(QString, record);
    QFETCH(QByteArray, json);
    QFETCH(QString, member);
    QFETCH(bool, decodes);
    const RecordKind &kind = recordKind(record);

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

void WireCodingTest::unknownMembersAreIgnored_data()
{
    QTest::addColumn<QString>("record");
    for (const RecordKind &kind : recordKinds())
        QTest::newRow(qPrintable(kind.name)) << kind.name;
}

void WireCodingTest::unknownMembersAreIgnored()
{
    QFETCH(QString, record);
    const RecordKind &kind = recordKind(record);
    QJsonObject extended = object(kind.sample);
    extended["futureMember"] = QJsonObject{{"nested", QJsonArray{1, "two", QJsonValue::Null}}};
    extended["Type"] = 5; // names are case-sensitive: not an alias of "type"
    extended["unused"] = QJsonValue::Null;
    QCOMPARE(kind.transcode(compact(extended)), kind.sample);
}

void WireCodingTest::nestedFailuresFailTheRecord_data()
{
    QTest::addColumn<QString>("record");
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("path");

    QByteArray answerWithoutCue = answerJson;
    answerWithoutCue.replace(R"("cue":"Max 4 g a day",)", "");
    QVERIFY(answerWithoutCue != answerJson);
    QByteArray answerWithBadFollowUp = answerJson;
    answerWithBadFollowUp.replace(followUpJson, R"({"question":"Why?"})");
    QByteArray answerWithBadRetrieval = answerJson;
    answerWithBadRetrieval.replace(retrievalJson, R"({"searched":true,"matched":3})");

    QTest::newRow("event.answer lacks cue")
        << "ServerEvent" << QByteArray(R"({"type":"answer","answer":)" + answerWithoutCue + "}") << "answer.cue";
    QTest::newRow("event.answers[1] lacks cue")
        << "ServerEvent" << QByteArray(R"({"type":"bank","answers":[)" + answerJson + "," + answerWithoutCue + "]}")
        << "answers[1].cue";
    QTest::newRow("event.answers[0] is null")
        << "ServerEvent" << QByteArray(R"({"type":"bank","answers":[null]})") << "answers[0]";
    QTest::newRow("event.answer follow-up lacks answer")
        << "ServerEvent" << QByteArray(R"({"type":"answer","answer":)" + answerWithBadFollowUp + "}")
        << "answer.followUps[0].answer";
    QTest::newRow("event.answer retrieval lacks elapsedMs")
        << "ServerEvent" << QByteArray(R"({"type":"answer","answer":)" + answerWithBadRetrieval + "}")
        << "answer.retrieval.elapsedMs";
    QTest::newRow("event.range answer lacks cue")
        << "ServerEvent"
        << QByteArray(R"({"type":"range","range":)" + QByteArray(rangeJson).replace(answerJson, answerWithoutCue) + "}")
        << "range.answers[0].cue";
    QTest::newRow("event.wallet lacks simulated")
        << "ServerEvent"
        << QByteArray(R"({"type":"wallet","wallet":{"balanceMicros":1,"reservedMicros":0,"spentMicros":0}})")
        << "wallet.simulated";
    QTest::newRow("event.transcript is a string")
        << "ServerEvent" << QByteArray(R"({"type":"transcript","transcript":"Hello"})") << "transcript";
    QTest::newRow("account.wallet lacks simulated")
        << "Account"
        << QByteArray(R"({"health":)" + healthJson +
                      R"(,"wallet":{"balanceMicros":1,"reservedMicros":0,"spentMicros":0}})")
        << "wallet.simulated";
    QTest::newRow("account.profile lacks email")
        << "Account"
        << QByteArray(R"({"health":)" + healthJson + R"(,"wallet":)" + walletJson +
                      R"(,"profile":{"deviceId":"d","expiresAt":1}})")
        << "profile.email";
    QTest::newRow("input.history element lacks endMs")
        << "SessionInput"
        << QByteArray(R"({"domain":"d","familiarity":"f","budgetMicros":1,"source":"s","history":[{"id":"t","text":"x","channel":"c","startMs":1}]})")
        << "history[0].endMs";
}

void WireCodingTest::nestedFailuresFailTheRecord()
{
    QFETCH(QString, record);
    QFETCH(QByteArray, json);
    QFETCH(QString, path);
    try {
        recordKind(record).transcode(json);
        QFAIL("decoded");
    } catch (const WireFormatError &failure) {
        QCOMPARE(normalisedPath(failure.path()), path);
        QVERIFY2(QString::fromUtf8(failure.what()).contains(failure.path()), failure.what());
    }
}

void WireCodingTest::malformedTextFails_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("not JSON") << QByteArray("type=bank");
    QTest::newRow("truncated") << QByteArray(R"({"type":"bank")");
    QTest::newRow("trailing garbage") << QByteArray(R"({"type":"bank"} x)");
    QTest::newRow("array") << QByteArray(R"([{"type":"bank"}])");
    QTest::newRow("null") << QByteArray("null");
    QTest::newRow("invalid UTF-8") << QByteArray("{\"type\":\"\xff\xfe\"}");
    QTest::newRow("deep nesting") << QByteArray(R"({"type":"x","extra":)") + QByteArray(100000, '[') +
                                         QByteArray(100000, ']') + "}";
}

void WireCodingTest::malformedTextFails()
{
    QFETCH(QByteArray, json);
    QVERIFY_THROWS_EXCEPTION(WireFormatError, wire::decode<ServerEvent>(json));
}

void WireCodingTest::preparedText_data()
{
    QTest::addColumn<QString>("style");
    QTest::addColumn<bool>("withForms");
    QTest::addColumn<std::optional<QString>>("expected");

    QTest::newRow("Deeper") << "Deeper" << true << std::optional<QString>("Deeper text");
    QTest::newRow("Simpler") << "Simpler" << true << std::optional<QString>("Simple");
    QTest::newRow("ELI5") << "ELI5" << true << std::optional<QString>("Five");
    QTest::newRow("Simpler absent") << "Simpler" << false << std::optional<QString>();
    QTest::newRow("ELI5 absent") << "ELI5" << false << std::optional<QString>();
    QTest::newRow("Deeper without forms") << "Deeper" << false << std::optional<QString>("Deeper text");
    QTest::newRow("deeper (lower case)") << "deeper" << true << std::optional<QString>("Cue text");
    QTest::newRow("empty") << "" << true << std::optional<QString>("Cue text");
    QTest::newRow("padded") << " Deeper" << true << std::optional<QString>("Cue text");
    QTest::newRow("unknown, forms absent") << "Other" << false << std::optional<QString>("Cue text");
}

void WireCodingTest::preparedText()
{
    QFETCH(QString, style);
    QFETCH(bool, withForms);
    QFETCH(std::optional<QString>, expected);
    PreparedAnswer answer = minimalAnswer();
    if (withForms) {
        answer.simpler = "Simple";
        answer.eli5 = "Five";
    }
    QCOMPARE(answer.preparedText(style), expected);
}

void WireCodingTest::isCurrent_data()
{
    QTest::addColumn<QString>("status");
    QTest::addColumn<bool>("provisional");
    QTest::addColumn<bool>("current");

    QTest::newRow("ready") << "ready" << false << true;
    QTest::newRow("ready, provisional") << "ready" << true << false;
    QTest::newRow("Ready") << "Ready" << false << false;
    QTest::newRow("preparing") << "preparing" << false << false;
}

void WireCodingTest::isCurrent()
{
    QFETCH(QString, status);
    QFETCH(bool, provisional);
    QFETCH(bool, current);
    PreparedAnswer answer = minimalAnswer();
    answer.status = status;
    answer.provisional = provisional;
    QCOMPARE(answer.isCurrent(), current);
}

void WireCodingTest::historySegmentFromTranscript_data()
{
    QTest::addColumn<QByteArray>("times");
    QTest::addColumn<double>("startMs");
    QTest::addColumn<double>("endMs");

    QTest::newRow("neither") << QByteArray() << 0.0 << 0.0;
    QTest::newRow("start only") << QByteArray(R"(,"startMs":1200)") << 1200.0 << 1200.0;
    QTest::newRow("end only") << QByteArray(R"(,"endMs":800)") << 0.0 << 800.0;
    QTest::newRow("both") << QByteArray(R"(,"startMs":1200,"endMs":2450.5)") << 1200.0 << 2450.5;
    QTest::newRow("last word is not the end") << QByteArray(R"(,"startMs":1200,"lastWordEndMs":2000)") << 1200.0 << 1200.0;
}

void WireCodingTest::historySegmentFromTranscript()
{
    QFETCH(QByteArray, times);
    QFETCH(double, startMs);
    QFETCH(double, endMs);
    const auto transcript =
        wire::decode<Transcript>(R"({"id":"t7","text":"Hello","channel":"them","final":false)" + times + "}");
    const HistorySegment segment(transcript);
    QCOMPARE(segment.id, QStringLiteral("t7"));
    QCOMPARE(segment.text, QStringLiteral("Hello"));
    QCOMPARE(segment.channel, QStringLiteral("them"));
    QCOMPARE(segment.startMs, startMs);
    QCOMPARE(segment.endMs, endMs);
    QCOMPARE(wire::decode<HistorySegment>(wire::encode(segment)), segment);
}

void WireCodingTest::stringsRoundTrip_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << QString();
    QTest::newRow("quotes and backslashes") << QStringLiteral("say \"hi\" \\ back\\slash");
    QTest::newRow("control characters") << QString::fromUtf16(u"tab\t nl\n cr\r bs\b ff\f nul\u0000 unit\u001f del\u007f");
    QTest::newRow("line separators") << QString::fromUtf16(u"a\u2028b\u2029c\u0085d");
    QTest::newRow("non-ASCII") << QString::fromUtf16(u"Résumé – 東京 👩‍👩‍👧 🇫🇷");
    QTest::newRow("slash") << QStringLiteral("</script>");
}

void WireCodingTest::stringsRoundTrip()
{
    QFETCH(QString, text);
    const PreparedFollowUp followUp{text, text};
    const QByteArray encoded = wire::encode(followUp);
    QVERIFY(QJsonDocument::fromJson(encoded).isObject());
    for (const char c : encoded)
        QVERIFY2(static_cast<unsigned char>(c) >= 0x20, "raw control character in JSON text");
    QCOMPARE(wire::decode<PreparedFollowUp>(encoded), followUp);
}

void WireCodingTest::doublesRoundTrip_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("integral") << 1200.0 << QByteArray("1200");
    QTest::newRow("fraction") << 0.1 << QByteArray("0.1");
    QTest::newRow("instant") << 1790000000.125 << QByteArray("1790000000.125");
    QTest::newRow("tiny") << 5e-324 << QByteArray();
    QTest::newRow("huge") << 1.7976931348623157e308 << QByteArray();
    // No JSON form: encoding refuses rather than writing "inf" or "nan".
    QTest::newRow("infinity") << std::numeric_limits<double>::infinity() << QByteArray("-");
    QTest::newRow("not a number") << std::nan("") << QByteArray("-");
}

void WireCodingTest::doublesRoundTrip()
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

QTEST_GUILESS_MAIN(WireCodingTest)
#include "tst_WireCoding.moc"

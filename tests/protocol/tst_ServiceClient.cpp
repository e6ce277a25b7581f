#include "protocol/ServiceClient.h"

#include "DevServiceProcess.h"
#include "RunTask.h"
#include "ServiceLog.h"
#include "TestWav.h"
#include "protocol/TessaroError.h"

#include <QJsonArray>
#include <QTest>

namespace {

struct Outcome {
    bool failed = false;
    bool service = false;
    int code = 0;
    QString text;
};

template<typename T>
Outcome outcomeOf(QCoro::Task<T> task)
{
    Outcome outcome;
    try {
        runTask(std::move(task));
    } catch (const TessaroError &error) {
        outcome = {true, error.kind() == TessaroError::Kind::Service, error.code(), error.description()};
    } catch (const std::exception &error) {
        outcome = {true, false, 0, QStringLiteral("other: ") + QString::fromUtf8(error.what())};
    }
    return outcome;
}

const QString genericText =
    QStringLiteral("The service could not complete this request. Check the connection and allowance.");

SessionInput input()
{
    SessionInput value;
    value.domain = QStringLiteral("Machine learning");
    value.budgetMicros = 1000000;
    value.source = QStringLiteral("sample");
    return value;
}

ServiceTiming quick()
{
    using namespace std::chrono_literals;
    ServiceTiming timing;
    timing.readyWait = 800ms;
    timing.commandTimeout = 400ms;
    timing.heartbeat = 60s;
    timing.replayFrame = 10ms;
    return timing;
}

} // namespace

class ServiceClientTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        m_service = std::make_unique<DevServiceProcess>(QStringList{QStringLiteral("--simulated")});
        QVERIFY2(m_service->started(), qPrintable(m_service->errorText()));
    }

    void init()
    {
        QVERIFY(m_service->reset());
    }

    void httpReplies_data()
    {
        QTest::addColumn<QJsonObject>("reply");
        QTest::addColumn<bool>("service");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("text");
        QTest::newRow("redirect not followed")
            << QJsonObject{{"status", 302}, {"location", "http://127.0.0.1:9/elsewhere"}, {"body", ""}} << true << 302 << genericText;
        QTest::newRow("empty message passes") << QJsonObject{{"status", 403}, {"body", "{\"message\":\"\"}"}} << true << 403 << "";
        QTest::newRow("non-JSON 500") << QJsonObject{{"status", 500}, {"body", "<html>oops</html>"}, {"contentType", "text/html"}}
                                      << true << 500 << genericText;
        QTest::newRow("1000 characters pass")
            << QJsonObject{{"status", 429}, {"body", "{\"message\":\"" + QString(1000, 'm') + "\"}"}} << true << 429 << QString(1000, 'm');
        QTest::newRow("1001 characters do not")
            << QJsonObject{{"status", 429}, {"body", "{\"message\":\"" + QString(1001, 'm') + "\"}"}} << true << 429 << genericText;
        QTest::newRow("600,000-byte success") << QJsonObject{{"status", 200}, {"bodySize", 600000}} << false << 0 << genericText;
    }

    void httpReplies()
    {
        QFETCH(QJsonObject, reply);
        QFETCH(bool, service);
        QFETCH(int, code);
        QFETCH(QString, text);
        reply.insert("method", "GET");
        reply.insert("path", "/v1/account");
        QVERIFY(m_service->setScenario(QJsonObject{{"http", reply}}));
        ServiceClient client(m_service->connection());
        const Outcome outcome = outcomeOf(client.account());
        QVERIFY(outcome.failed);
        QCOMPARE(outcome.service, service);
        QCOMPARE(outcome.code, code);
        QCOMPARE(outcome.text, text);
        // Nothing was followed: the one request made is the account request.
        QCOMPARE(m_service->log().value("requests").toArray().size(), 1);
    }

    void accountAndHeaders()
    {
        ServiceClient client(m_service->connection());
        const Account account = runTask(client.account());
        QCOMPARE(account.health.mode, QStringLiteral("demo"));
        QVERIFY(!account.profile);
        runTask(client.signOut());
        const QJsonArray requests = m_service->log().value("requests").toArray();
        QCOMPARE(requests.size(), 2);
        QVERIFY(requests[0].toObject().value("contentType").isNull());
        QCOMPARE(requests[1].toObject().value("contentType").toString(), QStringLiteral("application/json"));
        QCOMPARE(requests[1].toObject().value("authorization").toString(), "Bearer " + m_service->token());

        // The development token is gone after signing out.
        const Outcome after = outcomeOf(client.account());
        QCOMPARE(after.code, 401);
    }

    void localPreconditions()
    {
        ServiceClient client(m_service->connection());
        QCOMPARE(outcomeOf(client.revokeDevice("not-a-uuid")).text, QStringLiteral("Invalid device."));
        QCOMPARE(outcomeOf(client.snapshot("12345")).text, QStringLiteral("Invalid session."));
        QCOMPARE(outcomeOf(client.endSession("")).text, QStringLiteral("Invalid session."));
        QCOMPARE(outcomeOf(client.command("ping")).text, QStringLiteral("Start a session first."));
        QCOMPARE(outcomeOf(client.sendAudio(QByteArray(3200, 0), "system")).text,
                 QStringLiteral("The audio connection is not ready."));
        QVERIFY(m_service->log().value("requests").toArray().isEmpty());

        // An upper-case id is sent unchanged, to be deleted.
        const QString upper = QStringLiteral("0A1B2C3D-4E5F-6A7B-8C9D-0E1F2A3B4C5D");
        QCOMPARE(outcomeOf(client.revokeDevice(upper)).code, 404);
        const QJsonObject revoke = m_service->log().value("requests").toArray().last().toObject();
        QCOMPARE(revoke.value("path").toString(), "/v1/devices/" + upper);
        QCOMPARE(revoke.value("method").toString(), QStringLiteral("DELETE"));
    }

    void readyDeadline_data()
    {
        QTest::addColumn<int>("delay");
        QTest::addColumn<bool>("ready");
        QTest::newRow("just inside") << 500 << true;
        QTest::newRow("just outside") << 1200 << false;
    }

    void readyDeadline()
    {
        QFETCH(int, delay);
        QFETCH(bool, ready);
        QVERIFY(m_service->setScenario(QJsonObject{{"readyDelayMs", delay}}));
        ServiceClient client(m_service->connection(), quick());
        const Outcome outcome = outcomeOf(client.start(input()));
        if (ready) {
            QVERIFY2(!outcome.failed, qPrintable(outcome.text));
            QVERIFY(client.ready() && client.sessionID());
            QVERIFY(m_service->log().value("deletedSessions").toArray().isEmpty());
            runTask(client.stop());
        } else {
            QCOMPARE(outcome.text, QStringLiteral("The session connection did not become ready."));
            QVERIFY(!client.hasSocket());
        }
        // Either way the orderly stop sent "session.stop" and deleted the session.
        QVERIFY(!client.sessionID());
        const QJsonObject log = m_service->log();
        QCOMPARE(commandTypes(log), QStringList{"session.stop"});
        QCOMPARE(log.value("deletedSessions").toArray().size(), 1);
    }

    void acknowledgements()
    {
        QVERIFY(m_service->setScenario(
            QJsonObject{{"duplicateAcks", true}, {"ackError", QJsonObject{{"type", "range.start"}, {"error", "A range is already being prepared."}}}}));
        ServiceClient client(m_service->connection(), quick());
        QStringList acknowledged;
        client.onEvent = [&](const ServerEvent &event) {
            if (event.type == QLatin1String("command.ack"))
                acknowledged.append(event.id.value_or(QString()));
        };
        runTask(client.start(input()));
        QCOMPARE(outcomeOf(client.command("audio.start", QStringLiteral("system"))).failed, false);
        const Outcome range = outcomeOf(client.prepareRange(0, 60000, true));
        QVERIFY(range.failed);
        QVERIFY(!range.service);
        QCOMPARE(range.text, QStringLiteral("A range is already being prepared."));
        const Outcome unknown = outcomeOf(client.command("dance"));
        QCOMPARE(unknown.text, QStringLiteral("Unknown command."));
        QTRY_COMPARE(acknowledged.size(), 6);
        // Each command id was acknowledged twice; the second only reached onEvent.
        QCOMPARE(acknowledged[0], acknowledged[1]);
        const QJsonArray commands = m_service->log().value("commands").toArray();
        const QJsonObject rangeCommand = commands[1].toObject();
        QCOMPARE(rangeCommand.value("type").toString(), QStringLiteral("range.start"));
        QVERIFY(rangeCommand.value("fromMs").isDouble());
        QVERIFY(rangeCommand.value("follow").isBool());
        const QString id = rangeCommand.value("commandId").toString();
        QCOMPARE(id.size(), 36);
        QCOMPARE(id, id.toLower());
        runTask(client.stop());
    }

    void commandTimeout()
    {
        ServiceClient client(m_service->connection(), quick());
        runTask(client.start(input()));
        QVERIFY(m_service->setScenario(QJsonObject{{"withholdAcks", true}}));
        QCOMPARE(outcomeOf(client.command("feedback", std::nullopt, QStringLiteral("a"), QStringLiteral("known"))).text,
                 QStringLiteral("The session action timed out."));
        runTask(client.stop());
        QVERIFY(!client.sessionID());
    }

    void audioSizes_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<QString>("channel");
        QTest::addColumn<bool>("sent");
        QTest::newRow("32,000 bytes") << 32000 << "system" << true;
        QTest::newRow("two bytes, microphone") << 2 << "microphone" << true;
        QTest::newRow("32,002 bytes") << 32002 << "system" << false;
        QTest::newRow("3 bytes") << 3 << "system" << false;
        QTest::newRow("capitalised channel") << 3200 << "System" << false;
    }

    void audioSizes()
    {
        QFETCH(int, size);
        QFETCH(QString, channel);
        QFETCH(bool, sent);
        ServiceClient client(m_service->connection(), quick());
        runTask(client.start(input()));
        const Outcome outcome = outcomeOf(client.sendAudio(QByteArray(size, '\x02'), channel));
        QCOMPARE(outcome.failed, !sent);
        if (!sent)
            QCOMPARE(outcome.text, QStringLiteral("The audio connection is not ready."));
        // A ping behind the audio proves the service has read everything before it.
        runTask(client.command("ping"));
        const QJsonArray audio = m_service->log().value("audio").toArray();
        QCOMPARE(audio.size(), sent ? 1 : 0);
        if (sent) {
            QCOMPARE(audio[0].toObject().value("size").toInt(), size + 1);
            QCOMPARE(audio[0].toObject().value("tag").toInt(), channel == "microphone" ? 0 : 1);
        }
        runTask(client.stop());
    }

    void serverClose()
    {
        QVERIFY(m_service->setScenario(QJsonObject{{"closeAfterCommand", "feedback"}}));
        ServiceClient client(m_service->connection(), quick());
        int disconnects = 0;
        client.onDisconnect = [&] { ++disconnects; };
        runTask(client.start(input()));
        const Outcome pending = outcomeOf(client.command("feedback", std::nullopt, QStringLiteral("a"), QStringLiteral("dismiss")));
        QCOMPARE(pending.text, QStringLiteral("Session ended."));
        QTRY_COMPARE(disconnects, 1);
        QVERIFY(!client.sessionID());
        QVERIFY(!client.hasSocket());
        // A new session may start on the same client.
        QVERIFY(m_service->reset());
        runTask(client.start(input()));
        QVERIFY(client.ready());
        runTask(client.stop());
        QCOMPARE(disconnects, 1);
    }

    void undecodableEvents_data()
    {
        QTest::addColumn<QJsonObject>("scenario");
        QTest::addColumn<bool>("dropped");
        QTest::newRow("not an event") << QJsonObject{{"sendUndecodable", true}} << true;
        QTest::newRow("8 MiB + 1") << QJsonObject{{"sendOversize", ServiceClient::maximumEventBytes + 1}} << true;
        QTest::newRow("8 MiB") << QJsonObject{{"sendOversize", ServiceClient::maximumEventBytes}} << false;
    }

    void undecodableEvents()
    {
        QFETCH(QJsonObject, scenario);
        QFETCH(bool, dropped);
        QVERIFY(m_service->setScenario(scenario));
        ServiceClient client(m_service->connection(), quick());
        int disconnects = 0;
        QStringList events;
        client.onDisconnect = [&] { ++disconnects; };
        client.onEvent = [&](const ServerEvent &event) { events.append(event.type); };
        // "ready" arrives before the bad message, so the start itself may succeed.
        outcomeOf(client.start(input()));
        if (!dropped) {
            // The largest event allowed arrives whole and the channel stays.
            QTRY_VERIFY_WITH_TIMEOUT(events.contains("bank"), 5000);
            QCOMPARE(disconnects, 0);
            QVERIFY(client.hasSocket());
            runTask(client.stop());
            return;
        }
        QTRY_COMPARE_WITH_TIMEOUT(disconnects, 1, 5000);
        QVERIFY(!client.sessionID());
        QVERIFY(!client.hasSocket());
    }

    void replay_data()
    {
        QTest::addColumn<int>("frames");
        QTest::addColumn<int>("cancelAt"); // 0: never
        QTest::newRow("whole") << 5 << 0;
        QTest::newRow("cancelled after three frames") << 50 << 3;
    }

    void replay()
    {
        QFETCH(int, frames);
        QFETCH(int, cancelAt);
        ServiceClient client(m_service->connection(), quick());
        runTask(client.start(input()));
        const PCMRecording recording(wavOfFrames(frames));
        auto control = std::make_shared<ServiceClient::ReplayControl>();
        QList<double> progress;
        const auto onProgress = [&](double fraction) {
            progress.append(fraction);
            if (progress.size() == cancelAt)
                control->cancel();
        };
        QCOMPARE(outcomeOf(client.replay(recording, onProgress, control)).failed, cancelAt > 0);
        runTask(client.command("ping"));
        const QJsonObject log = m_service->log();
        if (cancelAt == 0) {
            QCOMPARE(progress, (QList<double>{0.2, 0.4, 0.6, 0.8, 1.0}));
            QCOMPARE(commandTypes(log), (QStringList{"audio.start", "audio.finish", "ping"}));
        } else {
            QCOMPARE(progress.size(), cancelAt);
            QCOMPARE(commandTypes(log), (QStringList{"audio.start", "ping"}));
        }
        QCOMPARE(log.value("audio").toArray().size(), progress.size());
        QCOMPARE(log.value("audio").toArray()[0].toObject().value("size").toInt(), 3201);
        runTask(client.stop());
    }

private:
    std::unique_ptr<DevServiceProcess> m_service;
};

QTEST_GUILESS_MAIN(ServiceClientTest)
#include "tst_ServiceClient.moc"

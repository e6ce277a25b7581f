#include "DevSession.h"

#include "DevService.h"
#include "PocketSphinxRecognizer.h"
#include "ScriptedRecognizer.h"
#include "protocol/WireCoding.h"

#include <QRegularExpression>
#include <QSet>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cmath>

namespace {

bool isString(const QJsonObject &object, const char *key)
{
    return object.value(QLatin1String(key)).isString();
}

} // namespace

DevSession::DevSession(DevService &service, QString sessionID, QWebSocket *socket, QObject *parent)
    : QObject(parent)
    , m_service(service)
    , m_sessionID(std::move(sessionID))
    , m_socket(socket)
{
    socket->setParent(this);
    m_stepTimer.setSingleShot(true);
    connect(&m_stepTimer, &QTimer::timeout, this, &DevSession::nextStep);
    connect(socket, &QWebSocket::textMessageReceived, this, &DevSession::command);
    connect(socket, &QWebSocket::binaryMessageReceived, this, &DevSession::audio);
    connect(socket, &QWebSocket::disconnected, this, [this] {
        haltWork();
        deleteLater();
    });
    if (const DevService::Session *held = m_service.session(m_sessionID); held && !m_service.simulated()) {
        // Ids of this session's segments and answers, apart from every other session's.
        const QString prefix = QStringLiteral("live-") + m_sessionID.left(8);
        const QList<KnowledgePassage> knowledge = held->input.knowledge.value_or(QList<KnowledgePassage>());
        const DevService::Options &options = m_service.options();
        RecognitionWorker::Factory recognizer;
        if (options.words == DevService::Options::Words::Script) {
            recognizer = [] { return std::make_unique<ScriptedRecognizer>(); };
        } else {
            const QString model = options.speechModel.isEmpty()
                ? QString::fromLatin1(PocketSphinxRecognizer::defaultModelFolder) : options.speechModel;
            // The words of the session's library, so its rarer terms can be heard too.
            QSet<QString> words;
            static const QRegularExpression nonLetters(QStringLiteral("[^\\p{L}']+"));
            for (const KnowledgePassage &passage : knowledge) {
                for (const QString &word : (passage.title + QLatin1Char(' ') + passage.text).split(nonLetters, Qt::SkipEmptyParts))
                    words.insert(word.toLower());
            }
            recognizer = [model, vocabulary = QStringList(words.cbegin(), words.cend())]() -> std::unique_ptr<SpeechRecognizer> {
                auto decoder = std::make_unique<PocketSphinxRecognizer>(model, vocabulary);
                if (!decoder->ready())
                    return nullptr;
                return decoder;
            };
        }
        std::unique_ptr<LibraryIndex> library;
        if (!options.scriptedAnswers && options.words != DevService::Options::Words::Script)
            library = std::make_unique<LibraryIndex>(knowledge);
        m_live = new LiveMode(liveHost(), LiveScript(prefix, knowledge), std::move(recognizer), std::move(library), prefix,
                              held->input.timeOffsetMs.value_or(0), this);
    }

    // The service ends a session at its planned length.
    if (DevService::Session *held = m_service.session(m_sessionID); held && held->snapshot.timeLimitSeconds) {
        const qint64 remainingMs = qint64(*held->snapshot.timeLimitSeconds * 1000
                                          - (DevService::nowSeconds() - held->snapshot.startedAt) * 1000);
        QTimer::singleShot(std::chrono::milliseconds(std::max<qint64>(0, remainingMs)), this, [this] {
            DevService::Session *held = m_service.session(m_sessionID);
            if (!held || held->snapshot.state != QLatin1String("active"))
                return;
            held->snapshot.state = QStringLiteral("stopped");
            held->snapshot.reason = QStringLiteral("The session reached its planned length.");
            haltWork();
            sendSnapshot(QStringLiteral("session"));
        });
    }

    const DevScenario &scenario = m_service.scenario();
    if (scenario.withholdReady)
        return;
    const bool undecodable = scenario.sendUndecodable;
    const qint64 oversize = scenario.oversizeBytes;
    QTimer::singleShot(std::max(0, scenario.readyDelayMs), this, [this, undecodable, oversize] {
        ServerEvent ready;
        ready.type = QStringLiteral("ready");
        send(ready);
        if (undecodable)
            sendRaw(QByteArrayLiteral("{\"kind\":\"not an event\"}"));
        if (oversize > 0) {
            // A well-formed event of exactly that many bytes.
            const QByteArray head = "{\"type\":\"bank\",\"message\":\"";
            const QByteArray tail = "\"}";
            sendRaw(head + QByteArray(oversize - head.size() - tail.size(), 'x') + tail);
        }
    });
}

DevSession::~DevSession() = default;

void DevSession::close(QWebSocketProtocol::CloseCode code)
{
    haltWork();
    if (m_socket && m_socket->state() == QAbstractSocket::ConnectedState)
        m_socket->close(code);
}

void DevSession::send(const ServerEvent &event)
{
    sendRaw(wire::encode(event));
}

void DevSession::sendRaw(const QByteArray &json)
{
    if (m_socket && m_socket->state() == QAbstractSocket::ConnectedState)
        m_socket->sendTextMessage(QString::fromUtf8(json));
}

void DevSession::sendSnapshot(const QString &type)
{
    DevService::Session *held = m_service.session(m_sessionID);
    if (!held)
        return;
    ServerEvent event;
    event.type = type;
    event.session = held->snapshot;
    send(event);
}

void DevSession::acknowledge(const QString &commandId, const QString &type, const std::optional<QString> &error)
{
    const DevScenario &scenario = m_service.scenario();
    if (scenario.withholdAcks)
        return;
    ServerEvent ack;
    ack.type = QStringLiteral("command.ack");
    ack.id = commandId;
    ack.error = error;
    if (!scenario.ackErrorType.isEmpty() && scenario.ackErrorType == type)
        ack.error = scenario.ackErrorText;
    send(ack);
    if (scenario.duplicateAcks)
        send(ack);
}

void DevSession::command(const QString &text)
{
    const QJsonDocument document = QJsonDocument::fromJson(text.toUtf8());
    const QJsonObject object = document.object();
    const QString type = object.value("type").toString();
    const QString commandId = object.value("commandId").toString();
    m_service.logCommand(m_sessionID, object);
    if (!document.isObject() || !isString(object, "type") || !isString(object, "commandId")) {
        ServerEvent error;
        error.type = QStringLiteral("error");
        error.message = QStringLiteral("Commands need a type and a commandId.");
        send(error);
        return;
    }
    if (m_service.scenario().closeAfterCommand == type) {
        close();
        return;
    }

    const auto channelValid = [&] {
        const QString channel = object.value("channel").toString();
        return channel == QLatin1String("system") || channel == QLatin1String("microphone");
    };
    std::optional<QString> error;
    if (type == QLatin1String("ping") || type == QLatin1String("range.cancel")) {
    } else if (type == QLatin1String("audio.start") || type == QLatin1String("audio.finish")) {
        if (!channelValid())
            error = QStringLiteral("Unknown audio channel.");
    } else if (type == QLatin1String("sample.start")) {
        if (!m_service.simulated())
            error = QStringLiteral("The sample runs only on a simulated service.");
    } else if (type == QLatin1String("feedback")) {
        const QString action = object.value("action").toString();
        if (!isString(object, "answerId") || (action != QLatin1String("known") && action != QLatin1String("dismiss")))
            error = QStringLiteral("Feedback needs an answerId and the action known or dismiss.");
    } else if (type == QLatin1String("assist.request")) {
        if (!isString(object, "question") || object.value("question").toString().trimmed().isEmpty())
            error = QStringLiteral("Ask a question first.");
    } else if (type == QLatin1String("range.start")) {
        if (!object.value("fromMs").isDouble() || !object.value("toMs").isDouble() || !object.value("follow").isBool())
            error = QStringLiteral("A range needs fromMs, toMs and follow.");
        else if (object.value("toMs").toDouble() - object.value("fromMs").toDouble() > 600'000)
            error = QStringLiteral("A range covers at most ten minutes.");
    } else if (type == QLatin1String("session.stop")) {
    } else {
        error = QStringLiteral("Unknown command.");
    }
    acknowledge(commandId, type, error);
    if (error)
        return;

    if (type == QLatin1String("sample.start")) {
        runScript();
    } else if (type == QLatin1String("feedback")) {
        feedback(object.value("answerId").toString());
    } else if (type == QLatin1String("assist.request")) {
        assist(object.value("question").toString());
    } else if (type == QLatin1String("range.start")) {
        prepareRange(object.value("fromMs").toDouble(), object.value("toMs").toDouble(), object.value("follow").toBool());
    } else if (type == QLatin1String("audio.finish")) {
        if (m_live)
            m_live->finish(object.value("channel").toString());
    } else if (type == QLatin1String("session.stop")) {
        if (DevService::Session *held = m_service.session(m_sessionID)) {
            held->snapshot.state = QStringLiteral("stopped");
            m_service.sessionStopped(m_sessionID);
        }
        haltWork();
        QTimer::singleShot(50, this, [this] { close(); });
    }
}

void DevSession::audio(const QByteArray &message)
{
    const int tag = message.isEmpty() ? -1 : int(quint8(message[0]));
    const qsizetype pcm = message.size() - 1;
    m_service.logAudio(m_sessionID, message.size(), tag);
    if ((tag != 0 && tag != 1) || pcm < 2 || pcm > 32'000 || pcm % 2 != 0) {
        ServerEvent error;
        error.type = QStringLiteral("error");
        error.message = QStringLiteral("Audio frames need a channel tag and 2 to 32,000 bytes of 16-bit PCM.");
        send(error);
        return;
    }
    const DevService::Session *held = m_service.session(m_sessionID);
    if (!m_live || !held || held->snapshot.state != QLatin1String("active"))
        return;
    m_live->audio(tag == 0 ? QStringLiteral("microphone") : QStringLiteral("system"), QByteArrayView(message).sliced(1));
}

void DevSession::haltWork()
{
    m_stepTimer.stop();
    if (m_live)
        m_live->halt();
}

LiveMode::Host DevSession::liveHost()
{
    LiveMode::Host host;
    host.spend = [this](qint64 micros) { return charge(micros); };
    host.send = [this](ServerEvent event) {
        if (event.transcript && event.transcript->final)
            m_heard.append(*event.transcript);
        if (const DevService::Session *held = m_service.session(m_sessionID))
            event.session = held->snapshot;
        send(event);
    };
    host.prepared = [this](const PreparedAnswer &answer) {
        takeBank({answer});
        sendBank();
    };
    return host;
}

void DevSession::runScript()
{
    DevService::Session *held = m_service.session(m_sessionID);
    if (!held)
        return;
    // A resumed conversation carries on at the conversation time its session starts at.
    m_round = 1;
    m_rounds = m_service.scenario().sampleRounds;
    m_timeScale = m_service.scenario().timeScale;
    m_script = DemoScript::conversation(held->input.knowledge.value_or(QList<KnowledgePassage>()), m_timeScale,
                                        held->input.timeOffsetMs.value_or(0));
    m_next = 0;
    m_scriptClock.start();
    nextStep();
}

// A sample of several rounds is made one round at a time, each once the previous one is over.
bool DevSession::nextRound()
{
    const DevService::Session *held = m_service.session(m_sessionID);
    if (!held || m_script.isEmpty() || m_round >= m_rounds)
        return false;
    const double startMs = m_script.last().atMs;
    m_script = DemoScript::round(held->input.knowledge.value_or(QList<KnowledgePassage>()), m_timeScale,
                                 held->input.timeOffsetMs.value_or(0), ++m_round, startMs);
    m_next = 0;
    return !m_script.isEmpty();
}

// Every step is due at its own time after "sample.start", so a late timer never delays
// the rest of the conversation.
void DevSession::nextStep()
{
    while ((m_next < m_script.size() || nextRound()) && !m_limited) {
        const double waitMs = m_script[m_next].atMs - double(m_scriptClock.nsecsElapsed()) / 1e6;
        if (waitMs > 0) {
            m_stepTimer.start(std::chrono::milliseconds(qint64(std::ceil(waitMs))));
            return;
        }
        if (!play(m_script[m_next++]))
            return;
    }
}

bool DevSession::play(DemoScript::Step step)
{
    DevService::Session *held = m_service.session(m_sessionID);
    if (!held)
        return false;
    if (!charge(m_service.freeSample() ? 0 : step.costMicros))
        return false;
    SessionSnapshot &snapshot = held->snapshot;
    snapshot.reservedMicros = m_next < m_script.size() || m_round < m_rounds ? 10'000 : 0;
    if (step.event.transcript && step.event.transcript->final)
        m_heard.append(*step.event.transcript);
    if (step.event.answers) {
        takeBank(*step.event.answers);
        step.event.answers = m_bank;
    }
    step.event.session = snapshot;
    send(step.event);
    return true;
}

bool DevSession::charge(qint64 micros)
{
    DevService::Session *held = m_service.session(m_sessionID);
    if (!held || m_limited)
        return false;
    SessionSnapshot &snapshot = held->snapshot;
    if (snapshot.spentMicros + micros > snapshot.budgetMicros) {
        // The limit is reached: what is left of the budget is used up, on the wallet too.
        m_service.spend(std::max<qint64>(0, snapshot.budgetMicros - snapshot.spentMicros));
        snapshot.spentMicros = std::max(snapshot.spentMicros, snapshot.budgetMicros);
        snapshot.reservedMicros = 0;
        snapshot.state = QStringLiteral("limited");
        snapshot.reason = QStringLiteral("The session limit was reached.");
        m_limited = true;
        m_stepTimer.stop();
        sendSnapshot(QStringLiteral("session"));
        return false;
    }
    snapshot.spentMicros += micros;
    m_service.spend(micros);
    return true;
}

void DevSession::takeBank(const QList<PreparedAnswer> &scripted)
{
    QList<PreparedAnswer> bank;
    bank.reserve(std::max(m_bank.size(), scripted.size()));
    const auto findIn = [](const QList<PreparedAnswer> &list, const QString &id) {
        return std::find_if(list.cbegin(), list.cend(), [&](const PreparedAnswer &answer) { return answer.id == id; });
    };
    for (const PreparedAnswer &held : std::as_const(m_bank)) {
        const auto update = findIn(scripted, held.id);
        bank.append(update != scripted.cend() ? *update : held);
    }
    for (const PreparedAnswer &answer : scripted) {
        if (findIn(bank, answer.id) == bank.cend())
            bank.append(answer);
    }
    for (PreparedAnswer &answer : bank)
        answer.hidden = answer.hidden || m_reactedTo.contains(answer.id);
    m_bank = bank;
}

void DevSession::sendBank()
{
    ServerEvent bank;
    bank.type = QStringLiteral("bank");
    bank.answers = m_bank;
    if (const DevService::Session *held = m_service.session(m_sessionID))
        bank.session = held->snapshot;
    send(bank);
}

void DevSession::feedback(const QString &answerId)
{
    if (const qint64 cost = m_service.scenario().feedbackCostMicros)
        charge(cost);
    m_reactedTo.insert(answerId);
    for (PreparedAnswer &answer : m_bank) {
        if (answer.id == answerId)
            answer.hidden = true;
    }
    sendBank();
}

void DevSession::assist(const QString &question)
{
    ServerEvent started;
    started.type = QStringLiteral("answer.started");
    send(started);
    const PreparedAnswer answer = DemoScript::assistAnswer(question.trimmed(), ++m_assists);
    QTimer::singleShot(150, this, [this, answer] {
        m_bank.append(answer);
        sendBank();
        ServerEvent quiet;
        quiet.type = QStringLiteral("quiet");
        send(quiet);
    });
}

void DevSession::prepareRange(double fromMs, double toMs, bool follow)
{
    RangeState range;
    range.id = DevService::newID();
    range.fromMs = fromMs;
    range.toMs = toMs;
    range.follow = follow;
    range.state = QStringLiteral("working");
    for (const Transcript &segment : std::as_const(m_heard)) {
        if (segment.final && segment.endMs.value_or(0) >= fromMs && segment.startMs.value_or(0) <= toMs)
            ++range.selectedSegments;
    }
    range.message = QStringLiteral("Reviewing the selected speech.");
    ServerEvent working;
    working.type = QStringLiteral("range");
    working.range = range;
    send(working);
    QTimer::singleShot(200, this, [this, range]() mutable {
        range.state = range.follow ? QStringLiteral("following") : QStringLiteral("complete");
        range.reviewedSegments = range.selectedSegments;
        range.reusedEntries = std::min<qint64>(qint64(m_bank.size()), range.selectedSegments);
        PreparedAnswer filled = DemoScript::assistAnswer(QStringLiteral("Terms in the selected range"), 1000 + m_assists++);
        filled.preparation = QStringLiteral("range");
        filled.occurrences = QList<SpeechOccurrence>{SpeechOccurrence{filled.id + "-at", range.fromMs, range.toMs}};
        range.answers = {filled};
        range.message = QStringLiteral("Selected speech reviewed.");
        ServerEvent done;
        done.type = QStringLiteral("range");
        done.range = range;
        send(done);
    });
}

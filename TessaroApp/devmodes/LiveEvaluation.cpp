#include "devmodes/LiveEvaluation.h"

#include "audio/PCMRecording.h"
#include "devmodes/DevModeConfiguration.h"
#include "devmodes/EvidenceFile.h"
#include "model/SessionModel.h"
#include "protocol/TaskHandle.h"
#include "protocol/TessaroError.h"
#include "protocol/WireCoding.h"

#include <QFile>
#include <QPointer>
#include <QtEndian>

#include <cmath>

namespace {

using Clock = std::chrono::steady_clock;

const QString refused = QStringLiteral("Explicit funded live evaluation required.");

QByteArray readClip(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw TessaroError::message(
            QStringLiteral("The recording \u201C%1\u201D couldn\u2019t be opened: %2.").arg(path, file.errorString()));
    // One byte more than a recording may have is enough for the recording to refuse it.
    return file.read(PCMRecording::maximumFileBytes + 1);
}

void appendLittleEndian(QByteArray &out, quint32 value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.append(char((value >> (8 * i)) & 0xff));
}

} // namespace

LiveEvaluation::LiveEvaluation(SessionModel &model, Environment environment)
    : m_model(model)
    , m_environment(std::move(environment))
{
}

LiveEvaluation::Config LiveEvaluation::readConfig(const QString &path)
{
    const DevModeConfiguration file(path, QStringLiteral("live evaluation"));
    Config config;
    config.output = file.requiredString(QStringLiteral("output"));
    config.clip = file.requiredString(QStringLiteral("clip"));
    // Whole micro-dollars only; JSON numbers beyond 2^53 are not exact, and no budget is near.
    const double micros = file.requiredNumber(QStringLiteral("budgetMicros"));
    if (std::trunc(micros) != micros || std::abs(micros) > 9e15)
        file.invalid(QStringLiteral("\u201CbudgetMicros\u201D must be a whole number"));
    config.budgetMicros = qint64(micros);
    return config;
}

QByteArray LiveEvaluation::fixture(const QByteArray &pcm)
{
    const quint32 dataBytes = quint32(silenceBytes + pcm.size() + trailingSilenceBytes);
    QByteArray wav;
    wav.reserve(44 + dataBytes);
    wav.append("RIFF");
    appendLittleEndian(wav, 36 + dataBytes, 4);
    wav.append("WAVEfmt ");
    appendLittleEndian(wav, 16, 4);        // chunk size
    appendLittleEndian(wav, 1, 2);         // integer PCM
    appendLittleEndian(wav, 1, 2);         // mono
    appendLittleEndian(wav, 16'000, 4);    // samples per second
    appendLittleEndian(wav, 32'000, 4);    // bytes per second
    appendLittleEndian(wav, 2, 2);         // block alignment
    appendLittleEndian(wav, 16, 2);        // bits per sample
    wav.append("data");
    appendLittleEndian(wav, dataBytes, 4);
    wav.append(QByteArray(silenceBytes, '\0'));
    wav.append(pcm);
    wav.append(QByteArray(trailingSilenceBytes, '\0'));
    return wav;
}

QString LiveEvaluation::budgetText(qint64 micros)
{
    const qint64 whole = micros / 1'000'000;
    QString fraction = QStringLiteral("%1").arg(micros % 1'000'000, 6, 10, QLatin1Char('0'));
    while (fraction.endsWith(QLatin1Char('0')))
        fraction.chop(1);
    return fraction.isEmpty() ? QString::number(whole) : QStringLiteral("%1.%2").arg(whole).arg(fraction);
}

QCoro::Task<void> LiveEvaluation::run(QString path)
{
    std::optional<QString> failure;
    try {
        co_await evaluate(path);
    } catch (const std::exception &error) {
        failure = describeFailure(error);
    }
    if (failure) {
        m_model.setError(*failure);
        if (m_environment.print)
            m_environment.print(QStringLiteral("Native live evaluation failed before completion: ") + *failure);
    }
    if (m_environment.quit)
        m_environment.quit();
}

QCoro::Task<void> LiveEvaluation::evaluate(const QString &path)
{
    const Config config = readConfig(path);
    const std::optional<Account> &account = m_model.account();
    if (!m_model.client() || !account || account->health.mode != QLatin1String("live")
        || config.budgetMicros < minimumBudgetMicros || config.budgetMicros > maximumBudgetMicros)
        throw TessaroError::message(refused);

    const PCMRecording recording(readClip(config.clip));
    if (recording.seconds() > maximumClipSeconds)
        throw TessaroError::message(QStringLiteral("Use a short public recording."));

    const QString fixturePath = config.output + QStringLiteral(".fixture.wav");
    {
        QFile file(fixturePath);
        const QByteArray wav = fixture(recording.pcm());
        m_fixturePath = fixturePath;
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(wav) != wav.size()) {
            const QString reason = file.errorString();
            cleanUp();
            throw TessaroError::message(
                QStringLiteral("The fixture \u201C%1\u201D couldn\u2019t be written: %2.").arg(fixturePath, reason));
        }
    }

    bool sessionStarted = false;
    std::exception_ptr failure;
    QJsonObject evidence;
    try {
        evidence = co_await drive(config, recording.seconds(), sessionStarted);
    } catch (...) {
        failure = std::current_exception();
    }
    if (failure) {
        if (sessionStarted)
            co_await m_model.stop();
        cleanUp();
        std::rethrow_exception(failure);
    }

    try {
        EvidenceFile::write(config.output, evidence, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    } catch (...) {
        cleanUp();
        throw;
    }
    if (m_environment.print)
        m_environment.print(QStringLiteral("Native system capture evaluation finished; evidence saved."));
    co_await TaskHandle::make()->sleep(m_environment.linger);
    cleanUp();
}

QCoro::Task<QJsonObject> LiveEvaluation::drive(const Config &config, double recordingSeconds, bool &sessionStarted)
{
    const auto now = [this] { return m_environment.epochMilliseconds(); };
    m_observer = std::make_unique<LiveEvaluationObserver>(now());
    LiveEvaluationObserver *observer = m_observer.get();
    m_model.setEvaluationObserver([observer, now](const ServerEvent &event) { observer->observe(event, now()); });

    const qint64 pid = m_environment.player->play(*m_fixturePath);
    const Clock::time_point launched = Clock::now();
    const quint32 process = co_await playerProcess(pid);

    m_model.setEvaluationProcesses(QList<quint32>{process});
    m_model.setSource(QStringLiteral("system"));
    m_model.setBudget(budgetText(config.budgetMicros));

    sessionStarted = true;
    co_await m_model.start(false, false);
    const auto pause = TaskHandle::make();
    while (!m_model.active()) {
        if (const std::optional<QString> &error = m_model.error())
            throw TessaroError::message(*error);
        if (Clock::now() - launched >= m_environment.readyLimit)
            throw TessaroError::message(QStringLiteral("Capture was not ready before the fixture."));
        co_await pause->sleep(m_environment.modelPoll);
    }

    while (m_environment.player->running())
        co_await pause->sleep(m_environment.modelPoll);
    co_await m_model.finishAudio();

    const Clock::time_point settleStart = Clock::now();
    while (!observer->settled(now()) && Clock::now() - settleStart < m_environment.settleLimit)
        co_await pause->sleep(m_environment.settlePoll);
    observer->finishWait();

    ControlResults controls;
    qint64 spendBefore = -1;
    qint64 spendAfter = -1;
    const std::optional<PreparedAnswer> target = observer->controlTarget();
    if (!observer->failure() && target) {
        spendBefore = co_await spentMicros();
        controls = co_await exerciseControls(target->id);
        spendAfter = co_await spentMicros();
    }

    co_await m_model.stop();
    qint64 remaining = -1;
    if (QPointer<ServiceClient> client = m_model.client()) {
        try {
            const Account account = co_await client->account();
            remaining = account.wallet.balanceMicros;
        } catch (const std::exception &) {
        }
    }

    const qint64 systemFrames = m_model.capturedFrames().value(QStringLiteral("system"));
    const bool success = !observer->failure() && controls.prepared && controls.known && controls.reveal
        && controls.dismiss && observer->deeperReadyAtEveryCue() && spendBefore == spendAfter && systemFrames > 0;
    QJsonObject frames;
    for (auto channel = m_model.capturedFrames().cbegin(); channel != m_model.capturedFrames().cend(); ++channel)
        frames.insert(channel.key(), channel.value());

    co_return QJsonObject{
        {QStringLiteral("mode"), QStringLiteral("native-live-system-capture-public-recording")},
        {QStringLiteral("sessionId"), observer->sessionID()},
        {QStringLiteral("sessionStartedAt"), observer->sessionStartedAt()},
        {QStringLiteral("success"), success},
        {QStringLiteral("failure"), observer->failure().value_or(QString())},
        {QStringLiteral("seconds"), recordingSeconds},
        {QStringLiteral("capturedFrames"), frames},
        {QStringLiteral("firstFrameAt"), m_model.firstFrameAt().value_or(0)},
        {QStringLiteral("knownControlWorked"), controls.known},
        {QStringLiteral("revealControlWorked"), controls.reveal},
        {QStringLiteral("dismissControlWorked"), controls.dismiss},
        {QStringLiteral("preparedControlsWorked"), controls.prepared},
        {QStringLiteral("deeperReadyAtEveryCue"), observer->deeperReadyAtEveryCue()},
        {QStringLiteral("controlSpendBeforeMicros"), spendBefore},
        {QStringLiteral("controlSpendAfterMicros"), spendAfter},
        {QStringLiteral("transcriptEvents"), observer->transcriptEvents()},
        {QStringLiteral("readiness"), observer->readiness()},
        {QStringLiteral("answers"), wire::toJsonValue(observer->answers())},
        {QStringLiteral("remainingMicros"), remaining}};
}

QCoro::Task<quint32> LiveEvaluation::playerProcess(qint64 pid)
{
    const auto pause = TaskHandle::make();
    const Clock::time_point deadline = Clock::now() + m_environment.playerWait;
    while (true) {
        AudioHardware::ObjectID process = 0;
        if (m_environment.hardware && m_environment.hardware->processObjectForPID(qint32(pid), process) == 0
            && process != 0)
            co_return process;
        if (Clock::now() >= deadline)
            throw TessaroError::message(QStringLiteral("Fixture player unavailable; refusing to capture other apps."));
        co_await pause->sleep(m_environment.playerPoll);
    }
}

QCoro::Task<qint64> LiveEvaluation::spentMicros()
{
    QPointer<ServiceClient> client = m_model.client();
    if (!client)
        throw TessaroError::message(QStringLiteral("The service connection ended during the evaluation."));
    const Account account = co_await client->account();
    co_return account.wallet.spentMicros;
}

bool LiveEvaluation::markedHidden(const QString &answerID) const
{
    for (const PreparedAnswer &answer : m_model.answers()) {
        if (answer.id == answerID)
            return answer.hidden || m_model.locallyHidden().contains(answerID);
    }
    return false;
}

QCoro::Task<LiveEvaluation::ControlResults> LiveEvaluation::exerciseControls(QString answerID)
{
    ControlResults results;
    const auto bringForward = [this, &answerID](const QString &detail) {
        m_model.setSelectedID(answerID);
        m_model.setDetail(detail);
        const std::optional<PreparedAnswer> selected = m_model.selected();
        return selected && selected->id == answerID ? selected : std::nullopt;
    };

    results.prepared = true;
    for (const QString &detail : {QStringLiteral("Cue"), QStringLiteral("Deeper"), QStringLiteral("Simpler"),
                                  QStringLiteral("ELI5")}) {
        const std::optional<PreparedAnswer> selected = bringForward(detail);
        results.prepared = results.prepared && selected && !selected->preparedText(detail).value_or(QString()).isEmpty();
        if (selected) {
            results.prepared = results.prepared && !selected->followUps.isEmpty()
                && std::all_of(selected->followUps.cbegin(), selected->followUps.cend(),
                               [](const PreparedFollowUp &followUp) { return !followUp.answer.isEmpty(); });
        }
    }

    co_await m_model.hideSelected(QStringLiteral("known"));
    results.known = markedHidden(answerID);

    m_model.setShowHidden(true);
    if (const std::optional<PreparedAnswer> selected = bringForward(QStringLiteral("Deeper"))) {
        const auto own = std::find_if(m_model.answers().cbegin(), m_model.answers().cend(),
                                      [&](const PreparedAnswer &answer) { return answer.id == answerID; });
        results.reveal = own != m_model.answers().cend() && selected->preparedText(QStringLiteral("Deeper")) == own->deeper;
    }

    co_await m_model.hideSelected(QStringLiteral("dismiss"));
    results.dismiss = markedHidden(answerID);
    bringForward(QStringLiteral("Deeper"));
    co_return results;
}

void LiveEvaluation::cleanUp()
{
    if (m_environment.player)
        m_environment.player->terminate();
    if (m_fixturePath)
        QFile::remove(*m_fixturePath);
    m_fixturePath.reset();
    m_model.setEvaluationObserver({});
    m_observer.reset();
}

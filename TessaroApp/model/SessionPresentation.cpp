#include "SessionPresentation.h"

#include "model/AnswerSources.h"
#include "model/QmlInstances.h"
#include "model/ModelChanges.h"
#include "model/Money.h"
#include "model/SessionModel.h"
#include "model/SessionSetup.h"

#include "conversation/AnswerWindow.h"
#include "text/UnicodeText.h"


namespace {

const QString ready = QStringLiteral("ready");
const QString stale = QStringLiteral("stale");
const QString sample = QStringLiteral("sample");
const QString partialPreparation = QStringLiteral("partial");
const QString interruptedPreparation = QStringLiteral("interrupted");
const QString completePreparation = QStringLiteral("complete");

bool present(const std::optional<QString> &text)
{
    return text && !text->isEmpty();
}

bool hasCitations(const PreparedAnswer &answer)
{
    return answer.citations && !answer.citations->isEmpty();
}

} // namespace

SessionPresentation::SessionPresentation(SessionModel &model, QObject *parent)
    : QObject(parent)
    , m_model(model)
    , m_transcriptRows({"key", "speaker", "time", "text", "live", "mine"})
    , m_answerRows({"key", "title", "cue", "category", "time", "ready", "quiet", "selected"})
    , m_sourceRows({"key", "name"})
    , m_followUpRows({"key", "question", "answer"})
    , m_citationRows({"key", "title", "location", "quote", "passage", "removed"})
{
    connect(&model, &SessionModel::transcriptChanged, this, &SessionPresentation::refreshTranscript);
    connect(&model, &SessionModel::audioSourcesChanged, this, &SessionPresentation::refreshSources);
    // The answer in front and the visible list change with these; in simple mode the
    // answer window also moves with the clock.
    const auto answerInputs = {&SessionModel::answersChanged, &SessionModel::memoryChanged,
                               &SessionModel::selectedIDChanged, &SessionModel::showHiddenChanged,
                               &SessionModel::simpleChanged, &SessionModel::privateKnowledgeChanged,
                               &SessionModel::windowModeChanged, &SessionModel::anchorChanged,
                               &SessionModel::lookbackChanged, &SessionModel::categoryChanged,
                               &SessionModel::rangeStateChanged, &SessionModel::detailChanged,
                               &SessionModel::domainChanged, &SessionModel::startingChanged};
    for (const auto signal : answerInputs)
        connect(&model, signal, this, [this] { refreshAnswers(); });
    connect(&model, &SessionModel::elapsedChanged, this, &SessionPresentation::followClock);

    using M = SessionModel;
    using P = SessionPresentation;
    ModelChanges::relay(model, {&M::activeChanged}, this, &P::selectionChanged);
    ModelChanges::relay(model,
                        {&M::snapshotChanged, &M::startingChanged, &M::reviewOnlyChanged, &M::rangeStateChanged,
                         &M::categoryChanged, &M::windowModeChanged, &M::anchorChanged, &M::lookbackChanged,
                         &M::transcriptChanged, &M::preparingChanged, &M::activeChanged, &M::answersChanged,
                         &M::memoryChanged, &M::updatingChanged, &M::busyChanged, &M::connectionChanged,
                         &M::accountChanged, &M::needsReconnectChanged, &M::domainChanged, &M::familiarityChanged,
                         &M::budgetChanged, &M::sourceChanged, &M::sourceAppChanged, &M::audioSourcesChanged,
                         &M::recordingNameChanged, &M::selectedIDChanged, &M::progressChanged,
                         &M::manualQuestionChanged, &M::errorChanged, &M::durationMinutesChanged},
                        this, &P::sessionChanged);
    ModelChanges::relay(model, {&M::memoryChanged, &M::budgetChanged, &M::accountChanged, &M::snapshotChanged}, this,
                        &P::usageChanged);
    ModelChanges::relay(model,
                        {&M::answersChanged, &M::privateKnowledgeChanged, &M::domainChanged, &M::startingChanged},
                        this, &P::shelfChanged);
    ModelChanges::relay(model,
                        {&M::rangeStateChanged, &M::memoryChanged, &M::windowModeChanged, &M::anchorChanged,
                         &M::lookbackChanged, &M::categoryChanged, &M::transcriptChanged},
                        this, &P::rangeChanged);
    ModelChanges::relay(model,
                        {&M::windowModeChanged, &M::anchorChanged, &M::lookbackChanged, &M::categoryChanged,
                         &M::busyChanged, &M::transcriptChanged, &M::connectionChanged, &M::rangeStateChanged,
                         &M::activeChanged, &M::accountChanged, &M::needsReconnectChanged, &M::domainChanged,
                         &M::familiarityChanged, &M::budgetChanged, &M::startingChanged},
                        this, &P::timeChanged);
    m_rangeMatched = model.rangeMatches();
    refresh();
}

void SessionPresentation::refresh()
{
    refreshTranscript();
    refreshSources();
    refreshAnswers();
}

void SessionPresentation::refreshTranscript()
{
    QList<QVariantMap> rows;
    const QList<Transcript> &transcript = m_model.transcript();
    rows.reserve(transcript.size());
    for (const Transcript &line : transcript) {
        rows.append({{QStringLiteral("key"), line.id},
                     {QStringLiteral("speaker"),
                      line.channel == QLatin1String("microphone") ? QStringLiteral("You") : QStringLiteral("Meeting")},
                     {QStringLiteral("time"), AnswerWindow::timestamp(line.startMs.value_or(0))},
                     {QStringLiteral("text"), line.text},
                     {QStringLiteral("live"), !line.final},
                     {QStringLiteral("mine"), line.channel == QLatin1String("microphone")}});
    }
    m_transcriptRows.setRows(std::move(rows));
}

void SessionPresentation::refreshSources()
{
    QList<QVariantMap> rows{{{QStringLiteral("key"), QStringLiteral("all")},
                             {QStringLiteral("name"), QStringLiteral("All computer audio")}}};
    for (const AudioSource &source : m_model.audioSources())
        rows.append({{QStringLiteral("key"), source.id}, {QStringLiteral("name"), source.name}});
    m_sourceRows.setRows(std::move(rows));
}

void SessionPresentation::followClock()
{
    emit timeChanged();
    // Whether the reviewed range still matches the window can change with the time alone.
    const bool matches = m_model.rangeMatches();
    if (matches != m_rangeMatched) {
        m_rangeMatched = matches;
        emit rangeChanged();
        emit sessionChanged();
    }
    if (m_model.simple())
        refreshAnswers(false);
}

void SessionPresentation::refreshAnswers(bool announce)
{
    const QList<PreparedAnswer> visible = m_model.visibleAnswers();
    std::optional<PreparedAnswer> selected = m_model.selectedAmong(visible);
    const bool selectionMoved = selected != m_selected;
    m_selected = std::move(selected);
    const QString selectedID = m_selected ? m_selected->id : QString();
    QList<QVariantMap> rows;
    rows.reserve(visible.size());
    for (const PreparedAnswer &answer : visible) {
        const double at = answer.occurrences && !answer.occurrences->isEmpty() ? answer.occurrences->first().startMs : 0;
        rows.append({{QStringLiteral("key"), answer.id},
                     {QStringLiteral("title"), answer.title},
                     {QStringLiteral("cue"), answer.cue},
                     {QStringLiteral("category"), answer.category.value_or(QString())},
                     {QStringLiteral("time"), AnswerWindow::timestamp(at)},
                     {QStringLiteral("ready"), answer.status == ready && !answer.deeper.isEmpty()},
                     {QStringLiteral("quiet"), m_model.isQuiet(answer)},
                     {QStringLiteral("selected"), answer.id == selectedID}});
    }
    m_answerRows.setRows(std::move(rows));
    if (!announce && !selectionMoved)
        return;
    refreshSelection();
    emit selectionChanged();
}

void SessionPresentation::refreshSelection()
{
    QList<QVariantMap> followUps;
    QList<QVariantMap> citations;
    if (m_selected) {
        for (qsizetype i = 0; i < m_selected->followUps.size(); ++i) {
            const PreparedFollowUp &followUp = m_selected->followUps[i];
            followUps.append({{QStringLiteral("key"), m_selected->id + QLatin1Char('#') + QString::number(i)},
                              {QStringLiteral("question"), followUp.question},
                              {QStringLiteral("answer"), followUp.answer}});
        }
        const QList<DocumentCitation> cited = m_selected->citations.value_or(QList<DocumentCitation>());
        for (qsizetype i = 0; i < cited.size(); ++i) {
            const std::optional<QString> passage = AnswerSources::citedPassage(m_model.privateKnowledge(), cited[i]);
            citations.append({{QStringLiteral("key"), m_selected->id + QLatin1Char('#') + QString::number(i)},
                              {QStringLiteral("title"), cited[i].title},
                              {QStringLiteral("location"), cited[i].location},
                              {QStringLiteral("quote"), cited[i].quote},
                              {QStringLiteral("passage"), passage.value_or(QString())},
                              {QStringLiteral("removed"), !passage.has_value()}});
        }
    }
    m_followUpRows.setRows(std::move(followUps));
    m_citationRows.setRows(std::move(citations));
}

QVariantList SessionPresentation::sourceChoices()
{
    const auto choice = [](const char *value, const char *label) {
        return QVariantMap{{QStringLiteral("value"), QString::fromLatin1(value)},
                           {QStringLiteral("label"), QString::fromUtf8(label)}};
    };
    return {choice("system", "Meeting audio"), choice("microphone", "Microphone"), choice("both", "Meeting + mic"),
            choice("recording", "Recording")};
}

// The selected answer.

QString SessionPresentation::selectedTitle() const
{
    return m_selected ? m_selected->title : QString();
}

QString SessionPresentation::selectedCue() const
{
    return m_selected ? m_selected->cue : QString();
}

QString SessionPresentation::selectedText() const
{
    if (!m_selected)
        return {};
    return m_selected->preparedText(m_model.detail()).value_or(QString());
}

QString SessionPresentation::selectedFormText() const
{
    // The cue is already the heading; only the other forms add text below it.
    if (m_model.detail() != QLatin1String("Deeper") && m_model.detail() != QLatin1String("Simpler")
        && m_model.detail() != QLatin1String("ELI5"))
        return {};
    return selectedText();
}

QStringList SessionPresentation::companionOtherForms() const
{
    QStringList forms = selectedForms();
    forms.removeAll(QStringLiteral("Cue"));
    forms.removeAll(QStringLiteral("Deeper"));
    return forms;
}

QStringList SessionPresentation::selectedForms() const
{
    if (!m_selected)
        return {};
    QStringList forms{QStringLiteral("Cue")};
    if (!m_selected->deeper.isEmpty())
        forms.append(QStringLiteral("Deeper"));
    if (present(m_selected->simpler))
        forms.append(QStringLiteral("Simpler"));
    if (present(m_selected->eli5))
        forms.append(QStringLiteral("ELI5"));
    return forms;
}

QStringList SessionPresentation::selectedBadges() const
{
    if (!m_selected)
        return {};
    QStringList badges;
    const bool cited = hasCitations(*m_selected);
    if (cited)
        badges.append(QStringLiteral("Document-supported"));
    if (m_selected->source == sample)
        badges.append(QStringLiteral("Simulated knowledge"));
    else if (!cited)
        badges.append(QStringLiteral("Model knowledge"));
    if (cited) {
        for (const DocumentCitation &citation : *m_selected->citations) {
            if (!AnswerSources::citedPassage(m_model.privateKnowledge(), citation)) {
                badges.append(QStringLiteral("Held only for this session"));
                break;
            }
        }
    }
    if (m_selected->status == stale)
        badges.append(QStringLiteral("Earlier context"));
    if (selectedQuiet())
        badges.append(QStringLiteral("Hidden"));
    return badges;
}

bool SessionPresentation::selectedQuiet() const
{
    return m_selected && m_model.isQuiet(*m_selected);
}

bool SessionPresentation::selectedReady() const
{
    return m_selected && m_selected->status == ready;
}

QString SessionPresentation::detailReadiness() const
{
    if (m_selected && m_selected->status == ready && !m_selected->cue.isEmpty() && !m_selected->deeper.isEmpty())
        return QStringLiteral("CUE + DEEPER READY");
    return {};
}

bool SessionPresentation::detailPreparing() const
{
    return m_selected && m_model.active() && m_selected->status == ready
        && m_selected->preparation == partialPreparation;
}

QString SessionPresentation::detailMissingForm() const
{
    if (m_selected && selectedText().isEmpty())
        return QStringLiteral("This explanation is still preparing.");
    return {};
}

QString SessionPresentation::detailInterrupted() const
{
    if (!m_selected)
        return {};
    const bool stopped = m_selected->preparation == partialPreparation
        && (m_selected->status == stale || !m_model.active());
    if (stopped || m_selected->preparation == interruptedPreparation)
        return QStringLiteral("Cue and Deeper are kept. Some additional forms were not completed.");
    return {};
}

QString SessionPresentation::detailFormsNote() const
{
    if (!m_selected || m_selected->status != ready || detailPreparing() || !detailInterrupted().isEmpty()
        || m_selected->preparation == completePreparation)
        return {};
    if (present(m_selected->simpler) || !m_selected->followUps.isEmpty())
        return {};
    return QStringLiteral("Simpler explanations and follow-ups prepare automatically.");
}

QStringList SessionPresentation::sourceNotes() const
{
    if (!m_selected)
        return {};
    QStringList notes;
    if (hasCitations(*m_selected))
        notes.append(QStringLiteral("Open Sources to inspect the supporting passages."));
    else if (m_selected->source != sample)
        notes.append(QStringLiteral("Generated from model knowledge. No document citation is attached."));
    if (m_selected->source == sample)
        notes.append(QStringLiteral("Scripted sample, not a provider answer."));
    return notes;
}

QString SessionPresentation::retrievalNote() const
{
    return m_selected ? AnswerSources::sourcesLine(*m_selected) : QString();
}

QString SessionPresentation::sourcesTitle() const
{
    return m_selected ? AnswerSources::sourcesTitle(*m_selected) : QString();
}

QString SessionPresentation::sourcesNote() const
{
    return m_selected ? AnswerSources::sourcesNote(*m_selected) : QString();
}

// The empty answer workspace: the first matching row wins; the message skips the row
// of a start in progress.

QString SessionPresentation::emptyAnswerTitle() const
{
    const std::optional<SessionSnapshot> &snapshot = m_model.snapshot();
    if (snapshot && snapshot->state == QLatin1String("limited"))
        return QStringLiteral("This session has ended.");
    if (m_model.starting())
        return QStringLiteral("Getting ready to listen.");
    if (m_model.reviewOnly()) {
        if (m_model.rangeReviewed())
            return m_model.category() == QLatin1String("date") ? QStringLiteral("No dates identified in the reviewed speech.")
                                                               : QStringLiteral("No entries identified in this category.");
        return QStringLiteral("Prepare this part of the conversation.");
    }
    if (m_model.preparing())
        return QStringLiteral("Preparing useful support.");
    if (m_model.active())
        return QStringLiteral("Following the conversation.");
    if (!m_model.answers().isEmpty() || !m_model.memory().answers().isEmpty())
        return QStringLiteral("More is available quietly.");
    return QStringLiteral("Answers, already in reach.");
}

QString SessionPresentation::emptyAnswerMessage() const
{
    const std::optional<SessionSnapshot> &snapshot = m_model.snapshot();
    if (snapshot && snapshot->state == QLatin1String("limited"))
        return QStringLiteral("Review usage below, or adjust your session setup before starting again.");
    if (m_model.reviewOnly()) {
        if (m_model.rangeReviewed())
            return QStringLiteral("Try another category or select another time range. The reviewed speech remains "
                                  "available in session memory.");
        return QStringLiteral("Select a time range and choose Prepare range to fill missing terms, topics and dates. "
                              "Explanations and category filters then open from session memory.");
    }
    if (m_model.preparing())
        return QStringLiteral("The cue will appear with its complete Deeper answer. There’s nothing you need to ask.");
    if (m_model.active())
        return QStringLiteral("Useful answers will surface as the conversation develops. Prepared support stays "
                              "available below.");
    if (!m_model.answers().isEmpty() || !m_model.memory().answers().isEmpty())
        return QStringLiteral("Reveal hidden and earlier answers from the prepared shelf below.");
    return QStringLiteral("Bring your domain knowledge into every conversation. Listen directly to meeting audio, "
                          "including through your headset.");
}

// Source bar, session bar and footer.

bool SessionPresentation::conversationExists() const
{
    return !m_model.memory().sessionIDs().isEmpty();
}

bool SessionPresentation::startable() const
{
    if (m_model.updating() || m_model.starting() || m_model.busy() || m_model.active() || !m_model.client()
        || !m_model.account() || m_model.needsReconnect() || m_model.startProblem())
        return false;
    return m_model.simulated() || m_model.source() != QLatin1String("recording") || m_model.recording().has_value();
}

bool SessionPresentation::canResume() const
{
    if (!startable() || !conversationExists())
        return false;
    if (!m_model.sessionDomain() || *m_model.sessionDomain() != m_model.domain())
        return false;
    return m_model.simulated() || m_model.source() != QLatin1String("recording");
}

bool SessionPresentation::setupComplete() const
{
    return m_model.client() && m_model.account() && !m_model.startProblem();
}

bool SessionPresentation::sessionExists() const
{
    return m_model.active() || m_model.starting();
}

bool SessionPresentation::connecting() const
{
    return m_model.starting();
}

QString SessionPresentation::primaryAction() const
{
    if (m_model.needsReconnect())
        return QStringLiteral("Reconnect");
    if (canResume())
        return QStringLiteral("Resume");
    if (m_model.simulated())
        return QStringLiteral("Start simulated sample");
    return QStringLiteral("Start listening");
}

bool SessionPresentation::primaryEnabled() const
{
    if (m_model.needsReconnect())
        return canReconnect();
    return startable();
}

bool SessionPresentation::canNewConversation() const
{
    return startable();
}

bool SessionPresentation::showNewConversation() const
{
    return conversationExists() && !m_model.active() && !m_model.needsReconnect();
}

QString SessionPresentation::remainingText() const
{
    qint64 remaining = 0;
    if (conversationExists()) {
        remaining = m_model.memory().remainingMicros();
    } else if (const std::optional<qint64> budget = SessionSetup::budgetMicros(m_model.budget())) {
        remaining = *budget;
        if (m_model.account())
            remaining = std::min(remaining, m_model.account()->wallet.balanceMicros);
    }
    return Money::dollars(std::max<qint64>(0, remaining)) + QStringLiteral(" remaining");
}

QString SessionPresentation::elapsedText() const
{
    return AnswerWindow::timestamp(m_model.elapsed());
}

QString SessionPresentation::preparedCountText() const
{
    qsizetype count = 0;
    for (const PreparedAnswer &answer : m_model.answers()) {
        if (!answer.provisional)
            ++count;
    }
    return QString::number(count) + QStringLiteral(" prepared");
}

QString SessionPresentation::conversationEmptyText() const
{
    return m_model.active() ? QStringLiteral("Listening for the conversation. Relevant context will appear here.")
                            : QStringLiteral("Meeting audio appears here when you start listening.");
}

bool SessionPresentation::following() const
{
    return m_model.active() && !m_model.reviewOnly() && !m_model.selectedID();
}

QString SessionPresentation::conversationIndicator() const
{
    if (following())
        return QStringLiteral("Following the conversation");
    if (!m_model.active() && !m_model.transcript().isEmpty())
        return QStringLiteral("Audio off");
    return {};
}

QString SessionPresentation::audioDescription() const
{
    return m_model.audioDescription();
}

QString SessionPresentation::listeningLabel() const
{
    return m_model.listeningLabel();
}

bool SessionPresentation::canChangeSource() const
{
    return !m_model.active() && !m_model.busy();
}

bool SessionPresentation::showWalkthroughLine() const
{
    return primaryAction() == QLatin1String("Start simulated sample");
}

// Prepared shelf.

int SessionPresentation::hiddenCount() const
{
    int count = 0;
    for (const PreparedAnswer &answer : m_model.answers()) {
        if (!answer.provisional && (answer.status != ready || m_model.isQuiet(answer)))
            ++count;
    }
    return count;
}

QString SessionPresentation::hiddenCountText() const
{
    return QString::number(hiddenCount()) + QStringLiteral(" hidden / earlier");
}

bool SessionPresentation::inRange() const
{
    return m_model.rangeState().has_value() && m_model.rangeMatches();
}

// Range panel.

QString SessionPresentation::coverageMessage() const
{
    return m_model.coverageMessage();
}

QString SessionPresentation::rangeStage() const
{
    if (!m_model.rangeWorking())
        return {};
    return m_model.rangeState()->state;
}

QString SessionPresentation::memoryNotice() const
{
    const double from = m_model.memory().availableFromMs();
    if (from <= 0)
        return {};
    return QStringLiteral("Speech available from ") + AnswerWindow::timestamp(from)
        + QStringLiteral(". Earlier speech has left session memory.");
}

QString SessionPresentation::tenMinuteNotice() const
{
    const AnswerWindow window = m_model.window();
    if (window.mode == QLatin1String("past"))
        return {};
    if (m_model.elapsed() >= window.startMs() + AnswerWindow::maximumSpanMs)
        return QStringLiteral("Ten-minute range reached. Use current time to select a new range.");
    return {};
}

QString SessionPresentation::lookbackText() const
{
    return QString::number(qRound64(m_model.lookback())) + QStringLiteral(" seconds");
}

QString SessionPresentation::anchorText() const
{
    return AnswerWindow::timestamp(m_model.anchor());
}

bool SessionPresentation::canPrepareRange() const
{
    if (m_model.busy() || m_model.transcript().isEmpty() || !m_model.client() || m_model.rangeWorking())
        return false;
    const AnswerWindow window = m_model.window();
    const double from = window.startMs();
    if (window.endMs(m_model.elapsed()) - from > AnswerWindow::maximumSpanMs)
        return false;
    if (!m_model.active()) {
        if (m_model.rangeMatches() && m_model.rangeState()->state == QLatin1String("complete"))
            return false;
        // Without a session the range is prepared in a review session that resumes.
        return m_model.account() && !m_model.needsReconnect() && !m_model.startProblem() && m_model.sessionDomain()
            && *m_model.sessionDomain() == m_model.domain();
    }
    return true;
}

// Usage view.

QString SessionPresentation::usageButtonLabel() const
{
    return m_model.simulated() ? QStringLiteral("Demo usage") : QStringLiteral("Usage");
}

QString SessionPresentation::usageAvailableLabel() const
{
    return m_model.simulated() ? QStringLiteral("Demo balance") : QStringLiteral("Available allowance");
}

QString SessionPresentation::usageAvailable() const
{
    return Money::dollars(m_model.account() ? m_model.account()->wallet.balanceMicros : 0);
}

QString SessionPresentation::usageUsed() const
{
    return Money::dollars(m_model.snapshot() ? m_model.snapshot()->spentMicros : 0);
}

QString SessionPresentation::usageReserved() const
{
    return Money::dollars(m_model.snapshot() ? m_model.snapshot()->reservedMicros : 0);
}

QString SessionPresentation::usageRemaining() const
{
    return Money::dollars(m_model.memory().remainingMicros());
}

QString SessionPresentation::usageNote() const
{
    return m_model.simulated()
        ? QStringLiteral("Scripted spending. No provider credits are used.")
        : QStringLiteral("Usage-based service estimates, including preparation and transcription. Not reconciled "
                         "provider invoices.");
}

bool SessionPresentation::usageEmpty() const
{
    const std::optional<SessionSnapshot> &snapshot = m_model.snapshot();
    const bool spent = snapshot && (snapshot->spentMicros != 0 || snapshot->reservedMicros != 0);
    return !spent && m_model.memory().committedMicros() == 0;
}

// Companion.

QString SessionPresentation::companionEyebrow() const
{
    if (!m_selected)
        return QStringLiteral("READY WHEN YOU ARE");
    if (m_selected->status == stale)
        return QStringLiteral("Earlier context · may need checking");
    if (m_model.detail() == QLatin1String("Simpler") || m_model.detail() == QLatin1String("ELI5"))
        return QStringLiteral("EXPLAINED SIMPLY");
    return QStringLiteral("FOLLOWING THE CONVERSATION");
}

QString SessionPresentation::companionEmptyLine() const
{
    const std::optional<SessionSnapshot> &snapshot = m_model.snapshot();
    if (snapshot && snapshot->state == QLatin1String("limited"))
        return QStringLiteral("Session limit reached · audio stopped");
    if (!m_model.client())
        return QStringLiteral("This build is not connected to the beta service yet.");
    if (m_model.active() || m_model.starting())
        return QStringLiteral("Useful support will appear here.");
    if (conversationExists())
        return QStringLiteral("Audio stopped. Your prepared answers remain available.");
    return QStringLiteral("Start listening in Corvana.");
}

QString SessionPresentation::companionReadiness() const
{
    if (!m_selected)
        return {};
    return m_selected->status == ready ? QStringLiteral("Cue + Deeper ready")
                                       : QStringLiteral("Preparing the cue and Deeper together.");
}

QString SessionPresentation::companionFooter() const
{
    return m_model.active() ? m_model.listeningLabel() : QStringLiteral("Audio off");
}

QString SessionPresentation::deeperToggleForm() const
{
    return m_model.detail() == QLatin1String("Deeper") ? QStringLiteral("Cue") : QStringLiteral("Deeper");
}

// Commands and the menu.

bool SessionPresentation::canStart() const
{
    return startable();
}

bool SessionPresentation::canStop() const
{
    return m_model.active() || m_model.starting();
}

bool SessionPresentation::canDeeper() const
{
    return m_selected && !m_selected->deeper.isEmpty();
}

bool SessionPresentation::canHide() const
{
    return m_selected.has_value();
}

bool SessionPresentation::canAsk() const
{
    return m_model.active() && m_model.client() && !UnicodeText::trimmed(m_model.manualQuestion()).isEmpty();
}

bool SessionPresentation::canReconnect() const
{
    return m_model.lastConnection().has_value() && !m_model.busy() && !m_model.active();
}

QString SessionPresentation::menuSessionAction() const
{
    return m_model.active() ? QStringLiteral("End session") : QStringLiteral("Start listening");
}

QString SessionPresentation::errorText() const
{
    return m_model.error().value_or(QString());
}

QString SessionPresentation::recoveryAction() const
{
    if (!m_model.error())
        return {};
    if (m_model.needsReconnect())
        return canReconnect() ? QStringLiteral("Reconnect") : QString();
    return canResume() ? QStringLiteral("Resume") : QString();
}

bool SessionPresentation::menuSessionEnabled() const
{
    return m_model.active() ? canStop() : canStart();
}

bool SessionPresentation::deeperSelected() const
{
    return m_model.detail() == QLatin1String("Deeper");
}

QVariantList SessionPresentation::selectedBadgeRows() const
{
    QVariantList rows;
    for (const QString &badge : selectedBadges()) {
        QString tone = QStringLiteral("neutral");
        if (badge == QLatin1String("Document-supported"))
            tone = QStringLiteral("accent");
        else if (badge == QLatin1String("Simulated knowledge"))
            tone = QStringLiteral("caution");
        rows.append(QVariantMap{{QStringLiteral("text"), badge}, {QStringLiteral("tone"), tone}});
    }
    return rows;
}

QVariantList SessionPresentation::selectedFormChoices() const
{
    QVariantList choices;
    for (const QString &form : selectedForms())
        choices.append(QVariantMap{{QStringLiteral("value"), form}, {QStringLiteral("label"), form}});
    return choices;
}

int SessionPresentation::durationIndex() const
{
    return int(m_model.durationChoicesValue().indexOf(m_model.durationMinutes()));
}

void SessionPresentation::runPrimaryAction()
{
    if (m_model.needsReconnect())
        m_model.requestReconnect();
    else
        m_model.requestStart(canResume(), false);
}

void SessionPresentation::runRecoveryAction()
{
    if (!m_model.error())
        return;
    if (m_model.needsReconnect()) {
        if (canReconnect())
            m_model.requestReconnect();
    } else if (canResume()) {
        m_model.requestStart(true, false);
    }
}

void SessionPresentation::toggleSession()
{
    if (m_model.active())
        m_model.requestStop();
    else
        m_model.requestStart(false, false);
}

SessionPresentation *SessionPresentation::create(QQmlEngine *engine, QJSEngine *)
{
    return QmlInstances::take<SessionPresentation>(engine);
}

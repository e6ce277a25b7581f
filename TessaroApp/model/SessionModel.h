#pragma once

#include "model/SessionModelSeams.h"

#include "access/AppConfiguration.h"
#include "access/DeviceCredential.h"
#include "audio/PCMRecording.h"
#include "conversation/AnswerWindow.h"
#include "protocol/ServerEvent.h"
#include "protocol/ServiceClient.h"
#include "protocol/ServiceTiming.h"
#include "access/SignInChallenge.h"
#include "audio/AudioSource.h"
#include "conversation/ConversationMemory.h"
#include "knowledge/KnowledgeWriter.h"
#include "knowledge/LearnedTopics.h"
#include "knowledge/PrivateKnowledge.h"
#include "knowledge/PrivateKnowledgeStore.h"
#include "platform/Platform.h"
#include "protocol/Account.h"
#include "protocol/AccountDevice.h"
#include "protocol/Connection.h"
#include "protocol/PreparedAnswer.h"
#include "protocol/RangeState.h"
#include "protocol/SessionSnapshot.h"
#include "protocol/Transcript.h"

#include <QCoro/QCoroTask>
#include <QList>
#include <QObject>
#include <QtQml/qqmlregistration.h>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <memory>
#include <optional>

class SignInClient;
class TaskHandle;

class QJSEngine;
class QQmlEngine;

// The one observable object of the application. It lives on the main thread from launch
// to exit; the screens bind to its properties and call its operations. A published
// property notifies only when an assignment changes its value.
class SessionModel : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(bool onboarding READ onboarding NOTIFY onboardingChanged)
    Q_PROPERTY(bool updating READ updating WRITE setUpdating NOTIFY updatingChanged)
    Q_PROPERTY(int onboardingStep READ onboardingStep WRITE setOnboardingStep NOTIFY onboardingStepChanged)
    Q_PROPERTY(QString signInEmail READ signInEmail WRITE setSignInEmail NOTIFY signInEmailChanged)
    Q_PROPERTY(QString signInCode READ signInCode WRITE setSignInCode NOTIFY signInCodeChanged)
    Q_PROPERTY(bool signingIn READ signingIn NOTIFY signingInChanged)
    Q_PROPERTY(QVariant signInMessage READ signInMessageValue NOTIFY signInMessageChanged)
    Q_PROPERTY(bool recoveringAccount READ recoveringAccount WRITE setRecoveringAccount NOTIFY recoveringAccountChanged)
    Q_PROPERTY(QVariant accountMessage READ accountMessageValue NOTIFY accountMessageChanged)
    Q_PROPERTY(QVariant signInURL READ signInURLValue NOTIFY signInURLChanged)
    Q_PROPERTY(QVariant selectedID READ selectedIDValue NOTIFY selectedIDChanged)
    Q_PROPERTY(QString detail READ detail WRITE setDetail NOTIFY detailChanged)
    Q_PROPERTY(QString status READ status NOTIFY statusChanged)
    Q_PROPERTY(QVariant error READ errorValue NOTIFY errorChanged)
    Q_PROPERTY(bool active READ active NOTIFY activeChanged)
    Q_PROPERTY(bool busy READ busy NOTIFY busyChanged)
    Q_PROPERTY(bool preparing READ preparing NOTIFY preparingChanged)
    Q_PROPERTY(QVariant recordingName READ recordingNameValue NOTIFY recordingNameChanged)
    Q_PROPERTY(double progress READ progress NOTIFY progressChanged)
    Q_PROPERTY(QString serviceURL READ serviceURL WRITE setServiceURL NOTIFY serviceURLChanged)
    Q_PROPERTY(QString domainName READ domainName WRITE setDomainName NOTIFY domainNameChanged)
    Q_PROPERTY(QString domain READ domain WRITE setDomain NOTIFY domainChanged)
    Q_PROPERTY(QString familiarity READ familiarity WRITE setFamiliarity NOTIFY familiarityChanged)
    Q_PROPERTY(QString budget READ budget WRITE setBudget NOTIFY budgetChanged)
    Q_PROPERTY(int durationMinutes READ durationMinutes WRITE setDurationMinutes NOTIFY durationMinutesChanged)
    Q_PROPERTY(QVariant recoveryMessage READ recoveryMessageValue NOTIFY recoveryMessageChanged)
    Q_PROPERTY(bool needsReconnect READ needsReconnect NOTIFY needsReconnectChanged)
    Q_PROPERTY(bool reviewOnly READ reviewOnly NOTIFY reviewOnlyChanged)
    Q_PROPERTY(QStringList gapSummary READ gapSummary NOTIFY gapSummaryChanged)
    Q_PROPERTY(QString source READ source WRITE setSource NOTIFY sourceChanged)
    Q_PROPERTY(QString sourceApp READ sourceApp WRITE setSourceApp NOTIFY sourceAppChanged)
    Q_PROPERTY(bool starting READ starting NOTIFY startingChanged)
    Q_PROPERTY(float audioLevel READ audioLevel NOTIFY audioLevelChanged)
    Q_PROPERTY(bool simple READ simple WRITE setSimple NOTIFY simpleChanged)
    Q_PROPERTY(QString windowMode READ windowMode WRITE setWindowMode NOTIFY windowModeChanged)
    Q_PROPERTY(QString category READ category WRITE setCategory NOTIFY categoryChanged)
    Q_PROPERTY(double lookback READ lookback WRITE setLookback NOTIFY lookbackChanged)
    Q_PROPERTY(double anchor READ anchor WRITE setAnchor NOTIFY anchorChanged)
    Q_PROPERTY(double clock READ clock NOTIFY clockChanged)
    Q_PROPERTY(bool showHidden READ showHidden WRITE setShowHidden NOTIFY showHiddenChanged)
    Q_PROPERTY(QString manualQuestion READ manualQuestion WRITE setManualQuestion NOTIFY manualQuestionChanged)
    Q_PROPERTY(bool importingDocument READ importingDocument NOTIFY importingDocumentChanged)
    Q_PROPERTY(QVariant knowledgeMessage READ knowledgeMessageValue NOTIFY knowledgeMessageChanged)
    Q_PROPERTY(bool simulated READ simulated NOTIFY accountChanged)
    Q_PROPERTY(int maximumMinutes READ maximumMinutes NOTIFY accountChanged)
    Q_PROPERTY(double elapsed READ elapsed NOTIFY elapsedChanged)
    Q_PROPERTY(QVariantList durationChoices READ durationChoicesValue NOTIFY accountChanged)

public:
    // The screens' instance: the one the application handed to their engine.
    static SessionModel *create(QQmlEngine *engine, QJSEngine *);

    // Never fails and never waits: it only sets every property to its initial value,
    // reads the build configuration and prepares the owned parts.
    explicit SessionModel(Platform platform, SessionModelSeams seams = {}, QObject *parent = nullptr);
    ~SessionModel() override;

    // Start-up, once per process; a second call returns at once. Never throws.
    QCoro::Task<void> load();
    // The main window's one call: starts load() and lets it run on.
    Q_INVOKABLE void beginLoad();
    // Called when the application is about to quit.
    Q_INVOKABLE void terminate();

    // Writes the five setup values to the preferences (not during a live evaluation).
    Q_INVOKABLE void savePreferences();
    // The setup screen's save: validates, stores the trimmed name and domain and the
    // other values as typed, and saves. Returns the message to show and whether it failed.
    struct SetupResult {
        QString message;
        bool failed = false;
    };
    SetupResult saveSetup(const QString &name, const QString &domain, const QString &familiarity,
                          const QString &budget);
    Q_INVOKABLE QVariantMap saveSetupValue(const QString &name, const QString &domain,
                                           const QString &familiarity, const QString &budget);
    // The message a session start refuses with, or none when the setup values are usable.
    std::optional<QString> startProblem() const;

    // Runs when the system is about to sleep: a running session pauses and its service
    // session is stopped.
    void handleSleep();

    // Account and sign-in.
    using QObject::connect;
    // Connects to a service with a connection, replacing the current client. Throws.
    QCoro::Task<void> connect(Connection connection, bool persist);
    // Starts the development service on this computer (the scripted sample when
    // simulated), connects to it without storing its token, and remembers the choice so
    // the next launch starts it again. Throws the service's message when it cannot start.
    QCoro::Task<void> connectLocalService(bool simulated);
    // Onboarding's way to it: busy as a sign-in is, its failure in the sign-in message.
    Q_INVOKABLE void requestLocalService(bool simulated);
    QCoro::Task<void> requestSignIn();
    QCoro::Task<void> completeSignIn();
    QCoro::Task<void> refreshDevices();
    QCoro::Task<void> removeDevice(AccountDevice device);
    QCoro::Task<void> signOut();
    void requireSignInIfExpired(const std::exception &failure);
    Q_INVOKABLE void finishOnboarding();

    // Sessions.
    QCoro::Task<void> start(bool resuming, bool reviewing);
    QCoro::Task<void> stop();
    // Tells the service the audio of the current channels is complete. Throws.
    QCoro::Task<void> finishAudio();
    // Applies one event of the session channel.
    void receive(const ServerEvent &event);
    // Stops capture and every session task, keeping the conversation.
    void pauseCapture(const QString &message);
    QCoro::Task<void> reconnect();

    // Entry points of the screens: each starts the operation and lets it run on; its
    // failures land in the message properties as everywhere else.
    Q_INVOKABLE void requestStart(bool resuming, bool reviewing);
    Q_INVOKABLE void requestStop();
    Q_INVOKABLE void requestReconnect();
    Q_INVOKABLE void requestHide(const QString &action);
    Q_INVOKABLE void requestAsk();
    Q_INVOKABLE void requestRange();
    // Brings an answer to the front; an empty id returns to following new answers.
    Q_INVOKABLE void selectAnswer(const QString &id);
    // Stops holding a chosen answer so the newest suitable one comes forward.
    Q_INVOKABLE void followConversation();

    // Presentation and feedback.
    QList<PreparedAnswer> visibleAnswers() const;
    std::optional<PreparedAnswer> selected() const;
    // The answer in front among answers already known to be the visible ones.
    std::optional<PreparedAnswer> selectedAmong(const QList<PreparedAnswer> &visible) const;
    bool isQuiet(const PreparedAnswer &answer) const;
    // The learned preferences of the learning domain, folded once per change of the library.
    const LearnedTopics &learnedTopics() const;
    Q_INVOKABLE void selectDetail(const QString &form);
    QCoro::Task<void> hideSelected(QString action);
    QCoro::Task<void> ask();

    // Past ranges.
    AnswerWindow window() const;
    Q_INVOKABLE void selectWindow();
    QCoro::Task<void> prepareRange();
    Q_INVOKABLE void cancelRange();
    bool rangeWorking() const;
    bool rangeMatches() const;
    bool rangeReviewed() const;
    QString coverageMessage() const;

    // Audio sources and recordings.
    // Lists the applications whose audio can be captured among those the user runs.
    Q_INVOKABLE void refreshSources();
    Q_INVOKABLE void chooseRecording();
    void useRecordingFile(const QString &path);
    const std::optional<PCMRecording> &recording() const { return m_recording; }
    QString audioDescription() const;
    QString listeningLabel() const;
    const QHash<QString, qint64> &capturedFrames() const { return m_capturedFrames; }
    const std::optional<double> &firstFrameAt() const { return m_firstFrameAt; }
    void setEvaluationProcesses(std::optional<QList<quint32>> processes) { m_evaluationProcesses = std::move(processes); }
    void setEvaluationObserver(std::function<void(const ServerEvent &)> observer)
    {
        m_evaluationObserver = std::move(observer);
    }

    // Applies a change to the library at once and saves it in the background.
    void updateKnowledge(const std::function<void(PrivateKnowledge &)> &change);
    // Returns once every library write queued before has finished.
    void waitForKnowledgeWrites();
    // Lets the user choose reference documents and imports them for the saved domain.
    Q_INVOKABLE void importDocuments();
    // Imports the files (in this order) for the saved domain.
    QCoro::Task<void> importFiles(QStringList paths);
    // The documents and learned preferences of the saved domain, in library order.
    QList<KnowledgeDocument> domainDocuments() const;
    QList<LearnedPreference> learnedPreferences() const;

    ServiceClient *client() const { return m_client.data(); }
    const std::optional<double> &pauseStartedMs() const { return m_pauseStartedMs; }
    const std::optional<QString> &sessionDomain() const { return m_sessionDomain; }
    const QSet<QString> &locallyHidden() const { return m_locallyHidden; }
    bool starting() const { return m_starting; }
    void setStarting(bool value) { if (assign(m_starting, value)) { emit startingChanged(); } }
    // Timing of the service clients this model makes; tests shorten it.
    void setServiceTiming(const ServiceTiming &timing) { m_serviceTiming = timing; }

    // Derived values.
    bool simulated() const;
    int maximumMinutes() const;
    double elapsed() const;
    QList<int> durationChoices() const;
    QVariantList durationChoicesValue() const;

    const AppConfiguration &configuration() const { return m_configuration; }
    const Platform &platform() const { return m_platform; }
    bool loaded() const { return m_loaded; }
    const std::optional<double> &conversationStartedAt() const { return m_conversationStartedAt; }
    void setConversationStartedAt(std::optional<double> value)
    {
        if (assign(m_conversationStartedAt, value))
            emit elapsedChanged();
    }
    const std::optional<Connection> &lastConnection() const { return m_lastConnection; }
    bool hasSleepObserver() const { return m_sleepObserver.has_value(); }
    bool liveEvaluationRequested() const;
    // The library was opened at start-up; without it the knowledge operations refuse.
    bool knowledgeOpen() const { return m_knowledgeOpen; }

    bool onboarding() const { return m_onboarding; }
    void setOnboarding(bool value) { if (assign(m_onboarding, value)) { emit onboardingChanged(); } }
    bool updating() const { return m_updating; }
    void setUpdating(bool value) { if (assign(m_updating, value)) { emit updatingChanged(); } }
    int onboardingStep() const { return m_onboardingStep; }
    void setOnboardingStep(int value) { if (assign(m_onboardingStep, value)) { emit onboardingStepChanged(); } }
    const QString &signInEmail() const { return m_signInEmail; }
    void setSignInEmail(const QString &value) { if (assign(m_signInEmail, value)) { emit signInEmailChanged(); } }
    const QString &signInCode() const { return m_signInCode; }
    void setSignInCode(const QString &value) { if (assign(m_signInCode, value)) { emit signInCodeChanged(); } }
    const std::optional<SignInChallenge> &signInChallenge() const { return m_signInChallenge; }
    void setSignInChallenge(const std::optional<SignInChallenge> &value) { if (assign(m_signInChallenge, value)) { emit signInChallengeChanged(); } }
    bool signingIn() const { return m_signingIn; }
    void setSigningIn(bool value) { if (assign(m_signingIn, value)) { emit signingInChanged(); } }
    const std::optional<QString> &signInMessage() const { return m_signInMessage; }
    void setSignInMessage(const std::optional<QString> &value) { if (assign(m_signInMessage, value)) { emit signInMessageChanged(); } }
    bool recoveringAccount() const { return m_recoveringAccount; }
    void setRecoveringAccount(bool value) { if (assign(m_recoveringAccount, value)) { emit recoveringAccountChanged(); } }
    const QList<AccountDevice> &devices() const { return m_devices; }
    void setDevices(const QList<AccountDevice> &value) { if (assign(m_devices, value)) { emit devicesChanged(); } }
    const std::optional<QString> &accountMessage() const { return m_accountMessage; }
    void setAccountMessage(const std::optional<QString> &value) { if (assign(m_accountMessage, value)) { emit accountMessageChanged(); } }
    const std::optional<QString> &signInURL() const { return m_signInURL; }
    void setSignInURL(const std::optional<QString> &value) { if (assign(m_signInURL, value)) { emit signInURLChanged(); } }
    const std::optional<Account> &account() const { return m_account; }
    void setAccount(const std::optional<Account> &value) { if (assign(m_account, value)) { emit accountChanged(); } }
    const std::optional<SessionSnapshot> &snapshot() const { return m_snapshot; }
    void setSnapshot(const std::optional<SessionSnapshot> &value) { if (assign(m_snapshot, value)) { emit snapshotChanged(); emit elapsedChanged(); } }
    const QList<PreparedAnswer> &answers() const { return m_answers; }
    void setAnswers(const QList<PreparedAnswer> &value) { if (assign(m_answers, value)) { emit answersChanged(); } }
    const QList<Transcript> &transcript() const { return m_transcript; }
    void setTranscript(const QList<Transcript> &value) { if (assign(m_transcript, value)) { emit transcriptChanged(); } }
    const std::optional<QString> &selectedID() const { return m_selectedID; }
    void setSelectedID(const std::optional<QString> &value) { if (assign(m_selectedID, value)) { emit selectedIDChanged(); } }
    const QString &detail() const { return m_detail; }
    void setDetail(const QString &value) { if (assign(m_detail, value)) { emit detailChanged(); } }
    const QString &status() const { return m_status; }
    void setStatus(const QString &value) { if (assign(m_status, value)) { emit statusChanged(); } }
    const std::optional<QString> &error() const { return m_error; }
    void setError(const std::optional<QString> &value) { if (assign(m_error, value)) { emit errorChanged(); } }
    bool active() const { return m_active; }
    void setActive(bool value) { if (assign(m_active, value)) { emit activeChanged(); } }
    bool busy() const { return m_busy; }
    void setBusy(bool value) { if (assign(m_busy, value)) { emit busyChanged(); } }
    bool preparing() const { return m_preparing; }
    void setPreparing(bool value) { if (assign(m_preparing, value)) { emit preparingChanged(); } }
    const std::optional<QString> &recordingName() const { return m_recordingName; }
    void setRecordingName(const std::optional<QString> &value) { if (assign(m_recordingName, value)) { emit recordingNameChanged(); } }
    double progress() const { return m_progress; }
    void setProgress(double value) { if (assign(m_progress, value)) { emit progressChanged(); } }
    const QString &serviceURL() const { return m_serviceURL; }
    void setServiceURL(const QString &value) { if (assign(m_serviceURL, value)) { emit serviceURLChanged(); } }
    const QString &domainName() const { return m_domainName; }
    void setDomainName(const QString &value) { if (assign(m_domainName, value)) { emit domainNameChanged(); } }
    const QString &domain() const { return m_domain; }
    void setDomain(const QString &value) { if (assign(m_domain, value)) { emit domainChanged(); } }
    const QString &familiarity() const { return m_familiarity; }
    void setFamiliarity(const QString &value) { if (assign(m_familiarity, value)) { emit familiarityChanged(); } }
    const QString &budget() const { return m_budget; }
    void setBudget(const QString &value) { if (assign(m_budget, value)) { emit budgetChanged(); } }
    int durationMinutes() const { return m_durationMinutes; }
    void setDurationMinutes(int value) { if (assign(m_durationMinutes, value)) { emit durationMinutesChanged(); } }
    const ConversationMemory &memory() const { return m_memory; }
    void setMemory(const ConversationMemory &value) { if (assign(m_memory, value)) { emit memoryChanged(); } }
    const std::optional<RangeState> &rangeState() const { return m_rangeState; }
    void setRangeState(const std::optional<RangeState> &value) { if (assign(m_rangeState, value)) { emit rangeStateChanged(); } }
    const std::optional<QString> &recoveryMessage() const { return m_recoveryMessage; }
    void setRecoveryMessage(const std::optional<QString> &value) { if (assign(m_recoveryMessage, value)) { emit recoveryMessageChanged(); } }
    bool needsReconnect() const { return m_needsReconnect; }
    void setNeedsReconnect(bool value) { if (assign(m_needsReconnect, value)) { emit needsReconnectChanged(); } }
    bool reviewOnly() const { return m_reviewOnly; }
    void setReviewOnly(bool value) { if (assign(m_reviewOnly, value)) { emit reviewOnlyChanged(); } }
    const QStringList &gapSummary() const { return m_gapSummary; }
    void setGapSummary(const QStringList &value) { if (assign(m_gapSummary, value)) { emit gapSummaryChanged(); } }
    const QString &source() const { return m_source; }
    void setSource(const QString &value) { if (assign(m_source, value)) { emit sourceChanged(); } }
    const QString &sourceApp() const { return m_sourceApp; }
    void setSourceApp(const QString &value) { if (assign(m_sourceApp, value)) { emit sourceAppChanged(); } }
    const QList<AudioSource> &audioSources() const { return m_audioSources; }
    void setAudioSources(const QList<AudioSource> &value) { if (assign(m_audioSources, value)) { emit audioSourcesChanged(); } }
    float audioLevel() const { return m_audioLevel; }
    void setAudioLevel(float value) { if (assign(m_audioLevel, value)) { emit audioLevelChanged(); } }
    bool simple() const { return m_simple; }
    void setSimple(bool value) { if (assign(m_simple, value)) { emit simpleChanged(); } }
    const QString &windowMode() const { return m_windowMode; }
    void setWindowMode(const QString &value) { if (assign(m_windowMode, value)) { emit windowModeChanged(); } }
    const QString &category() const { return m_category; }
    void setCategory(const QString &value) { if (assign(m_category, value)) { emit categoryChanged(); } }
    double lookback() const { return m_lookback; }
    void setLookback(double value) { if (assign(m_lookback, value)) { emit lookbackChanged(); } }
    double anchor() const { return m_anchor; }
    void setAnchor(double value) { if (assign(m_anchor, value)) { emit anchorChanged(); } }
    double clock() const { return m_clock; }
    void setClock(double value) { if (assign(m_clock, value)) { emit clockChanged(); emit elapsedChanged(); } }
    bool showHidden() const { return m_showHidden; }
    void setShowHidden(bool value) { if (assign(m_showHidden, value)) { emit showHiddenChanged(); } }
    const QString &manualQuestion() const { return m_manualQuestion; }
    void setManualQuestion(const QString &value) { if (assign(m_manualQuestion, value)) { emit manualQuestionChanged(); } }
    const PrivateKnowledge &privateKnowledge() const { return m_privateKnowledge; }
    void setPrivateKnowledge(const PrivateKnowledge &value) { if (assign(m_privateKnowledge, value)) { m_learnedTopics.reset(); emit privateKnowledgeChanged(); } }
    bool importingDocument() const { return m_importingDocument; }
    void setImportingDocument(bool value) { if (assign(m_importingDocument, value)) { emit importingDocumentChanged(); } }
    const std::optional<QString> &knowledgeMessage() const { return m_knowledgeMessage; }
    void setKnowledgeMessage(const std::optional<QString> &value) { if (assign(m_knowledgeMessage, value)) { emit knowledgeMessageChanged(); } }

    QVariant signInMessageValue() const { return m_signInMessage ? QVariant(*m_signInMessage) : QVariant(); }
    QVariant accountMessageValue() const { return m_accountMessage ? QVariant(*m_accountMessage) : QVariant(); }
    QVariant signInURLValue() const { return m_signInURL ? QVariant(*m_signInURL) : QVariant(); }
    QVariant selectedIDValue() const { return m_selectedID ? QVariant(*m_selectedID) : QVariant(); }
    QVariant errorValue() const { return m_error ? QVariant(*m_error) : QVariant(); }
    QVariant recordingNameValue() const { return m_recordingName ? QVariant(*m_recordingName) : QVariant(); }
    QVariant recoveryMessageValue() const { return m_recoveryMessage ? QVariant(*m_recoveryMessage) : QVariant(); }
    QVariant knowledgeMessageValue() const { return m_knowledgeMessage ? QVariant(*m_knowledgeMessage) : QVariant(); }

signals:
    void onboardingChanged();
    void updatingChanged();
    void onboardingStepChanged();
    void signInEmailChanged();
    void signInCodeChanged();
    void signInChallengeChanged();
    void signingInChanged();
    void signInMessageChanged();
    void recoveringAccountChanged();
    void devicesChanged();
    void accountMessageChanged();
    void signInURLChanged();
    void accountChanged();
    void snapshotChanged();
    void answersChanged();
    void transcriptChanged();
    void selectedIDChanged();
    void detailChanged();
    void statusChanged();
    void errorChanged();
    void activeChanged();
    void busyChanged();
    void preparingChanged();
    void recordingNameChanged();
    void progressChanged();
    void serviceURLChanged();
    void domainNameChanged();
    void domainChanged();
    void familiarityChanged();
    void budgetChanged();
    void durationMinutesChanged();
    void memoryChanged();
    void rangeStateChanged();
    void recoveryMessageChanged();
    void needsReconnectChanged();
    void reviewOnlyChanged();
    void gapSummaryChanged();
    void sourceChanged();
    void sourceAppChanged();
    void audioSourcesChanged();
    void audioLevelChanged();
    void simpleChanged();
    void windowModeChanged();
    void categoryChanged();
    void lookbackChanged();
    void anchorChanged();
    void clockChanged();
    void showHiddenChanged();
    void manualQuestionChanged();
    void privateKnowledgeChanged();
    void importingDocumentChanged();
    void knowledgeMessageChanged();
    void elapsedChanged();
    void startingChanged();
    // The service client or the connection it was made with changed.
    void connectionChanged();

private:
    // Stores the value; true when it differs from the one held.
    template <typename T>
    static bool assign(T &held, const T &value)
    {
        if (held == value)
            return false;
        held = value;
        return true;
    }
    // Finds and connects the stored or bootstrap connection; false when start-up must
    // end here because reading or connecting failed.
    QCoro::Task<bool> findConnection();
    // A connection file as the local service and TESSARO_NATIVE_BOOTSTRAP give it.
    static Connection readBootstrapFile(const QString &path);
    // "live" or "simulated" when the person last chose the service on this computer.
    std::optional<QString> localServiceChoice() const;
    bool connectionAcceptable(const Connection &connection) const;
    void openKnowledge();
    QCoro::Task<void> runCaptureCheck(QString path);
    QCoro::Task<void> runLiveEvaluation(QString path);
    void applySessionLimitOverride();
    void readPreferences();
    std::optional<DeviceCredential> deviceCredential() const;
    void saveCredential(const Connection &connection);
    void resetConversation();
    void replaceClient(ServiceClient *client);
    void dropSignInClient();
    double nowMs() const;
    QStringList liveChannels() const;
    QCoro::Task<void> failStart(QString description, QPointer<ServiceClient> client);
    void cancelTask(std::shared_ptr<TaskHandle> &task);
    void startClockTask();
    void startCaptureTask(std::shared_ptr<CapturedAudioStream> stream);
    void startReplayTask();
    void replaceBank(const QList<PreparedAnswer> &list);
    QString learningDomain() const;
    void learnFrom(const PreparedAnswer &answer, std::optional<QString> prominence, std::optional<QString> style);
    bool finalSpeechAfter(double toMs, double windowEndMs) const;
    void settleRange();
    // The audio objects to capture: absent for all audio but this application's. Throws
    // when the sources cannot be listed.
    std::optional<QList<quint32>> resolveProcesses();

    Platform m_platform;
    SessionModelSeams m_seams;
    AppConfiguration m_configuration;

    bool m_onboarding = false;
    bool m_updating = false;
    int m_onboardingStep = 0;
    QString m_signInEmail = QString();
    QString m_signInCode = QString();
    std::optional<SignInChallenge> m_signInChallenge = std::nullopt;
    bool m_signingIn = false;
    std::optional<QString> m_signInMessage = std::nullopt;
    bool m_recoveringAccount = false;
    QList<AccountDevice> m_devices{};
    std::optional<QString> m_accountMessage = std::nullopt;
    std::optional<QString> m_signInURL = std::nullopt;
    std::optional<Account> m_account = std::nullopt;
    std::optional<SessionSnapshot> m_snapshot = std::nullopt;
    QList<PreparedAnswer> m_answers{};
    QList<Transcript> m_transcript{};
    std::optional<QString> m_selectedID = std::nullopt;
    QString m_detail = QStringLiteral("Cue");
    QString m_status = QStringLiteral("Connect to your Corvana service");
    std::optional<QString> m_error = std::nullopt;
    bool m_active = false;
    bool m_busy = false;
    bool m_preparing = false;
    std::optional<QString> m_recordingName = std::nullopt;
    double m_progress = 0;
    QString m_serviceURL = QStringLiteral("http://127.0.0.1:4318");
    QString m_domainName = QStringLiteral("ML & AI");
    QString m_domain = QStringLiteral("Machine learning and artificial intelligence. Support accurate discussion of model evaluation, uncertainty, deployment, and retrieval systems.");
    QString m_familiarity = QString();
    QString m_budget = QStringLiteral("1.00");
    int m_durationMinutes = 60;
    ConversationMemory m_memory = ConversationMemory(0);
    std::optional<RangeState> m_rangeState = std::nullopt;
    std::optional<QString> m_recoveryMessage = std::nullopt;
    bool m_needsReconnect = false;
    bool m_reviewOnly = false;
    QStringList m_gapSummary{};
    QString m_source = QStringLiteral("system");
    QString m_sourceApp = QStringLiteral("all");
    QList<AudioSource> m_audioSources{};
    float m_audioLevel = 0;
    bool m_simple = false;
    QString m_windowMode = QStringLiteral("continue");
    QString m_category = QStringLiteral("all");
    double m_lookback = 60;
    double m_anchor = 0;
    double m_clock = 0;
    bool m_showHidden = false;
    QString m_manualQuestion = QString();
    PrivateKnowledge m_privateKnowledge{};
    mutable std::optional<LearnedTopics> m_learnedTopics;
    bool m_importingDocument = false;
    std::optional<QString> m_knowledgeMessage = std::nullopt;

    std::optional<Connection> m_pendingSignInConnection;
    std::optional<Connection> m_lastConnection;
    std::optional<double> m_conversationStartedAt;
    std::optional<double> m_pauseStartedMs;
    std::optional<Workspace::ObserverToken> m_sleepObserver;
    QSet<QString> m_locallyHidden;
    std::optional<QString> m_startingID;
    bool m_loaded = false;
    bool m_knowledgeOpen = false;
    std::optional<PrivateKnowledgeStore> m_knowledgeStore;
    std::unique_ptr<KnowledgeWriter> m_knowledgeWrites;
    bool m_starting = false;
    std::optional<QString> m_sessionDomain;
    QHash<QString, qint64> m_capturedFrames;
    std::optional<double> m_firstFrameAt;
    QString m_bundleIdentifier;
    ServiceTiming m_serviceTiming;
    QPointer<ServiceClient> m_client;
    QPointer<SignInClient> m_signInClient;
    std::shared_ptr<TaskHandle> m_captureTask;
    std::shared_ptr<TaskHandle> m_clockTask;
    std::shared_ptr<TaskHandle> m_replayTask;
    std::shared_ptr<ServiceClient::ReplayControl> m_replayControl;
    std::optional<PCMRecording> m_recording;
    std::optional<QList<quint32>> m_evaluationProcesses;
    std::function<void(const ServerEvent &)> m_evaluationObserver;
};

#pragma once

#include "model/RowListModel.h"

#include "protocol/PreparedAnswer.h"

#include <QObject>
#include <QtQml/qqmlregistration.h>
#include <QPointer>
#include <QStringList>
#include <QVariantList>

#include <optional>

class SessionModel;

class QJSEngine;
class QQmlEngine;

// What the main window, the companion and the menu show, derived from the session
// model: the lists as row models that change only the rows they touch, and every
// "which text shows when" decision as a property. QML binds to these and calls the
// model; it decides nothing itself. Each group of properties notifies with the signal
// of what it reads; the audio level reaches none of them, and a clock tick only the
// texts that show time (and the range or session lines when the range stops or starts
// matching the time).
class SessionPresentation : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    // Lists.
    Q_PROPERTY(RowListModel *transcriptRows READ transcriptRows CONSTANT)
    Q_PROPERTY(RowListModel *answerRows READ answerRows CONSTANT)
    Q_PROPERTY(RowListModel *sourceRows READ sourceRows CONSTANT)
    Q_PROPERTY(RowListModel *followUpRows READ followUpRows CONSTANT)
    Q_PROPERTY(RowListModel *citationRows READ citationRows CONSTANT)
    Q_PROPERTY(QVariantList sourceChoices READ sourceChoices CONSTANT)

    // The selected answer.
    Q_PROPERTY(bool hasSelection READ hasSelection NOTIFY selectionChanged)
    Q_PROPERTY(QString selectedTitle READ selectedTitle NOTIFY selectionChanged)
    Q_PROPERTY(QString selectedCue READ selectedCue NOTIFY selectionChanged)
    Q_PROPERTY(QString selectedText READ selectedText NOTIFY selectionChanged)
    Q_PROPERTY(QString selectedFormText READ selectedFormText NOTIFY selectionChanged)
    Q_PROPERTY(QStringList companionOtherForms READ companionOtherForms NOTIFY selectionChanged)
    Q_PROPERTY(QStringList selectedForms READ selectedForms NOTIFY selectionChanged)
    Q_PROPERTY(QStringList selectedBadges READ selectedBadges NOTIFY selectionChanged)
    Q_PROPERTY(bool selectedQuiet READ selectedQuiet NOTIFY selectionChanged)
    Q_PROPERTY(bool selectedReady READ selectedReady NOTIFY selectionChanged)
    Q_PROPERTY(QString detailReadiness READ detailReadiness NOTIFY selectionChanged)
    Q_PROPERTY(bool detailPreparing READ detailPreparing NOTIFY selectionChanged)
    Q_PROPERTY(QString detailMissingForm READ detailMissingForm NOTIFY selectionChanged)
    Q_PROPERTY(QString detailInterrupted READ detailInterrupted NOTIFY selectionChanged)
    Q_PROPERTY(QString detailFormsNote READ detailFormsNote NOTIFY selectionChanged)
    Q_PROPERTY(QStringList sourceNotes READ sourceNotes NOTIFY selectionChanged)
    Q_PROPERTY(QString retrievalNote READ retrievalNote NOTIFY selectionChanged)
    Q_PROPERTY(QString sourcesTitle READ sourcesTitle NOTIFY selectionChanged)
    Q_PROPERTY(QString sourcesNote READ sourcesNote NOTIFY selectionChanged)

    // Empty answer workspace.
    Q_PROPERTY(QString emptyAnswerTitle READ emptyAnswerTitle NOTIFY sessionChanged)
    Q_PROPERTY(QString emptyAnswerMessage READ emptyAnswerMessage NOTIFY sessionChanged)

    // Source bar, session bar and footer.
    Q_PROPERTY(bool setupComplete READ setupComplete NOTIFY sessionChanged)
    Q_PROPERTY(bool sessionExists READ sessionExists NOTIFY sessionChanged)
    Q_PROPERTY(bool connecting READ connecting NOTIFY sessionChanged)
    Q_PROPERTY(QString primaryAction READ primaryAction NOTIFY sessionChanged)
    Q_PROPERTY(bool primaryEnabled READ primaryEnabled NOTIFY sessionChanged)
    Q_PROPERTY(bool canNewConversation READ canNewConversation NOTIFY sessionChanged)
    Q_PROPERTY(bool showNewConversation READ showNewConversation NOTIFY sessionChanged)
    Q_PROPERTY(QString remainingText READ remainingText NOTIFY usageChanged)
    Q_PROPERTY(QString elapsedText READ elapsedText NOTIFY timeChanged)
    Q_PROPERTY(QString preparedCountText READ preparedCountText NOTIFY shelfChanged)
    Q_PROPERTY(QString conversationEmptyText READ conversationEmptyText NOTIFY sessionChanged)
    Q_PROPERTY(bool following READ following NOTIFY sessionChanged)
    Q_PROPERTY(QString conversationIndicator READ conversationIndicator NOTIFY sessionChanged)
    Q_PROPERTY(QString audioDescription READ audioDescription NOTIFY sessionChanged)
    Q_PROPERTY(QString listeningLabel READ listeningLabel NOTIFY sessionChanged)
    Q_PROPERTY(bool canChangeSource READ canChangeSource NOTIFY sessionChanged)
    Q_PROPERTY(bool showWalkthroughLine READ showWalkthroughLine NOTIFY sessionChanged)

    // Prepared shelf.
    Q_PROPERTY(int hiddenCount READ hiddenCount NOTIFY shelfChanged)
    Q_PROPERTY(QString hiddenCountText READ hiddenCountText NOTIFY shelfChanged)
    Q_PROPERTY(bool inRange READ inRange NOTIFY rangeChanged)

    // Range panel.
    Q_PROPERTY(QString coverageMessage READ coverageMessage NOTIFY rangeChanged)
    Q_PROPERTY(QString rangeStage READ rangeStage NOTIFY rangeChanged)
    Q_PROPERTY(QString memoryNotice READ memoryNotice NOTIFY rangeChanged)
    Q_PROPERTY(QString tenMinuteNotice READ tenMinuteNotice NOTIFY timeChanged)
    Q_PROPERTY(QString lookbackText READ lookbackText NOTIFY rangeChanged)
    Q_PROPERTY(QString anchorText READ anchorText NOTIFY rangeChanged)
    Q_PROPERTY(bool canPrepareRange READ canPrepareRange NOTIFY timeChanged)

    // Usage view.
    Q_PROPERTY(QString usageButtonLabel READ usageButtonLabel NOTIFY usageChanged)
    Q_PROPERTY(QString usageAvailableLabel READ usageAvailableLabel NOTIFY usageChanged)
    Q_PROPERTY(QString usageAvailable READ usageAvailable NOTIFY usageChanged)
    Q_PROPERTY(QString usageUsed READ usageUsed NOTIFY usageChanged)
    Q_PROPERTY(QString usageReserved READ usageReserved NOTIFY usageChanged)
    Q_PROPERTY(QString usageRemaining READ usageRemaining NOTIFY usageChanged)
    Q_PROPERTY(QString usageNote READ usageNote NOTIFY usageChanged)
    Q_PROPERTY(bool usageEmpty READ usageEmpty NOTIFY usageChanged)

    // Companion.
    Q_PROPERTY(QString companionEyebrow READ companionEyebrow NOTIFY selectionChanged)
    Q_PROPERTY(QString companionEmptyLine READ companionEmptyLine NOTIFY sessionChanged)
    Q_PROPERTY(QString companionReadiness READ companionReadiness NOTIFY selectionChanged)
    Q_PROPERTY(QString companionFooter READ companionFooter NOTIFY sessionChanged)
    Q_PROPERTY(QString deeperToggleForm READ deeperToggleForm NOTIFY selectionChanged)

    // Commands and the menu.
    Q_PROPERTY(bool canStart READ canStart NOTIFY sessionChanged)
    Q_PROPERTY(bool canStop READ canStop NOTIFY sessionChanged)
    Q_PROPERTY(bool canDeeper READ canDeeper NOTIFY selectionChanged)
    Q_PROPERTY(bool canHide READ canHide NOTIFY selectionChanged)
    Q_PROPERTY(bool canAsk READ canAsk NOTIFY sessionChanged)
    Q_PROPERTY(bool canReconnect READ canReconnect NOTIFY sessionChanged)
    Q_PROPERTY(QString menuSessionAction READ menuSessionAction NOTIFY sessionChanged)
    Q_PROPERTY(QString errorText READ errorText NOTIFY sessionChanged)
    Q_PROPERTY(QString recoveryAction READ recoveryAction NOTIFY sessionChanged)
    // The choices the screens style by: no screen decides by a visible label.
    Q_PROPERTY(bool menuSessionEnabled READ menuSessionEnabled NOTIFY sessionChanged)
    Q_PROPERTY(bool deeperSelected READ deeperSelected NOTIFY selectionChanged)
    Q_PROPERTY(QVariantList selectedBadgeRows READ selectedBadgeRows NOTIFY selectionChanged)
    Q_PROPERTY(QVariantList selectedFormChoices READ selectedFormChoices NOTIFY selectionChanged)
    Q_PROPERTY(int durationIndex READ durationIndex NOTIFY sessionChanged)

public:
    // The screens' instance: the one the application handed to their engine.
    static SessionPresentation *create(QQmlEngine *engine, QJSEngine *);

    explicit SessionPresentation(SessionModel &model, QObject *parent = nullptr);

    RowListModel *transcriptRows() { return &m_transcriptRows; }
    RowListModel *answerRows() { return &m_answerRows; }
    RowListModel *sourceRows() { return &m_sourceRows; }
    RowListModel *followUpRows() { return &m_followUpRows; }
    RowListModel *citationRows() { return &m_citationRows; }
    static QVariantList sourceChoices();

    bool hasSelection() const { return m_selected.has_value(); }
    QString selectedTitle() const;
    QString selectedCue() const;
    QString selectedText() const;
    QString selectedFormText() const;
    QStringList companionOtherForms() const;
    QStringList selectedForms() const;
    QStringList selectedBadges() const;
    bool selectedQuiet() const;
    bool selectedReady() const;
    QString detailReadiness() const;
    bool detailPreparing() const;
    QString detailMissingForm() const;
    QString detailInterrupted() const;
    QString detailFormsNote() const;
    QStringList sourceNotes() const;
    QString retrievalNote() const;
    QString sourcesTitle() const;
    QString sourcesNote() const;

    QString emptyAnswerTitle() const;
    QString emptyAnswerMessage() const;

    bool setupComplete() const;
    bool sessionExists() const;
    bool connecting() const;
    QString primaryAction() const;
    bool primaryEnabled() const;
    bool canNewConversation() const;
    bool showNewConversation() const;
    QString remainingText() const;
    QString elapsedText() const;
    QString preparedCountText() const;
    QString conversationEmptyText() const;
    bool following() const;
    QString conversationIndicator() const;
    QString audioDescription() const;
    QString listeningLabel() const;
    bool canChangeSource() const;
    bool showWalkthroughLine() const;

    int hiddenCount() const;
    QString hiddenCountText() const;
    bool inRange() const;

    QString coverageMessage() const;
    QString rangeStage() const;
    QString memoryNotice() const;
    QString tenMinuteNotice() const;
    QString lookbackText() const;
    QString anchorText() const;
    bool canPrepareRange() const;

    QString usageButtonLabel() const;
    QString usageAvailableLabel() const;
    QString usageAvailable() const;
    QString usageUsed() const;
    QString usageReserved() const;
    QString usageRemaining() const;
    QString usageNote() const;
    bool usageEmpty() const;

    QString companionEyebrow() const;
    QString companionEmptyLine() const;
    QString companionReadiness() const;
    QString companionFooter() const;
    QString deeperToggleForm() const;

    bool canStart() const;
    bool canStop() const;
    bool canDeeper() const;
    bool canHide() const;
    bool canAsk() const;
    bool canReconnect() const;
    QString menuSessionAction() const;
    QString errorText() const;
    QString recoveryAction() const;
    bool menuSessionEnabled() const;
    bool deeperSelected() const;
    // The selected answer's badges as {text, tone}, tone a badge tone of the design system.
    QVariantList selectedBadgeRows() const;
    // The selected answer's forms as choices {value, label} of the form picker.
    QVariantList selectedFormChoices() const;
    // Where the session length stands among the offered choices; -1 when it is none of them.
    int durationIndex() const;

    // The primary action as its label names it: reconnect, resume or start.
    Q_INVOKABLE void runPrimaryAction();
    // The error notice's action: reconnect or resume; nothing when there is none.
    Q_INVOKABLE void runRecoveryAction();
    // The menu's session item: ends the running session or starts listening.
    Q_INVOKABLE void toggleSession();

    // Whether the conversation can continue with "Resume".
    bool canResume() const;

signals:
    // The answer in front, its form and its sources.
    void selectionChanged();
    // The session's state, the connection and the commands.
    void sessionChanged();
    // Spend and allowance.
    void usageChanged();
    // The counts of the prepared shelf.
    void shelfChanged();
    // The range under review and session memory.
    void rangeChanged();
    // The texts and commands that move with the session clock.
    void timeChanged();

private:
    void refresh();
    // Rebuilds the visible answers; `announce` false tells the selection only when it changed.
    void refreshAnswers(bool announce = true);
    void followClock();
    void refreshTranscript();
    void refreshSources();
    void refreshSelection();
    bool startable() const;
    bool conversationExists() const;

    SessionModel &m_model;
    RowListModel m_transcriptRows;
    RowListModel m_answerRows;
    RowListModel m_sourceRows;
    RowListModel m_followUpRows;
    RowListModel m_citationRows;
    std::optional<PreparedAnswer> m_selected;
    bool m_rangeMatched = false;
};

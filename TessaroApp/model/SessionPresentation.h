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
// model; it decides nothing itself. Every property notifies through `changed`.
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
    Q_PROPERTY(bool hasSelection READ hasSelection NOTIFY changed)
    Q_PROPERTY(QString selectedTitle READ selectedTitle NOTIFY changed)
    Q_PROPERTY(QString selectedCue READ selectedCue NOTIFY changed)
    Q_PROPERTY(QString selectedText READ selectedText NOTIFY changed)
    Q_PROPERTY(QString selectedFormText READ selectedFormText NOTIFY changed)
    Q_PROPERTY(QStringList companionOtherForms READ companionOtherForms NOTIFY changed)
    Q_PROPERTY(QStringList selectedForms READ selectedForms NOTIFY changed)
    Q_PROPERTY(QStringList selectedBadges READ selectedBadges NOTIFY changed)
    Q_PROPERTY(bool selectedQuiet READ selectedQuiet NOTIFY changed)
    Q_PROPERTY(bool selectedReady READ selectedReady NOTIFY changed)
    Q_PROPERTY(QString detailReadiness READ detailReadiness NOTIFY changed)
    Q_PROPERTY(bool detailPreparing READ detailPreparing NOTIFY changed)
    Q_PROPERTY(QString detailMissingForm READ detailMissingForm NOTIFY changed)
    Q_PROPERTY(QString detailInterrupted READ detailInterrupted NOTIFY changed)
    Q_PROPERTY(QString detailFormsNote READ detailFormsNote NOTIFY changed)
    Q_PROPERTY(QStringList sourceNotes READ sourceNotes NOTIFY changed)
    Q_PROPERTY(QString retrievalNote READ retrievalNote NOTIFY changed)
    Q_PROPERTY(QString sourcesTitle READ sourcesTitle NOTIFY changed)
    Q_PROPERTY(QString sourcesNote READ sourcesNote NOTIFY changed)

    // Empty answer workspace.
    Q_PROPERTY(QString emptyAnswerTitle READ emptyAnswerTitle NOTIFY changed)
    Q_PROPERTY(QString emptyAnswerMessage READ emptyAnswerMessage NOTIFY changed)

    // Source bar, session bar and footer.
    Q_PROPERTY(bool setupComplete READ setupComplete NOTIFY changed)
    Q_PROPERTY(bool sessionExists READ sessionExists NOTIFY changed)
    Q_PROPERTY(bool connecting READ connecting NOTIFY changed)
    Q_PROPERTY(QString primaryAction READ primaryAction NOTIFY changed)
    Q_PROPERTY(bool primaryEnabled READ primaryEnabled NOTIFY changed)
    Q_PROPERTY(bool canNewConversation READ canNewConversation NOTIFY changed)
    Q_PROPERTY(bool showNewConversation READ showNewConversation NOTIFY changed)
    Q_PROPERTY(QString remainingText READ remainingText NOTIFY changed)
    Q_PROPERTY(QString elapsedText READ elapsedText NOTIFY changed)
    Q_PROPERTY(QString preparedCountText READ preparedCountText NOTIFY changed)
    Q_PROPERTY(QString conversationEmptyText READ conversationEmptyText NOTIFY changed)
    Q_PROPERTY(bool following READ following NOTIFY changed)
    Q_PROPERTY(QString conversationIndicator READ conversationIndicator NOTIFY changed)
    Q_PROPERTY(QString audioDescription READ audioDescription NOTIFY changed)
    Q_PROPERTY(QString listeningLabel READ listeningLabel NOTIFY changed)
    Q_PROPERTY(bool canChangeSource READ canChangeSource NOTIFY changed)
    Q_PROPERTY(bool showWalkthroughLine READ showWalkthroughLine NOTIFY changed)

    // Prepared shelf.
    Q_PROPERTY(int hiddenCount READ hiddenCount NOTIFY changed)
    Q_PROPERTY(QString hiddenCountText READ hiddenCountText NOTIFY changed)
    Q_PROPERTY(bool inRange READ inRange NOTIFY changed)

    // Range panel.
    Q_PROPERTY(QString coverageMessage READ coverageMessage NOTIFY changed)
    Q_PROPERTY(QString rangeStage READ rangeStage NOTIFY changed)
    Q_PROPERTY(QString memoryNotice READ memoryNotice NOTIFY changed)
    Q_PROPERTY(QString tenMinuteNotice READ tenMinuteNotice NOTIFY changed)
    Q_PROPERTY(QString lookbackText READ lookbackText NOTIFY changed)
    Q_PROPERTY(QString anchorText READ anchorText NOTIFY changed)
    Q_PROPERTY(bool canPrepareRange READ canPrepareRange NOTIFY changed)

    // Usage view.
    Q_PROPERTY(QString usageButtonLabel READ usageButtonLabel NOTIFY changed)
    Q_PROPERTY(QString usageAvailableLabel READ usageAvailableLabel NOTIFY changed)
    Q_PROPERTY(QString usageAvailable READ usageAvailable NOTIFY changed)
    Q_PROPERTY(QString usageUsed READ usageUsed NOTIFY changed)
    Q_PROPERTY(QString usageReserved READ usageReserved NOTIFY changed)
    Q_PROPERTY(QString usageRemaining READ usageRemaining NOTIFY changed)
    Q_PROPERTY(QString usageNote READ usageNote NOTIFY changed)
    Q_PROPERTY(bool usageEmpty READ usageEmpty NOTIFY changed)

    // Companion.
    Q_PROPERTY(QString companionEyebrow READ companionEyebrow NOTIFY changed)
    Q_PROPERTY(QString companionEmptyLine READ companionEmptyLine NOTIFY changed)
    Q_PROPERTY(QString companionReadiness READ companionReadiness NOTIFY changed)
    Q_PROPERTY(QString companionFooter READ companionFooter NOTIFY changed)
    Q_PROPERTY(QString deeperToggleForm READ deeperToggleForm NOTIFY changed)

    // Commands and the menu.
    Q_PROPERTY(bool canStart READ canStart NOTIFY changed)
    Q_PROPERTY(bool canStop READ canStop NOTIFY changed)
    Q_PROPERTY(bool canDeeper READ canDeeper NOTIFY changed)
    Q_PROPERTY(bool canHide READ canHide NOTIFY changed)
    Q_PROPERTY(bool canAsk READ canAsk NOTIFY changed)
    Q_PROPERTY(bool canReconnect READ canReconnect NOTIFY changed)
    Q_PROPERTY(QString menuSessionAction READ menuSessionAction NOTIFY changed)
    Q_PROPERTY(QString errorText READ errorText NOTIFY changed)
    Q_PROPERTY(QString recoveryAction READ recoveryAction NOTIFY changed)
    // The choices the screens style by: no screen decides by a visible label.
    Q_PROPERTY(bool menuSessionEnabled READ menuSessionEnabled NOTIFY changed)
    Q_PROPERTY(bool deeperSelected READ deeperSelected NOTIFY changed)
    Q_PROPERTY(QVariantList selectedBadgeRows READ selectedBadgeRows NOTIFY changed)
    Q_PROPERTY(QVariantList selectedFormChoices READ selectedFormChoices NOTIFY changed)
    Q_PROPERTY(int durationIndex READ durationIndex NOTIFY changed)

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
    // Money as the screens show it: "$" and four decimals.
    static QString dollars(qint64 micros);

signals:
    void changed();

private:
    void refresh();
    void refreshAnswers();
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
};

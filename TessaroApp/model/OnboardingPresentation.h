#pragma once

#include "model/RowListModel.h"

#include <QObject>
#include <QtQml/qqmlregistration.h>
#include <QString>
#include <QVariantList>

class SessionModel;

class QJSEngine;
class QQmlEngine;

// What the first-run pages and the account panel show, derived from the session model,
// and the operations they start. QML binds to these and calls them; it decides nothing
// itself. Each group of properties notifies with the signal of what it reads.
class OnboardingPresentation : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    // The brand column's page list (key, title, passed, current) and the device list of
    // the account panel (key = device id, name, current).
    Q_PROPERTY(RowListModel *pageRows READ pageRows CONSTANT)
    Q_PROPERTY(RowListModel *deviceRows READ deviceRows CONSTANT)
    Q_PROPERTY(QVariantList audioChoices READ audioChoices CONSTANT)

    // Pages and footer.
    Q_PROPERTY(int page READ page NOTIFY pageChanged)
    Q_PROPERTY(bool showBack READ showBack NOTIFY pageChanged)
    Q_PROPERTY(bool showPrivacy READ showPrivacy CONSTANT)
    Q_PROPERTY(bool showHelp READ showHelp CONSTANT)
    Q_PROPERTY(QString privacyURL READ privacyURL CONSTANT)
    Q_PROPERTY(QString helpURL READ helpURL CONSTANT)

    // Sign-in page.
    Q_PROPERTY(bool serviceAvailable READ serviceAvailable NOTIFY signInChanged)
    Q_PROPERTY(bool showCodeStep READ showCodeStep NOTIFY signInChanged)
    Q_PROPERTY(bool canSendCode READ canSendCode NOTIFY signInChanged)
    Q_PROPERTY(bool canSignIn READ canSignIn NOTIFY signInChanged)
    Q_PROPERTY(bool canEditSignIn READ canEditSignIn NOTIFY signInChanged)
    Q_PROPERTY(QString simulatedCodeLine READ simulatedCodeLine NOTIFY signInChanged)
    Q_PROPERTY(bool showRecoveryWarning READ showRecoveryWarning NOTIFY signInChanged)
    Q_PROPERTY(QString signInStatus READ signInStatus NOTIFY signInChanged)

    // Domain and audio pages.
    Q_PROPERTY(bool canContinue READ canContinue NOTIFY choicesChanged)
    Q_PROPERTY(bool canFinish READ canFinish NOTIFY choicesChanged)
    Q_PROPERTY(int audioChoiceIndex READ audioChoiceIndex NOTIFY choicesChanged)
    Q_PROPERTY(QString allowanceLine READ allowanceLine NOTIFY accountChanged)
    Q_PROPERTY(bool showFundingNote READ showFundingNote NOTIFY accountChanged)

    // Account panel.
    Q_PROPERTY(QString signedOutNote READ signedOutNote NOTIFY accountChanged)
    Q_PROPERTY(QString simulatedNote READ simulatedNote NOTIFY accountChanged)
    Q_PROPERTY(QString accountMessageText READ accountMessageText NOTIFY accountChanged)

public:
    // The screens' instance: the one the application handed to their engine.
    static OnboardingPresentation *create(QQmlEngine *engine, QJSEngine *);

    explicit OnboardingPresentation(SessionModel &model, QObject *parent = nullptr);

    RowListModel *pageRows() { return &m_pageRows; }
    RowListModel *deviceRows() { return &m_deviceRows; }
    static QVariantList audioChoices();

    int page() const;
    bool showBack() const;
    bool showPrivacy() const;
    bool showHelp() const;
    QString privacyURL() const;
    QString helpURL() const;

    bool serviceAvailable() const;
    bool showCodeStep() const;
    bool canSendCode() const;
    bool canSignIn() const;
    bool canEditSignIn() const;
    QString simulatedCodeLine() const;
    bool showRecoveryWarning() const;
    QString signInStatus() const;

    bool canContinue() const;
    bool canFinish() const;
    int audioChoiceIndex() const;
    QString allowanceLine() const;
    bool showFundingNote() const;

    QString signedOutNote() const;
    QString simulatedNote() const;
    QString accountMessageText() const;

    // Entry points of the two views. The asynchronous ones start the model's operation
    // and let it run on; their failures land in the model's message properties.
    Q_INVOKABLE void requestSignIn();
    Q_INVOKABLE void completeSignIn();
    // "Use another email / resend": back to the email field.
    Q_INVOKABLE void restartSignIn();
    Q_INVOKABLE void back();
    Q_INVOKABLE void continueToAudio();
    Q_INVOKABLE void finish();
    Q_INVOKABLE void refreshDevices();
    Q_INVOKABLE void removeDevice(const QString &id);
    Q_INVOKABLE void signOut();

signals:
    // The current page.
    void pageChanged();
    // The sign-in steps.
    void signInChanged();
    // The domain and audio choices.
    void choicesChanged();
    // The account and its allowance.
    void accountChanged();

private:
    void refreshPages();
    void refreshDevicesRows();

    SessionModel &m_model;
    RowListModel m_pageRows;
    RowListModel m_deviceRows;
};

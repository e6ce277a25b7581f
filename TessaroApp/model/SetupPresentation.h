#pragma once

#include "model/RowListModel.h"

#include "knowledge/PrivateKnowledge.h"
#include "protocol/PreparedAnswer.h"

#include <QCoro/QCoroTask>
#include <QObject>
#include <QtQml/qqmlregistration.h>
#include <QString>
#include <QUrl>
#include <QVariantList>
#include <QVariantMap>

#include <optional>

class SessionModel;

class QJSEngine;
class QQmlEngine;

// What the setup window, the About window and the knowledge views show, derived from the
// session model: the documents and learned preferences of the saved domain as row
// models, every "which text shows when" decision as a property, and the screens'
// operations (save, connect, the library edits) as calls that go through the model.
// Every property notifies through `changed`.
class SetupPresentation : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    // The setup screen.
    Q_PROPERTY(bool locked READ locked NOTIFY changed)
    Q_PROPERTY(QString lockedNote READ lockedNote NOTIFY changed)
    Q_PROPERTY(QVariantList durationChoices READ durationChoices NOTIFY changed)
    Q_PROPERTY(QString durationText READ durationText NOTIFY changed)
    Q_PROPERTY(QVariantList appearanceChoices READ appearanceChoices CONSTANT)
    Q_PROPERTY(bool offersServiceConnection READ offersServiceConnection CONSTANT)
    Q_PROPERTY(QString connectionStatus READ connectionStatus NOTIFY changed)
    Q_PROPERTY(QString connectionTone READ connectionTone NOTIFY changed)
    Q_PROPERTY(bool connecting READ connecting NOTIFY changed)
    Q_PROPERTY(QString message READ message NOTIFY changed)
    Q_PROPERTY(bool failed READ failed NOTIFY changed)

    // The About screen.
    Q_PROPERTY(QString versionLine READ versionLine CONSTANT)
    Q_PROPERTY(QString buildLine READ buildLine CONSTANT)
    Q_PROPERTY(bool showsPublisherLogo READ showsPublisherLogo CONSTANT)
    Q_PROPERTY(QUrl publisherLogo READ publisherLogo CONSTANT)
    Q_PROPERTY(QString creditsLine READ creditsLine CONSTANT)
    Q_PROPERTY(bool showsCredits READ showsCredits CONSTANT)

    // The reference library of the saved domain.
    Q_PROPERTY(RowListModel *documentRows READ documentRows CONSTANT)
    Q_PROPERTY(QString documentsTitle READ documentsTitle NOTIFY changed)
    Q_PROPERTY(QString documentsDomainLine READ documentsDomainLine NOTIFY changed)
    Q_PROPERTY(QString documentsEmptyLine READ documentsEmptyLine NOTIFY changed)
    Q_PROPERTY(bool importing READ importing NOTIFY changed)
    Q_PROPERTY(bool canImport READ canImport NOTIFY changed)
    Q_PROPERTY(QString knowledgeMessage READ knowledgeMessage NOTIFY changed)

    // Private learning.
    Q_PROPERTY(RowListModel *preferenceRows READ preferenceRows CONSTANT)
    Q_PROPERTY(QString learningTitle READ learningTitle NOTIFY changed)
    Q_PROPERTY(bool learningEnabled READ learningEnabled NOTIFY changed)
    Q_PROPERTY(QString preferencesEmptyLine READ preferencesEmptyLine NOTIFY changed)
    Q_PROPERTY(QVariantList prominenceChoices READ prominenceChoices CONSTANT)
    Q_PROPERTY(QVariantList styleChoices READ styleChoices CONSTANT)

    // The sources of the selected answer (its citation rows are the main window's).

public:
    // The screens' instance: the one the application handed to their engine.
    static SetupPresentation *create(QQmlEngine *engine, QJSEngine *);

    // `version` is the application's short version; empty reads as "0.4.0".
    SetupPresentation(SessionModel &model, QString version, QObject *parent = nullptr);

    static const QString lockedMessage;
    static const QString connectedMessage;
    static const QString removedCopyLine;
    static const QString publisherLogoResource;

    bool locked() const;
    QString lockedNote() const;
    QVariantList durationChoices() const;
    QString durationText() const;
    static QVariantList appearanceChoices();
    bool offersServiceConnection() const;
    QString connectionStatus() const;
    // The badge tone of the connection status: "neutral", "caution" (simulated) or "ready".
    QString connectionTone() const;
    bool connecting() const { return m_connecting; }
    const QString &message() const { return m_message; }
    bool failed() const { return m_failed; }

    QString versionLine() const;
    QString buildLine() const;
    bool showsPublisherLogo() const;
    static QUrl publisherLogo();
    static QString creditsLine();
    bool showsCredits() const;

    RowListModel *documentRows() { return &m_documentRows; }
    QString documentsTitle() const;
    QString documentsDomainLine() const;
    QString documentsEmptyLine() const;
    bool importing() const;
    bool canImport() const;
    QString knowledgeMessage() const;

    RowListModel *preferenceRows() { return &m_preferenceRows; }
    QString learningTitle() const;
    bool learningEnabled() const;
    QString preferencesEmptyLine() const;
    static QVariantList prominenceChoices();
    static QVariantList styleChoices();

    // The sources of one answer, as the citation view shows them: the group title
    // ("Sources · N", empty without citations), the note over the quotes, and the one
    // line shown instead when the answer cites nothing (empty when no search ran).
    static QString sourcesTitle(const PreparedAnswer &answer);
    static QString sourcesNote(const PreparedAnswer &answer);
    static QString sourcesLine(const PreparedAnswer &answer);
    // The full text of the passage a citation quotes, when the library still holds it.
    static std::optional<QString> citedPassage(const PrivateKnowledge &knowledge, const DocumentCitation &citation);

    // A quote as the sources show it, between curly quotation marks.
    Q_INVOKABLE QString quotation(const QString &quote) const;
    // The line shown in place of "Read the full passage" once the imported copy is gone;
    // empty while the passage is still in the library.
    Q_INVOKABLE QString passageNote(bool removed) const;

    // "Save preferences": validates and stores through the model; the result is also the
    // screen's message line. Returns {message, failed}.
    Q_INVOKABLE QVariantMap save(const QString &name, const QString &domain, const QString &familiarity,
                                 const QString &budget);
    // "Connect & save": starts connecting to the service and lets it run on.
    using QObject::connect;
    Q_INVOKABLE void connect(const QString &serviceURL, const QString &token);
    QCoro::Task<void> connectTo(QString serviceURL, QString token);
    // Clears the message line; the setup screen calls it each time it opens.
    Q_INVOKABLE void clearMessage();

    // The library edits of the knowledge views; each is one knowledge update.
    Q_INVOKABLE void setDocumentEnabled(const QString &id, bool enabled);
    Q_INVOKABLE void removeDocument(const QString &id);
    Q_INVOKABLE void importDocuments();
    Q_INVOKABLE void setLearningEnabled(bool enabled);
    Q_INVOKABLE void savePreference(const QString &id, const QString &topic, const QString &prominence,
                                    const QString &style);
    Q_INVOKABLE void forgetPreference(const QString &id);
    Q_INVOKABLE void forgetDomainPreferences();
    // The document the reader shows: {found, title, passages: [{key, location, text}]}.
    Q_INVOKABLE QVariantMap documentContent(const QString &id) const;

signals:
    void changed();

private:
    void refreshRows();
    void setMessage(const QString &message, bool failed);

    SessionModel &m_model;
    QString m_version;
    RowListModel m_documentRows;
    RowListModel m_preferenceRows;
    bool m_connecting = false;
    QString m_message;
    bool m_failed = false;
};

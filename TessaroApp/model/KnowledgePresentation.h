#pragma once

#include "model/RowListModel.h"

#include <QObject>
#include <QtQml/qqmlregistration.h>
#include <QString>
#include <QVariantList>
#include <QVariantMap>

class SessionModel;

class QJSEngine;
class QQmlEngine;

// What the knowledge views show, derived from the session model: the documents and
// learned preferences of the saved domain as row models, the lines over them, the
// sources of a cited answer, and the library edits as calls that go through the model.
// Each group of properties notifies with the signal of what it reads.
class KnowledgePresentation : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    // The reference library of the saved domain.
    Q_PROPERTY(RowListModel *documentRows READ documentRows CONSTANT)
    Q_PROPERTY(QString documentsTitle READ documentsTitle NOTIFY libraryChanged)
    Q_PROPERTY(QString documentsDomainLine READ documentsDomainLine NOTIFY libraryChanged)
    Q_PROPERTY(QString documentsEmptyLine READ documentsEmptyLine NOTIFY libraryChanged)
    Q_PROPERTY(bool importing READ importing NOTIFY importChanged)
    Q_PROPERTY(bool canImport READ canImport NOTIFY importChanged)
    Q_PROPERTY(QString knowledgeMessage READ knowledgeMessage NOTIFY knowledgeMessageChanged)

    // Private learning.
    Q_PROPERTY(RowListModel *preferenceRows READ preferenceRows CONSTANT)
    Q_PROPERTY(QString learningTitle READ learningTitle NOTIFY libraryChanged)
    Q_PROPERTY(bool learningEnabled READ learningEnabled NOTIFY libraryChanged)
    Q_PROPERTY(QString preferencesEmptyLine READ preferencesEmptyLine NOTIFY libraryChanged)
    Q_PROPERTY(QVariantList prominenceChoices READ prominenceChoices CONSTANT)
    Q_PROPERTY(QVariantList styleChoices READ styleChoices CONSTANT)

public:
    // The screens' instance: the one the application handed to their engine.
    static KnowledgePresentation *create(QQmlEngine *engine, QJSEngine *);

    explicit KnowledgePresentation(SessionModel &model, QObject *parent = nullptr);

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

    // A quote as the sources show it, between curly quotation marks.
    Q_INVOKABLE QString quotation(const QString &quote) const;
    // The line shown in place of "Read the full passage" once the imported copy is gone;
    // empty while the passage is still in the library.
    Q_INVOKABLE QString passageNote(bool removed) const;

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
    // The documents and learned preferences of the saved domain.
    void libraryChanged();
    // Whether an import runs or may start.
    void importChanged();
    void knowledgeMessageChanged();

private:
    void refreshRows();

    SessionModel &m_model;
    RowListModel m_documentRows;
    RowListModel m_preferenceRows;
};

#pragma once

#include <QAbstractListModel>
#include <QByteArray>
#include <QList>
#include <QVariantMap>
#include <QtQml/qqmlregistration.h>

// A list of rows for the screens. Each row is a map from role name to value; the first
// role is the row's key, unique within the list. Replacing the rows inserts, removes and changes only the rows
// that differ, so a view of thousands of rows keeps its delegates and scroll position.
class RowListModel : public QAbstractListModel {
    Q_OBJECT
    QML_ANONYMOUS
    Q_PROPERTY(int count READ count NOTIFY countChanged)

public:
    explicit RowListModel(QList<QByteArray> roles, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    int count() const { return int(m_rows.size()); }
    const QList<QVariantMap> &rows() const { return m_rows; }
    // The value of one role in one row; an invalid QVariant outside the list.
    Q_INVOKABLE QVariant value(int row, const QString &role) const;

    void setRows(QList<QVariantMap> rows);

signals:
    void countChanged();

private:
    QString keyOf(const QVariantMap &row) const;

    QList<QByteArray> m_roles;
    QList<QVariantMap> m_rows;
};

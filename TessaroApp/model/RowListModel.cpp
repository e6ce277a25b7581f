#include "RowListModel.h"

#include <QSet>

RowListModel::RowListModel(QList<QByteArray> roles, QObject *parent)
    : QAbstractListModel(parent)
    , m_roles(std::move(roles))
{
}

int RowListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

QVariant RowListModel::data(const QModelIndex &index, int role) const
{
    const int column = role - Qt::UserRole;
    if (!index.isValid() || index.row() >= m_rows.size() || column < 0 || column >= m_roles.size())
        return {};
    return m_rows[index.row()].value(QString::fromLatin1(m_roles[column]));
}

QHash<int, QByteArray> RowListModel::roleNames() const
{
    QHash<int, QByteArray> names;
    for (qsizetype i = 0; i < m_roles.size(); ++i)
        names.insert(Qt::UserRole + int(i), m_roles[i]);
    return names;
}

QVariant RowListModel::value(int row, const QString &role) const
{
    if (row < 0 || row >= m_rows.size())
        return {};
    return m_rows[row].value(role);
}

QString RowListModel::keyOf(const QVariantMap &row) const
{
    return m_roles.isEmpty() ? QString() : row.value(QString::fromLatin1(m_roles.first())).toString();
}

void RowListModel::setRows(QList<QVariantMap> rows)
{
    // Walk the held and the new rows together, matching them by key: a held row whose
    // key no longer comes (or came earlier) is removed, a new row not held here is
    // inserted, and a matched row is changed only when its values differ. Runs of
    // removals, insertions and changes are announced as one notification each.
    const qsizetype oldSize = m_rows.size();
    QSet<QString> pending;
    pending.reserve(rows.size());
    for (const QVariantMap &row : rows)
        pending.insert(keyOf(row));

    qsizetype i = 0;
    qsizetype changedFrom = -1;
    const auto flushChanges = [&] {
        if (changedFrom >= 0)
            emit dataChanged(index(int(changedFrom)), index(int(i - 1)));
        changedFrom = -1;
    };
    for (qsizetype j = 0; j < rows.size();) {
        if (i < m_rows.size() && keyOf(m_rows[i]) == keyOf(rows[j])) {
            pending.remove(keyOf(rows[j]));
            if (m_rows[i] != rows[j]) {
                m_rows[i] = std::move(rows[j]);
                if (changedFrom < 0)
                    changedFrom = i;
            } else {
                flushChanges();
            }
            ++i;
            ++j;
            continue;
        }
        flushChanges();
        if (i < m_rows.size() && !pending.contains(keyOf(m_rows[i]))) {
            qsizetype end = i + 1;
            while (end < m_rows.size() && !pending.contains(keyOf(m_rows[end])))
                ++end;
            beginRemoveRows({}, int(i), int(end - 1));
            m_rows.remove(i, end - i);
            endRemoveRows();
            continue;
        }
        // Insert new rows before the held row at i (or at the end) until one matches it.
        const QString held = i < m_rows.size() ? keyOf(m_rows[i]) : QString();
        qsizetype end = j;
        while (end < rows.size() && (i >= m_rows.size() || keyOf(rows[end]) != held))
            ++end;
        beginInsertRows({}, int(i), int(i + (end - j) - 1));
        for (qsizetype k = j; k < end; ++k) {
            pending.remove(keyOf(rows[k]));
            m_rows.insert(i + (k - j), std::move(rows[k]));
        }
        endInsertRows();
        i += end - j;
        j = end;
    }
    flushChanges();
    if (i < m_rows.size()) {
        beginRemoveRows({}, int(i), int(m_rows.size() - 1));
        m_rows.remove(i, m_rows.size() - i);
        endRemoveRows();
    }
    if (oldSize != m_rows.size())
        emit countChanged();
}

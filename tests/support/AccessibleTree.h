#pragma once

#include <QAccessible>
#include <QString>
#include <QStringList>

class QWindow;

// The accessibility tree of a window, read as a screen reader reads it: controls are
// found by role and name and pressed through their accessible actions.
class AccessibleTree {
public:
    explicit AccessibleTree(QWindow *window);

    // The first visible node whose name is exactly `name` (and whose role matches, when
    // one is given); null when there is none.
    QAccessibleInterface *find(const QString &name, std::optional<QAccessible::Role> role = std::nullopt) const;
    bool has(const QString &name) const { return find(name) != nullptr; }
    // Every visible name in tree order, for diagnostics and for checking what a view
    // shows.
    QStringList names() const;
    // Presses the enabled button (or other pressable control) of that name; false when
    // there is none or it is disabled.
    bool press(const QString &name) const;
    bool enabled(const QString &name) const;
    // Focuses the editable text of that name (or this one) and types over what it held.
    bool type(const QString &name, const QString &text) const { return type(find(name), text); }
    bool type(QAccessibleInterface *field, const QString &text) const;
    // Chooses in the drop-down of that name the way a keyboard user does: focus it, then
    // press the arrow key so many times.
    bool step(const QString &name, Qt::Key key, int times) const;

private:
    QWindow *m_window;
};

#include "AccessibleTree.h"

#include <QTest>
#include <QWindow>

#include <functional>

namespace {

bool visible(QAccessibleInterface *node)
{
    const QAccessible::State state = node->state();
    return !state.invisible && !state.offscreen;
}

void walk(QAccessibleInterface *node, const std::function<bool(QAccessibleInterface *)> &visit, int depth = 0)
{
    if (!node || depth > 200 || !node->isValid() || !visible(node))
        return;
    if (visit(node))
        return;
    for (int i = 0; i < node->childCount(); ++i)
        walk(node->child(i), visit, depth + 1);
}

} // namespace

AccessibleTree::AccessibleTree(QWindow *window)
    : m_window(window)
{
    QAccessible::setActive(true);
}

QAccessibleInterface *AccessibleTree::find(const QString &name, std::optional<QAccessible::Role> role) const
{
    QAccessibleInterface *found = nullptr;
    walk(QAccessible::queryAccessibleInterface(m_window), [&](QAccessibleInterface *node) {
        if (found)
            return true;
        if (node->text(QAccessible::Name) == name && (!role || node->role() == *role))
            found = node;
        return found != nullptr;
    });
    return found;
}

QStringList AccessibleTree::names() const
{
    QStringList list;
    walk(QAccessible::queryAccessibleInterface(m_window), [&](QAccessibleInterface *node) {
        const QString name = node->text(QAccessible::Name);
        if (!name.isEmpty())
            list.append(name);
        return false;
    });
    return list;
}

namespace {

// Qt Quick does not report a disabled control's state to assistive technology, so the
// control's own flag decides.
bool usable(QAccessibleInterface *node)
{
    if (!node || node->state().disabled || !node->actionInterface())
        return false;
    const QVariant enabled = node->object() ? node->object()->property("enabled") : QVariant();
    return !enabled.isValid() || enabled.toBool();
}

// Gives the control the keyboard, as a person tabbing or clicking there does.
bool focus(QAccessibleInterface *node)
{
    if (!usable(node))
        return false;
    node->actionInterface()->doAction(QAccessibleActionInterface::setFocusAction());
    return node->state().focused;
}

} // namespace

bool AccessibleTree::enabled(const QString &name) const
{
    return usable(find(name));
}

bool AccessibleTree::press(const QString &name) const
{
    QAccessibleInterface *node = find(name);
    if (!usable(node))
        return false;
    const QStringList available = node->actionInterface()->actionNames();
    for (const QString &action : {QAccessibleActionInterface::pressAction(), QAccessibleActionInterface::toggleAction()}) {
        if (available.contains(action)) {
            node->actionInterface()->doAction(action);
            return true;
        }
    }
    return false;
}

bool AccessibleTree::type(QAccessibleInterface *node, const QString &text) const
{
    // As a person does: focus the field, clear it, then type on the keyboard.
    if (!focus(node))
        return false;
    QTest::keyClick(m_window, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(m_window, Qt::Key_Delete);
    for (const QChar c : text)
        QTest::keyClick(m_window, c.toLatin1());
    return true;
}

bool AccessibleTree::step(const QString &name, Qt::Key key, int times) const
{
    if (!focus(find(name, QAccessible::ComboBox)))
        return false;
    for (int i = 0; i < times; ++i)
        QTest::keyClick(m_window, key);
    return true;
}

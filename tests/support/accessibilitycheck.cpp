#include "accessibilitycheck.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QComboBox>
#include <QLabel>
#include <QListView>
#include <QTableView>
#include <QLineEdit>
#include <QMenu>
#include <QMetaMethod>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTabBar>
#include <QTextEdit>
#include <QWidget>

namespace {

bool hasClickedSignal(const QWidget *w)
{
    const QMetaObject *mo = w->metaObject();
    for (int i = 0; i < mo->methodCount(); ++i) {
        const QMetaMethod m = mo->method(i);
        if (m.methodType() == QMetaMethod::Signal && m.name() == "clicked")
            return true;
    }
    return false;
}

bool isField(const QWidget *w)
{
    if (qobject_cast<const QLineEdit *>(w) || qobject_cast<const QComboBox *>(w)
        || qobject_cast<const QAbstractSpinBox *>(w) || qobject_cast<const QAbstractItemView *>(w))
        return true;
    if (qobject_cast<const QAbstractSlider *>(w) && !qobject_cast<const QScrollBar *>(w))
        return true;
    if (auto *t = qobject_cast<const QTextEdit *>(w))
        return !t->isReadOnly();
    if (auto *t = qobject_cast<const QPlainTextEdit *>(w))
        return !t->isReadOnly();
    return false;
}

bool isClickable(const QWidget *w)
{
    if (qobject_cast<const QAbstractButton *>(w))
        return true;
    if (qobject_cast<const QScrollBar *>(w))
        return false;
    if (auto *l = qobject_cast<const QLabel *>(w))
        return l->testAttribute(Qt::WA_SetCursor) && l->cursor().shape() == Qt::PointingHandCursor;
    // custom controls: anything that says it can be clicked
    return hasClickedSignal(w) || (w->testAttribute(Qt::WA_SetCursor) && w->cursor().shape() == Qt::PointingHandCursor);
}

// The parts a composite control draws itself with: they are announced as
// that control.
bool isInnerPart(const QWidget *w, const QWidget *root)
{
    for (const QWidget *p = w->parentWidget(); p && p != root->parentWidget(); p = p->parentWidget()) {
        if (qobject_cast<const QComboBox *>(p) || qobject_cast<const QAbstractSpinBox *>(p)
            || qobject_cast<const QTabBar *>(p))
            return true;
        if (p == root)
            break;
    }
    return false;
}

QString describe(const QWidget *w, const QWidget *root)
{
    QStringList path;
    for (const QWidget *p = w->parentWidget(); p; p = p->parentWidget()) {
        path.prepend(p->objectName().isEmpty() ? QString::fromLatin1(p->metaObject()->className()) : p->objectName());
        if (p == root)
            break;
    }
    return QStringLiteral("%1 %2 (%3)")
        .arg(QString::fromLatin1(w->metaObject()->className()),
             w->objectName().isEmpty() ? QStringLiteral("<no object name>") : w->objectName(),
             path.join(QLatin1Char('/')));
}

// A row a screen reader reads out: its text, or the text given for
// accessibility when a widget draws the row.
QStringList unnamedRows(const QAbstractItemView *view, const QWidget *root)
{
    QStringList out;
    const QAbstractItemModel *m = view->model();
    if (!m)
        return out;
    const QModelIndex parent = view->rootIndex();
    const int rows = qMin(m->rowCount(parent), 1000);
    for (int r = 0; r < rows; ++r) {
        const QModelIndex i = m->index(r, 0, parent);
        if (!(m->flags(i) & Qt::ItemIsEnabled))
            continue; // separators and other inert rows
        if (auto *table = qobject_cast<const QTableView *>(view); table && table->isRowHidden(r))
            continue;
        if (auto *list = qobject_cast<const QListView *>(view); list && list->isRowHidden(r))
            continue;
        if (m->data(i, Qt::AccessibleTextRole).toString().trimmed().isEmpty()
            && m->data(i, Qt::DisplayRole).toString().trimmed().isEmpty())
            out << QStringLiteral("%1 row %2").arg(describe(view, root)).arg(r);
    }
    return out;
}

} // namespace

QString accessibleNameOf(const QWidget *w)
{
    QString name;
    if (QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(const_cast<QWidget *>(w)))
        name = iface->text(QAccessible::Name).trimmed();
    if (name.isEmpty())
        name = w->accessibleName().trimmed();
    if (name.isEmpty())
        if (auto *b = qobject_cast<const QAbstractButton *>(w))
            name = b->text().remove(QLatin1Char('&')).trimmed();
    // an icon-only button is announced by its tool tip
    if (name.isEmpty() && qobject_cast<const QAbstractButton *>(w))
        name = w->toolTip().trimmed();
    return name;
}

QStringList unnamedControls(const QWidget *root)
{
    QStringList out;
    QList<const QWidget *> all{root};
    for (QWidget *c : root->findChildren<QWidget *>())
        all << c;
    for (const QWidget *w : all) {
        if (w != root && (!w->isVisibleTo(root) || isInnerPart(w, root)))
            continue;
        if (w->isWindow() && w != root)
            continue; // menus and dialogs are checked as windows of their own
        if (!isField(w) && !isClickable(w))
            continue;
        if (accessibleNameOf(w).isEmpty())
            out << describe(w, root);
        if (auto *view = qobject_cast<const QAbstractItemView *>(w))
            out << unnamedRows(view, root);
    }
    if (auto *menu = qobject_cast<const QMenu *>(root))
        for (const QAction *a : menu->actions())
            if (a->isVisible() && !a->isSeparator() && a->text().remove(QLatin1Char('&')).trimmed().isEmpty())
                out << QStringLiteral("QMenu %1 action %2").arg(root->objectName(), a->objectName());
    return out;
}

QStringList tabChain(QWidget *root)
{
    QList<QWidget *> candidates;
    for (QWidget *c : root->findChildren<QWidget *>())
        if ((c->focusPolicy() & Qt::TabFocus) && c->isVisibleTo(root) && c->isEnabled() && !c->isWindow())
            candidates << c;
    if (candidates.isEmpty())
        return {};
    // Start from the first in the chain that lies under root.
    QWidget *start = root;
    QWidget *first = nullptr;
    for (QWidget *w = start->nextInFocusChain(); w && w != start; w = w->nextInFocusChain())
        if (candidates.contains(w)) {
            first = w;
            break;
        }
    QStringList out;
    QWidget *w = first;
    int guard = 0;
    do {
        if (candidates.contains(w)) {
            const int n = candidates.indexOf(w);
            out << (w->objectName().isEmpty() ? QStringLiteral("%1#%2").arg(QString::fromLatin1(w->metaObject()->className())).arg(n)
                                              : w->objectName());
        }
        w = w->nextInFocusChain();
    } while (w && w != first && ++guard < 10000);
    return out;
}

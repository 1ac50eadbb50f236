#pragma once

#include <QList>
#include <QPoint>
#include <QWidget>

#include "gonggongwangpan/vgonggongwangpan_dragout.h"
#include "records/m_fileinfo.h"
#include "records/m_renameinfo.h"

class QLineEdit;
class QListWidget;
class VGrid_page;

// The icon view of the disk page: the same page of items as the list view,
// as large icons with their names (plain items, no widget per item), with a
// pager of its own. Names are renamed in place (F2 or the menu), items are
// dragged out to local folders as in the list view; drags from outside are
// taken but a drop here uploads nothing.
class VGonggongwangpan_flow : public QWidget
{
    Q_OBJECT
public:
    explicit VGonggongwangpan_flow(QWidget *parent = nullptr);
    ~VGonggongwangpan_flow() override;

    QListWidget *listWidget() const { return m_list; }
    VGrid_page *pager() const { return m_pager; }
    void setPage(quint64 build, const QList<M_fileinfo> &items);
    quint64 build() const { return m_build; }
    QList<M_fileinfo> selection() const;
    M_fileinfo currentItem() const;
    int itemCount() const;

    // The in-place name editor of the one selected item; false (with a
    // message) without the right or while another rename is open.
    bool startRename();
    // The open name editor, if any.
    QLineEdit *editor() const;
    bool isRenaming() const { return m_renaming; }

signals:
    void signalCount(const QList<M_fileinfo> &selection);
    void signalClick(const M_fileinfo &item);
    void signalDoubleClick(const M_fileinfo &item);
    void signalContextMenu(const QPoint &globalPos);
    void signalRename(const M_renameinfo &info);
    void signalDrag2Local(const QString &folder, const QList<M_fileinfo> &items);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    friend class VFlowNameDelegate;
    void editorGone();
    void commitRename(int index, const QString &typed);

    QListWidget *m_list;
    VGrid_page *m_pager;
    QList<M_fileinfo> m_items;
    quint64 m_build = 0;
    bool m_renaming = false;
    QString m_renameExt;
    VGonggongwangpan_dragout::Gesture m_gesture;
};

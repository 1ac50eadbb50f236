#pragma once

#include <QList>
#include <QWidget>

#include "records/m_fileinfo.h"

class QListWidget;
class VGrid_page;

// The icon view of the disk page: the same page of items as the list view,
// as large icons with their names (plain items, no widget per item), with a
// pager of its own. It takes drags but ignores drops.
class VGonggongwangpan_flow : public QWidget
{
    Q_OBJECT
public:
    explicit VGonggongwangpan_flow(QWidget *parent = nullptr);

    QListWidget *listWidget() const { return m_list; }
    VGrid_page *pager() const { return m_pager; }
    void setPage(quint64 build, const QList<M_fileinfo> &items);
    quint64 build() const { return m_build; }
    QList<M_fileinfo> selection() const;
    M_fileinfo currentItem() const;
    int itemCount() const;

signals:
    void signalCount(const QList<M_fileinfo> &selection);
    void signalClick(const M_fileinfo &item);
    void signalDoubleClick(const M_fileinfo &item);
    void signalContextMenu(const QPoint &globalPos);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QListWidget *m_list;
    VGrid_page *m_pager;
    QList<M_fileinfo> m_items;
    quint64 m_build = 0;
};

#pragma once

#include <QList>
#include <QPoint>
#include <QUrl>
#include <QWidget>

#include "gonggongwangpan/vgonggongwangpan_dragout.h"
#include "records/m_fileinfo.h"
#include "records/m_renameinfo.h"

class QListWidget;
class QListWidgetItem;
class VGrid;
class VGrid_head_item;
class VGonggongwangpan_list_item;

// The list view of the disk page: a grid with the columns 文件名, 更新时间,
// 大小 and 更新者, one row widget per item of the page on screen (made in
// small chunks so the event loop keeps running, then reused for the next
// pages; a newer page stops an older build), drops of local files, drags out
// to local folders and the row menu.
class VGonggongwangpan_list : public QWidget
{
    Q_OBJECT
public:
    explicit VGonggongwangpan_list(QWidget *parent = nullptr);

    VGrid *grid() const { return m_grid; }
    QListWidget *listWidget() const;
    // Shows a page of the given build; rows of older builds stop.
    void setPage(quint64 build, const QList<M_fileinfo> &items);
    quint64 build() const { return m_build; }
    bool isBuilding() const { return m_building; }
    // Row widgets now alive.
    int rowCount() const;
    VGonggongwangpan_list_item *row(int index) const;
    QList<M_fileinfo> selection() const;
    M_fileinfo currentItem() const;
    // Whether local files may be dropped here (the folder's upload right).
    void setAcceptUpload(bool on) { m_acceptUpload = on; }
    bool acceptsUpload() const { return m_acceptUpload; }
    void setLoading(bool on);
    // The in-place editor of the current row.
    bool startRename();
    void selectAll();
    // Rows made per turn of the event loop (reused rows are filled for a few
    // milliseconds per turn).
    static int &chunkSize();

signals:
    void signalCount(const QList<M_fileinfo> &selection);
    void signalClick(const M_fileinfo &item);
    void signalDoubleClick(const M_fileinfo &item);
    void signalContextMenu(const QPoint &globalPos);
    void signalRename(const M_renameinfo &info);
    void signalDownloadItem(const M_fileinfo &item);
    void signalDropUrls(const QList<QUrl> &urls);
    void signalDrag2Local(const QString &folder, const QList<M_fileinfo> &items);
    void signalSortParams(int column, int ordertype);
    void signalFinishCreate(quint64 build);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createChunk(quint64 build);
    void startDrag();
    void syncChecks();

    VGrid *m_grid;
    QList<M_fileinfo> m_pending;
    int m_next = 0;
    quint64 m_build = 0;
    bool m_building = false;
    bool m_acceptUpload = false;
    VGonggongwangpan_dragout::Gesture m_gesture;
};

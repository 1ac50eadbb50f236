#include "bendibeifen/vbendibeifen_log_working.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

#include "VWidgets/vpageparts.h"
#include "VWidgets/vgrid.h"
#include "VWidgets/vgrid_page.h"
#include "backup/vbackuptask.h"
#include "bendibeifen/vbendibeifen_log_working_item.h"
#include "transfer/vglobalconnect.h"

VBendibeifen_log_working::VBendibeifen_log_working(VBackupTask *task, QWidget *parent)
    : QWidget(parent), m_task(task)
{
    setObjectName(QStringLiteral("VBendibeifen_log_working"));
    auto *v = new QVBoxLayout(this);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(0);
    m_grid = new VGrid(this);
    m_grid->allCheckBox()->hide();
    m_grid->addColumn(QStringLiteral("文件名"), false, 200, 0);
    m_grid->addColumn(QStringLiteral("大小"), false, 100, 100);
    m_grid->addColumn(QStringLiteral("更新时间"), false, 140, 140);
    m_grid->addColumn(QStringLiteral("状态"), false, 140, 140, true);
    m_grid->listWidget()->setAccessibleName(QStringLiteral("正在备份的文件"));
    v->addWidget(m_grid, 1);
    QHBoxLayout *h = nullptr;
    QWidget *foot = VPageParts::footer(this, &h);
    label_selected = new QLabel(QStringLiteral("已选中0个文件/文件夹"), foot);
    h->addWidget(label_selected);
    h->addStretch();
    label_count = new QLabel(foot);
    label_count->setObjectName(QStringLiteral("label_count"));
    h->addWidget(label_count);
    v->addWidget(foot);

    connect(m_grid, &VGrid::signalSelectedItems, this, [this](const QList<QListWidgetItem *> &sel) {
        label_selected->setText(QStringLiteral("已选中%1个文件/文件夹").arg(sel.size()));
    });
    connect(m_grid->pager(), &VGrid_page::currentPageChanged, this, [this](int page) {
        m_page = page;
        m_dirty = true;
        slotTimeOut();
    });
    connect(task, &VBackupTask::signalItemsChanged, this, [this] { m_dirty = true; });
    connect(task, &VBackupTask::signalItemProgress, this, [this](const QString &id, qint64 done, qint64 total) {
        if (VBendibeifen_log_working_item *r = m_rows.value(id))
            r->onDownloadProcess(done, total);
    });
    connect(VGlobalConnect::instance(), &VGlobalConnect::signalTaskChangeByBak, this,
            &VBendibeifen_log_working::slotTaskChangeByBak);
    connect(m_grid, qOverload<QList<int>>(&VGrid::signalResize), this, [this](const QList<int> &w) {
        for (VBendibeifen_log_working_item *r : qAsConst(m_rows))
            r->slotResize(w);
    });
    m_timer.setInterval(500);
    connect(&m_timer, &QTimer::timeout, this, &VBendibeifen_log_working::slotTimeOut);
    m_timer.start();
    slotTaskChangeByBak(task->itemCount());
    rebuild();
}

int VBendibeifen_log_working::rowCount() const
{
    return m_grid->listWidget()->count();
}

VBendibeifen_log_working_item *VBendibeifen_log_working::row(int index) const
{
    QListWidget *l = m_grid->listWidget();
    return qobject_cast<VBendibeifen_log_working_item *>(l->itemWidget(l->item(index)));
}

void VBendibeifen_log_working::slotTaskChangeByBak(int count)
{
    label_count->setText(QStringLiteral("共计%1个任务处理中").arg(count));
}

void VBendibeifen_log_working::slotTimeOut()
{
    // nothing to draw while the page is hidden or nothing changed
    if (!m_dirty || !isVisible())
        return;
    rebuild();
}

void VBendibeifen_log_working::rebuild()
{
    m_dirty = false;
    const int total = m_task->itemCount();
    const int pages = qMax(1, (total + kPageSize - 1) / kPageSize);
    if (m_page > pages)
        m_page = 1;
    m_grid->pager()->setPageCount(pages);
    m_grid->pager()->setCurrentPage(m_page);
    const QList<VBackupTask::Item> items = m_task->items((m_page - 1) * kPageSize, kPageSize);
    QListWidget *list = m_grid->listWidget();
    const QList<int> widths = m_grid->columnWidths();
    // reuse the rows there are; add or drop only the difference
    while (list->count() > items.size())
        delete list->takeItem(list->count() - 1);
    m_rows.clear();
    for (int i = 0; i < items.size(); ++i) {
        VBendibeifen_log_working_item *r = nullptr;
        if (i < list->count()) {
            r = row(i);
        } else {
            r = new VBendibeifen_log_working_item(list);
            m_grid->addRow(r, 40);
            r->slotResize(widths);
        }
        r->setItem(items.at(i));
        list->item(i)->setData(Qt::AccessibleTextRole, r->accessibleName());
        m_rows.insert(items.at(i).log.id, r);
    }
    m_grid->refreshEmpty();
}

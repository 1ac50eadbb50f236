#include "bendibeifen/vbendibeifen_log_done.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "VWidgets/vpageparts.h"
#include "DB/db_self.h"
#include "VWidgets/vdialog.h"
#include "VWidgets/vgrid.h"
#include "VWidgets/vgrid_head_item.h"
#include "VWidgets/vgrid_page.h"
#include "backup/vbackuptask.h"
#include "bendibeifen/vbendibeifen_log_done_item.h"

VBendibeifen_log_done::VBendibeifen_log_done(VBackupTask *task, QWidget *parent) : QWidget(parent), m_task(task)
{
    setObjectName(QStringLiteral("VBendibeifen_log_done"));
    auto *v = new QVBoxLayout(this);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(0);
    m_grid = new VGrid(this);
    m_grid->allCheckBox()->hide();
    m_grid->addColumn(QStringLiteral("文件名"), false, 200, 0);
    m_grid->addColumn(QStringLiteral("大小"), false, 100, 100);
    VGrid_head_item *timeHead = m_grid->addColumn(QStringLiteral("完成时间"), true, 140, 140);
    timeHead->setOrdertype(1);
    timeHead->setActive(true);
    timeHead->setAccessibleName(QStringLiteral("按完成时间排序"));
    m_grid->addColumn(QStringLiteral("状态"), false, 100, 100, true);
    m_grid->listWidget()->setAccessibleName(QStringLiteral("备份完成的文件"));
    v->addWidget(m_grid, 1);
    QHBoxLayout *h = nullptr;
    QWidget *foot = VPageParts::footer(this, &h);
    h->addStretch();
    pushButton_clear = new QPushButton(QStringLiteral("清除记录"), foot);
    pushButton_clear->setObjectName(QStringLiteral("pushButton_clear"));
    pushButton_clear->setAccessibleName(QStringLiteral("清除记录"));
    pushButton_clear->setStyleSheet(VDialog::buttonStyle(1));
    pushButton_clear->setCursor(Qt::PointingHandCursor);
    h->addWidget(pushButton_clear);
    v->addWidget(foot);

    connect(m_grid, &VGrid::signalSortParams, this, &VBendibeifen_log_done::slotSortParams);
    connect(m_grid->pager(), &VGrid_page::currentPageChanged, this, &VBendibeifen_log_done::slotPageChanged);
    connect(pushButton_clear, &QPushButton::clicked, this, &VBendibeifen_log_done::on_pushButton_clear_clicked);
    connect(m_grid, qOverload<QList<int>>(&VGrid::signalResize), this, [this](const QList<int> &w) {
        QListWidget *l = m_grid->listWidget();
        for (int i = 0; i < l->count(); ++i)
            if (auto *r = qobject_cast<VBendibeifen_log_done_item *>(l->itemWidget(l->item(i))))
                r->slotResize(w);
    });
    m_refresh.setSingleShot(true);
    m_refresh.setInterval(1000);
    connect(&m_refresh, &QTimer::timeout, this, [this] {
        if (isVisible())
            reload();
    });
    connect(task, &VBackupTask::signalStoreFlushed, this, [this] {
        if (!m_refresh.isActive())
            m_refresh.start();
    });
}

void VBendibeifen_log_done::reload()
{
    db_self *store = m_task->store();
    m_page = store->getHistory(m_page, {m_task->owner()}, m_newestFirst);
    m_grid->pager()->setPageCount(m_page.pagecount);
    m_grid->pager()->setCurrentPage(m_page.pageindex);
    m_grid->clearRows();
    const QList<int> widths = m_grid->columnWidths();
    for (const M_db_synhistory &h : qAsConst(m_page.list)) {
        auto *r = new VBendibeifen_log_done_item(h, m_grid->listWidget());
        m_grid->addRow(r, 40)->setData(Qt::AccessibleTextRole, r->accessibleName());
        r->slotResize(widths);
    }
    m_grid->refreshEmpty();
}

void VBendibeifen_log_done::slotSortParams(int column, int ordertype)
{
    if (column != 3)
        return;
    m_newestFirst = ordertype == 1; // as the header arrow shows
    m_page.pageindex = 1;
    reload();
}

void VBendibeifen_log_done::slotPageChanged(int page)
{
    m_page.pageindex = page;
    reload();
}

void VBendibeifen_log_done::on_pushButton_clear_clicked()
{
    m_task->store()->clearHistory({m_task->owner()});
    m_page.pageindex = 1;
    reload();
}

#include "bendibeifen/vbendibeifen.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "VWidgets/vpageparts.h"
#include "VWidgets/vgrid.h"
#include "VWidgets/vgrid_page.h"
#include "backup/vbackuptask.h"
#include "bendibeifen/vbendibeifen_item.h"
#include "transfer/vglobalconnect.h"

VBendibeifen::VBendibeifen(VBackupTask *task, QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("VBendibeifen"));
    auto *v = new QVBoxLayout(this);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(0);
    m_grid = new VGrid(this);
    m_grid->allCheckBox()->hide();
    // one fixed row: no pager, no selection
    m_grid->findChild<QWidget *>(QStringLiteral("widget_grid_foot"))->hide();
    const QList<QPair<QString, int>> columns{{QStringLiteral("板块"), 90},       {QStringLiteral("备份类型"), 110},
                                             {QStringLiteral("本地备份目录"), 0}, {QStringLiteral("轮询间隔"), 90},
                                             {QStringLiteral("状态"), 90},       {QStringLiteral("最近同步时间"), 140},
                                             {QStringLiteral("开启同步"), 90},   {QStringLiteral("操作"), 60}};
    for (int i = 0; i < columns.size(); ++i)
        m_grid->addColumn(columns.at(i).first, false, columns.at(i).second, columns.at(i).second,
                          i == columns.size() - 1);
    v->addWidget(m_grid, 1);

    m_item = new VBendibeifen_item(task, m_grid);
    QListWidgetItem *row = m_grid->addRow(m_item, 48);
    row->setFlags(Qt::ItemIsEnabled);
    row->setData(Qt::AccessibleTextRole, task->sectionName() + QStringLiteral(" 单向备份"));
    m_grid->listWidget()->setAccessibleName(QStringLiteral("备份任务"));
    connect(m_grid, qOverload<QList<int>>(&VGrid::signalResize), m_item, &VBendibeifen_item::slotResize);

    QHBoxLayout *h = nullptr;
    QWidget *foot = VPageParts::footer(this, &h);
    pushButton_count = VPageParts::linkButton(QStringLiteral("0"), QStringLiteral("pushButton_count"),
                                              QStringLiteral("正在处理的文件数"), foot);
    h->addWidget(pushButton_count);
    auto *text = new QLabel(QStringLiteral(" 个任务正在处理"), foot);
    h->addWidget(text);
    h->addStretch();
    pushButton_view = VPageParts::linkButton(QStringLiteral("查看"), QStringLiteral("pushButton_view"),
                                             QStringLiteral("查看正在备份的文件"), foot);
    h->addWidget(pushButton_view);
    h->addSpacing(12);
    pushButton_log = VPageParts::linkButton(QStringLiteral("备份日志"), QStringLiteral("pushButton_log"),
                                            QStringLiteral("备份日志"), foot);
    h->addWidget(pushButton_log);
    v->addWidget(foot);

    connect(pushButton_count, &QPushButton::clicked, this, &VBendibeifen::on_pushButton_count_clicked);
    connect(pushButton_view, &QPushButton::clicked, this, &VBendibeifen::on_pushButton_view_clicked);
    connect(pushButton_log, &QPushButton::clicked, this, &VBendibeifen::on_pushButton_log_clicked);
    connect(VGlobalConnect::instance(), &VGlobalConnect::signalTaskChangeByBak, this, &VBendibeifen::slotTaskChange);
    slotTaskChange(task->itemCount());
}

void VBendibeifen::on_pushButton_count_clicked()
{
    on_pushButton_log_clicked();
}

void VBendibeifen::on_pushButton_view_clicked()
{
    on_pushButton_log_clicked();
}

void VBendibeifen::on_pushButton_log_clicked()
{
    if (m_logPage)
        emit signalChangeWidget(m_logPage);
}

void VBendibeifen::slotTaskChange(int count)
{
    pushButton_count->setText(QString::number(count));
}

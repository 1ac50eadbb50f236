#include "benditongbu/vbenditongbu_list.h"

#include <QCheckBox>
#include <QListWidget>
#include <QVBoxLayout>

#include "VWidgets/vgrid.h"
#include "VWidgets/vgrid_page.h"
#include "benditongbu/vbenditongbu_list_item.h"

VBenditongbu_list::VBenditongbu_list(QWidget *parent) : QWidget(parent)
{
    auto *v = new QVBoxLayout(this);
    v->setContentsMargins(0, 0, 0, 0);
    m_grid = new VGrid(this);
    m_grid->allCheckBox()->hide();
    m_grid->findChild<QWidget *>(QStringLiteral("widget_grid_foot"))->hide();
    const QList<QPair<QString, int>> columns{{QStringLiteral("公共网盘"), 100}, {QStringLiteral("本地存储路径"), 0},
                                             {QStringLiteral("同步类型"), 100}, {QStringLiteral("状态"), 90},
                                             {QStringLiteral("开启同步"), 90},  {QStringLiteral("操作"), 60}};
    for (int i = 0; i < columns.size(); ++i)
        m_grid->addColumn(columns.at(i).first, false, columns.at(i).second, columns.at(i).second,
                          i == columns.size() - 1);
    v->addWidget(m_grid);
    m_item = new VBenditongbu_list_item(m_grid);
    QListWidgetItem *row = m_grid->addRow(m_item, 48);
    row->setFlags(Qt::ItemIsEnabled);
    row->setData(Qt::AccessibleTextRole, QStringLiteral("公共网盘 双向同步"));
    m_grid->listWidget()->setAccessibleName(QStringLiteral("同步板块"));
    connect(m_grid, qOverload<QList<int>>(&VGrid::signalResize), m_item, &VBenditongbu_list_item::slotResize);
}

#include "benditongbu/vbenditongbu_log.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "VWidgets/vpageparts.h"
#include "VWidgets/vdialog.h"
#include "VWidgets/vgrid.h"
#include "VWidgets/vgrid_page.h"

VBenditongbu_log::VBenditongbu_log(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("VBenditongbu_log"));
    auto *v = new QVBoxLayout(this);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(0);
    const VPageParts::LogBar bar = VPageParts::logBar(this, QStringLiteral("返回本地同步"), QStringLiteral("正在同步"),
                                                      QStringLiteral("同步完成"));
    pushButton_back = bar.back;
    pushButton_working = bar.first;
    pushButton_done = bar.second;
    QWidget *top = bar.bar;
    v->addWidget(top);
    m_stack = new QStackedWidget(this);
    m_stack->addWidget(buildTab(false));
    m_stack->addWidget(buildTab(true));
    v->addWidget(m_stack, 1);
    connect(pushButton_back, &QPushButton::clicked, this, &VBenditongbu_log::signalOpenMain);
    connect(pushButton_working, &QPushButton::clicked, this, [this] { showTab(0); });
    connect(pushButton_done, &QPushButton::clicked, this, [this] { showTab(1); });
    showTab(0);
}

QWidget *VBenditongbu_log::buildTab(bool done)
{
    auto *w = new QWidget(this);
    auto *v = new QVBoxLayout(w);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(0);
    auto *grid = new VGrid(w);
    grid->addColumn(QStringLiteral("文件名"), false, 200, 0);
    grid->addColumn(QStringLiteral("大小"), false, 100, 100);
    grid->addColumn(done ? QStringLiteral("完成时间") : QStringLiteral("更新时间"), false, 140, 140);
    grid->addColumn(QStringLiteral("状态"), false, 100, 100, true);
    grid->findChild<QWidget *>(QStringLiteral("widget_grid_foot"))->hide();
    grid->allCheckBox()->setAccessibleName(QStringLiteral("全选"));
    grid->listWidget()->setAccessibleName(done ? QStringLiteral("同步完成的文件") : QStringLiteral("正在同步的文件"));
    v->addWidget(grid, 1);
    QHBoxLayout *h = nullptr;
    QWidget *foot = VPageParts::footer(w, &h);
    auto *selected = new QLabel(QStringLiteral("已选中0个文件/文件夹"), foot);
    h->addWidget(selected);
    h->addStretch();
    connect(grid, &VGrid::signalSelectedItems, selected, [selected](const QList<QListWidgetItem *> &items) {
        selected->setText(QStringLiteral("已选中%1个文件/文件夹").arg(items.size()));
    });
    if (done) {
        auto *clear = new QPushButton(QStringLiteral("清除列表"), foot);
        clear->setAccessibleName(QStringLiteral("清除列表"));
        clear->setStyleSheet(VDialog::buttonStyle(1));
        clear->setCursor(Qt::PointingHandCursor);
        connect(clear, &QPushButton::clicked, grid, &VGrid::clearRows);
        h->addWidget(clear);
    }
    v->addWidget(foot);
    return w;
}

void VBenditongbu_log::showTab(int index)
{
    m_stack->setCurrentIndex(index);
    pushButton_working->setChecked(index == 0);
    pushButton_done->setChecked(index == 1);
}

int VBenditongbu_log::currentTab() const
{
    return m_stack->currentIndex();
}

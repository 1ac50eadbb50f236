#include "chuanshuliebiao/vchuanshuliebiao.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "DB/db_self.h"
#include "VWidgets/vdialog.h"
#include "chuanshuliebiao/vchuanshuliebiao_done.h"
#include "chuanshuliebiao/vchuanshuliebiao_down.h"
#include "chuanshuliebiao/vchuanshuliebiao_up.h"
#include "transfer/vglobalconnect.h"
#include "transfer/vtransfertask.h"

namespace {
constexpr int kExitWaitMs = 3000;

QPushButton *footerButton(QWidget *parent, const QString &name, const QString &text, bool primary)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->setAccessibleName(text);
    b->setCursor(Qt::PointingHandCursor);
    b->setStyleSheet(primary ? QStringLiteral("QPushButton{background:#0081DD;color:#FFFFFF;border:none;border-radius:3px;"
                                              "min-width:72px;min-height:28px;padding:0 12px;font-size:12px;}"
                                              "QPushButton:hover{background:#1A8FE3;}")
                             : QStringLiteral("QPushButton{background:#FFFFFF;color:#606266;border:1px solid #DCDFE6;"
                                              "border-radius:3px;min-width:72px;min-height:28px;padding:0 12px;"
                                              "font-size:12px;}"
                                              "QPushButton:hover{color:#0081DD;border-color:#0081DD;}"));
    return b;
}
} // namespace

VChuanshuliebiao::VChuanshuliebiao(QWidget *parent, db_self *store) : VPage(parent)
{
    setObjectName(QStringLiteral("VChuanshuliebiao"));
    if (!store)
        store = db_self::instance();
    setAttribute(Qt::WA_StyledBackground, true);
    setStyleSheet(QStringLiteral("VChuanshuliebiao{background:#FFFFFF;}"));

    auto *v = new QVBoxLayout(this);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(0);

    // Tabs.
    auto *tabs = new QWidget(this);
    tabs->setObjectName(QStringLiteral("widget_tabs"));
    tabs->setAttribute(Qt::WA_StyledBackground, true);
    tabs->setStyleSheet(QStringLiteral(
        "QWidget#widget_tabs{background:#FFFFFF;border-bottom:1px solid #E4E7ED;}"
        "QPushButton{border:none;border-bottom:2px solid transparent;padding:0 4px;min-height:40px;"
        "font-size:14px;color:#606266;background:transparent;}"
        "QPushButton:hover{color:#0081DD;}"
        "QPushButton:checked{color:#0081DD;border-bottom:2px solid #0081DD;}"));
    auto *th = new QHBoxLayout(tabs);
    th->setContentsMargins(20, 0, 20, 0);
    th->setSpacing(28);
    pushButton_up = new QPushButton(tabs);
    pushButton_up->setObjectName(QStringLiteral("pushButton_up"));
    pushButton_down = new QPushButton(tabs);
    pushButton_down->setObjectName(QStringLiteral("pushButton_down"));
    pushButton_done = new QPushButton(tabs);
    pushButton_done->setObjectName(QStringLiteral("pushButton_done"));
    auto *group = new QButtonGroup(this);
    for (QPushButton *b : {pushButton_up, pushButton_down, pushButton_done}) {
        b->setCheckable(true);
        b->setCursor(Qt::PointingHandCursor);
        group->addButton(b);
        th->addWidget(b);
    }
    th->addStretch(1);
    v->addWidget(tabs);

    stackedWidget = new QStackedWidget(this);
    stackedWidget->setObjectName(QStringLiteral("stackedWidget"));
    m_up = new VChuanshuliebiao_up(store, stackedWidget);
    m_down = new VChuanshuliebiao_down(store, stackedWidget);
    m_done = new VChuanshuliebiao_done(store, stackedWidget);
    stackedWidget->addWidget(m_up);
    stackedWidget->addWidget(m_down);
    stackedWidget->addWidget(m_done);
    v->addWidget(stackedWidget, 1);

    // Footer.
    auto *footer = new QWidget(this);
    footer->setObjectName(QStringLiteral("widget_footer"));
    footer->setAttribute(Qt::WA_StyledBackground, true);
    footer->setStyleSheet(QStringLiteral("QWidget#widget_footer{background:#FAFAFA;border-top:1px solid #E4E7ED;}"
                                         "QLabel{color:#909399;font-size:12px;}"));
    auto *fh = new QHBoxLayout(footer);
    fh->setContentsMargins(20, 8, 20, 8);
    fh->setSpacing(10);
    label = new QLabel(footer);
    label->setObjectName(QStringLiteral("label"));
    fh->addWidget(label);
    fh->addStretch(1);
    pushButton_start = footerButton(footer, QStringLiteral("pushButton_start"), QStringLiteral("全部开始"), true);
    pushButton_stop = footerButton(footer, QStringLiteral("pushButton_stop"), QStringLiteral("全部暂停"), false);
    pushButton_cancel = footerButton(footer, QStringLiteral("pushButton_cancel"), QStringLiteral("全部取消"), false);
    pushButton_clear = footerButton(footer, QStringLiteral("pushButton_clear"), QStringLiteral("清空记录"), false);
    for (QPushButton *b : {pushButton_start, pushButton_stop, pushButton_cancel, pushButton_clear})
        fh->addWidget(b);
    v->addWidget(footer);

    connect(pushButton_up, &QPushButton::clicked, this, &VChuanshuliebiao::on_pushButton_up_clicked);
    connect(pushButton_down, &QPushButton::clicked, this, &VChuanshuliebiao::on_pushButton_down_clicked);
    connect(pushButton_done, &QPushButton::clicked, this, &VChuanshuliebiao::on_pushButton_done_clicked);
    connect(pushButton_start, &QPushButton::clicked, this, &VChuanshuliebiao::on_pushButton_start_clicked);
    connect(pushButton_stop, &QPushButton::clicked, this, &VChuanshuliebiao::on_pushButton_stop_clicked);
    connect(pushButton_cancel, &QPushButton::clicked, this, &VChuanshuliebiao::on_pushButton_cancel_clicked);
    connect(pushButton_clear, &QPushButton::clicked, this, &VChuanshuliebiao::on_pushButton_clear_clicked);
    connect(m_up, &VChuanshuliebiao_up::signalTotalCount, this, &VChuanshuliebiao::slotTotalCount);
    connect(m_down, &VChuanshuliebiao_down::signalTotalCount, this, &VChuanshuliebiao::slotTotalCount);
    connect(m_done, &VChuanshuliebiao_done::signalTotalCount, this, &VChuanshuliebiao::slotTotalCount);
    for (VChuanshuliebiao_pagedlist *tab : {static_cast<VChuanshuliebiao_pagedlist *>(m_up),
                                            static_cast<VChuanshuliebiao_pagedlist *>(m_down),
                                            static_cast<VChuanshuliebiao_pagedlist *>(m_done)})
        connect(tab, &VChuanshuliebiao_pagedlist::signalSelectedCount, this, [this, tab](int n) {
            if (stackedWidget->currentWidget() == tab)
                slotSelectedCount(n);
        });

    // Rows of the log that did not finish come back; they run now when the
    // user wants transfers continued.
    m_up->list()->restore();
    m_down->list()->restore();
    showTab(0);
    updateCaptions();
}

VChuanshuliebiao::~VChuanshuliebiao()
{
    // Every worker is told to stop when its task goes; give the threads a
    // bounded time to end so none is cut off mid-write.
    delete m_up;
    delete m_down;
    m_up = nullptr;
    m_down = nullptr;
    VTransferTask::waitWorkerThreads(kExitWaitMs);
}

void VChuanshuliebiao::reload()
{
    if (auto *tab = qobject_cast<VChuanshuliebiao_pagedlist *>(stackedWidget->currentWidget()))
        tab->syncNow();
}

int VChuanshuliebiao::currentTab() const { return stackedWidget->currentIndex(); }

QString VChuanshuliebiao::caption(const QString &format, int count)
{
    return format.arg(count > 999 ? QStringLiteral("999+") : QString::number(count));
}

void VChuanshuliebiao::updateCaptions()
{
    if (!m_up || !m_down)
        return;
    const QString up = caption(QStringLiteral("正在上传(%1)"), m_up->totalCount());
    const QString down = caption(QStringLiteral("正在下载(%1)"), m_down->totalCount());
    const QString done = caption(QStringLiteral("传输完成(%1)"), m_done->totalCount());
    pushButton_up->setText(up);
    pushButton_up->setAccessibleName(up);
    pushButton_down->setText(down);
    pushButton_down->setAccessibleName(down);
    pushButton_done->setText(done);
    pushButton_done->setAccessibleName(done);
}

void VChuanshuliebiao::showTab(int index)
{
    stackedWidget->setCurrentIndex(index);
    pushButton_up->setChecked(index == 0);
    pushButton_down->setChecked(index == 1);
    pushButton_done->setChecked(index == 2);
    const bool running = index < 2;
    pushButton_start->setVisible(running);
    pushButton_stop->setVisible(running);
    pushButton_cancel->setVisible(running);
    pushButton_clear->setVisible(!running);
    auto *tab = qobject_cast<VChuanshuliebiao_pagedlist *>(stackedWidget->currentWidget());
    if (tab)
        tab->syncNow();
    slotSelectedCount(tab ? tab->selectedCount() : 0);
}

void VChuanshuliebiao::on_pushButton_up_clicked() { showTab(0); }
void VChuanshuliebiao::on_pushButton_down_clicked() { showTab(1); }
void VChuanshuliebiao::on_pushButton_done_clicked() { showTab(2); }

void VChuanshuliebiao::slotSelectedCount(int count)
{
    label->setText(QStringLiteral("已选中%1个文件/文件夹").arg(count));
}

void VChuanshuliebiao::slotTotalCount(int, QWidget *)
{
    updateCaptions();
    // The menu badge counts the rows still to transfer, both ways.
    if (m_up && m_down)
        emit VGlobalConnect::instance()->signalTaskChange(m_up->totalCount() + m_down->totalCount());
}

void VChuanshuliebiao::on_pushButton_start_clicked()
{
    if (currentTab() == 0)
        emit VGlobalConnect::instance()->signalStartUpload();
    else if (currentTab() == 1)
        emit VGlobalConnect::instance()->signalStartDownload();
}

void VChuanshuliebiao::on_pushButton_stop_clicked()
{
    // Each row gives its own slot back when its stop has ended, so rows
    // still stopping keep counting against the limit.
    if (currentTab() == 0)
        emit VGlobalConnect::instance()->signalStopUpload();
    else if (currentTab() == 1)
        emit VGlobalConnect::instance()->signalStopDownload();
}

void VChuanshuliebiao::on_pushButton_cancel_clicked()
{
    const int tab = currentTab();
    if (tab > 1)
        return;
    const int n = tab == 0 ? m_up->totalCount() : m_down->totalCount();
    if (n == 0)
        return;
    // Asked without a nested loop: the answer arrives by signal.
    auto *ask = new VDialog(window());
    ask->setObjectName(QStringLiteral("dialog_cancelall"));
    ask->setAttribute(Qt::WA_DeleteOnClose);
    ask->setTitle(QStringLiteral("提示"));
    auto *text = new QLabel(tab == 0 ? QStringLiteral("确定取消全部%1个上传任务吗？").arg(n)
                                     : QStringLiteral("确定取消全部%1个下载任务吗？").arg(n));
    text->setStyleSheet(QStringLiteral("font-size:13px;color:#303133;padding:12px 4px;"));
    ask->setContentWidget(text);
    ask->okButton()->setAccessibleName(ask->okButton()->text());
    ask->cancelButton()->setAccessibleName(ask->cancelButton()->text());
    connect(ask, &QDialog::accepted, this, tab == 0 ? &VChuanshuliebiao::slot2cancle : &VChuanshuliebiao::slotCancleDownload);
    ask->setWindowModality(Qt::WindowModal);
    ask->show();
}

void VChuanshuliebiao::slot2cancle() { emit VGlobalConnect::instance()->signalCancleUpload(); }
void VChuanshuliebiao::slotCancleDownload() { emit VGlobalConnect::instance()->signalCancleDownload(); }

void VChuanshuliebiao::on_pushButton_clear_clicked() { emit VGlobalConnect::instance()->signalClearDone(); }

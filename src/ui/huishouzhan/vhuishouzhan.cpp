#include "huishouzhan/vhuishouzhan.h"

#include "huishouzhan/vhuishouzhan_err.h"
#include "huishouzhan/vhuishouzhan_isrename.h"
#include "huishouzhan/vhuishouzhan_item.h"
#include "main/enum_leftmenu.h"
#include "VWidgets/vfileinfo.h"
#include "VWidgets/vgrid.h"
#include "VWidgets/vgrid_head_item.h"
#include "VWidgets/vsearchbar.h"

#include "Api/api.h"
#include "Api/vacttracker.h"
#include "lists/vlistrules.h"
#include "lists/vpagedlist.h"
#include "lists/vrecycleresult.h"
#include "transfer/vglobalconnect.h"
#include "utils/vutils.h"

#include <QHBoxLayout>
#include <QToolButton>
#include <QJsonArray>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>


VHuishouzhan::VHuishouzhan(QWidget *parent) : VListPage(QStringLiteral("VHuishouzhan"), QStringLiteral("回收站"), parent)
{
    m_recover = addTopButton(QStringLiteral("还原"), QStringLiteral("pushButton_recover"),
                             QStringLiteral(":/images/icon/huanyuan.png"));
    m_clear = addTopButton(QStringLiteral("清空"), QStringLiteral("pushButton_clear"),
                           QStringLiteral(":/images/icon/qingkong.png"));
    m_refresh = addRefreshButton();
    m_recover->setEnabled(false);
    m_clear->setEnabled(false);
    topBar()->addStretch(1);
    m_search = new VSearchBar(this);
    m_search->setFixedWidth(260);
    m_search->lineEdit()->setPlaceholderText(QStringLiteral("搜索回收站中的文件/文件夹"));
    topBar()->addWidget(m_search);
    topBar()->addWidget(paneButton());

    VGrid *g = grid();
    VGrid_head_item *name = g->addColumn(QStringLiteral("文件名"), true, 100, 0);
    g->addColumn(QStringLiteral("删除时间"), true, 140, 140);
    g->addColumn(QStringLiteral("大小"), true, 100, 100);
    g->addColumn(QStringLiteral("删除者"), false, 70, 120);
    g->addColumn(QStringLiteral("原路径"), false, 200, 200, true);
    name->setActive(true);
    setGridMinimumWidth(640);
    setModel(new VPagedList({{QStringLiteral("filename"), false},
                             {QStringLiteral("deltime"), false},
                             {QStringLiteral("filesize"), true}},
                            this));
    setListRequest(Api::file_getrecyclelist, [this] { return Api::params_file_getrecyclelist(m_searchKey); });

    m_tracker = new VActTracker(this);
    connect(m_tracker, &VActTracker::signalFinished, this, &VHuishouzhan::slotGetQueueResult);
    connect(m_search, &VSearchBar::signalSearch, this, &VHuishouzhan::slotSearch);
    connect(m_recover, &QPushButton::clicked, this, &VHuishouzhan::on_pushButton_recover_clicked);
    connect(m_clear, &QPushButton::clicked, this, &VHuishouzhan::on_pushButton_clear_clicked);
    connect(g, &VGrid::signalItemClick, this, [this](QListWidgetItem *item) {
        if (auto *r = qobject_cast<VHuishouzhan_item *>(listWidget()->itemWidget(item)))
            showInfo(r->info());
    });
    setRowMenu(QStringLiteral("menu_recycle"), {{QStringLiteral("还原"), [this] { toHuanyuan(); }},
                                                {QStringLiteral("清空"), [this] { toClear(); }}});
    orderTabs();
    // Delete on the list acts on the selection as the top button does.
    onDeleteKey([this] { toClear(); });
    // The first fetch once the page is on its way to the screen.
    QTimer::singleShot(200, this, [this] {
        if (!m_fetched)
            getFileList();
    });
}

// ---- list ---------------------------------------------------------------------------

void VHuishouzhan::getFileList()
{
    m_fetched = true;
    VListPage::getFileList();
}

void VHuishouzhan::slotSearch(const QString &text)
{
    m_searchKey = text.trimmed();
    getFileList();
}

void VHuishouzhan::on_pushButton_refresh_clicked()
{
    // The box shows what the list holds: no search after a refresh.
    {
        const QSignalBlocker b(m_search);
        m_search->clear();
    }
    m_searchKey.clear();
    getFileList();
}

QWidget *VHuishouzhan::createRow(const QJsonObject &item, QListWidgetItem *listItem)
{
    auto *row = new VHuishouzhan_item(M_fileinfo(item), listItem, listWidget());
    connect(row, &VHuishouzhan_item::signalRestore, this, [this](const QString &id) {
        selectIds({id});
        toHuanyuan();
    });
    connect(row, &VHuishouzhan_item::signalDelete, this, [this](const QString &id) {
        selectIds({id});
        toClear();
    });
    return row;
}

QString VHuishouzhan::idOf(const QJsonObject &item) const
{
    return item.value(QStringLiteral("id")).toVariant().toString();
}

void VHuishouzhan::selectionChanged(const QStringList &ids)
{
    VListPage::selectionChanged(ids);
    m_recover->setEnabled(!ids.isEmpty());
    m_clear->setEnabled(!ids.isEmpty());
    if (ids.size() == 1) {
        if (auto *r = qobject_cast<VHuishouzhan_item *>(rowWidget(ids.first())))
            showInfo(r->info());
    }
}

void VHuishouzhan::showInfo(const M_fileinfo &f)
{
    // A deleted item has no details on the disk: the entry says it all.
    VFileInfo *info = fileInfo();
    info->clearInfo();
    info->setInfo(f.isdir ? QStringLiteral("文件夹名：") : QStringLiteral("文件名："), f.filename);
    if (!f.isdir)
        info->setInfo(QStringLiteral("文件大小："), VUtils::formatSize(f.filesize));
    info->setInfo(QStringLiteral("原位置："), VListRules::linkText(f.bankuai, f.fullpath));
    const QDateTime t = VUtils::parseDateTime(f.deltime);
    info->setInfo(QStringLiteral("删除时间："), t.isValid() ? t.toString(QStringLiteral("yyyy-MM-dd HH:mm")) : f.deltime);
    info->setInfo(QStringLiteral("删除者："), f.delusername);
}

// ---- acts -----------------------------------------------------------------------------

void VHuishouzhan::on_pushButton_recover_clicked()
{
    toHuanyuan();
}

void VHuishouzhan::on_pushButton_clear_clicked()
{
    toClear();
}

void VHuishouzhan::toHuanyuan(bool)
{
    const QStringList ids = selectedIds();
    if (ids.isEmpty())
        return; // nothing selected: nothing asked, nothing sent
    confirm(QStringLiteral("VPrompt_huanyuan"), QStringLiteral("确认还原选中的%1项数据？").arg(ids.size()),
            [this, ids] { toHuanyuan2(ids, false); });
}

void VHuishouzhan::toHuanyuan2(const QStringList &ids, bool isrename)
{
    if (ids.isEmpty())
        return;
    QJsonArray list;
    for (const QString &id : ids)
        list.append(QJsonObject{{QStringLiteral("id"), id}, {QStringLiteral("totype"), isrename ? "1" : "0"}});
    sendAct(QStringLiteral("huanyuan"), Api::params_act_Reduction(list),
            {{QStringLiteral("kind"), QStringLiteral("huanyuan")},
             {QStringLiteral("followup"), isrename},
             {QStringLiteral("ids"), ids}},
            QStringLiteral("回收站数据还原中，请稍后"));
}

void VHuishouzhan::toClear(bool)
{
    const QStringList ids = selectedIds();
    if (ids.isEmpty())
        return;
    confirm(QStringLiteral("VPrompt_qingkong"), QStringLiteral("确认清空选中的%1项数据？").arg(ids.size()), [this, ids] {
        sendAct(QStringLiteral("qingkong"), Api::params_act_Del(ids),
                {{QStringLiteral("kind"), QStringLiteral("qingkong")}, {QStringLiteral("ids"), ids}},
                QStringLiteral("回收站数据清理中，请稍后"));
    });
}

void VHuishouzhan::sendAct(const QString &kind, const QJsonObject &params, const QVariantMap &context,
                           const QString &waiting)
{
    emit VGlobalConnect::instance()->signalLayer_waiting(waiting, false);
    // The act's context rides with the request, so each reply carries its own.
    const QJsonObject custom{{QStringLiteral("type"), kind},
                             {QStringLiteral("context"), QJsonObject::fromVariantMap(context)}};
    send(Api::act_add, params, custom, [this](const QJsonObject &re) { slotGetWpResult(re); });
}

void VHuishouzhan::slotGetWpResult(const QJsonObject &re)
{
    VGlobalConnect *hub = VGlobalConnect::instance();
    Api::instance()->checkCode(re, false);
    const QJsonObject custom = Api::getCustomData(re);
    const QString type = custom.value(QStringLiteral("type")).toString();
    if (type != QLatin1String("huanyuan") && type != QLatin1String("qingkong")) {
        emit hub->signalLayer_err(QStringLiteral("数据异常"), false);
        return;
    }
    QString msg;
    const QString id =
        m_tracker->trackReply(re, custom.value(QStringLiteral("context")).toObject().toVariantMap(), &msg);
    if (id.isEmpty()) {
        emit hub->signalLayer_err(msg, false);
        return;
    }
    emit hub->signalLayer_waiting(type == QLatin1String("huanyuan") ? QStringLiteral("数据还原中，请稍后")
                                                                    : QStringLiteral("回收站数据清理中，请稍后"),
                                  false);
}

void VHuishouzhan::slotGetQueueResult(const M_api_act &act, const QVariantMap &context)
{
    VGlobalConnect *hub = VGlobalConnect::instance();
    const QString kind = context.value(QStringLiteral("kind")).toString();
    const bool restore = kind == QLatin1String("huanyuan");
    const VRecycleResult r = VRecycleResult::decide(restore ? VRecycleResult::Restore : VRecycleResult::Delete, act,
                                                    context.value(QStringLiteral("followup")).toBool());
    emit hub->signalLayer_hide();
    if (!r.errorText.isEmpty())
        emit hub->signalLayer_err(r.errorText, false);
    if (!r.successText.isEmpty())
        emit hub->signalLayer_success(r.successText, false);
    if (r.showFailureDialog)
        openDialog(new VHuishouzhan_err(r.failures, act.clientText(), act.ip, act.username, this));
    if (!r.conflicts.isEmpty()) {
        auto *d = new VHuishouzhan_isrename(r.conflicts, this);
        connect(d, &VHuishouzhan_isrename::signalKeepBoth, this,
                [this](const QStringList &ids) { toHuanyuan2(ids, true); });
        connect(d, &QDialog::rejected, this, [] {
            emit VGlobalConnect::instance()->signalLayer_err(QStringLiteral("操作取消"), false);
        });
        openDialog(d);
    }
    if (r.refetch)
        getFileList();
    emit signalActHandled(kind, act.id);
}

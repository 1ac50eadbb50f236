#include "gonggongwangpan/vgonggongwangpan.h"

#include "gonggongwangpan/vgonggongwangpan_createdirs.h"
#include "gonggongwangpan/vgonggongwangpan_downlaodaddr.h"
#include "gonggongwangpan/vgonggongwangpan_errmove.h"
#include "gonggongwangpan/vgonggongwangpan_flow.h"
#include "gonggongwangpan/vgonggongwangpan_isrename.h"
#include "gonggongwangpan/vgonggongwangpan_list.h"
#include "gonggongwangpan/vgonggongwangpan_list_item.h"
#include "gonggongwangpan/vgonggongwangpan_seldir.h"
#include "VWidgets/vaddressbar.h"
#include "VWidgets/vfileinfo.h"
#include "VWidgets/vgrid.h"
#include "VWidgets/vgrid_page.h"
#include "VWidgets/vopbar.h"
#include "VWidgets/vprompt.h"
#include "VWidgets/vsearchbar.h"
#include "VWidgets/vshousuobar.h"
#include "VWidgets/vusericonlist.h"

#include "Api/vacttracker.h"
#include "DB/db_self.h"
#include "context/vglobalparameter.h"
#include "context/vglobalresource.h"
#include "task/vglobaltask.h"
#include "disk/vdisklist.h"
#include "disk/vdownloadplan.h"
#include "disk/vpermission.h"
#include "lists/vlistrules.h"
#include "records/m_api_move.h"
#include "records/m_config.h"
#include "request/vurlrequest.h"
#include "utils/vutils.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QLoggingCategory>
#include <QMenu>
#include <QPushButton>
#include <QStackedWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

Q_LOGGING_CATEGORY(lcDisk, "orvel.disk")

namespace {
// VOpBar operation numbers and the right each needs.
struct OpRight {
    int op;
    int bit;
};
const OpRight kOps[] = {{0, VPermission::Upload},   {1, VPermission::Create}, {3, VPermission::Download},
                        {7, VPermission::Move},     {6, VPermission::Copy},   {5, VPermission::Delete}};

const char *const kTabOn = "QPushButton{color:#0081dd;border:none;border-bottom:2px solid #0081dd;padding:6px 4px;}";
const char *const kTabOff = "QPushButton{color:#333333;border:none;border-bottom:2px solid transparent;padding:6px 4px;}";

QString timeText(const QString &t)
{
    const QDateTime d = VUtils::parseDateTime(t);
    return d.isValid() ? d.toString(QStringLiteral("yyyy-MM-dd HH:mm")) : t;
}

bool allAllow(const QList<M_fileinfo> &items, int bit)
{
    if (items.isEmpty())
        return false;
    for (const M_fileinfo &i : items) {
        if (!VPermission::itemAllows(i, bit))
            return false;
    }
    return true;
}
} // namespace

QString VGonggongwangpan::displayPath(const QString &fullpath)
{
    return VListRules::displayPath(fullpath);
}

VGonggongwangpan::VGonggongwangpan(QWidget *parent) : VPage(parent)
{
    setObjectName(QStringLiteral("VGonggongwangpan"));
    setAccessibleName(QStringLiteral("公共网盘"));
    setStyleSheet(QStringLiteral("#VGonggongwangpan{background:#FFFFFF;}"));
    setAttribute(Qt::WA_StyledBackground, true);
    auto *root = new QVBoxLayout(this);
    root->setContentsMargins(16, 10, 16, 6);
    root->setSpacing(8);

    // address bar and search
    auto *top = new QHBoxLayout;
    m_addr = new VAddressBar(this);
    m_search = new VSearchBar(this);
    m_search->setFixedWidth(260);
    top->addWidget(m_addr, 1);
    top->addWidget(m_search);
    root->addLayout(top);

    // toolbar and view switch
    auto *bar = new QHBoxLayout;
    m_opbar = new VOpBar(this);
    m_opbar->configure({0, 1, 3, 7, 6, 5});
    {
        // upload, create, download, move, copy, delete
        auto *lay = qobject_cast<QBoxLayout *>(m_opbar->layout());
        int pos = 0;
        for (const OpRight &o : kOps) {
            QToolButton *b = m_opbar->button(o.op);
            lay->removeWidget(b);
            lay->insertWidget(pos++, b);
        }
    }
    m_shousuo = new VShousuoBar(this);
    bar->addWidget(m_opbar, 1);
    bar->addWidget(m_shousuo);
    root->addLayout(bar);

    // views and detail pane
    auto *middle = new QHBoxLayout;
    middle->setSpacing(10);
    m_views = new QStackedWidget(this);
    m_listView = new VGonggongwangpan_list(m_views);
    m_flow = new VGonggongwangpan_flow(m_views);
    m_views->addWidget(m_listView);
    m_views->addWidget(m_flow);
    middle->addWidget(m_views, 1);

    m_detail = new QWidget(this);
    m_detail->setObjectName(QStringLiteral("widget_detail"));
    m_detail->setFixedWidth(250);
    m_detail->setAttribute(Qt::WA_StyledBackground, true);
    m_detail->setStyleSheet(QStringLiteral("#widget_detail{border-left:1px solid #EEEEEE;background:#FFFFFF;}"));
    auto *dl = new QVBoxLayout(m_detail);
    dl->setContentsMargins(12, 0, 0, 0);
    auto *tabs = new QHBoxLayout;
    m_tab1 = new QPushButton(QStringLiteral("详细信息"), m_detail);
    m_tab1->setObjectName(QStringLiteral("pushButton"));
    m_tab2 = new QPushButton(QStringLiteral("权限"), m_detail);
    m_tab2->setObjectName(QStringLiteral("pushButton_2"));
    for (QPushButton *b : {m_tab1, m_tab2}) {
        b->setCursor(Qt::PointingHandCursor);
        b->setFlat(true);
        tabs->addWidget(b);
    }
    tabs->addStretch(1);
    dl->addLayout(tabs);
    m_detailStack = new QStackedWidget(m_detail);
    m_fileInfo = new VFileInfo(m_detailStack);
    m_userIcons = new VUserIconList(m_detailStack);
    m_detailStack->addWidget(m_fileInfo);
    m_detailStack->addWidget(m_userIcons);
    dl->addWidget(m_detailStack, 1);
    middle->addWidget(m_detail);
    root->addLayout(middle, 1);

    m_status = new QLabel(QStringLiteral("已选中0个文件/文件夹"), this);
    m_status->setObjectName(QStringLiteral("label_status"));
    m_status->setStyleSheet(QStringLiteral("color:#999999;"));
    root->addWidget(m_status);

    m_model = new VDiskList(this);
    m_tracker = new VActTracker(this);
    // Finished uploads are looked at every 3 s: a folder on screen that
    // received one is listed again.
    refreshTimer = new QTimer(this);
    refreshTimer->setInterval(3000);
    connect(refreshTimer, &QTimer::timeout, this, &VGonggongwangpan::slotTimerTimeout);
    refreshTimer->start();

    // wiring
    connect(m_addr, &VAddressBar::signalPathChange, this, &VGonggongwangpan::slotPathChange);
    connect(m_search, &VSearchBar::signalSearch, m_addr, &VAddressBar::slotSearch);
    connect(m_shousuo, &VShousuoBar::signalIsShitu, this, &VGonggongwangpan::slotIsShitu);
    connect(m_shousuo, &VShousuoBar::signalIsShousuo, this, &VGonggongwangpan::slotIsShousuo);
    connect(m_tab1, &QPushButton::clicked, this, &VGonggongwangpan::on_pushButton_clicked);
    connect(m_tab2, &QPushButton::clicked, this, &VGonggongwangpan::on_pushButton_2_clicked);
    connect(m_opbar, &VOpBar::signalUpload, this, [this](int kind) {
        if (kind == 0)
            slotUpdateFile();
        else
            slotUploadDir();
    });
    connect(m_opbar, &VOpBar::signalCreate, this, [this](int kind) {
        if (kind == 0)
            slotCreateDirClick();
        else
            slotCreateDirByMuban();
    });
    connect(m_opbar, &VOpBar::signalOp, this, [this](int op) {
        switch (op) {
        case 3: slotDownloadFile(); break;
        case 7: slotMoveFile(); break;
        case 6: slotCopyFile(); break;
        case 5: slotDelFile(); break;
        default: break;
        }
    });
    connect(m_model, &VDiskList::signalPageReady, this, &VGonggongwangpan::showPage);
    // Once a page is on screen the other columns' sort keys are read.
    connect(m_listView, &VGonggongwangpan_list::signalFinishCreate, this, [this](quint64 build) {
        if (build == m_model->buildId())
            m_model->prepareOtherKeys();
    });
    connect(m_model, &VDiskList::signalBuilding, m_listView, &VGonggongwangpan_list::setLoading);
    connect(m_listView, &VGonggongwangpan_list::signalSortParams, this, [this](int column, int order) {
        m_model->setSortColumn(column, order == 1);
    });
    connect(m_listView->grid()->pager(), &VGrid_page::currentPageChanged, m_model, &VDiskList::setPage);
    connect(m_flow->pager(), &VGrid_page::currentPageChanged, m_model, &VDiskList::setPage);
    connect(m_listView, &VGonggongwangpan_list::signalCount, this, [this](const QList<M_fileinfo> &s) {
        if (!isIconView())
            slotCount(s);
    });
    connect(m_flow, &VGonggongwangpan_flow::signalCount, this, [this](const QList<M_fileinfo> &s) {
        if (isIconView())
            slotCount(s);
    });
    connect(m_listView, &VGonggongwangpan_list::signalClick, this, &VGonggongwangpan::slotClick);
    connect(m_flow, &VGonggongwangpan_flow::signalClick, this, &VGonggongwangpan::slotClick);
    connect(m_listView, &VGonggongwangpan_list::signalDoubleClick, this, &VGonggongwangpan::slotDoubleClick);
    connect(m_flow, &VGonggongwangpan_flow::signalDoubleClick, this, &VGonggongwangpan::slotDoubleClick);
    connect(m_listView, &VGonggongwangpan_list::signalContextMenu, this, &VGonggongwangpan::slotContextMenu);
    connect(m_flow, &VGonggongwangpan_flow::signalContextMenu, this, &VGonggongwangpan::slotContextMenu);
    connect(m_listView, &VGonggongwangpan_list::signalRename, this, &VGonggongwangpan::slotRename);
    connect(m_listView, &VGonggongwangpan_list::signalDropUrls, this, &VGonggongwangpan::slotDropUrls);
    connect(m_listView, &VGonggongwangpan_list::signalDownloadItem, this, [this](const M_fileinfo &item) {
        slotFileOp2Download(QString(), {item});
    });
    connect(m_flow, &VGonggongwangpan_flow::signalRename, this, &VGonggongwangpan::slotRename);
    connect(m_listView, &VGonggongwangpan_list::signalDrag2Local, this, &VGonggongwangpan::slotDrag2Local);
    connect(m_flow, &VGonggongwangpan_flow::signalDrag2Local, this, &VGonggongwangpan::slotDrag2Local);
    connect(m_tracker, &VActTracker::signalFinished, this, &VGonggongwangpan::slotGetWpResult);
    connect(VGlobalConnect::instance(), &VGlobalConnect::signalFileOp, this, &VGonggongwangpan::slotFileOp);
    connect(db_self::instance(), &db_self::signalAddCount, this, &VGonggongwangpan::slotAddCount);
    m_listView->listWidget()->installEventFilter(this);
    m_flow->listWidget()->installEventFilter(this);

    on_pushButton_clicked();
    refreshToolbar();
}

VGonggongwangpan::~VGonggongwangpan()
{
    // the model's destructor joins the sorts still running
}

// ---- listing ----------------------------------------------------------------

void VGonggongwangpan::openPath(const QString &path)
{
    // A view restored or asked for from outside wins over a listing in flight.
    m_addr->slotWatingEnd();
    m_addr->goTo(path.isEmpty() ? QStringLiteral("/") : path);
}

void VGonggongwangpan::reload()
{
    relist();
}

void VGonggongwangpan::showEvent(QShowEvent *event)
{
    VPage::showEvent(event);
    if (!m_listedOnce && !m_loading && m_addr->historySize() == 0)
        openPath(QStringLiteral("/"));
}

void VGonggongwangpan::slotPathChange(const QString &path, const QString &search)
{
    list(path, search);
}

void VGonggongwangpan::slotSearch(const QString &) {}

void VGonggongwangpan::list(const QString &path, const QString &search)
{
    // The newest listing wins: older replies are recognised by their number.
    const quint64 seq = ++m_listSeq;
    m_requestedPath = path.isEmpty() ? QStringLiteral("/") : path;
    m_requestedSearch = search;
    m_loading = true;
    m_listView->setLoading(true);
    QJsonObject custom{{QStringLiteral("seq"), QString::number(seq)},
                       {QStringLiteral("path"), m_requestedPath},
                       {QStringLiteral("search"), search}};
    send(Api::file_getlist, Api::params_file_getlist(m_requestedPath, search, 1, 0), custom,
         [this](const QJsonObject &re) { slotGetList(re); });
}

void VGonggongwangpan::relist()
{
    if (!m_listedOnce) {
        openPath(m_shownPath);
        return;
    }
    list(m_shownPath, m_shownSearch);
}

void VGonggongwangpan::slotGetList(const QJsonObject &reply)
{
    const QJsonObject custom = Api::getCustomData(reply);
    if (custom.value(QStringLiteral("seq")).toString() != QString::number(m_listSeq)) {
        ++m_staleReplies; // superseded by a newer listing
        return;
    }
    m_loading = false;
    m_addr->slotWatingEnd();
    const int code = Api::instance()->checkCode(reply, false);
    const QString path = custom.value(QStringLiteral("path")).toString();
    const QString search = custom.value(QStringLiteral("search")).toString();
    if (code != 0) {
        // Keep the folder that was shown; the bar goes back to it.
        m_listView->setLoading(m_model->isSorting());
        const QString msg = Api::getMsg(reply).isEmpty() ? QStringLiteral("获取列表失败") : Api::getMsg(reply);
        emit VGlobalConnect::instance()->signalLayer_err(msg, false);
        if (m_listedOnce && (path != m_shownPath || search != m_shownSearch)) {
            const QSignalBlocker b(m_addr);
            m_addr->goTo(m_shownPath, m_shownSearch);
            m_addr->slotWatingEnd();
        }
        emit signalListFailed(msg);
        return;
    }
    const QJsonObject data = Api::getData(reply).toObject();
    const bool samePlace = m_listedOnce && path == m_shownPath && search == m_shownSearch;
    m_folder = M_fileinfo(data.value(QStringLiteral("dirinfo")).toObject());
    m_shownPath = path;
    m_shownSearch = search;
    m_listedOnce = true;
    VGlobalParameter::instance()->setCurrentPath(path);
    m_selection.clear();
    m_status->setText(QStringLiteral("已选中0个文件/文件夹"));
    m_listView->setAcceptUpload(VPermission::itemAllows(m_folder, VPermission::Upload));
    refreshToolbar();
    // Page 1 for a new folder or search; a reload keeps the page (clamped).
    m_model->setItems(data.value(QStringLiteral("list")).toArray(), !samePlace);
    loadFavourites();
    // With nothing selected the detail pane describes the folder itself.
    if (!samePlace)
        slotClick(m_folder);
    emit signalListed(path);
}

void VGonggongwangpan::showPage(quint64 build, const QList<M_fileinfo> &items)
{
    // Only the view on screen builds its page; the other one catches up
    // when it is switched to.
    if (isIconView()) {
        m_flow->setPage(build, items);
        m_model->prepareOtherKeys();
    } else {
        m_listView->setPage(build, items);
    }
    for (VGrid_page *p : {m_listView->grid()->pager(), m_flow->pager()}) {
        const QSignalBlocker b(p);
        p->setPageCount(m_model->pageCount());
        p->setCurrentPage(m_model->page());
    }
    m_listView->setLoading(false);
}

bool VGonggongwangpan::isIconView() const
{
    return m_views->currentWidget() == m_flow;
}

void VGonggongwangpan::slotIsShitu(bool iconView)
{
    m_views->setCurrentWidget(iconView ? static_cast<QWidget *>(m_flow) : m_listView);
    const quint64 build = m_model->buildId();
    if (!m_model->isSorting()) {
        if (iconView && m_flow->build() != build)
            m_flow->setPage(build, m_model->pageItems());
        else if (!iconView && m_listView->build() != build)
            m_listView->setPage(build, m_model->pageItems());
    }
    slotCount(iconView ? m_flow->selection() : m_listView->selection());
}

void VGonggongwangpan::slotIsShousuo(bool collapsed)
{
    m_detail->setVisible(!collapsed);
}

void VGonggongwangpan::on_pushButton_clicked()
{
    m_detailStack->setCurrentWidget(m_fileInfo);
    m_tab1->setStyleSheet(QString::fromLatin1(kTabOn));
    m_tab2->setStyleSheet(QString::fromLatin1(kTabOff));
}

void VGonggongwangpan::on_pushButton_2_clicked()
{
    m_detailStack->setCurrentWidget(m_userIcons);
    m_tab2->setStyleSheet(QString::fromLatin1(kTabOn));
    m_tab1->setStyleSheet(QString::fromLatin1(kTabOff));
}

void VGonggongwangpan::slotShowInfo(bool)
{
    m_detail->setVisible(true);
    on_pushButton_clicked();
}

void VGonggongwangpan::slotCount(const QList<M_fileinfo> &selection)
{
    m_selection = selection;
    refreshToolbar();
    m_status->setText(QStringLiteral("已选中%1个文件/文件夹").arg(selection.size()));
    if (selection.size() == 1)
        slotClick(selection.first());
}

void VGonggongwangpan::refreshToolbar()
{
    const int mask = m_listedOnce ? VPermission::toolbar(m_folder, m_selection) : 0;
    for (const OpRight &o : kOps)
        m_opbar->setEnabled(o.op, (mask & o.bit) == o.bit);
}

void VGonggongwangpan::loadFavourites()
{
    const quint64 seq = ++m_favSeq;
    send(Api::favourite_list, QJsonObject(), QJsonObject{{QStringLiteral("seq"), QString::number(seq)}},
         [this](const QJsonObject &re) {
             if (Api::getCustomData(re).value(QStringLiteral("seq")).toString() != QString::number(m_favSeq))
                 return;
             if (Api::getCode(re) != 0)
                 return;
             m_favIds.clear();
             for (const QJsonValue &v : Api::toArray(Api::getData(re))) {
                 const QJsonObject o = v.toObject();
                 m_favIds.insert(o.value(QStringLiteral("fileid")).toVariant().toString());
             }
         });
}

// ---- detail pane --------------------------------------------------------------

void VGonggongwangpan::slotClick(const M_fileinfo &item)
{
    if (item.id.isEmpty())
        return;
    m_detailId = item.id;
    m_fileInfo->clearInfo();
    m_fileInfo->setInfo(item.isdir ? QStringLiteral("文件夹名：") : QStringLiteral("文件名："), item.filename);
    const QJsonObject tag{{QStringLiteral("id"), item.id}};
    send(Api::file_info, Api::params_file_info(item.id), tag, [this](const QJsonObject &re) { slotSetFileInfo(re); });
    send(Api::qx_GetDirQx, Api::params_qx_GetDirQx(item.id), tag, [this](const QJsonObject &re) { slotSetQxInfo(re); });
}

void VGonggongwangpan::slotSetFileInfo(const QJsonObject &reply)
{
    if (Api::getCustomData(reply).value(QStringLiteral("id")).toString() != m_detailId)
        return; // an older item's details
    if (Api::instance()->checkCode(reply, false) != 0) {
        m_fileInfo->clearInfo();
        m_fileInfo->showFailed();
        emit VGlobalConnect::instance()->signalLayer_err(Api::getMsg(reply), false);
        return;
    }
    const QJsonObject o = Api::getData(reply).toObject();
    const M_fileinfo f(o);
    m_fileInfo->clearInfo();
    const bool root = displayPath(f.fullpath) == QLatin1String("/");
    const QString where = root ? QStringLiteral("-")
                               : QStringLiteral("公共网盘") + displayPath(VUtils::parentPath(f.fullpath));
    const QString updater = f.updateusername.isEmpty() ? f.createusername : f.updateusername;
    if (f.isdir) {
        m_fileInfo->setInfo(QStringLiteral("文件夹名："), root ? QStringLiteral("公共网盘") : f.filename);
        m_fileInfo->setInfo(QStringLiteral("位置："), where);
        m_fileInfo->setInfo(QStringLiteral("更新人："), updater);
        m_fileInfo->setInfo(QStringLiteral("更新时间："), timeText(f.updatetime));
    } else {
        m_fileInfo->setInfo(QStringLiteral("文件名："), f.filename);
        m_fileInfo->setInfo(QStringLiteral("位置："), where);
        m_fileInfo->setInfo(QStringLiteral("文件大小："), VUtils::formatSize(f.filesize));
        m_fileInfo->setInfo(QStringLiteral("类型："), f.fileext.isEmpty() ? QStringLiteral("文件") : f.fileext.toUpper());
        m_fileInfo->setInfo(QStringLiteral("更新人："), updater);
        m_fileInfo->setInfo(QStringLiteral("更新时间："), timeText(f.updatetime));
    }
}

void VGonggongwangpan::slotSetQxInfo(const QJsonObject &reply)
{
    if (Api::getCustomData(reply).value(QStringLiteral("id")).toString() != m_detailId)
        return;
    if (Api::instance()->checkCode(reply, false) != 0)
        return;
    const QJsonArray arr = Api::toArray(Api::getData(reply));
    bool inherited = false;
    for (const QJsonValue &v : arr)
        inherited = inherited || v.toObject().value(QStringLiteral("isextend")).toBool();
    m_userIcons->setList(arr, inherited);
}

// ---- navigation ----------------------------------------------------------------

void VGonggongwangpan::slotDoubleClick(const M_fileinfo &item)
{
    if (item.isdir) {
        if (!item.fullpath.isEmpty()) {
            m_addr->slotWatingEnd();
            m_addr->goTo(displayPath(item.fullpath));
        }
        return;
    }
    handOffPreview(fileop_viewonline, item);
}

void VGonggongwangpan::slotGoUp()
{
    if (m_shownPath == QLatin1String("/") && m_shownSearch.isEmpty())
        return;
    QString parent = m_shownSearch.isEmpty() ? VUtils::parentPath(m_shownPath) : m_shownPath;
    if (parent.isEmpty())
        parent = QStringLiteral("/");
    m_addr->slotWatingEnd();
    m_addr->goTo(displayPath(parent));
}

void VGonggongwangpan::handOffPreview(enum_fileoptype op, const M_fileinfo &item)
{
    // Preview and local editing belong to the global task (VGlobalTask); a
    // file that cannot be previewed is not handed over.
    if (op == fileop_viewonline && !VGlobalTask::isPreviewable(item)) {
        const bool right = item.isadmin || VPermission::allows(item.permissioncode, VPermission::Preview);
        emit VGlobalConnect::instance()->signalLayer_err(
            right ? QStringLiteral("此类文件不支持在线预览，请下载后查看") : QStringLiteral("权限不足"), false);
        return;
    }
    emit VGlobalConnect::instance()->signalFileOp(op, QVariant::fromValue(item));
}

void VGonggongwangpan::slotTimerTimeout()
{
    const QList<M_db_file> done = VGlobalResource::instance()->takeChangeFileList();
    if (!m_listedOnce || m_loading || !m_shownSearch.isEmpty())
        return;
    for (const M_db_file &f : done) {
        if (f.type == 2 && VGlobalResource::isSameFolder(f.serverpath, m_folder.fullpath)) {
            reload();
            return;
        }
    }
}

bool VGonggongwangpan::startRename()
{
    return isIconView() ? m_flow->startRename() : m_listView->startRename();
}

void VGonggongwangpan::slotDrag2Local(const QString &folder, const QList<M_fileinfo> &items)
{
    slotFileOp2Download(folder, items);
}

M_fileinfo VGonggongwangpan::activeItem() const
{
    return isIconView() ? m_flow->currentItem() : m_listView->currentItem();
}

QList<M_fileinfo> VGonggongwangpan::activeSelection() const
{
    return isIconView() ? m_flow->selection() : m_listView->selection();
}

bool VGonggongwangpan::eventFilter(QObject *watched, QEvent *event)
{
    const bool ours = watched == m_listView->listWidget() || watched == m_flow->listWidget();
    if (!ours || event->type() != QEvent::KeyPress)
        return VPage::eventFilter(watched, event);
    auto *ke = static_cast<QKeyEvent *>(event);
    switch (ke->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: {
        const M_fileinfo item = activeItem();
        if (!item.id.isEmpty())
            slotDoubleClick(item);
        return true;
    }
    case Qt::Key_Delete:
        slotDelFile();
        return true;
    case Qt::Key_F2:
        startRename();
        return true;
    case Qt::Key_Backspace:
        slotGoUp();
        return true;
    case Qt::Key_A:
        if (ke->modifiers() & Qt::ControlModifier) {
            if (isIconView())
                m_flow->listWidget()->selectAll();
            else
                m_listView->selectAll();
            return true;
        }
        break;
    default:
        break;
    }
    return VPage::eventFilter(watched, event);
}

// ---- requests -------------------------------------------------------------------

void VGonggongwangpan::send(Api::apis api, const QJsonObject &params, const QJsonObject &custom, ReplyFn onReply,
                            bool waiting)
{
    auto *req = new VUrlRequest;
    if (!custom.isEmpty())
        req->addCustomData(custom);
    connect(req, qOverload<const QJsonObject &>(&VUrlRequest::signalResult), this,
            [onReply](const QJsonObject &re) {
                if (onReply)
                    onReply(re);
            });
    Api::instance()->startApi(req, api, params, waiting);
}

void VGonggongwangpan::sendAct(Api::apis api, const QJsonObject &params, const QVariantMap &context,
                               const QString &waiting, ReplyFn onReply)
{
    emit VGlobalConnect::instance()->signalLayer_waiting(waiting, false);
    send(api, params, QJsonObject{{QStringLiteral("bz"), context.value(QStringLiteral("kind")).toString()}},
         [this, context, waiting, onReply](const QJsonObject &re) {
             Api::instance()->checkCode(re, false);
             QString msg;
             const QString id = m_tracker->trackReply(re, context, &msg);
             if (id.isEmpty()) {
                 emit VGlobalConnect::instance()->signalLayer_err(msg, false);
                 if (context.value(QStringLiteral("kind")).toString() == QLatin1String("adddirs")) {
                     if (msg == QStringLiteral("服务器遇到意外情况，导致无法完成请求"))
                         emit VGlobalConnect::instance()->signalLayer_err(QStringLiteral("文件夹数过多"), false);
                     endUploadPreparation();
                 }
             } else {
                 emit VGlobalConnect::instance()->signalLayer_waiting(waiting, false);
             }
             if (onReply)
                 onReply(re);
         });
}

void VGonggongwangpan::openDialog(QWidget *dialog)
{
    // Never a nested event loop: the act poll and the replies keep running.
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    if (auto *d = qobject_cast<QDialog *>(dialog))
        d->open();
    else
        dialog->show();
}

// ---- operations: toolbar and menu ---------------------------------------------------

void VGonggongwangpan::slotDownloadFile()
{
    slotFileOp2Download(QString(), activeSelection());
}

void VGonggongwangpan::slotMoveFile()
{
    startCopyMove(true, activeSelection());
}

void VGonggongwangpan::slotCopyFile()
{
    startCopyMove(false, activeSelection());
}

void VGonggongwangpan::slotDelFile()
{
    const QList<M_fileinfo> items = activeSelection();
    if (items.isEmpty())
        return;
    if (!allAllow(items, VPermission::Delete)) {
        emit VGlobalConnect::instance()->signalLayer_err(QStringLiteral("没有删除权限"), false);
        return;
    }
    QStringList paths;
    for (const M_fileinfo &i : items)
        paths << i.fullpath;
    slotFileOp(fileop_delete, paths);
}

void VGonggongwangpan::slotFileOp(enum_fileoptype type, const QVariant &value)
{
    switch (type) {
    case fileop_move:
    case fileop_copy:
        startCopyMove(type == fileop_move, value.value<QList<M_fileinfo>>());
        break;
    case fileop_delete: {
        const QStringList paths = value.toStringList();
        if (paths.isEmpty())
            return;
        auto *p = new VPrompt(this);
        p->setType(5);
        p->setPaths(paths);
        p->setText(paths.size() == 1 ? QStringLiteral("确认移入回收站？")
                                     : QStringLiteral("确认将选中的%1项移入回收站？").arg(paths.size()));
        connect(p, &VPrompt::signalConfirmed, this, [this, p](int, const QString &, const QStringList &list) {
            QPointer<VPrompt> guard(p);
            sendAct(Api::act_Remove, Api::params_act_Remove(list),
                    {{QStringLiteral("kind"), QStringLiteral("remove")}, {QStringLiteral("paths"), list}},
                    QStringLiteral("正在删除文件，请稍后"), [guard](const QJsonObject &re) {
                        if (guard)
                            guard->slotGetWpResult(re);
                    });
        });
        openDialog(p);
        break;
    }
    case fileop_download: {
        const QVariantMap m = value.toMap();
        slotFileOp2Download(m.value(QStringLiteral("localpath")).toString(),
                            m.value(QStringLiteral("items")).value<QList<M_fileinfo>>());
        break;
    }
    case fileop_upload: {
        const QVariantMap m = value.toMap();
        slotGetUploadFiles(m.value(QStringLiteral("serverpath")).toString(),
                           m.value(QStringLiteral("paths")).toStringList());
        break;
    }
    case fileop_favourite:
        slotFileOp2Favorite(value.value<M_fileinfo>());
        break;
    case fileop_editlocal:
    case fileop_viewonline:
        break; // the global task opens these
    default:
        break;
    }
}

void VGonggongwangpan::slotContextMenu(const QPoint &globalPos)
{
    const QList<M_fileinfo> items = activeSelection();
    if (items.isEmpty())
        return;
    if (m_menu)
        m_menu->deleteLater();
    m_menu = new QMenu(this);
    m_menu->setObjectName(QStringLiteral("menu_file"));
    m_menu->setAttribute(Qt::WA_DeleteOnClose);
    const bool one = items.size() == 1;
    const M_fileinfo first = items.first();
    auto add = [this](const QString &text, bool enabled, std::function<void()> fn) {
        QAction *a = m_menu->addAction(text);
        a->setEnabled(enabled);
        if (fn)
            connect(a, &QAction::triggered, this, [fn] { fn(); });
        return a;
    };
    add(QStringLiteral("分享"), false, nullptr);
    add(isFavourite(first.id) ? QStringLiteral("取消收藏") : QStringLiteral("收藏"), one,
        [this, first] { slotFileOp2Favorite(first); });
    add(QStringLiteral("下载"), allAllow(items, VPermission::Download),
        [this, items] { slotFileOp2Download(QString(), items); });
    add(QStringLiteral("移动"), allAllow(items, VPermission::Move), [this, items] { startCopyMove(true, items); });
    add(QStringLiteral("复制"), allAllow(items, VPermission::Copy), [this, items] { startCopyMove(false, items); });
    add(QStringLiteral("删除"), allAllow(items, VPermission::Delete), [this] { slotDelFile(); });
    add(QStringLiteral("重命名"), one && allAllow(items, VPermission::Rename), [this] { startRename(); });
    m_menu->addSeparator();
    add(QStringLiteral("打开所在目录"), one, [this, first] {
        m_addr->slotWatingEnd();
        m_addr->goTo(displayPath(VUtils::parentPath(first.fullpath)));
    });
    add(QStringLiteral("详情"), one, [this, first] {
        slotShowInfo();
        slotClick(first);
    });
    add(QStringLiteral("本地编辑"), one && !first.isdir, [this, first] { slotFileOp2EditLocal(QString(), first); });
    add(QStringLiteral("在线预览"), one && !first.isdir, [this, first] { handOffPreview(fileop_viewonline, first); });
    // The row whose "more" button opened the menu keeps its buttons meanwhile.
    QList<QPointer<VGonggongwangpan_list_item>> rows;
    for (int i = 0; i < m_listView->rowCount(); ++i) {
        VGonggongwangpan_list_item *r = m_listView->row(i);
        if (r && r->listItem()->isSelected())
            rows << r;
    }
    connect(m_menu, &QMenu::aboutToHide, this, [rows] {
        for (const QPointer<VGonggongwangpan_list_item> &r : rows)
            if (r)
                r->setMenuOpen(false);
    });
    m_menu->popup(globalPos);
}

// ---- create ------------------------------------------------------------------

void VGonggongwangpan::slotCreateDirClick(bool)
{
    if (!m_listedOnce)
        return;
    auto *p = new VPrompt(this);
    p->setType(1);
    const QString folder = m_folder.fullpath;
    connect(p, &VPrompt::signalConfirmed, this, [this, p, folder](int, const QString &name, const QStringList &) {
        QPointer<VPrompt> guard(p);
        sendAct(Api::act_add, Api::params_act_AddDir(folder, name),
                {{QStringLiteral("kind"), QStringLiteral("adddir")}, {QStringLiteral("name"), name}},
                QStringLiteral("正在创建文件夹，请稍后"), [guard](const QJsonObject &re) {
                    if (guard)
                        guard->slotGetWpResult(re);
                });
    });
    openDialog(p);
}

void VGonggongwangpan::slotCreateDirByMuban(bool)
{
    if (!m_listedOnce)
        return;
    auto *d = new VGonggongwangpan_createdirs(this);
    const QString folder = m_folder.fullpath;
    connect(d, &VGonggongwangpan_createdirs::signalConfirm, this,
            [this, d, folder](const QString &title, const QString &id) {
                QPointer<VGonggongwangpan_createdirs> guard(d);
                sendAct(Api::act_AddTmpDir, Api::params_act_AddTmpDir(folder, title, id),
                        {{QStringLiteral("kind"), QStringLiteral("addtmpdir")}, {QStringLiteral("name"), title}},
                        QStringLiteral("正在从模板创建文件夹，请稍后"), [guard](const QJsonObject &re) {
                            if (guard)
                                guard->slotGetWpResult(re);
                        });
            });
    openDialog(d);
    d->load();
}

// ---- rename ------------------------------------------------------------------

void VGonggongwangpan::slotRename(const M_renameinfo &info)
{
    if (info.newname.trimmed().isEmpty())
        return;
    sendAct(Api::act_ReName, Api::params_act_ReName(info.path, info.newname),
            {{QStringLiteral("kind"), QStringLiteral("rename")}, {QStringLiteral("path"), info.path},
             {QStringLiteral("newname"), info.newname}},
            QStringLiteral("正在重命名，请稍后"));
}

// ---- copy and move ---------------------------------------------------------------

void VGonggongwangpan::startCopyMove(bool move, const QList<M_fileinfo> &items)
{
    if (items.isEmpty())
        return;
    if (!allAllow(items, move ? VPermission::Move : VPermission::Copy)) {
        emit VGlobalConnect::instance()->signalLayer_err(move ? QStringLiteral("没有移动权限")
                                                              : QStringLiteral("没有复制权限"),
                                                         false);
        return;
    }
    auto *d = new VGonggongwangpan_selDir(move ? QStringLiteral("移动到") : QStringLiteral("复制到"), this);
    connect(d, &VGonggongwangpan_selDir::signalConfirm, this, [this, d, move, items](const QString &target) {
        QPointer<VGonggongwangpan_selDir> guard(d);
        QList<M_api_move> list;
        for (const M_fileinfo &i : items) {
            M_api_move m;
            m.path = i.fullpath;
            m.to = target;
            m.totype = 0;
            m.isdir = i.isdir;
            list << m;
        }
        const QJsonObject params = move ? Api::params_act_Move(list) : Api::params_act_Copy(list);
        sendAct(move ? Api::act_Move : Api::act_Copy, params,
                {{QStringLiteral("kind"), move ? QStringLiteral("move") : QStringLiteral("copy")},
                 {QStringLiteral("target"), target},
                 {QStringLiteral("followup"), false}},
                move ? QStringLiteral("正在移动文件，请稍后") : QStringLiteral("正在复制文件，请稍后"),
                [guard](const QJsonObject &re) {
                    if (guard)
                        guard->slotGetWpResult(re);
                });
    });
    openDialog(d);
}

void VGonggongwangpan::sendCopyMove(bool move, const QJsonArray &choices, bool followup)
{
    QList<M_api_move> list;
    for (const QJsonValue &v : choices) {
        const QJsonObject c = v.toObject();
        M_api_move m;
        m.path = c.value(QStringLiteral("path")).toString();
        m.to = c.value(QStringLiteral("to")).toString();
        m.totype = c.value(QStringLiteral("totype")).toInt();
        list << m;
    }
    if (list.isEmpty())
        return;
    sendAct(move ? Api::act_Move : Api::act_Copy, move ? Api::params_act_Move(list) : Api::params_act_Copy(list),
            {{QStringLiteral("kind"), move ? QStringLiteral("move") : QStringLiteral("copy")},
             {QStringLiteral("followup"), followup}},
            move ? QStringLiteral("正在移动文件，请稍后") : QStringLiteral("正在复制文件，请稍后"));
}

// ---- act results ---------------------------------------------------------------------

void VGonggongwangpan::showFailures(const M_api_act &act, const QJsonArray &failures)
{
    auto *d = new VGonggongwangpan_errmove(failures, act.clientText(), act.ip, act.username,
                                           QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm")),
                                           this);
    openDialog(d);
}

void VGonggongwangpan::slotGetWpResult(const M_api_act &act, const QVariantMap &context)
{
    const QString kind = context.value(QStringLiteral("kind")).toString();
    const VActTracker::Outcome o = VActTracker::outcome(act);
    VGlobalConnect *hub = VGlobalConnect::instance();
    emit hub->signalLayer_hide();

    if (kind == QLatin1String("adddirs")) {
        const QString batch = context.value(QStringLiteral("plan")).toString();
        const VDropWalk::Plan plan = m_uploadPlans.take(batch);
        QStringList created;
        for (const QJsonValue &v : o.done)
            created << v.toObject().value(QStringLiteral("path")).toString();
        if (!o.failures.isEmpty() || !o.conflicts.isEmpty()) {
            QJsonArray bad = o.failures;
            for (const QJsonValue &v : o.conflicts)
                bad.append(v);
            showFailures(act, bad);
        }
        const QList<M_db_file> files = VDropWalk::filesInCreated(plan, created);
        if (files.isEmpty() && plan.files.isEmpty()) {
            // Only folders were dropped: nothing to queue.
            if (o.failures.isEmpty() && o.conflicts.isEmpty())
                emit hub->signalLayer_success(QStringLiteral("文件夹创建成功"), false);
            endUploadPreparation();
            emit signalBatchCounted(QStringLiteral("upload"), 0);
        } else {
            queueUploads(files, plan.skipped);
        }
        relist();
        emit signalActHandled(kind, act.id);
        return;
    }

    const bool copyMove = kind == QLatin1String("copy") || kind == QLatin1String("move");
    const bool followup = context.value(QStringLiteral("followup")).toBool();
    QJsonArray failures = o.failures;
    QJsonArray conflicts = o.conflicts;
    // Only a first copy or move offers the clash choice; a clash after the
    // choice (or of any other act) is a failure, never a new question.
    if (!copyMove || followup) {
        for (const QJsonValue &v : conflicts)
            failures.append(v);
        conflicts = QJsonArray();
    }

    if (kind == QLatin1String("rename")) {
        if (failures.isEmpty() && !o.done.isEmpty())
            emit hub->signalLayer_success(QStringLiteral("重命名成功"), false);
        else
            emit hub->signalLayer_err(failures.isEmpty() ? QStringLiteral("重命名失败")
                                                         : failures.first().toObject().value(QStringLiteral("msg")).toString(),
                                      false);
    } else if (kind == QLatin1String("adddir") || kind == QLatin1String("addtmpdir")) {
        if (failures.isEmpty())
            emit hub->signalLayer_success(QStringLiteral("文件操作成功"), false);
        else
            emit hub->signalLayer_err(failures.first().toObject().value(QStringLiteral("msg")).toString(), false);
    } else {
        if (!failures.isEmpty())
            showFailures(act, failures);
        if (!conflicts.isEmpty()) {
            const QString target = context.value(QStringLiteral("target")).toString();
            QJsonArray withTarget;
            for (const QJsonValue &v : conflicts) {
                QJsonObject c = v.toObject();
                if (c.value(QStringLiteral("to")).toString().isEmpty())
                    c.insert(QStringLiteral("to"), target);
                withTarget.append(c);
            }
            auto *d = new VGonggongwangpan_isrename(withTarget, this);
            const bool move = kind == QLatin1String("move");
            connect(d, &VGonggongwangpan_isrename::signalChoices, this,
                    [this, move](const QJsonArray &choices) { sendCopyMove(move, choices, true); });
            connect(d, &QDialog::rejected, this, [] {
                emit VGlobalConnect::instance()->signalLayer_err(QStringLiteral("操作取消"), false);
            });
            openDialog(d);
        }
        if (failures.isEmpty() && conflicts.isEmpty())
            emit hub->signalLayer_success(QStringLiteral("文件操作成功"), false);
    }
    // Every finished act shows the folder as it is now, also after a partial failure.
    relist();
    emit signalActHandled(kind, act.id);
}

// ---- favourites ----------------------------------------------------------------------

void VGonggongwangpan::slotFileOp2Favorite(const M_fileinfo &item)
{
    if (item.id.isEmpty())
        return;
    const bool remove = isFavourite(item.id);
    emit VGlobalConnect::instance()->signalLayer_waiting(QStringLiteral("收藏处理中，请稍后"), false);
    send(remove ? Api::favourite_del : Api::favourite_add,
         remove ? Api::params_favourite_del({item.id}) : Api::params_favourite_add({item.id}),
         QJsonObject{{QStringLiteral("remove"), remove}, {QStringLiteral("id"), item.id}},
         [this](const QJsonObject &re) { slotShoucangResult(re); });
}

void VGonggongwangpan::slotShoucangResult(const QJsonObject &reply)
{
    VGlobalConnect *hub = VGlobalConnect::instance();
    const QJsonObject custom = Api::getCustomData(reply);
    if (Api::instance()->checkCode(reply) != 0) {
        emit hub->signalLayer_err(Api::getMsg(reply), false);
        return;
    }
    const QString id = custom.value(QStringLiteral("id")).toString();
    if (custom.value(QStringLiteral("remove")).toBool()) {
        m_favIds.remove(id);
        emit hub->signalLayer_success(QStringLiteral("取消收藏成功"), false);
    } else {
        m_favIds.insert(id);
        emit hub->signalLayer_success(QStringLiteral("添加收藏成功"), false);
    }
    emit hub->signal2getFavList();
    loadFavourites();
}

// ---- download ----------------------------------------------------------------------

void VGonggongwangpan::chooseDownloadFolder(std::function<void(const QString &)> then)
{
    M_config *cfg = M_config::instance();
    const QString def = cfg->Transfer_default_path;
    if (!cfg->Transfer_path_ask && !def.isEmpty()) {
        if (QFileInfo(def).isDir()) {
            then(def);
            return;
        }
        emit VGlobalConnect::instance()->signalLayer_err(QStringLiteral("默认路径失效，请重新选择下载路径"), false);
    }
    auto *d = new VGonggongwangpan_downlaodaddr(this);
    connect(d, &QDialog::accepted, this, [d, then] { then(d->path()); });
    openDialog(d);
}

void VGonggongwangpan::slotFileOp2Download(const QString &localpath, const QList<M_fileinfo> &items)
{
    if (items.isEmpty())
        return;
    if (localpath.isEmpty()) {
        chooseDownloadFolder([this, items](const QString &folder) { slotFileOp2Download(folder, items); });
        return;
    }
    emit VGlobalConnect::instance()->signalLayer_waiting(QStringLiteral("下载准备中，请稍后"), false);
    QList<M_db_file> files;
    int noRight = 0;
    QList<M_fileinfo> folders;
    for (const M_fileinfo &i : items) {
        if (i.isdir)
            folders << i;
        else if (!VPermission::itemAllows(i, VPermission::Download))
            ++noRight;
        else if (const M_db_file f = VDownloadPlan::fileRecord(i, localpath); !f.localpath.isEmpty())
            files << f;
        else
            ++noRight; // a name no local file can carry
    }
    if (!files.isEmpty() || folders.isEmpty()) {
        addBatch(QStringLiteral("download"), files,
                 {{QStringLiteral("folders"), folders.size()}, {QStringLiteral("noright"), noRight}});
    }
    for (const M_fileinfo &f : folders) {
        send(Api::file_GetAllChild, Api::params_file_GetAllChild(f.fullpath),
             QJsonObject{{QStringLiteral("folder"), f.toJson()}, {QStringLiteral("local"), localpath}},
             [this](const QJsonObject &re) { slotGetResultForFileChildren(re); });
    }
}

void VGonggongwangpan::slotGetResultForFileChildren(const QJsonObject &reply)
{
    VGlobalConnect *hub = VGlobalConnect::instance();
    if (Api::instance()->checkCode(reply, false) != 0) {
        emit hub->signalLayer_err(Api::getMsg(reply), false);
        return;
    }
    const QJsonObject custom = Api::getCustomData(reply);
    const M_fileinfo folder(custom.value(QStringLiteral("folder")).toObject());
    const QJsonArray children = Api::getData(reply).toObject().value(QStringLiteral("list")).toArray();
    const VDownloadPlan::Result r =
        VDownloadPlan::folderRecords(folder, children, custom.value(QStringLiteral("local")).toString());
    addBatch(QStringLiteral("folder"), r.files,
             {{QStringLiteral("noright"), r.noRight + r.refused}, {QStringLiteral("name"), folder.filename}});
}

int VGonggongwangpan::addBatch(const QString &kind, const QList<M_db_file> &files, const QVariantMap &info)
{
    // Indexes this page hands the transfer log; the count comes back with it.
    const int index = 0x40000000 + (++m_batchSeq);
    QVariantMap b = info;
    b.insert(QStringLiteral("kind"), kind);
    b.insert(QStringLiteral("count"), files.size());
    m_batches.insert(index, b);
    if (files.isEmpty()) {
        QTimer::singleShot(0, this, [this, index] { slotAddCount(index, 0, true); });
        return index;
    }
    // Only the transfer rows start transfers: the page only writes the log,
    // on the store's writer thread (a drop brings thousands of rows at once).
    db_self::instance()->addFilesInBackground(files, index, true);
    return index;
}

void VGonggongwangpan::slotAddCount(int index, int result, bool islast)
{
    if (!m_batches.contains(index))
        return;
    const QVariantMap b = islast ? m_batches.take(index) : m_batches.value(index);
    if (!islast)
        return;
    VGlobalConnect *hub = VGlobalConnect::instance();
    emit hub->signalLayer_hide();
    const QString kind = b.value(QStringLiteral("kind")).toString();
    const int noRight = b.value(QStringLiteral("noright")).toInt();
    const QString skippedText = noRight > 0 ? QStringLiteral("，%1个文件无下载权限已跳过").arg(noRight) : QString();
    if (kind == QLatin1String("upload")) {
        if (result == 0)
            emit hub->signalLayer_err(b.value(QStringLiteral("count")).toInt() > 0 ? QStringLiteral("上传任务已存在")
                                                                                 : QStringLiteral("本地缺少文件"),
                                      false);
        else
            emit hub->signalLayer_success(QStringLiteral("成功添加%1个上传任务").arg(result), false);
        endUploadPreparation();
    } else if (kind == QLatin1String("download")) {
        if (result == 0 && b.value(QStringLiteral("folders")).toInt() == 0)
            emit hub->signalLayer_err(QStringLiteral("下载任务已存在") + skippedText, false);
        else if (result > 0)
            emit hub->signalLayer_success(QStringLiteral("%1个文件成功加入下载任务").arg(result) + skippedText, false);
    } else if (kind == QLatin1String("folder")) {
        if (result == 0)
            emit hub->signalLayer_err(QStringLiteral("下载任务已存在或目录为空") + skippedText, false);
        else
            emit hub->signalLayer_success(QStringLiteral("%1个文件成功加入下载任务").arg(result) + skippedText, false);
    }
    emit signalBatchCounted(kind, result);
}

void VGonggongwangpan::slotFileOp2EditLocal(const QString &, const M_fileinfo &item)
{
    handOffPreview(fileop_editlocal, item);
}

// ---- upload ----------------------------------------------------------------------

void VGonggongwangpan::slotUpdateFile(bool)
{
    if (!m_listedOnce)
        return;
    auto *d = new QFileDialog(this, QStringLiteral("请选择上传文件"));
    d->setFileMode(QFileDialog::ExistingFiles);
    const QString folder = m_folder.fullpath;
    connect(d, &QFileDialog::filesSelected, this,
            [this, folder](const QStringList &files) { slotGetUploadFiles(folder, files); });
    openDialog(d);
}

void VGonggongwangpan::slotUploadDir(bool)
{
    if (!m_listedOnce)
        return;
    auto *d = new QFileDialog(this, QStringLiteral("请选择上传文件夹"));
    d->setFileMode(QFileDialog::Directory);
    d->setOption(QFileDialog::ShowDirsOnly);
    const QString folder = m_folder.fullpath;
    connect(d, &QFileDialog::fileSelected, this,
            [this, folder](const QString &dir) { slotGetUploadFiles(folder, {dir}); });
    openDialog(d);
}

void VGonggongwangpan::slotDropUrls(const QList<QUrl> &urls)
{
    // The folder actually shown, not one whose listing is still on its way.
    if (!m_listedOnce || !VPermission::itemAllows(m_folder, VPermission::Upload))
        return;
    const QStringList paths = VDropWalk::localPaths(urls);
    if (paths.isEmpty())
        return;
    slotGetUploadFiles(m_folder.fullpath, paths);
}

void VGonggongwangpan::endUploadPreparation()
{
    VGlobalParameter::instance()->setIsUploadPreparing(false);
}

void VGonggongwangpan::slotGetUploadFiles(const QString &serverpath, const QStringList &paths)
{
    VGlobalParameter *g = VGlobalParameter::instance();
    if (g->isUploadPreparing()) {
        emit VGlobalConnect::instance()->signalLayer_err(QStringLiteral("上传任务处理中，请稍后再试"), false);
        return;
    }
    if (paths.isEmpty() || serverpath.isEmpty())
        return;
    g->setIsUploadPreparing(true);
    emit VGlobalConnect::instance()->signalLayer_waiting(QStringLiteral("本地文件读取中"), false);
    auto *w = new QFutureWatcher<VDropWalk::Plan>(this);
    connect(w, &QFutureWatcher<VDropWalk::Plan>::finished, this, [this, w] {
        w->deleteLater();
        uploadPlanReady(w->result());
    });
    w->setFuture(QtConcurrent::run(&VDropWalk::walk, paths, serverpath));
}

void VGonggongwangpan::uploadPlanReady(const VDropWalk::Plan &plan)
{
    if (plan.dirs.isEmpty()) {
        queueUploads(plan.files, plan.skipped);
        return;
    }
    // The folders first, in one act; the files follow once it has finished.
    const QString key = VUtils::uuid();
    m_uploadPlans.insert(key, plan);
    sendAct(Api::act_AddDirs, Api::params_act_AddDirs(plan.target, plan.dirs),
            {{QStringLiteral("kind"), QStringLiteral("adddirs")}, {QStringLiteral("plan"), key}},
            QStringLiteral("正在批量创建文件夹，请稍后"), [this, key](const QJsonObject &re) {
                if (Api::getCode(re) != 0)
                    m_uploadPlans.remove(key);
            });
}

void VGonggongwangpan::queueUploads(const QList<M_db_file> &files, int skipped)
{
    Q_UNUSED(skipped)
    if (files.isEmpty()) {
        emit VGlobalConnect::instance()->signalLayer_err(QStringLiteral("本地缺少文件"), false);
        endUploadPreparation();
        emit signalBatchCounted(QStringLiteral("upload"), 0);
        return;
    }
    emit VGlobalConnect::instance()->signalLayer_waiting(QStringLiteral("正在添加上传任务，请稍后"), false);
    emit signalToUploadFilesByThread(files.size());
    addBatch(QStringLiteral("upload"), files, {});
}

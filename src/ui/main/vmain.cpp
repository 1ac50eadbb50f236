#include "main/vmain.h"
#include "ui_vmain.h"

#include "gonggongwangpan/vgonggongwangpan.h"
#include "huishouzhan/vhuishouzhan.h"
#include "wodelianjie/vwodelianjie.h"
#include "wodeshoucang/vwodeshoucang.h"
#include "zuijinfangwen/vzuijinfangwen.h"
#include "login/vlogin.h"
#include "main/vchangepassword.h"
#include "chuanshuliebiao/vchuanshuliebiao.h"
#include "main/vemptypage.h"
#include "main/vlayerinfo.h"
#include "main/vmain_leftmenu.h"
#include "main/vrestart.h"
#include "task/vglobaltask.h"
#include "update/vupdate.h"
#include "VWidgets/vframehandler.h"
#include "VWidgets/vframeless.h"
#include "VWidgets/vprompt.h"

#include "Api/api.h"
#include "DB/db_self.h"
#include "DB/db_setting.h"
#include "context/userinfo.h"
#include "context/vglobalparameter.h"
#include "platform/vplatform.h"
#include "bendibeifen/vbendibeifen_main.h"
#include "config/vconfig.h"
#include "records/m_config.h"
#include "request/vurlrequest.h"
#include "transfer/vglobalconnect.h"
#include "transfer/vglobalqueue.h"
#include "transfer/vtransferthrottle.h"
#include "update/vupdatepolicy.h"
#include "utils/vutils.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QUrl>
#include <QDir>
#include <QJsonArray>
#include <QListWidget>
#include <QLoggingCategory>
#include <QMenu>
#include <QMouseEvent>
#include <QScreen>
#include <QStyle>
#include <QTimer>
#include <QToolButton>

Q_LOGGING_CATEGORY(lcMain, "orvel.main")

namespace {
VMain::QuitHandler &quitHandler()
{
    static VMain::QuitHandler handler = [](bool restart) {
        if (restart)
            VRestart::start();
        QCoreApplication::quit();
    };
    return handler;
}

// A reply's "Msg" read as a boolean (true, 1, "true", "1").
bool msgAsBool(const QJsonObject &re)
{
    const QJsonValue v = re.value(QStringLiteral("Msg"));
    if (v.isBool())
        return v.toBool();
    if (v.isDouble())
        return v.toDouble() != 0;
    return v.toVariant().toBool();
}

template <typename Slot>
VUrlRequest *newRequest(VMain *owner, Slot slot)
{
    auto *req = new VUrlRequest;
    QObject::connect(req, qOverload<const QJsonObject &>(&VUrlRequest::signalResult), owner, slot);
    return req;
}
} // namespace

VMain::Timings &VMain::timings()
{
    static Timings t{VGlobalParameter::instance()->loginCheckInterval(), 1000, 300, 5000,
                     VGlobalParameter::instance()->updateCheckDelay()};
    return t;
}

void VMain::setQuitHandler(QuitHandler handler)
{
    quitHandler() = std::move(handler);
}

QList<int> VMain::menuFor(int shenfen)
{
    QList<int> entries{leftmenu_gonggongwangpan, -1, -1, leftmenu_zuijin, leftmenu_shoucang, leftmenu_huishouzhan,
                       -1, leftmenu_chuanshu};
    if (shenfen == 99)
        entries << leftmenu_beifen;
    return entries;
}

VMain::VMain(QWidget *parent) : QMainWindow(parent), ui(new Ui::VMain)
{
    ui->setupUi(this);
    hide();
    UserInfo *u = UserInfo::instance();

    // 1. settings, names, hidden folders
    db_setting::instance()->getConfig();
    // The user's own speed limits (the hook itself is installed at start).
    VTransferThrottle::applyConfig();
    ui->pushButton_user->setText(u->truename.isEmpty() ? u->username : u->truename);
    setWindowTitle(QStringLiteral("Corvane-%1").arg(u->truename));
    ui->label_danwei->setText(u->schoolname);
    VPlatform::hideFolder(VGlobalParameter::instance()->userCachePath());
    ui->label_3->setText(QStringLiteral("Corvane 客户端 %1").arg(VUtils::appVersion()));
    ui->progressBar->hide();

    // 2. menu, toast, pending cancellations, the first pages
    m_menuEntries = menuFor(u->shenfen);
    buildMenu();
    // Return on a menu entry opens it, as a click does
    connect(ui->listWidget, &QListWidget::activated, this, [this](const QModelIndex &index) {
        if (!ui->listWidget->style()->styleHint(QStyle::SH_ItemView_ActivateItemOnSingleClick, nullptr, ui->listWidget))
            on_listWidget_clicked(index);
    });
    m_layer = new VLayerInfo(this);
    m_layer->setAnchor(this);
    Api::instance()->loadCancel();
    VGlobalConnect::instance()->cancelPendingUploads();
    for (int v : {int(leftmenu_gonggongwangpan), int(leftmenu_chuanshu), int(leftmenu_shoucang)})
        createPage(v);
    // the backup task runs from the start, shown or not
    if (m_menuEntries.contains(leftmenu_beifen))
        createPage(leftmenu_beifen);

    // 3. connections, user menu, tray
    VGlobalConnect *hub = VGlobalConnect::instance();
    connect(hub, &VGlobalConnect::signalLayer_err, m_layer, &VLayerInfo::slotLayer_err);
    connect(hub, &VGlobalConnect::signalLayer_waiting, m_layer, &VLayerInfo::slotLayer_waiting);
    connect(hub, &VGlobalConnect::signalLayer_hide, m_layer, &VLayerInfo::slotLayer_hide);
    connect(hub, &VGlobalConnect::signalLayer_success, m_layer, &VLayerInfo::slotLayer_success);
    connect(hub, &VGlobalConnect::signalClickLeftMenu, this, &VMain::slotClickLeftMenu);
    connect(hub, &VGlobalConnect::signalTaskChange, this, &VMain::slotTaskChange);
    // The per-user store reports a failed set-up once, after this window exists.
    connect(db_self::instance(), &db_self::signalInitError, this, &VMain::slotStoreError);
    VGlobalQueue::instance();
    buildUserMenu();
    buildTray();

    // 4.-6. update check, sign-in check, act poll
    QTimer::singleShot(timings().updateDelay, this, &VMain::slotCheck2update);
    slotKeepAlive();
    slotGetActs();

    // 7. frame
    VFrameless::setup(this, false);
    VFrameless::addShadow(ui->widget_bg);
    setMinimumSize(1000, 600);
    resize(1000, 600);
    m_frame = new VFrameHandler(this, ui->centralwidget, 70);
    VGlobalTask::instance(); // preview and edit-back follow the file actions from here on
    ui->centralwidget->setMouseTracking(true);

    // 8. last view
    restoreLastVisit();
    initialised = true;
}

VMain::~VMain()
{
    if (trayIcon)
        trayIcon->hide();
    delete ui;
}

VMain_leftmenu *VMain::menuItem(int value) const
{
    for (int i = 0; i < ui->listWidget->count(); ++i) {
        auto *w = qobject_cast<VMain_leftmenu *>(ui->listWidget->itemWidget(ui->listWidget->item(i)));
        if (w && w->type() == value)
            return w;
    }
    return nullptr;
}

void VMain::buildMenu()
{
    ui->listWidget->clear();
    bool lastWasEntry = false;
    for (int v : qAsConst(m_menuEntries)) {
        auto *item = new QListWidgetItem(ui->listWidget);
        if (v == -1) {
            // a separator only follows an entry: no leading or doubled lines
            if (!lastWasEntry) {
                delete item;
                continue;
            }
            item->setFlags(Qt::NoItemFlags);
            item->setSizeHint(QSize(178, 10));
            auto *row = new QWidget(ui->listWidget);
            row->setProperty("type", -1);
            auto *line = new QLabel(row);
            line->setObjectName(QStringLiteral("label_line"));
            line->setGeometry(20, 4, 140, 2);
            line->setStyleSheet(QStringLiteral("background:#E4E4E4;"));
            ui->listWidget->setItemWidget(item, row);
            lastWasEntry = false;
            continue;
        }
        item->setSizeHint(QSize(178, 36));
        item->setData(Qt::AccessibleTextRole, VLeftmenuInfo::text(enum_leftmenu(v))); // drawn by its widget
        auto *row = new VMain_leftmenu(enum_leftmenu(v), ui->listWidget);
        ui->listWidget->setItemWidget(item, row);
        connect(this, &VMain::signalLeftmenuSelected, row, &VMain_leftmenu::setSelected);
        if (v == leftmenu_chuanshu)
            connect(VGlobalConnect::instance(), &VGlobalConnect::signalTaskChange, row, &VMain_leftmenu::setCount);
        if (v == leftmenu_beifen)
            connect(VGlobalConnect::instance(), &VGlobalConnect::signalTaskChangeByBak, row,
                    &VMain_leftmenu::setCount);
        lastWasEntry = true;
    }
}

VPage *VMain::createPage(int value)
{
    if (!VLeftmenuInfo::isPage(value))
        return nullptr;
    if (VPage *p = m_pages.value(value))
        return p;
    VPage *p = nullptr;
    switch (value) {
    case leftmenu_gonggongwangpan:
        p = new VGonggongwangpan(ui->stackedWidget);
        break;
    case leftmenu_chuanshu:
        p = new VChuanshuliebiao(ui->stackedWidget);
        break;
    case leftmenu_beifen:
        p = new VBendibeifen_main(ui->stackedWidget);
        break;
    case leftmenu_zuijin:
        p = new VZuijinfangwen(ui->stackedWidget);
        break;
    case leftmenu_shoucang:
        p = new VWodeshoucang(ui->stackedWidget);
        break;
    case leftmenu_lianjie:
        p = new VWodelianjie(ui->stackedWidget);
        break;
    case leftmenu_huishouzhan:
        p = new VHuishouzhan(ui->stackedWidget);
        break;
    default:
        p = new VEmptyPage(value, ui->stackedWidget);
        break;
    }
    ui->stackedWidget->addWidget(p);
    m_pages.insert(value, p);
    return p;
}

void VMain::switchPage(int value)
{
    VPage *p = createPage(value);
    if (!p)
        return;
    ui->stackedWidget->setCurrentWidget(p);
    if (value == leftmenu_zuijin || value == leftmenu_shoucang || value == leftmenu_huishouzhan
        || value == leftmenu_chuanshu)
        p->reload();
    m_currentMenu = value;
    for (int i = 0; i < ui->listWidget->count(); ++i) {
        auto *w = qobject_cast<VMain_leftmenu *>(ui->listWidget->itemWidget(ui->listWidget->item(i)));
        if (w && w->type() == value)
            ui->listWidget->setCurrentRow(i);
    }
    emit signalLeftmenuSelected(enum_leftmenu(value));
}

void VMain::slotClickLeftMenu(int value, const QVariant &data)
{
    if (!m_menuEntries.contains(value) || value < 0) {
        emit VGlobalConnect::instance()->signalLayer_err(QStringLiteral("菜单不存在"), false);
        return;
    }
    switchPage(value);
    if (value == leftmenu_gonggongwangpan)
        m_pages.value(value)->openPath(data.toString());
}

void VMain::on_listWidget_clicked(const QModelIndex &index)
{
    QWidget *w = ui->listWidget->itemWidget(ui->listWidget->item(index.row()));
    if (auto *entry = qobject_cast<VMain_leftmenu *>(w))
        switchPage(entry->property("type").toInt());
}

void VMain::buildUserMenu()
{
    m_userMenu = new QMenu(this);
    m_userMenu->setObjectName(QStringLiteral("menu_user"));
    m_userMenu->addAction(QStringLiteral("更改密码"), this, &VMain::slotChangePassword);
    m_userMenu->addAction(QStringLiteral("切换单位/账号"), this, &VMain::slotChangeDanwei);
    ui->pushButton_user->setMenu(m_userMenu);
}

void VMain::buildTray()
{
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        return;
    trayMenu = new QMenu(this);
    trayMenu->addAction(QStringLiteral("打开主界面"), this, &VMain::slotShowWindow);
    trayMenu->addAction(QStringLiteral("退出"), this, &VMain::slotQuit);
    trayIcon = new QSystemTrayIcon(QIcon(QStringLiteral(":/images/icon.ico")), this);
    trayIcon->setToolTip(QStringLiteral("Corvane-%1").arg(UserInfo::instance()->truename));
    trayIcon->setContextMenu(trayMenu);
    connect(trayIcon, &QSystemTrayIcon::activated, this, &VMain::slotTrayActivated);
    trayIcon->show();
}

// --- title bar buttons -------------------------------------------------------

void VMain::on_toolButton_close_clicked()
{
    // Without a tray a hidden window could not be reached again: quit instead.
    if (!trayIcon) {
        slotQuit();
        return;
    }
    hide();
}

void VMain::on_toolButton_min_clicked()
{
    if (trayIcon)
        hide();
    else
        showMinimized();
}

void VMain::on_toolButton_max_clicked()
{
    toggleMaximized();
}

void VMain::toggleMaximized()
{
    m_frame->toggleMaximized();
    const bool max = m_frame->isMaximized();
    ui->toolButton_max->setIcon(QIcon(max ? QStringLiteral(":/images/icon/max_w.png")
                                          : QStringLiteral(":/images/icon/max2_w.png")));
    ui->toolButton_max->setToolTip(max ? QStringLiteral("还原") : QStringLiteral("最大化"));
}

void VMain::slotShowWindow(bool)
{
    if (m_frame->isMaximized())
        showMaximized();
    else
        showNormal();
    raise();
    activateWindow();
}

void VMain::slotTrayActivated(QSystemTrayIcon::ActivationReason reason)
{
    if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
        slotShowWindow();
}

void VMain::on_toolButton_setup_clicked()
{
    auto *dialog = new VConfig(this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    // "立即升级" takes the update check's road (download page or update dialog).
    connect(dialog, &VConfig::signalToUpdate, this, &VMain::slotCheck2update);
    dialog->open();
}

void VMain::slotStoreError(const QString &message)
{
    VPrompt prompt(this);
    prompt.setTitle(QStringLiteral("提示"));
    prompt.setText(message);
    prompt.centre();
    prompt.exec();
}

void VMain::slotTaskChange(int) {}
void VMain::on_pushButton_user_clicked() {}
void VMain::slotSFreleased() {}

// --- background calls ----------------------------------------------------------

void VMain::slotCheck2update()
{
    // The pool deletes each request after its run: nothing keeps a pointer.
    Api::instance()->startApi(newRequest(this, &VMain::slotRequestResult), Api::update, false);
}

void VMain::slotRequestResult(const QJsonObject &re)
{
    emit VGlobalConnect::instance()->signalLayer_hide();
    const VUpdatePolicy::Decision d = VUpdatePolicy::decide(re, VUpdatePolicy::currentFacts());
    if (d.action == VUpdatePolicy::Error) {
        emit VGlobalConnect::instance()->signalLayer_err(d.message, false);
    } else if (d.action == VUpdatePolicy::DownloadPage) {
        // Opened, not waited for: no nested loop inside a reply slot.
        auto *prompt = new VPrompt(this);
        prompt->setAttribute(Qt::WA_DeleteOnClose);
        prompt->setText(d.message);
        prompt->showCancel(true);
        prompt->centre();
        connect(prompt, &QDialog::accepted, this,
                [] { QDesktopServices::openUrl(QUrl(VGlobalParameter::instance()->downloadPageUrl())); });
        prompt->open();
    } else if (d.action == VUpdatePolicy::InPlace && !findChild<VUpdate *>()) {
        auto *dialog = new VUpdate(this);
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        // The updater waits for this process, which ends in order.
        dialog->setQuitHandler([this] {
            restartAfterClose = false;
            slotCloseApp();
        });
        dialog->requestDescription();
        dialog->open();
    }
}

void VMain::slotKeepAlive()
{
    if (m_closing)
        return;
    Api::instance()->startApi(newRequest(this, qOverload<const QJsonObject &>(&VMain::slotIsLogin)),
                              Api::user_islogin, false);
}

void VMain::slotIsLogin(const QJsonObject &re)
{
    if (m_closing)
        return;
    if (Api::getCode(re) == 0 && !msgAsBool(re)) {
        db_setting::instance()->disableAutoLogin();
        const QString text = passwordChanged
                                 ? QString()
                                 : QStringLiteral("%1已经在其他地方登录").arg(UserInfo::instance()->loginname);
        db_setting::instance()->setLasterror(text);
        restartAfterClose = true;
        slotCloseApp();
        return;
    }
    QTimer::singleShot(timings().loginCheck, this, &VMain::slotKeepAlive);
    Api::instance()->checkCode(re, false);
}

void VMain::slotGetActs()
{
    if (m_closing)
        return;
    const QStringList ids = Api::instance()->actIds();
    if (ids.isEmpty()) {
        QTimer::singleShot(timings().actPoll, this, qOverload<>(&VMain::slotGetActs));
        return;
    }
    Api::instance()->startApi(newRequest(this, qOverload<const QJsonObject &>(&VMain::slotGetActs)),
                              Api::act_GetActStatus, Api::params_act_GetActStatus(ids), false);
}

void VMain::slotGetActs(const QJsonObject &re)
{
    if (Api::instance()->checkCode(re, false) == 0) {
        Api::instance()->setActResults(Api::toArray(re.value(QStringLiteral("Msg"))));
        const QJsonArray acts = Api::instance()->actResults();
        for (const QJsonValue &v : acts)
            emit VGlobalConnect::instance()->signalWp_result(v.toObject());
    }
    if (!m_closing)
        QTimer::singleShot(timings().actPoll, this, qOverload<>(&VMain::slotGetActs));
}

// --- account -----------------------------------------------------------------

void VMain::slotChangePassword(bool)
{
    VChangePassword dlg(this);
    dlg.move(geometry().center() - QPoint(dlg.width() / 2, dlg.height() / 2));
    if (dlg.exec() != QDialog::Accepted)
        return;
    passwordChanged = true;
    emit VGlobalConnect::instance()->signalLayer_success(QStringLiteral("密码修改成功，需要重新登录"), false);
    restartAfterClose = true;
    QTimer::singleShot(timings().passwordRestart, this, &VMain::slotCloseApp);
}

void VMain::signOut()
{
    db_setting::instance()->disableAutoLogin();
    // nobody waits for the reply
    auto *req = new VUrlRequest;
    Api::instance()->startApi(req, Api::user_loginout, false);
    restartAfterClose = true;
    slotCloseApp();
}

void VMain::slotChangeUser(bool)
{
    signOut();
}

void VMain::slotChangeDanwei(bool)
{
    signOut();
}

// --- shutdown ----------------------------------------------------------------

void VMain::slotQuit(bool)
{
    VGlobalQueue *q = VGlobalQueue::instance();
    if (M_config::instance()->Normal_isAlertUndone && (q->hasTasks() || q->hasBakTasks())) {
        VPrompt prompt(this);
        prompt.setText(QStringLiteral("传输任务正在进行，确认关闭？"));
        prompt.showCancel(true);
        prompt.move(geometry().center() - QPoint(prompt.width() / 2, prompt.height() / 2));
        if (prompt.exec() != QDialog::Accepted)
            return;
    }
    restartAfterClose = false;
    slotCloseApp();
}

void VMain::slotCloseApp()
{
    // Several roads lead here (a timer after a password change, the sign-in
    // check, the tray): the program ends, and restarts, once.
    if (m_quitDone)
        return;
    VGlobalConnect *hub = VGlobalConnect::instance();
    VGlobalQueue *q = VGlobalQueue::instance();
    if (!m_closing) {
        // stop everything once; later rounds only wait
        m_closing = true;
        emit hub->signalSynRestart(QStringLiteral("1"), false);
        emit hub->signalClearTasks();
        q->clearWaiting();
        emit hub->signalStopUpload();
        emit hub->signalStopDownload();
        saveLastVisit();
    }
    if (q->hasRunningTransfers()) {
        emit hub->signalLayer_waiting(QStringLiteral("传输任务暂停中，请稍后"), false);
        QTimer::singleShot(timings().closeStep, this, &VMain::slotCloseApp);
        return;
    }
    if (q->hasBakTasks()) {
        emit hub->signalSynRestart(QStringLiteral("1"), false);
        QTimer::singleShot(timings().closeStep, this, &VMain::slotCloseApp);
        return;
    }
    // no watcher and no preview window outlives the main window
    VGlobalTask::instance()->shutdown();
    const QString temp = VGlobalParameter::instance()->tempPath();
    if (!temp.isEmpty())
        QDir(temp).removeRecursively();
    if (trayIcon)
        trayIcon->hide();
    qCInfo(lcMain) << "退出" << (restartAfterClose ? "并重新启动" : "");
    m_quitDone = true;
    quitHandler()(restartAfterClose);
}

void VMain::saveLastVisit()
{
    // kept for the next run of this account; restored in restoreLastVisit
    if (m_currentMenu < 0)
        return;
    QJsonObject last{{QStringLiteral("leftmenu"), m_currentMenu}};
    if (m_currentMenu == leftmenu_gonggongwangpan && m_pages.value(m_currentMenu))
        last.insert(QStringLiteral("path"), m_pages.value(m_currentMenu)->currentPath());
    if (!db_self::instance()->setLastvisit(last))
        qCWarning(lcMain) << "last view not stored";
}

void VMain::restoreLastVisit()
{
    const QJsonObject last = db_self::instance()->getLastvisit();
    int menu = leftmenu_gonggongwangpan;
    QVariant value{QString()};
    if (last.contains(QStringLiteral("leftmenu"))) {
        menu = last.value(QStringLiteral("leftmenu")).toInt(-1);
        if (menu == leftmenu_gonggongwangpan)
            value = last.value(QStringLiteral("path")).toString();
    }
    // An entry this menu no longer has (say, the role changed) would leave
    // the window without a page: start on the disk view instead.
    if (!m_menuEntries.contains(menu) || menu < 0) {
        menu = leftmenu_gonggongwangpan;
        value = QString();
    }
    emit VGlobalConnect::instance()->signalClickLeftMenu(menu, value);
}

// --- frameless window handling -------------------------------------------------

void VMain::slotSFclicked() {}

void VMain::placeGrip()
{
    if (!gripButton) {
        gripButton = new QToolButton(ui->centralwidget);
        gripButton->setObjectName(QStringLiteral("gripButton"));
        gripButton->setToolTip(QStringLiteral("拖动调整窗口大小"));
        gripButton->setFocusPolicy(Qt::NoFocus); // a mouse handle; the window manager resizes by keyboard
        gripButton->setIcon(QIcon(QStringLiteral(":/images/icon/suofang.png")));
        gripButton->setIconSize(QSize(14, 14));
        gripButton->setFixedSize(16, 16);
        gripButton->setAutoRaise(true);
        gripButton->setCursor(Qt::SizeFDiagCursor);
        gripButton->setStyleSheet(QStringLiteral("border:0;background:transparent;"));
        connect(gripButton, &QToolButton::released, this, &VMain::slotSFreleased);
        m_frame->attachGrip(gripButton);
    }
    const QMargins m = ui->centralwidget->layout()->contentsMargins();
    gripButton->move(ui->centralwidget->width() - m.right() - 16, ui->centralwidget->height() - m.bottom() - 16);
    gripButton->setVisible(!m_frame->isMaximized());
    gripButton->raise();
}

void VMain::recordCentre()
{
    VGlobalParameter::instance()->setWindowCenter(geometry().center());
}

void VMain::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::WindowStateChange) {
        if (windowState() & Qt::WindowMinimized) {
            if (trayIcon)
                QTimer::singleShot(0, this, &QWidget::hide);
        } else {
            recordCentre();
        }
        if (initialised)
            placeGrip();
    }
    QMainWindow::changeEvent(event);
}

void VMain::moveEvent(QMoveEvent *event)
{
    recordCentre();
    QMainWindow::moveEvent(event);
}

void VMain::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    recordCentre();
    if (initialised)
        placeGrip();
}

void VMain::closeEvent(QCloseEvent *event)
{
    // the window system's close only hides, as the close button does
    if (!m_closing) {
        event->ignore();
        on_toolButton_close_clicked();
        return;
    }
    QMainWindow::closeEvent(event);
}

#include "login/vlogin.h"
#include "ui_vlogin.h"

#include "login/vlogin_danwei.h"
#include "login/vlogin_users.h"
#include "VWidgets/vframeless.h"

#include "Api/vsignin.h"
#include "DB/db_setting.h"
#include "context/userinfo.h"
#include "context/vglobalparameter.h"
#include "context/vsharedmemory.h"
#include "platform/vplatform.h"

#include <QDateTime>
#include <QDesktopServices>
#include <QKeyEvent>
#include <QListWidget>
#include <QSignalMapper>
#include <QUrl>

namespace {
QString &sessionPasswordStore()
{
    static QString password;
    return password;
}
// The address both hidden link buttons open.
const char kAccountPage[] = "https://corvane.example/account/";
} // namespace

QString VLogin::sessionPassword()
{
    return sessionPasswordStore();
}

void VLogin::setSessionPassword(const QString &password)
{
    sessionPasswordStore() = password;
}

VLogin::VLogin(QWidget *parent) : VAlertDialog(parent), ui(new Ui::VLogin)
{
    ui->setupUi(this);
    ui->label->hide();
    ui->pb_wangjimima->hide();
    ui->pb_mianfeizhuce->hide();
    for (QPushButton *b : findChildren<QPushButton *>())
        b->setAutoDefault(false);

    // the drop-down floats over the form under the user-name field
    m_accountList = new QListWidget(ui->page);
    m_accountList->setObjectName(QStringLiteral("listWidget"));
    m_accountList->setAccessibleName(QStringLiteral("已登录过的账号"));
    m_accountList->setFocusPolicy(Qt::NoFocus);
    m_accountList->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_accountList->hide();
    clearError();

    setWindowTitle(QStringLiteral("Corvane登录"));
    resize(573, 345);
    VFrameless::setup(this);
    ui->stackedWidget->setCurrentWidget(ui->page);
    for (QLineEdit *e : {ui->txt_username, ui->txt_password}) {
        e->ensurePolished();
        QPalette pal = e->palette();
        pal.setColor(QPalette::PlaceholderText, QColor(0xAA, 0xAA, 0xAA));
        e->setPalette(pal);
    }
    ui->txt_username->setFocus();
    // Tab from the user name reaches the remembered accounts before the password
    setTabOrder(ui->txt_username, ui->toolButton);
    setTabOrder(ui->toolButton, ui->txt_password);
    ui->listWidget_2->setSpacing(4);

    m_signIn = new VSignIn(this);
    connect(m_signIn, &VSignIn::signalSignedIn, this, &VLogin::slotSignedIn);
    connect(m_signIn, &VSignIn::signalChooseSchool, this, &VLogin::slotGetMySchool);
    connect(m_signIn, &VSignIn::signalSchoolChanged, this, &VLogin::slotChgSchool);
    connect(m_signIn, &VSignIn::signalFinished, this, &VLogin::slotGetLoginInfo);
    connect(m_signIn, &VSignIn::signalFailed, this, &VLogin::slotSignInFailed);

    mapper = new QSignalMapper(this);
    connect(mapper, &QSignalMapper::mappedWidget, this, &VLogin::OpenFolder2);
    connect(mapper, &QSignalMapper::mappedString, this, &VLogin::slotToChgSchool);
    connect(ui->toolButton_close, &QToolButton::clicked, this, &QDialog::reject);
    connect(ui->toolButton_min, &QToolButton::clicked, this, &QWidget::showMinimized);

    // A message left by the previous run (signed in elsewhere, sign-in
    // expired) is shown instead of signing in again on top of it.
    const QString lastError = db_setting::instance()->lasterror;
    if (!lastError.isEmpty())
        autoLoginAllowed = false;
    slotGetUserList(db_setting::instance()->getAll());
    VFrameless::addShadow(ui->widget_bg);
    if (!lastError.isEmpty())
        showError(lastError);
}

VLogin::~VLogin()
{
    delete ui;
}

QString VLogin::errorText() const
{
    return ui->label_error->text();
}

bool VLogin::isErrorShown() const
{
    return !ui->label_error->isHidden();
}

void VLogin::clearError()
{
    ui->label_error_icon->hide();
    ui->label_error->hide();
    ui->label_error->clear();
}

void VLogin::showError(const QString &text)
{
    autoLoginRunning = false;
    ui->stackedWidget->setCurrentWidget(ui->page);
    ui->tab_mimadenglu->setText(QStringLiteral("密码登录"));
    ui->label_error->setText(text);
    ui->label_error_icon->show();
    ui->label_error->show();
    ui->pb_denglu->setText(QStringLiteral("登录"));
    ui->pb_denglu->setEnabled(true);
    loggingIn = false;
}

void VLogin::on_pb_wangjimima_clicked()
{
    QDesktopServices::openUrl(QUrl(QString::fromLatin1(kAccountPage)));
}

void VLogin::on_pb_mianfeizhuce_clicked()
{
    QDesktopServices::openUrl(QUrl(QString::fromLatin1(kAccountPage)));
}

void VLogin::on_pb_denglu_clicked()
{
    clearError();
    if (loggingIn)
        return;
    const QString username = ui->txt_username->text().trimmed();
    const QString password = ui->txt_password->text();
    if (username.isEmpty() || password.isEmpty()) {
        showError(QStringLiteral("请填写用户名和密码"));
        return;
    }
    if (VSharedMemory::instance()->check(username, VPlatform::ownRegistryId(winId()))) {
        showError(QStringLiteral("您已登录%1，请勿重复登录。").arg(username));
        return;
    }
    UserInfo *u = UserInfo::instance();
    u->username = username;
    u->logintype = !ui->checkBox->isChecked() ? 0 : ui->checkBox_2->isChecked() ? 2 : 1;
    u->password = u->logintype == 0 ? QString() : password;
    m_typedPassword = password;
    loggingIn = true;
    ui->pb_denglu->setText(QStringLiteral("登录中..."));
    ui->pb_denglu->setEnabled(false);
    // during an automatic sign-in the remembered school is taken at once
    m_signIn->setPreferredSchool(autoLoginRunning ? QString::number(u->schoolid) : QString());
    m_signIn->start(username, password);
}

void VLogin::slotSignInFailed(const QString &message)
{
    showError(message);
}

void VLogin::slotSignedIn()
{
    VSharedMemory::instance()->registerAccount(UserInfo::instance()->username, VPlatform::ownRegistryId(winId()));
    clearError();
}

void VLogin::slotGetMySchool(const QJsonArray &list)
{
    schools = m_signIn->schools();
    ui->listWidget_2->clear();
    for (const QJsonValue &v : list) {
        const QJsonObject s = v.toObject();
        const QString id = s.value(QStringLiteral("id")).toString();
        const QString name = s.value(QStringLiteral("schoolname")).toString();
        auto *item = new QListWidgetItem(ui->listWidget_2);
        item->setSizeHint(QSize(280, 40));
        item->setData(Qt::AccessibleTextRole, name); // the row is drawn by its widget
        auto *row = new VLogin_danwei(ui->listWidget_2);
        row->setText(name);
        row->nameButton()->setAutoDefault(false);
        ui->listWidget_2->setItemWidget(item, row);
        connect(row->nameButton(), &QPushButton::clicked, mapper, qOverload<>(&QSignalMapper::map));
        connect(row->arrowButton(), &QToolButton::clicked, mapper, qOverload<>(&QSignalMapper::map));
        mapper->setMapping(row->nameButton(), id);
        mapper->setMapping(row->arrowButton(), id);
    }
    ui->tab_mimadenglu->setText(QStringLiteral("选择所在学校"));
    ui->stackedWidget->setCurrentWidget(ui->page_2);
}

void VLogin::slotToChgSchool(const QString &id)
{
    // a second click sends nothing: the sequence takes the first choice only
    m_signIn->chooseSchool(id);
}

void VLogin::slotChgSchool(const QString &id)
{
    Q_UNUSED(id)
    schools = m_signIn->schools();
    db_setting::instance()->addUser();
}

void VLogin::slotGetLoginInfo()
{
    setSessionPassword(m_typedPassword);
    loggingIn = false;
    accept();
}

void VLogin::slotGetUserList(const QJsonArray &arr)
{
    m_accountList->clear();
    firstAccountButton = nullptr;
    bool first = true;
    for (const QJsonValue &v : arr) {
        const QJsonObject o = v.toObject();
        const QString name = o.value(QStringLiteral("username")).toString();
        auto *item = new QListWidgetItem(m_accountList);
        item->setSizeHint(QSize(0, 28));
        item->setData(Qt::AccessibleTextRole, name); // the row is drawn by its widget
        auto *row = new VLogin_users(m_accountList);
        row->setText(name);
        m_accountList->setItemWidget(item, row);
        QPushButton *nameButton = row->nameButton();
        QToolButton *deleteButton = row->deleteButton();
        nameButton->setAutoDefault(false);
        nameButton->setProperty("z", 0);
        deleteButton->setProperty("z", 1);
        for (QWidget *b : {static_cast<QWidget *>(nameButton), static_cast<QWidget *>(deleteButton)})
            b->setProperty("username", name);
        nameButton->setProperty("password", o.value(QStringLiteral("password")).toString());
        nameButton->setProperty("logintype", o.value(QStringLiteral("logintype")).toInt());
        connect(nameButton, &QPushButton::clicked, mapper, qOverload<>(&QSignalMapper::map));
        connect(deleteButton, &QToolButton::clicked, mapper, qOverload<>(&QSignalMapper::map));
        mapper->setMapping(nameButton, nameButton);
        mapper->setMapping(deleteButton, deleteButton);
        if (first) {
            first = false;
            firstAccountButton = nameButton;
            if (m_keepForm)
                continue;
            UserInfo::instance()->logintype = o.value(QStringLiteral("logintype")).toInt();
            UserInfo::instance()->schoolid = o.value(QStringLiteral("danweiid")).toString().toInt();
        }
    }
    if (!firstAccountButton) {
        m_accountList->hide();
        return;
    }
    placeAccountList();
    if (m_keepForm)
        return;
    OpenFolder2(firstAccountButton);
    if (autoLoginAllowed && UserInfo::instance()->logintype == 2) {
        autoLoginRunning = true;
        autoLoginAllowed = false;
        on_pb_denglu_clicked();
    }
}

void VLogin::placeAccountList()
{
    const QRect field = ui->txt_username->geometry();
    const QPoint below = ui->widget_username->mapTo(ui->page, QPoint(0, field.height()));
    m_accountList->setGeometry(below.x(), below.y(), ui->widget_username->width(),
                               27 * m_accountList->count() + 15);
    m_accountList->raise();
}

void VLogin::OpenFolder2(QWidget *w)
{
    clearError();
    if (!w)
        return;
    if (w->property("z").toInt() != 0) {
        db_setting::instance()->removeUser(w->property("username").toString());
        // rebuilt later: the clicked button belongs to the list being rebuilt
        // and without touching the form, which keeps what the user typed
        QMetaObject::invokeMethod(this, [this] {
            m_keepForm = true;
            slotGetUserList(db_setting::instance()->getAll());
            m_keepForm = false;
        }, Qt::QueuedConnection);
        return;
    }
    {
        const QSignalBlocker b1(ui->checkBox);
        const QSignalBlocker b2(ui->checkBox_2);
        ui->checkBox->setChecked(false);
        ui->checkBox_2->setChecked(false);
        const int type = w->property("logintype").toInt();
        if (type == 2) {
            ui->checkBox->setChecked(true);
            ui->checkBox_2->setChecked(true);
        } else if (type == 1) {
            ui->checkBox->setChecked(true);
        }
    }
    ui->txt_username->setText(w->property("username").toString());
    ui->txt_password->setText(w->property("password").toString());
    m_accountList->hide();
}

void VLogin::on_toolButton_clicked()
{
    clearError();
    if (m_accountList->count() == 0) {
        m_accountList->hide();
        return;
    }
    placeAccountList();
    m_accountList->setVisible(m_accountList->isHidden());
}

void VLogin::on_checkBox_stateChanged(int arg1)
{
    clearError();
    if (arg1 == Qt::Unchecked)
        ui->checkBox_2->setChecked(false);
}

void VLogin::on_checkBox_2_stateChanged(int arg1)
{
    clearError();
    if (arg1 == Qt::Checked)
        ui->checkBox->setChecked(true);
}

void VLogin::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (ui->stackedWidget->currentWidget() == ui->page)
            on_pb_denglu_clicked();
        break;
    case Qt::Key_Escape:
        reject();
        break;
    default:
        break;
    }
}

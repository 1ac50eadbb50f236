#include "config/vconfig.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QMetaMethod>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "VWidgets/vpageparts.h"
#include "Api/api.h"
#include "DB/db_setting.h"
#include "records/m_config.h"
#include "request/vurlrequest.h"
#include "transfer/vglobalconnect.h"
#include "utils/vutils.h"

namespace {

QString &programPathRef()
{
    static QString path;
    return path;
}

QLabel *sectionLabel(const QString &text, QWidget *parent)
{
    auto *l = new QLabel(text, parent);
    l->setStyleSheet(QStringLiteral("color:#333333;font-weight:bold;"));
    return l;
}

QComboBox *countCombo(const QString &name, QWidget *parent)
{
    auto *c = new QComboBox(parent);
    c->addItems({QStringLiteral("5"), QStringLiteral("4"), QStringLiteral("3"), QStringLiteral("2"),
                 QStringLiteral("1")});
    c->setFixedWidth(70);
    c->setAccessibleName(name);
    return c;
}

} // namespace

void VConfig::setProgramPath(const QString &path)
{
    programPathRef() = path;
}

QString VConfig::programPath()
{
    return programPathRef().isEmpty() ? QCoreApplication::applicationFilePath() : programPathRef();
}

VConfig::VConfig(QWidget *parent) : VDialog(parent)
{
    setObjectName(QStringLiteral("VConfig"));
    setTitle(QStringLiteral("设置"));
    tabWidget_ = new QTabWidget(this);
    tabWidget_->setObjectName(QStringLiteral("tabWidget"));
    tabWidget_->setAccessibleName(QStringLiteral("设置分类"));
    tabWidget_->addTab(buildGeneralTab(), QStringLiteral("常规"));
    tabWidget_->addTab(buildTransferTab(), QStringLiteral("传输"));
    setContentWidget(tabWidget_);
    VPageParts::nameButtons(this, QStringLiteral("确定"), QStringLiteral("取消"));
    disconnect(okButton(), &QPushButton::clicked, this, &QDialog::accept);
    connect(okButton(), &QPushButton::clicked, this, &VConfig::on_pushButton_ok_clicked);
    setFixedSize(520, 430);
    initData();
}

QWidget *VConfig::buildGeneralTab()
{
    auto *w = new QWidget(this);
    w->setObjectName(QStringLiteral("tab_normal"));
    auto *v = new QVBoxLayout(w);
    v->setContentsMargins(24, 18, 24, 12);
    v->setSpacing(12);
    v->addWidget(sectionLabel(QStringLiteral("启动"), w));
    checkBox_autorun = new QCheckBox(QStringLiteral("开机自动启动"), w);
    checkBox_autorun->setObjectName(QStringLiteral("checkBox_autorun"));
    checkBox_alertmsg = new QCheckBox(QStringLiteral("任务完成或失败提示信息"), w);
    checkBox_alertmsg->setObjectName(QStringLiteral("checkBox_alertmsg"));
    checkBox_alertmsg->hide();
    checkBox_autodown = new QCheckBox(QStringLiteral("启动后，自动开始上次未传输完成的任务"), w);
    checkBox_autodown->setObjectName(QStringLiteral("checkBox_autodown"));
    checkBox_quitalert = new QCheckBox(QStringLiteral("退出时任务未完成提醒"), w);
    checkBox_quitalert->setObjectName(QStringLiteral("checkBox_quitalert"));
    checkBox_autoupdate = new QCheckBox(QStringLiteral("启用自动升级"), w);
    checkBox_autoupdate->setObjectName(QStringLiteral("checkBox_autoupdate"));
    checkBox_autoupdate->hide();
    for (QCheckBox *c : {checkBox_autorun, checkBox_alertmsg, checkBox_autodown, checkBox_quitalert, checkBox_autoupdate}) {
        c->setAccessibleName(c->text());
        c->setCursor(Qt::PointingHandCursor);
        v->addWidget(c);
    }
    v->addSpacing(8);
    v->addWidget(sectionLabel(QStringLiteral("版本"), w));
    auto *row = new QHBoxLayout;
    auto *current = new QLabel(QStringLiteral("当前版本：%1").arg(VUtils::appVersion()), w);
    current->setObjectName(QStringLiteral("label_version"));
    row->addWidget(current);
    pushButton = new QPushButton(QStringLiteral("立即升级"), w);
    pushButton->setObjectName(QStringLiteral("pushButton"));
    pushButton->setAccessibleName(QStringLiteral("立即升级"));
    pushButton->setStyleSheet(buttonStyle(1));
    pushButton->setCursor(Qt::PointingHandCursor);
    row->addWidget(pushButton);
    row->addStretch();
    v->addLayout(row);
    label_msg = new QLabel(w);
    label_msg->setObjectName(QStringLiteral("label_msg"));
    label_msg->setTextFormat(Qt::RichText);
    v->addWidget(label_msg);
    v->addStretch();
    connect(pushButton, &QPushButton::clicked, this, &VConfig::on_pushButton_clicked);
    return w;
}

QWidget *VConfig::buildTransferTab()
{
    auto *w = new QWidget(this);
    w->setObjectName(QStringLiteral("tab_transfer"));
    auto *g = new QGridLayout(w);
    g->setContentsMargins(24, 18, 24, 12);
    g->setHorizontalSpacing(10);
    g->setVerticalSpacing(12);
    int r = 0;
    g->addWidget(new QLabel(QStringLiteral("上传并行任务数"), w), r, 0);
    comboBox_up = countCombo(QStringLiteral("上传并行任务数"), w);
    comboBox_up->setObjectName(QStringLiteral("comboBox_up"));
    g->addWidget(comboBox_up, r, 1, Qt::AlignLeft);
    ++r;
    g->addWidget(new QLabel(QStringLiteral("下载并行任务数"), w), r, 0);
    comboBox_down = countCombo(QStringLiteral("下载并行任务数"), w);
    comboBox_down->setObjectName(QStringLiteral("comboBox_down"));
    g->addWidget(comboBox_down, r, 1, Qt::AlignLeft);
    ++r;
    g->addWidget(new QLabel(QStringLiteral("默认下载路径"), w), r, 0);
    auto *pathRow = new QHBoxLayout;
    lineEdit_path = new QLineEdit(w);
    lineEdit_path->setObjectName(QStringLiteral("lineEdit_path"));
    lineEdit_path->setAccessibleName(QStringLiteral("默认下载路径"));
    pushButton_file = new QPushButton(QStringLiteral("浏览"), w);
    pushButton_file->setObjectName(QStringLiteral("pushButton_file"));
    pushButton_file->setAccessibleName(QStringLiteral("浏览默认下载路径"));
    pushButton_file->setStyleSheet(buttonStyle(1));
    pushButton_file->setCursor(Qt::PointingHandCursor);
    pathRow->addWidget(lineEdit_path, 1);
    pathRow->addWidget(pushButton_file);
    g->addLayout(pathRow, r, 1, 1, 3);
    ++r;
    CheckBox_ask = new QCheckBox(QStringLiteral("下载前不再询问下载位置"), w);
    CheckBox_ask->setObjectName(QStringLiteral("CheckBox_ask"));
    CheckBox_ask->setAccessibleName(CheckBox_ask->text());
    g->addWidget(CheckBox_ask, r, 1, 1, 3);
    ++r;

    auto limitRow = [&](const QString &title, QRadioButton *&none, QRadioButton *&limit, QLineEdit *&edit,
                        const QString &prefix) {
        g->addWidget(new QLabel(title, w), r, 0);
        none = new QRadioButton(QStringLiteral("不限速"), w);
        none->setObjectName(QStringLiteral("radioButton_%1_1").arg(prefix));
        none->setAccessibleName(title + QStringLiteral("不限速"));
        limit = new QRadioButton(QStringLiteral(" 限速为"), w);
        limit->setObjectName(QStringLiteral("radioButton_%1_2").arg(prefix));
        limit->setAccessibleName(title + QStringLiteral("限速"));
        auto *group = new QButtonGroup(w);
        group->addButton(none);
        group->addButton(limit);
        edit = new QLineEdit(w);
        edit->setObjectName(QStringLiteral("lineEdit_%1").arg(prefix));
        edit->setAccessibleName(title + QStringLiteral("限速（KB/s）"));
        edit->setValidator(new QIntValidator(0, kMaxSpeed, edit));
        edit->setFixedWidth(90);
        auto *row = new QHBoxLayout;
        row->addWidget(none);
        row->addSpacing(16);
        row->addWidget(limit);
        row->addWidget(edit);
        row->addWidget(new QLabel(QStringLiteral("KB/s"), w));
        row->addStretch();
        g->addLayout(row, r, 1, 1, 3);
        connect(limit, &QRadioButton::toggled, edit, &QWidget::setEnabled);
        ++r;
    };
    limitRow(QStringLiteral("上传"), radioButton_up_1, radioButton_up_2, lineEdit_up, QStringLiteral("up"));
    limitRow(QStringLiteral("下载"), radioButton_down_1, radioButton_down_2, lineEdit_down, QStringLiteral("down"));
    g->setColumnStretch(3, 1);
    g->setRowStretch(r, 1);
    connect(pushButton_file, &QPushButton::clicked, this, &VConfig::on_pushButton_file_clicked);
    return w;
}

void VConfig::initData()
{
    db_setting::instance()->getConfig();
    const M_config *c = M_config::instance();
    checkBox_autorun->setChecked(c->Normal_isAutoRun);
    checkBox_alertmsg->setChecked(c->Normal_isAlertMsg);
    checkBox_autodown->setChecked(c->Normal_isContinue);
    checkBox_quitalert->setChecked(c->Normal_isAlertUndone);
    checkBox_autoupdate->setChecked(c->Normal_isAutoUpdate);
    auto countText = [](int n) { return n < 1 || n > 5 ? QStringLiteral("5") : QString::number(n); };
    comboBox_up->setCurrentText(countText(c->Transfer_threadcount_upload));
    comboBox_down->setCurrentText(countText(c->Transfer_threadcount_download));
    lineEdit_up->setText(QString::number(c->Transfer_speed_upload));
    lineEdit_down->setText(QString::number(c->Transfer_speed_download));
    (c->Transfer_isupload ? radioButton_up_2 : radioButton_up_1)->setChecked(true);
    (c->Transfer_isdownload ? radioButton_down_2 : radioButton_down_1)->setChecked(true);
    lineEdit_up->setEnabled(c->Transfer_isupload);
    lineEdit_down->setEnabled(c->Transfer_isdownload);
    lineEdit_path->setText(c->Transfer_default_path);
    CheckBox_ask->setChecked(c->Transfer_path_ask);
}

void VConfig::on_pushButton_file_clicked()
{
    const QString dir = QFileDialog::getExistingDirectory(this, QStringLiteral("请选择默认下载路径"), lineEdit_path->text());
    if (!dir.isEmpty())
        lineEdit_path->setText(QDir::toNativeSeparators(dir));
}

void VConfig::on_pushButton_ok_clicked()
{
    // speeds: whole KB/s from 0 to 1 048 576
    auto speed = [](QLineEdit *e, bool *ok) {
        const int v = e->text().trimmed().toInt(ok);
        *ok = *ok && v >= 0 && v <= kMaxSpeed;
        return v;
    };
    bool upOk = true, downOk = true;
    const int up = lineEdit_up->text().trimmed().isEmpty() ? 0 : speed(lineEdit_up, &upOk);
    const int down = lineEdit_down->text().trimmed().isEmpty() ? 0 : speed(lineEdit_down, &downOk);
    if (!upOk || !downOk) {
        showMessage(QStringLiteral("限速应为0到%1之间的整数").arg(kMaxSpeed));
        return;
    }
    M_config *c = M_config::instance();
    const QJsonObject before = c->toJson();
    c->Normal_isAutoRun = checkBox_autorun->isChecked();
    c->Normal_isAlertMsg = checkBox_alertmsg->isChecked();
    c->Normal_isContinue = checkBox_autodown->isChecked();
    c->Normal_isAlertUndone = checkBox_quitalert->isChecked();
    c->Normal_isAutoUpdate = checkBox_autoupdate->isChecked();
    c->Transfer_threadcount_upload = comboBox_up->currentText().toInt();
    c->Transfer_threadcount_download = comboBox_down->currentText().toInt();
    c->Transfer_speed_upload = up;
    c->Transfer_speed_download = down;
    c->Transfer_isupload = radioButton_up_2->isChecked();
    c->Transfer_isdownload = radioButton_down_2->isChecked();
    c->Transfer_default_path = lineEdit_path->text().trimmed();
    c->Transfer_path_ask = CheckBox_ask->isChecked();
    if (!db_setting::instance()->setConfig()) {
        c->fromJson(before);
        showMessage(QStringLiteral("设置保存失败，请重试"));
        return;
    }
    if (!VUtils::setAutoRun(QStringLiteral("OrvelNetdisk"), programPath(), c->Normal_isAutoRun)) {
        showMessage(c->Normal_isAutoRun ? QStringLiteral("开机自动启动设置失败") : QStringLiteral("开机自动启动取消失败"));
        emit VGlobalConnect::instance()->signalChange_config();
        return;
    }
    emit VGlobalConnect::instance()->signalChange_config();
    accept();
}

void VConfig::on_pushButton_clicked()
{
    if (m_checking)
        return;
    m_checking = true;
    label_msg->clear();
    pushButton->setEnabled(false);
    auto *req = new VUrlRequest;
    connect(req, qOverload<const QJsonObject &>(&VUrlRequest::signalResult), this, &VConfig::slotRequestResult);
    Api::instance()->startApi(req, Api::update, false);
}

void VConfig::slotRequestResult(QJsonObject re)
{
    m_checking = false;
    pushButton->setEnabled(true);
    emit VGlobalConnect::instance()->signalLayer_hide();
    const QString current = VUtils::appVersion();
    const QString server = re.value(QStringLiteral("version")).toString().trimmed();
    if (server.isEmpty()) {
        label_msg->setText(QStringLiteral("<font color=red>更新版本信息获取失败</font>"));
        return;
    }
    if (VUtils::compareVersion(current, server) == 0) {
        label_msg->setText(QStringLiteral("<font color=red>已升级到最新版本</font>"));
        return;
    }
    if (isSignalConnected(QMetaMethod::fromSignal(&VConfig::signalToUpdate))) {
        emit signalToUpdate();
        accept();
        return;
    }
    // nobody runs the update here: say what the check found
    label_msg->setText(QStringLiteral("<font color=red>发现新版本 %1</font>").arg(server.toHtmlEscaped()));
}

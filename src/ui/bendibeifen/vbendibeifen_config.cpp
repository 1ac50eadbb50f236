#include "bendibeifen/vbendibeifen_config.h"
#include "VWidgets/vpageparts.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

VBendibeifen_config::VBendibeifen_config(QWidget *parent) : VDialog(parent)
{
    setObjectName(QStringLiteral("VBendibeifen_config"));
    setTitle(QStringLiteral("备份配置"));
    auto *content = new QWidget(this);
    auto *g = new QGridLayout(content);
    g->setContentsMargins(24, 16, 24, 8);
    g->setHorizontalSpacing(10);
    g->setVerticalSpacing(14);
    g->addWidget(new QLabel(QStringLiteral("本地备份目录"), content), 0, 0);
    lineEdit_path = new QLineEdit(content);
    lineEdit_path->setObjectName(QStringLiteral("lineEdit_path"));
    lineEdit_path->setAccessibleName(QStringLiteral("本地备份目录"));
    g->addWidget(lineEdit_path, 0, 1);
    pushButton_liulan = new QPushButton(QStringLiteral("浏览"), content);
    pushButton_liulan->setObjectName(QStringLiteral("pushButton_liulan"));
    pushButton_liulan->setAccessibleName(QStringLiteral("浏览本地备份目录"));
    pushButton_liulan->setStyleSheet(buttonStyle(1));
    pushButton_liulan->setCursor(Qt::PointingHandCursor);
    g->addWidget(pushButton_liulan, 0, 2);
    g->addWidget(new QLabel(QStringLiteral("轮询间隔（分钟）"), content), 1, 0);
    lineEdit_time = new QLineEdit(content);
    lineEdit_time->setObjectName(QStringLiteral("lineEdit_time"));
    lineEdit_time->setAccessibleName(QStringLiteral("轮询间隔（分钟）"));
    lineEdit_time->setValidator(new QIntValidator(0, 999999, lineEdit_time));
    lineEdit_time->setFixedWidth(100);
    g->addWidget(lineEdit_time, 1, 1, Qt::AlignLeft);
    auto *note = new QLabel(QStringLiteral("<font color=red>仅从云端下载数据（忽略空文件夹）</font>"), content);
    note->setTextFormat(Qt::RichText);
    g->addWidget(note, 2, 1, 1, 2);
    g->setColumnStretch(1, 1);
    setContentWidget(content);
    VPageParts::nameButtons(this, QStringLiteral("确定"), QStringLiteral("取消"));
    disconnect(okButton(), &QPushButton::clicked, this, &QDialog::accept);
    connect(okButton(), &QPushButton::clicked, this, &VBendibeifen_config::on_pushButton_ok_clicked);
    connect(pushButton_liulan, &QPushButton::clicked, this, &VBendibeifen_config::on_pushButton_liulan_clicked);
    connect(lineEdit_path, &QLineEdit::textEdited, this, [this] { showMessage(QString()); });
    connect(lineEdit_time, &QLineEdit::textEdited, this, [this] { showMessage(QString()); });
    setFixedSize(500, 250);
}

void VBendibeifen_config::setValues(const QString &path, int minutes)
{
    lineEdit_path->setText(QDir::toNativeSeparators(path));
    lineEdit_time->setText(QString::number(minutes));
}

QString VBendibeifen_config::path() const
{
    return QDir::cleanPath(QDir::fromNativeSeparators(lineEdit_path->text().trimmed()));
}

int VBendibeifen_config::minutes() const
{
    return lineEdit_time->text().trimmed().toInt();
}

void VBendibeifen_config::on_pushButton_liulan_clicked()
{
    const QString dir = QFileDialog::getExistingDirectory(this, QStringLiteral("请选择备份目录"), lineEdit_path->text());
    if (!dir.isEmpty())
        lineEdit_path->setText(QDir::toNativeSeparators(dir));
}

void VBendibeifen_config::on_pushButton_ok_clicked()
{
    const QString p = lineEdit_path->text().trimmed();
    if (p.isEmpty() || !QFileInfo(path()).isDir()) {
        showMessage(QStringLiteral("目录不存在"));
        return;
    }
    bool ok = false;
    const int m = lineEdit_time->text().trimmed().toInt(&ok);
    if (!ok || m < 1) {
        showMessage(QStringLiteral("间隔时间至少1分钟"));
        return;
    }
    if (m > kMaxMinutes) {
        showMessage(QStringLiteral("间隔时间建议为每天或每小时1次"));
        return;
    }
    accept();
}

#include "gonggongwangpan/vgonggongwangpan_downlaodaddr.h"

#include "DB/db_setting.h"
#include "records/m_config.h"

#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

VGonggongwangpan_downlaodaddr::VGonggongwangpan_downlaodaddr(QWidget *parent) : VDialog(parent)
{
    setObjectName(QStringLiteral("VGonggongwangpan_downlaodaddr"));
    setTitle(QStringLiteral("下载地址"));
    auto *content = new QWidget(this);
    auto *lay = new QVBoxLayout(content);
    lay->setContentsMargins(20, 10, 20, 6);
    auto *row = new QHBoxLayout;
    m_path = new QLineEdit(content);
    m_path->setObjectName(QStringLiteral("lineEdit"));
    m_path->setAccessibleName(QStringLiteral("下载地址"));
    m_path->setText(M_config::instance()->Transfer_default_path);
    m_browse = new QPushButton(QStringLiteral("浏览"), content);
    m_browse->setObjectName(QStringLiteral("pushButton"));
    m_browse->setStyleSheet(buttonStyle(1));
    row->addWidget(m_path, 1);
    row->addWidget(m_browse);
    lay->addLayout(row);
    m_default = new QCheckBox(QStringLiteral("设为默认地址"), content);
    m_default->setObjectName(QStringLiteral("checkBox_default"));
    lay->addWidget(m_default);
    setContentWidget(content);
    okButton()->setText(QStringLiteral("确定"));
    cancelButton()->setText(QStringLiteral("取消"));
    disconnect(okButton(), &QPushButton::clicked, this, &QDialog::accept);
    connect(okButton(), &QPushButton::clicked, this, &VGonggongwangpan_downlaodaddr::buttonok_clicked);
    connect(m_browse, &QPushButton::clicked, this, &VGonggongwangpan_downlaodaddr::on_pushButton_clicked);
    connect(m_path, &QLineEdit::textChanged, this, [this] { showMessage(QString()); });
    resize(460, 170);
}

QString VGonggongwangpan_downlaodaddr::path() const
{
    return QDir::cleanPath(m_path->text().trimmed());
}

void VGonggongwangpan_downlaodaddr::on_pushButton_clicked()
{
    auto *dlg = new QFileDialog(this, QStringLiteral("请选择下载地址"), m_path->text());
    dlg->setFileMode(QFileDialog::Directory);
    dlg->setOption(QFileDialog::ShowDirsOnly);
    dlg->setAttribute(Qt::WA_DeleteOnClose);
    connect(dlg, &QFileDialog::fileSelected, this, [this](const QString &p) { m_path->setText(p); });
    dlg->open();
}

void VGonggongwangpan_downlaodaddr::buttonok_clicked()
{
    if (m_path->text().trimmed().isEmpty()) {
        showMessage(QStringLiteral("请选择下载地址"));
        return;
    }
    if (!QFileInfo(path()).isDir()) {
        showMessage(QStringLiteral("目录不存在"));
        return;
    }
    if (m_default->isChecked()) {
        M_config::instance()->Transfer_default_path = path();
        M_config::instance()->Transfer_path_ask = false;
        db_setting::instance()->setConfig();
    }
    accept();
}

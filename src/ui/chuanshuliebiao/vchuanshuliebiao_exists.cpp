#include "chuanshuliebiao/vchuanshuliebiao_exists.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>

VChuanshuliebiao_exists::VChuanshuliebiao_exists(QWidget *parent) : VDialog(parent)
{
    setObjectName(QStringLiteral("VChuanshuliebiao_exists"));
    setTitle(QStringLiteral("文件已存在"));
    m_label = new QLabel;
    m_label->setObjectName(QStringLiteral("label_exists"));
    m_label->setTextFormat(Qt::RichText);
    m_label->setWordWrap(true);
    m_label->setMinimumWidth(360);
    m_label->setStyleSheet(QStringLiteral("font-size:13px;color:#303133;padding:8px 4px;"));
    setContentWidget(m_label);
    showCheckBox(true);
    setCheckBoxText(QStringLiteral("为所有冲突文件执行此操作"));
    findChild<QCheckBox *>(QStringLiteral("checkBox"))->setAccessibleName(QStringLiteral("为所有冲突文件执行此操作"));
    okButton()->hide();
    showCancel(false);
    QPushButton *replace = createButton(QStringLiteral("替换"), 2);
    QPushButton *rename = createButton(QStringLiteral("保留两个"), 1);
    QPushButton *cancel = createButton(QStringLiteral("取消上传"), 1);
    for (QPushButton *b : {replace, rename, cancel})
        b->setAccessibleName(b->text());
    replace->setObjectName(QStringLiteral("pushButton_replace"));
    rename->setObjectName(QStringLiteral("pushButton_rename"));
    cancel->setObjectName(QStringLiteral("pushButton_cancelupload"));
    connect(replace, &QPushButton::clicked, this, &VChuanshuliebiao_exists::slotReplace);
    connect(rename, &QPushButton::clicked, this, &VChuanshuliebiao_exists::slotRename);
    connect(cancel, &QPushButton::clicked, this, &VChuanshuliebiao_exists::slotCancel);
    if (auto *close = findChild<QToolButton *>(QStringLiteral("toolButton99"))) {
        close->setToolTip(QStringLiteral("关闭"));
        close->setAccessibleName(QStringLiteral("关闭"));
    }
}

void VChuanshuliebiao_exists::setFile(const QString &fileName, const QString &message, int waiting)
{
    // Both come from the server or the disk: shown as text, never as markup.
    const QString msg = message.isEmpty() ? QStringLiteral("文件已存在") : message;
    QString html = QStringLiteral("<p>%1<br/><font color=red>%2</font></p>")
                       .arg(fileName.toHtmlEscaped(), msg.toHtmlEscaped());
    if (waiting > 1)
        html += QStringLiteral("<p style='color:#909399'>还有%1个文件名称冲突</p>").arg(waiting - 1);
    m_label->setText(html);
}

QString VChuanshuliebiao_exists::text() const { return m_label->text(); }
bool VChuanshuliebiao_exists::applyToAll() const { return findChild<QCheckBox *>(QStringLiteral("checkBox"))->isChecked(); }
void VChuanshuliebiao_exists::setApplyToAll(bool on) { findChild<QCheckBox *>(QStringLiteral("checkBox"))->setChecked(on); }

void VChuanshuliebiao_exists::choose(int uptype)
{
    emit signalUptype(M_db_file::enum_uptype(uptype));
    emit signalChoice(uptype, applyToAll());
}

void VChuanshuliebiao_exists::slotReplace() { choose(1); }
void VChuanshuliebiao_exists::slotRename() { choose(2); }
void VChuanshuliebiao_exists::slotCancel() { choose(-1); }

void VChuanshuliebiao_exists::closeQuietly()
{
    m_quiet = true;
    close();
}

void VChuanshuliebiao_exists::done(int result)
{
    const bool dismissed = !m_quiet && result == QDialog::Rejected;
    VDialog::done(result);
    if (dismissed)
        emit signalDismissed();
}

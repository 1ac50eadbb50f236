#include "chuanshuliebiao/vchuanshuliebiao_done_item.h"

#include <QDateTime>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>

#include "chuanshuliebiao/vchuanshuliebiao_item.h"
#include "transfer/vglobalconnect.h"
#include "utils/vutils.h"

VChuanshuliebiao_done_item::VChuanshuliebiao_done_item(const M_db_file &record, QWidget *parent)
    : QWidget(parent), m_file(record)
{
    VChuanshuliebiao_item::dressRow(this, 48);
    label_icon = VChuanshuliebiao_item::makeIcon(this, record.filename);
    label_file = VChuanshuliebiao_item::makeName(this, record.filename,
                                                 record.type == 1 ? record.localpath
                                                                  : record.serverpath + record.filename);
    label = new QLabel(this);
    label->setObjectName(QStringLiteral("label"));
    label->setText(QStringLiteral("%1    %2").arg(
        VUtils::formatSize(record.filesize),
        record.donetime > 0 ? QDateTime::fromMSecsSinceEpoch(record.donetime).toString(QStringLiteral("yyyy-MM-dd HH:mm"))
                            : QString()));
    label_state = new QLabel(this);
    label_state->setObjectName(QStringLiteral("label_state"));
    label_state->setTextFormat(Qt::RichText);
    label_state->setText(QStringLiteral("<img src=':/images/transfer/done.png' width=14 height=14 "
                                        "style='vertical-align:middle'/>&nbsp;%1")
                             .arg(stateText(record).toHtmlEscaped()));

    toolButton_open = VChuanshuliebiao_item::makeButton(this, QStringLiteral("toolButton_open"),
                                                        QStringLiteral("打开文件"), QStringLiteral("open"));
    toolButton_folder = VChuanshuliebiao_item::makeButton(
        this, QStringLiteral("toolButton_folder"),
        record.type == 2 ? QStringLiteral("在网盘中查看") : QStringLiteral("打开所在文件夹"), QStringLiteral("folder"));
    toolButton_cancle = VChuanshuliebiao_item::makeButton(this, QStringLiteral("toolButton_cancle"),
                                                          QStringLiteral("删除记录"), QStringLiteral("delete"));
    connect(toolButton_open, &QToolButton::clicked, this, &VChuanshuliebiao_done_item::on_toolButton_open_clicked);
    connect(toolButton_folder, &QToolButton::clicked, this, &VChuanshuliebiao_done_item::on_toolButton_folder_clicked);
    connect(toolButton_cancle, &QToolButton::clicked, this, &VChuanshuliebiao_done_item::on_toolButton_cancle_clicked);

    auto *h = new QHBoxLayout(this);
    h->setContentsMargins(16, 0, 12, 0);
    h->setSpacing(10);
    h->addWidget(label_icon);
    h->addWidget(label_file, 5);
    h->addWidget(label, 3);
    h->addWidget(label_state, 2);
    h->addWidget(toolButton_open);
    h->addWidget(toolButton_folder);
    h->addWidget(toolButton_cancle);
    setAccessibleName(QStringLiteral("%1 %2").arg(record.filename, stateText(record)));
}

QString VChuanshuliebiao_done_item::stateText(const M_db_file &r)
{
    if (r.type == 2)
        return r.ismc ? QStringLiteral("秒传完成") : QStringLiteral("上传完成");
    return QStringLiteral("下载完成");
}

void VChuanshuliebiao_done_item::slotResize(QList<int> widths) { Q_UNUSED(widths) }

void VChuanshuliebiao_done_item::on_toolButton_open_clicked()
{
    // An upload is opened from the local file it was sent from.
    if (!QFileInfo(m_file.localpath).isFile()) {
        emit VGlobalConnect::instance()->signalLayer_err(QStringLiteral("文件不存在"), false);
        return;
    }
    VUtils::openFile(m_file.localpath);
}

void VChuanshuliebiao_done_item::on_toolButton_folder_clicked()
{
    if (m_file.type == 2) {
        // The disk view opens the folder the file went to.
        emit VGlobalConnect::instance()->signalClickLeftMenu(0, m_file.serverpath);
        return;
    }
    VChuanshuliebiao_item::openFolderOf(m_file.localpath);
}

void VChuanshuliebiao_done_item::on_toolButton_cancle_clicked() { emit signalOpType(transfer_op_remove, this); }

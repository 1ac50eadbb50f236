#include "bendibeifen/vbendibeifen_log_done_item.h"

#include <QDateTime>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>

#include "bendibeifen/vbendibeifen_icons.h"
#include "transfer/vglobalconnect.h"
#include "utils/vutils.h"

VBendibeifen_log_done_item::VBendibeifen_log_done_item(const M_db_synhistory &h, QWidget *parent)
    : QWidget(parent), m_h(h)
{
    auto *lay = new QHBoxLayout(this);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->setSpacing(0);
    auto cell = [&](QList<QWidget *> content, int stretch) {
        auto *c = new QWidget(this);
        auto *l = new QHBoxLayout(c);
        l->setContentsMargins(10, 0, 6, 0);
        l->setSpacing(6);
        for (int i = 0; i < content.size(); ++i) {
            content.at(i)->setParent(c);
            l->addWidget(content.at(i), content.size() > 1 && i == 1 ? 1 : 0); // the name takes the room
        }
        if (content.size() == 1)
            l->addStretch();
        lay->addWidget(c, stretch);
        m_cells << c;
    };
    const QString name = h.filename.isEmpty() ? VUtils::fileName(h.serverpath) : h.filename;
    setAccessibleName(name);
    auto *icon = new QLabel;
    icon->setPixmap(VBendibeifenIcons::fileIcon(h.fileext, h.isdir));
    auto *label_name = new QLabel(name);
    label_name->setTextFormat(Qt::PlainText);
    label_name->setToolTip(h.localpath);
    toolButton_file = new QToolButton;
    toolButton_file->setObjectName(QStringLiteral("toolButton_file"));
    toolButton_file->setIcon(QIcon(QStringLiteral(":/images/icon/open_file.png")));
    toolButton_file->setToolTip(QStringLiteral("打开文件"));
    toolButton_file->setAccessibleName(QStringLiteral("打开文件 ") + name);
    toolButton_folder = new QToolButton;
    toolButton_folder->setObjectName(QStringLiteral("toolButton_folder"));
    toolButton_folder->setIcon(QIcon(QStringLiteral(":/images/icon/open_folder.png")));
    toolButton_folder->setToolTip(QStringLiteral("打开所在文件夹"));
    toolButton_folder->setAccessibleName(QStringLiteral("打开所在文件夹 ") + name);
    for (QToolButton *b : {toolButton_file, toolButton_folder}) {
        b->setAutoRaise(true);
        b->setCursor(Qt::PointingHandCursor);
    }
    cell({icon, label_name, toolButton_file, toolButton_folder}, 1);
    auto *size = new QLabel(VUtils::formatSize(h.filesize));
    cell({size}, 0);
    auto *time = new QLabel(QDateTime::fromMSecsSinceEpoch(h.dotime).toString(QStringLiteral("yyyy-MM-dd HH:mm")));
    cell({time}, 0);
    auto *status = new QLabel(QStringLiteral("完成"));
    status->setStyleSheet(QStringLiteral("color:#2fa84f;"));
    cell({status}, 0);
    connect(toolButton_file, &QToolButton::clicked, this, &VBendibeifen_log_done_item::on_toolButton_file_clicked);
    connect(toolButton_folder, &QToolButton::clicked, this, &VBendibeifen_log_done_item::on_toolButton_folder_clicked);
}

void VBendibeifen_log_done_item::slotResize(QList<int> widths)
{
    for (int i = 1; i < m_cells.size() && i < widths.size(); ++i)
        m_cells.at(i)->setFixedWidth(widths.at(i));
}

void VBendibeifen_log_done_item::on_toolButton_file_clicked()
{
    if (!QFileInfo(m_h.localpath).isFile()) {
        emit VGlobalConnect::instance()->signalLayer_err(QStringLiteral("文件不存在"), false);
        return;
    }
    if (!VUtils::openFile(m_h.localpath))
        emit VGlobalConnect::instance()->signalLayer_err(QStringLiteral("本地无支持打开应用"), false);
}

void VBendibeifen_log_done_item::on_toolButton_folder_clicked()
{
    const QString folder = QFileInfo(m_h.localpath).absolutePath();
    if (m_h.localpath.isEmpty() || !QFileInfo(folder).isDir()) {
        emit VGlobalConnect::instance()->signalLayer_err(QStringLiteral("文件夹不存在"), false);
        return;
    }
    VUtils::openFolder(folder);
}

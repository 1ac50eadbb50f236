#include "bendibeifen/vbendibeifen_log_working_item.h"

#include <QHBoxLayout>
#include <QLabel>

#include "bendibeifen/vbendibeifen_icons.h"
#include "utils/vutils.h"

VBendibeifen_log_working_item::VBendibeifen_log_working_item(QWidget *parent) : QWidget(parent)
{
    auto *h = new QHBoxLayout(this);
    h->setContentsMargins(0, 0, 0, 0);
    h->setSpacing(0);
    auto cell = [&](QList<QWidget *> content, int stretch) {
        auto *c = new QWidget(this);
        auto *l = new QHBoxLayout(c);
        l->setContentsMargins(10, 0, 6, 0);
        l->setSpacing(6);
        for (QWidget *w : content) {
            w->setParent(c);
            l->addWidget(w);
        }
        l->addStretch();
        h->addWidget(c, stretch);
        m_cells << c;
    };
    label_icon = new QLabel;
    label_name = new QLabel;
    label_size = new QLabel;
    label_time = new QLabel;
    label_status = new QLabel;
    for (QLabel *l : {label_name, label_size, label_time, label_status})
        l->setTextFormat(Qt::PlainText);
    cell({label_icon, label_name}, 1);
    cell({label_size}, 0);
    cell({label_time}, 0);
    cell({label_status}, 0);
}

void VBendibeifen_log_working_item::slotResize(QList<int> widths)
{
    for (int i = 1; i < m_cells.size() && i < widths.size(); ++i)
        m_cells.at(i)->setFixedWidth(widths.at(i));
}

QString VBendibeifen_log_working_item::stateText(int state, qint64 done, qint64 total)
{
    switch (state) {
    case VBackupTask::ItemFailed:
        return QStringLiteral("出错");
    case VBackupTask::ItemPaused:
        return QStringLiteral("暂停");
    case VBackupTask::ItemWaiting:
        return QStringLiteral("等待");
    case VBackupTask::ItemLoading:
        return total > 0 ? QStringLiteral("下载中:%1%").arg(int(done * 100 / total)) : QStringLiteral("下载中");
    case VBackupTask::ItemRequesting:
        return QStringLiteral("请求中");
    case VBackupTask::ItemDone:
        return QStringLiteral("完成");
    default:
        return QString();
    }
}

QString VBendibeifen_log_working_item::statusText() const
{
    return label_status->text();
}

void VBendibeifen_log_working_item::setItem(const VBackupTask::Item &item)
{
    m_id = item.log.id;
    m_state = item.state;
    label_icon->setPixmap(VBendibeifenIcons::fileIcon(item.info.fileext, item.info.isdir));
    label_name->setText(item.info.filename.isEmpty() ? VUtils::fileName(item.info.fullpath) : item.info.filename);
    label_name->setToolTip(item.info.fullpath);
    setAccessibleName(label_name->text());
    label_size->setText(VUtils::formatSize(item.info.filesize));
    const QDateTime t = VUtils::parseDateTime(item.info.updatetime.isEmpty() ? item.info.addtime : item.info.updatetime);
    label_time->setText(t.isValid() ? t.toString(QStringLiteral("yyyy-MM-dd")) : QStringLiteral("-"));
    label_status->setText(stateText(item.state, item.done, item.total));
    label_status->setToolTip(item.error);
}

void VBendibeifen_log_working_item::onDownloadProcess(qint64 done, qint64 total)
{
    m_state = VBackupTask::ItemLoading;
    label_status->setText(stateText(m_state, done, total));
}

#include "bendibeifen/vbendibeifen_item.h"

#include <QDir>
#include <QFileInfo>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>

#include "VWidgets/vprompt.h"
#include "backup/vbackuptask.h"
#include "bendibeifen/vbendibeifen_config.h"
#include "config/switchcontrol.h"
#include "transfer/vglobalconnect.h"

namespace {

QLabel *cellLabel(QWidget *parent)
{
    auto *l = new QLabel(parent);
    l->setTextFormat(Qt::PlainText);
    l->setStyleSheet(QStringLiteral("color:#333333;"));
    return l;
}

} // namespace

VBendibeifen_item::VBendibeifen_item(VBackupTask *task, QWidget *parent) : QWidget(parent), m_task(task)
{
    setObjectName(QStringLiteral("VBendibeifen_item"));
    auto *h = new QHBoxLayout(this);
    h->setContentsMargins(0, 0, 0, 0);
    h->setSpacing(0);
    auto cell = [&](QWidget *content, int stretch = 0) {
        auto *c = new QWidget(this);
        auto *l = new QHBoxLayout(c);
        l->setContentsMargins(10, 0, 4, 0);
        l->setSpacing(4);
        l->addWidget(content);
        l->addStretch();
        h->addWidget(c, stretch);
        m_cells << c;
        return c;
    };
    label_bankuai = cellLabel(this);
    label_bankuai->setText(task->sectionName());
    cell(label_bankuai);
    label_type = cellLabel(this);
    label_type->setText(QStringLiteral("单向备份"));
    QWidget *typeCell = cell(label_type);
    label_help = new QLabel(typeCell);
    label_help->setPixmap(QPixmap(QStringLiteral(":/images/icon/help.png")));
    static_cast<QHBoxLayout *>(typeCell->layout())->insertWidget(1, label_help);
    if (task->id() == 1) {
        const QString tip = QStringLiteral("仅从云端下载数据（忽略空文件夹）");
        label_type->setToolTip(tip);
        label_help->setToolTip(tip);
    }
    label_path = cellLabel(this);
    cell(label_path, 1);
    label_time = cellLabel(this);
    cell(label_time);
    label_status = cellLabel(this);
    label_status->setObjectName(QStringLiteral("label_status"));
    cell(label_status);
    label_last = cellLabel(this);
    cell(label_last);
    m_switch = new SwitchControl(this);
    m_switch->setObjectName(QStringLiteral("switchControl"));
    m_switch->setFixedSize(40, 20);
    m_switch->setAccessibleName(QStringLiteral("开启同步"));
    cell(m_switch);
    toolButton = new QToolButton(this);
    toolButton->setObjectName(QStringLiteral("toolButton"));
    toolButton->setIcon(QIcon(QStringLiteral(":/images/icon/setting.png")));
    toolButton->setIconSize(QSize(16, 16));
    toolButton->setToolTip(QStringLiteral("备份配置"));
    toolButton->setAccessibleName(QStringLiteral("备份配置"));
    toolButton->setAutoRaise(true);
    toolButton->setCursor(Qt::PointingHandCursor);
    cell(toolButton);

    connect(m_switch, &SwitchControl::toggled, this, &VBendibeifen_item::slotToggled);
    connect(toolButton, &QToolButton::clicked, this, &VBendibeifen_item::on_toolButton_clicked);
    connect(task, &VBackupTask::signalStatusChanged, this, &VBendibeifen_item::refresh);
    connect(task, &VBackupTask::signalConfigChanged, this, &VBendibeifen_item::refresh);
    connect(task, &VBackupTask::signalMessage, this,
            [](const QString &m) { emit VGlobalConnect::instance()->signalLayer_err(m, false); });
    connect(task, &VBackupTask::signalAskReset, this, &VBendibeifen_item::askReset);
    m_switch->setToggled(task->config().isopen);
    refresh();
}

void VBendibeifen_item::slotResize(QList<int> widths)
{
    for (int i = 0; i < m_cells.size() && i < widths.size(); ++i)
        m_cells.at(i)->setFixedWidth(widths.at(i));
    refresh();
}

void VBendibeifen_item::refresh()
{
    const M_bak_config c = m_task->config();
    const QString path = c.localpath.isEmpty() ? QStringLiteral("未设置") : c.localpath;
    const int room = qMax(40, m_cells.value(2) ? m_cells.at(2)->width() - 20 : 200);
    label_path->setText(QFontMetrics(label_path->font()).elidedText(path, Qt::ElideMiddle, room));
    label_path->setToolTip(path);
    label_path->setAccessibleName(QStringLiteral("本地备份目录：") + path);
    if (m_switch->isToggled() != c.isopen)
        m_switch->setToggled(c.isopen);
    label_status->setText(VBackupTask::statusText(m_task->status()));
    label_status->setToolTip(m_task->status() == VBackupTask::Error ? m_task->lastError() : QString());
    label_status->setStyleSheet(m_task->status() == VBackupTask::Error ? QStringLiteral("color:#E64340;")
                                                                        : QStringLiteral("color:#333333;"));
    label_time->setText(VBackupTask::intervalText(c.time));
    label_last->setText(c.lasttime.isValid() ? c.lasttime.toString(QStringLiteral("yyyy-MM-dd HH:mm"))
                                             : QStringLiteral("暂未开始"));
}

VPrompt *VBendibeifen_item::prompt(const QString &text)
{
    if (m_prompt)
        m_prompt->close();
    auto *p = new VPrompt(window());
    p->setAttribute(Qt::WA_DeleteOnClose);
    p->setTitle(QStringLiteral("提示"));
    p->setText(text, 360);
    p->showCancel(true);
    p->centre();
    m_prompt = p;
    return p;
}

void VBendibeifen_item::slotToggled(bool on)
{
    if (!on) {
        m_task->switchOff();
        return;
    }
    // check the folder and interval before asking anything
    M_bak_config c = m_task->config();
    const QString wrong = VBackupTask::checkConfig(c);
    if (!wrong.isEmpty()) {
        emit VGlobalConnect::instance()->signalLayer_err(wrong, false);
        m_task->switchOff();
        m_switch->setToggled(false);
        return;
    }
    VPrompt *p = prompt(QStringLiteral("<font color=red>仅从云端下载数据（忽略空文件夹）</font><br/>是否立即开始本次备份？"));
    p->okButton()->setText(QStringLiteral("立即开始"));
    p->okButton()->setAccessibleName(QStringLiteral("立即开始"));
    p->cancelButton()->setText(QStringLiteral("等待轮询"));
    p->cancelButton()->setAccessibleName(QStringLiteral("等待轮询"));
    connect(p, &QDialog::finished, this, [this](int result) {
        const QString wrong = m_task->switchOn(result == QDialog::Accepted);
        if (!wrong.isEmpty())
            emit VGlobalConnect::instance()->signalLayer_err(wrong, false);
        refresh();
    });
    p->open();
}

void VBendibeifen_item::askReset(const QString &text)
{
    VPrompt *p = prompt(text.toHtmlEscaped());
    connect(p, &QDialog::finished, this, [this](int result) { m_task->resetAnswer(result == QDialog::Accepted); });
    p->open();
}

void VBendibeifen_item::on_toolButton_clicked()
{
    const M_bak_config c = m_task->config();
    auto *dialog = new VBendibeifen_config(window());
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setTitle(m_task->sectionName() + QStringLiteral("备份配置"));
    dialog->setValues(c.localpath, c.time);
    connect(dialog, &QDialog::accepted, this, [this, dialog] {
        const QString path = dialog->path();
        const int minutes = dialog->minutes();
        const M_bak_config now = m_task->config();
        const bool changed = !now.localpath.isEmpty()
            && QDir::cleanPath(QFileInfo(now.localpath).absoluteFilePath())
                != QDir::cleanPath(QFileInfo(path).absoluteFilePath());
        if (!changed) {
            m_task->applyConfig(path, minutes);
            return;
        }
        VPrompt *p = prompt(QStringLiteral("备份目录更换后，将重新备份所有数据，不删除原有数据（如遇冲突，将覆盖本地文件），请确认是否更换！"));
        connect(p, &QDialog::finished, this, [this, path, minutes](int result) {
            if (result == QDialog::Accepted)
                m_task->applyConfig(path, minutes);
        });
        p->open();
    });
    dialog->open();
}

#include "gonggongwangpan/vgonggongwangpan_list_item.h"

#include "context/vglobalparameter.h"
#include "disk/vfilekind.h"
#include "disk/vpermission.h"
#include "utils/vutils.h"

#include <QCheckBox>
#include <QDateTime>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidgetItem>
#include <QToolButton>

namespace {
QString timeText(const QString &t)
{
    const QDateTime d = VUtils::parseDateTime(t);
    return d.isValid() ? d.toString(QStringLiteral("yyyy-MM-dd HH:mm")) : t;
}
} // namespace

VGonggongwangpan_list_item::VGonggongwangpan_list_item(const M_fileinfo &info, QListWidgetItem *item,
                                                       QWidget *parent)
    : QWidget(parent), m_item(item)
{
    setObjectName(QStringLiteral("VGonggongwangpan_list_item"));
    setAttribute(Qt::WA_StyledBackground, false);
    auto *lay = new QHBoxLayout(this);
    lay->setContentsMargins(10, 0, 0, 0);
    lay->setSpacing(0);

    m_check = new QCheckBox(this);
    m_check->setObjectName(QStringLiteral("checkBox"));
    m_check->setFocusPolicy(Qt::NoFocus);
    lay->addWidget(m_check);

    m_nameCell = new QWidget(this);
    auto *nameLay = new QHBoxLayout(m_nameCell);
    nameLay->setContentsMargins(6, 0, 6, 0);
    nameLay->setSpacing(6);
    m_icon = new QLabel(m_nameCell);
    m_icon->setFixedSize(20, 20);
    m_icon->setScaledContents(true);
    m_name = new QLabel(m_nameCell);
    m_name->setObjectName(QStringLiteral("label_filename"));
    m_name->setTextFormat(Qt::PlainText);
    m_name->setMinimumWidth(40);
    m_name->setStyleSheet(QStringLiteral("color:#333333;"));
    nameLay->addWidget(m_icon);
    nameLay->addWidget(m_name, 1);
    lay->addWidget(m_nameCell, 1);

    auto cell = [this, lay](const char *name) {
        auto *l = new QLabel(this);
        l->setObjectName(QString::fromLatin1(name));
        l->setTextFormat(Qt::PlainText);
        l->setStyleSheet(QStringLiteral("color:#666666;padding-left:8px;"));
        lay->addWidget(l);
        return l;
    };
    m_time = cell("label_time");
    m_time->setFixedWidth(140);
    m_size = cell("label_size");
    m_size->setFixedWidth(100);
    m_updater = cell("label_updater");
    m_updater->setMinimumWidth(70);
    m_updater->setMaximumWidth(150);

    connect(m_check, &QCheckBox::toggled, this, [this](bool on) { emit signalChecked(m_item, on); });
    setInfo(info);
}

void VGonggongwangpan_list_item::setInfo(const M_fileinfo &info)
{
    // The flag of a rename in progress goes back with the item it was for.
    if (m_editing)
        cancelRename();
    m_info = info;
    setAccessibleName(info.filename);
    setAccessibleDescription(info.isdir ? QStringLiteral("文件夹") : QStringLiteral("文件"));
    m_check->setAccessibleName(QStringLiteral("选择 %1").arg(info.filename));
    setChecked(false);
    const QString icon = VFileKind::iconPath(info.fileext, info.isdir, false);
    if (icon != m_iconPath) {
        m_iconPath = icon;
        m_icon->setPixmap(QPixmap(icon));
    }
    m_time->setText(timeText(info.updatetime.isEmpty() ? info.createtime : info.updatetime));
    m_size->setText(info.isdir ? QStringLiteral("-") : VUtils::formatSize(info.filesize));
    m_updater->setText(info.updateusername.isEmpty() ? info.createusername : info.updateusername);
    if (m_download) {
        nameButtons();
        m_menuOpen = false;
        showButtons(m_hover);
    }
    refreshName();
}

void VGonggongwangpan_list_item::nameButtons()
{
    m_download->setAccessibleName(QStringLiteral("下载 %1").arg(m_info.filename));
    m_download->setEnabled(VPermission::itemAllows(m_info, VPermission::Download));
    m_more->setAccessibleName(QStringLiteral("更多操作 %1").arg(m_info.filename));
}

VGonggongwangpan_list_item::~VGonggongwangpan_list_item()
{
    // A row that goes away while editing gives the rename flag back.
    if (m_editing)
        VGlobalParameter::instance()->setIsRenaming(false);
}

void VGonggongwangpan_list_item::ensureButtons()
{
    // Made on first hover: a page of rows is built faster without them.
    if (m_download)
        return;
    auto *nameLay = static_cast<QHBoxLayout *>(m_nameCell->layout());
    m_download = new QToolButton(m_nameCell);
    m_download->setObjectName(QStringLiteral("toolButton"));
    m_download->setIcon(QIcon(QStringLiteral(":/images/icon/xiazai_row.png")));
    m_download->setToolTip(QStringLiteral("下载"));
    m_download->setAutoRaise(true);
    m_download->setCursor(Qt::PointingHandCursor);
    m_download->setVisible(false);
    m_more = new QToolButton(m_nameCell);
    m_more->setObjectName(QStringLiteral("toolButton_2"));
    m_more->setIcon(QIcon(QStringLiteral(":/images/icon/more.png")));
    m_more->setToolTip(QStringLiteral("更多"));
    m_more->setAutoRaise(true);
    m_more->setCursor(Qt::PointingHandCursor);
    m_more->setVisible(false);
    nameLay->addWidget(m_download);
    nameLay->addWidget(m_more);
    nameButtons();
    connect(m_download, &QToolButton::clicked, this, &VGonggongwangpan_list_item::on_toolButton_clicked);
    connect(m_more, &QToolButton::clicked, this, &VGonggongwangpan_list_item::on_toolButton_2_clicked);
}

QToolButton *VGonggongwangpan_list_item::downloadButton()
{
    ensureButtons();
    return m_download;
}

QToolButton *VGonggongwangpan_list_item::moreButton()
{
    ensureButtons();
    return m_more;
}

void VGonggongwangpan_list_item::setChecked(bool checked)
{
    const QSignalBlocker b(m_check);
    m_check->setChecked(checked);
}

void VGonggongwangpan_list_item::slotResize(const QList<int> &widths)
{
    // header: name, time, size, updater (the select-all box is not a column)
    if (widths.size() >= 4) {
        m_time->setFixedWidth(widths.at(1));
        m_size->setFixedWidth(widths.at(2));
        m_updater->setFixedWidth(widths.at(3));
    }
    refreshName();
}

void VGonggongwangpan_list_item::refreshName()
{
    const int room = qMax(30, m_name->width());
    m_name->setText(VUtils::elide(m_info.filename, room, m_name->font()));
    m_name->setToolTip(m_info.filename);
}

void VGonggongwangpan_list_item::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    refreshName();
}

void VGonggongwangpan_list_item::showButtons(bool on)
{
    if (on)
        ensureButtons();
    if (!m_download)
        return;
    m_download->setVisible(on && !m_editing);
    m_more->setVisible(on && !m_editing);
    QFont f = m_name->font();
    f.setUnderline(on && !m_editing);
    m_name->setFont(f);
    refreshName();
}

void VGonggongwangpan_list_item::enterEvent(QEvent *event)
{
    QWidget::enterEvent(event);
    m_hover = true;
    showButtons(true);
}

void VGonggongwangpan_list_item::leaveEvent(QEvent *event)
{
    QWidget::leaveEvent(event);
    m_hover = false;
    if (!m_menuOpen)
        showButtons(false);
}

void VGonggongwangpan_list_item::setMenuOpen(bool open)
{
    m_menuOpen = open;
    showButtons(open || m_hover);
}

void VGonggongwangpan_list_item::on_toolButton_clicked()
{
    emit signalDownload(m_info);
}

void VGonggongwangpan_list_item::on_toolButton_2_clicked()
{
    emit signalMore(this);
}

QString VGonggongwangpan_list_item::editableName(const M_fileinfo &info, QString *ext)
{
    // The extension as the name writes it (the listing's "fileext" is lower case).
    QString base = info.filename;
    ext->clear();
    if (!info.isdir && !info.fileext.isEmpty() && base.endsWith(QLatin1Char('.') + info.fileext, Qt::CaseInsensitive)) {
        *ext = base.right(info.fileext.size());
        base.chop(info.fileext.size() + 1);
    }
    return base;
}

QString VGonggongwangpan_list_item::renamedTo(const M_fileinfo &info, const QString &typed, const QString &ext)
{
    const QString text = typed.trimmed();
    if (text.isEmpty())
        return QString();
    QString name = text;
    if (!ext.isEmpty())
        name += QLatin1Char('.') + ext;
    // Unchanged: nothing to send.
    return name == info.filename ? QString() : name;
}

bool VGonggongwangpan_list_item::startRename()
{
    VGlobalParameter *g = VGlobalParameter::instance();
    if (m_editing)
        return true;
    if (g->isRenaming())
        return false;
    g->setIsRenaming(true);
    m_editing = true;
    showButtons(false);
    if (!m_editor) {
        m_editor = new QLineEdit(m_nameCell);
        m_editor->setObjectName(QStringLiteral("lineEdit_rename"));
        m_editor->setAccessibleName(QStringLiteral("新名称"));
        m_editor->installEventFilter(this);
        connect(m_editor, &QLineEdit::editingFinished, this, &VGonggongwangpan_list_item::finishRename);
        static_cast<QHBoxLayout *>(m_nameCell->layout())->insertWidget(2, m_editor, 1);
    }
    m_editor->setText(editableName(m_info, &m_ext));
    m_name->hide();
    m_editor->show();
    m_editor->setFocus();
    m_editor->selectAll();
    return true;
}

void VGonggongwangpan_list_item::cancelRename()
{
    if (!m_editing)
        return;
    m_editing = false;
    VGlobalParameter::instance()->setIsRenaming(false);
    m_editor->hide();
    m_name->show();
    showButtons(m_hover);
}

void VGonggongwangpan_list_item::finishRename()
{
    if (!m_editing)
        return;
    const QString name = renamedTo(m_info, m_editor->text(), m_ext);
    cancelRename();
    if (name.isEmpty())
        return;
    M_renameinfo r;
    r.path = m_info.fullpath;
    r.newname = name;
    emit signalRename(r);
}

bool VGonggongwangpan_list_item::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_editor && event->type() == QEvent::KeyPress
        && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape) {
        cancelRename();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

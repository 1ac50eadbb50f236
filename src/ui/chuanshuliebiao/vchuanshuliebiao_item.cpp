#include "chuanshuliebiao/vchuanshuliebiao_item.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QRegularExpression>
#include <QToolButton>
#include <QVBoxLayout>

#include "transfer/vglobalconnect.h"
#include "transfer/vtransfertask.h"
#include "transfer/vuploadtask.h"
#include "utils/vutils.h"

namespace {
// The words of a state label without its markup. The labels are our own:
// tags around text escaped by toHtmlEscaped(), so dropping the tags and
// undoing those four escapes is exact (and far cheaper than a document).
QString plain(const QString &rich)
{
    static const QRegularExpression tag(QStringLiteral("<[^>]*>"));
    QString s = rich;
    s.remove(tag);
    s.replace(QLatin1String("&lt;"), QLatin1String("<"))
        .replace(QLatin1String("&gt;"), QLatin1String(">"))
        .replace(QLatin1String("&quot;"), QLatin1String("\""))
        .replace(QLatin1String("&amp;"), QLatin1String("&"));
    return s;
}
} // namespace

VChuanshuliebiao_item::VChuanshuliebiao_item(VTransferTask *task, QWidget *parent) : QWidget(parent), m_task(task)
{
    dressRow(this, 56);
    setFocusPolicy(Qt::ClickFocus);

    const M_db_file &r = task->record();
    label_icon = makeIcon(this, r.filename);
    label_file = makeName(this, r.filename, r.localpath);
    label_file->setMinimumWidth(120);

    progressBar = new QProgressBar(this);
    progressBar->setObjectName(QStringLiteral("progressBar"));
    progressBar->setRange(0, 10000);
    progressBar->setTextVisible(false);
    progressBar->setFixedHeight(6);
    label = new QLabel(this);
    label->setObjectName(QStringLiteral("label"));
    auto *progressBox = new QVBoxLayout;
    progressBox->setSpacing(4);
    progressBox->addStretch(1);
    progressBox->addWidget(progressBar);
    progressBox->addWidget(label);
    progressBox->addStretch(1);

    label_2 = new QLabel(this);
    label_2->setObjectName(QStringLiteral("label_2"));
    label_2->setMinimumWidth(110);
    label_state = new QLabel(this);
    label_state->setObjectName(QStringLiteral("label_state"));
    label_state->setTextFormat(Qt::RichText);
    label_state->setMinimumWidth(140);
    label_state->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);

    toolButton_start = makeButton(this, QStringLiteral("toolButton_start"), QStringLiteral("开始"),
                                  QStringLiteral("start"));
    toolButton_stop = makeButton(this, QStringLiteral("toolButton_stop"), QStringLiteral("暂停"),
                                 QStringLiteral("stop"));
    toolButton_cancle = makeButton(this, QStringLiteral("toolButton_cancle"), QStringLiteral("取消"),
                                   QStringLiteral("cancel"));
    toolButton_folder = makeButton(this, QStringLiteral("toolButton_folder"), QStringLiteral("打开所在文件夹"),
                                   QStringLiteral("folder"));
    connect(toolButton_start, &QToolButton::clicked, this, &VChuanshuliebiao_item::on_toolButton_start_clicked);
    connect(toolButton_stop, &QToolButton::clicked, this, &VChuanshuliebiao_item::on_toolButton_stop_clicked);
    connect(toolButton_cancle, &QToolButton::clicked, this, &VChuanshuliebiao_item::on_toolButton_cancle_clicked);
    connect(toolButton_folder, &QToolButton::clicked, this, &VChuanshuliebiao_item::on_toolButton_folder_clicked);

    auto *h = new QHBoxLayout(this);
    h->setContentsMargins(16, 0, 12, 0);
    h->setSpacing(10);
    h->addWidget(label_icon);
    h->addWidget(label_file, 4);
    h->addLayout(progressBox, 3);
    h->addWidget(label_2, 2);
    h->addWidget(label_state, 3);
    h->addWidget(toolButton_start);
    h->addWidget(toolButton_stop);
    h->addWidget(toolButton_cancle);
    h->addWidget(toolButton_folder);

    m_repaint.setInterval(1000);
    connect(&m_repaint, &QTimer::timeout, this, &VChuanshuliebiao_item::slotRepaintProgressBar);
    connect(task, &VTransferTask::signalStatusChanged, this, &VChuanshuliebiao_item::refresh);
    if (auto *up = qobject_cast<VUploadTask *>(task))
        connect(up, &VUploadTask::signalDigestProgress, this, &VChuanshuliebiao_item::refresh);
    refresh();
}

QToolButton *VChuanshuliebiao_item::makeButton(QWidget *parent, const QString &objectName, const QString &text,
                                               const QString &icon)
{
    auto *b = new QToolButton(parent);
    b->setObjectName(objectName);
    b->setToolTip(text);
    b->setAccessibleName(text);
    b->setAutoRaise(true);
    b->setCursor(Qt::PointingHandCursor);
    b->setFixedSize(26, 26);
    b->setIconSize(QSize(16, 16));
    b->setProperty("rowIcon", icon);
    return b;
}

QString VChuanshuliebiao_item::rowStyleSheet()
{
    QString sheet = QStringLiteral(
        "QWidget#transferRow{background:#FFFFFF;border-bottom:1px solid #F0F0F0;}"
        "QWidget#transferRow[selected=\"true\"]{background:#EAF4FD;}"
        "QWidget#transferRow:hover{background:#F7FAFD;}"
        "QWidget#transferRow[selected=\"true\"]:hover{background:#EAF4FD;}"
        "QWidget#transferRow QLabel{color:#303133;font-size:12px;background:transparent;}"
        "QWidget#transferRow QLabel#label, QWidget#transferRow QLabel#label_2{color:#909399;}"
        "QWidget#transferRow QProgressBar{border:none;background:#F2F2F2;border-radius:3px;}"
        "QWidget#transferRow QProgressBar::chunk{background:#26BB6C;border-radius:3px;}"
        "QToolButton[rowIcon]{border:none;border-radius:13px;}"
        "QToolButton[rowIcon]:hover, QToolButton[rowIcon]:focus{background:#EEF5FE;}");
    for (const char *icon : {"start", "stop", "cancel", "folder", "open", "delete"})
        sheet += QStringLiteral("QToolButton[rowIcon=\"%1\"]{image:url(:/images/transfer/%1.png);}"
                                "QToolButton[rowIcon=\"%1\"]:hover{image:url(:/images/transfer/%1_h.png);}")
                     .arg(QLatin1String(icon));
    return sheet;
}

void VChuanshuliebiao_item::dressRow(QWidget *row, int height)
{
    // The look comes from the list's one style sheet (rowStyleSheet()): a
    // sheet of its own on each of 100 rows and their buttons would be
    // parsed again for every row.
    row->setObjectName(QStringLiteral("transferRow"));
    row->setAttribute(Qt::WA_StyledBackground, true);
    row->setFixedHeight(height);
}

QLabel *VChuanshuliebiao_item::makeIcon(QWidget *row, const QString &fileName)
{
    auto *l = new QLabel(row);
    l->setObjectName(QStringLiteral("label_icon"));
    l->setFixedSize(24, 24);
    l->setPixmap(QPixmap(iconFor(fileName)).scaled(20, 20, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    return l;
}

QLabel *VChuanshuliebiao_item::makeName(QWidget *row, const QString &fileName, const QString &toolTip)
{
    auto *l = new QLabel(row);
    l->setObjectName(QStringLiteral("label_file"));
    l->setTextFormat(Qt::PlainText);
    l->setText(fileName);
    l->setToolTip(toolTip);
    l->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    return l;
}

void VChuanshuliebiao_item::openFolderOf(const QString &path)
{
    const QFileInfo info(path);
    if (!info.dir().exists()) {
        emit VGlobalConnect::instance()->signalLayer_err(QStringLiteral("文件夹不存在"), false);
        return;
    }
    QDesktopServices::openUrl(QUrl::fromLocalFile(info.absolutePath()));
}

QString VChuanshuliebiao_item::iconFor(const QString &fileName)
{
    const QString ext = QFileInfo(fileName).suffix().toLower();
    QString kind = QStringLiteral("other");
    if (ext.startsWith(QLatin1String("doc")) || ext == QLatin1String("wps") || ext == QLatin1String("pdf")
        || ext == QLatin1String("txt"))
        kind = QStringLiteral("docx");
    else if (ext.startsWith(QLatin1String("xls")) || ext == QLatin1String("csv") || ext == QLatin1String("et"))
        kind = QStringLiteral("xlsx");
    else if (ext.startsWith(QLatin1String("ppt")) || ext == QLatin1String("dps"))
        kind = QStringLiteral("pptx");
    else if (ext == QLatin1String("html") || ext == QLatin1String("htm"))
        kind = QStringLiteral("html");
    return QStringLiteral(":/images/min/%1.png").arg(kind);
}

QString VChuanshuliebiao_item::stateText() const { return m_task ? m_task->stateText() : QString(); }

void VChuanshuliebiao_item::refresh()
{
    if (!m_task)
        return;
    const int s = m_task->status();
    const QString state = m_task->stateText();
    label_state->setText(state);
    label_state->setToolTip(plain(state));
    const bool canStart = s == VTransferTask::Stopped || s == VTransferTask::Failed;
    const bool canStop = s == VTransferTask::Waiting || s == VTransferTask::Preparing
                         || s == VTransferTask::Uploading || s == VTransferTask::Downloading;
    toolButton_start->setVisible(canStart);
    toolButton_stop->setVisible(canStop);
    toolButton_stop->setEnabled(s != VTransferTask::Stopping);
    toolButton_cancle->setVisible(s != VTransferTask::Done);
    // The row tells a screen reader its file and state.
    setAccessibleName(QStringLiteral("%1 %2").arg(m_task->record().filename, plain(state)));
    const bool running = s == VTransferTask::Uploading || s == VTransferTask::Downloading;
    if (running && !m_repaint.isActive())
        m_repaint.start();
    else if (!running)
        m_repaint.stop();
    showProgress();
}

void VChuanshuliebiao_item::showProgress()
{
    const VTransferProgress &p = m_task->progress();
    const qint64 total = p.total() > 0 ? p.total() : m_task->record().filesize;
    const int value = m_task->status() == VTransferTask::Done ? 10000 : VTransferProgress::permyriad(p.done(), total);
    if (progressBar->value() != value) {
        // QProgressBar repaints at once on a large step; a row waits for the
        // next paint like every other change.
        progressBar->setUpdatesEnabled(false);
        progressBar->setValue(value);
        progressBar->setUpdatesEnabled(true);
    }
    const QString done = p.done() > 0 ? VUtils::formatSize(p.done()) : QStringLiteral("0B");
    label->setText(QStringLiteral("%1 / %2").arg(done, total > 0 ? VUtils::formatSize(total) : QStringLiteral("0B")));
    const bool running = m_task->status() == VTransferTask::Uploading || m_task->status() == VTransferTask::Downloading;
    const qint64 speed = p.speed();
    if (running && speed > 0)
        label_2->setText(QStringLiteral("%1  %2").arg(VTransferProgress::speedText(speed),
                                                       VTransferProgress::timeText(p.secondsLeft())));
    else
        label_2->setText(QStringLiteral("-"));
}

void VChuanshuliebiao_item::slotRepaintProgressBar()
{
    if (!m_task)
        return;
    m_task->sampleProgress();
    showProgress();
}

void VChuanshuliebiao_item::slotResize(QList<int> widths) { Q_UNUSED(widths) }

void VChuanshuliebiao_item::on_toolButton_start_clicked()
{
    if (m_task)
        m_task->start();
}

void VChuanshuliebiao_item::on_toolButton_stop_clicked()
{
    if (m_task)
        m_task->stop();
}

void VChuanshuliebiao_item::on_toolButton_cancle_clicked()
{
    if (m_task)
        m_task->cancel(false);
}

void VChuanshuliebiao_item::on_toolButton_folder_clicked()
{
    if (m_task)
        openFolderOf(m_task->localPath());
}

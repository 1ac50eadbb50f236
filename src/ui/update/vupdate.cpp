#include "update/vupdate.h"

#include "VWidgets/vprompt.h"

#include "Api/api.h"
#include "request/vurlrequest.h"
#include "update/vupdatesession.h"

#include <QScopedPointer>
#include <QTextDocument>
#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>
#include <QtMath>

VUpdate::VUpdate(QWidget *parent)
    : VDialog(parent), m_session(new VUpdateSession(this)), m_quit([] { QCoreApplication::quit(); })
{
    setTitle(QStringLiteral("Corvane自动更新"));
    auto *content = new QWidget(this);
    content->setObjectName(QStringLiteral("widget_update"));
    auto *layout = new QVBoxLayout(content);
    layout->setContentsMargins(20, 12, 20, 4);
    layout->setSpacing(10);

    m_browser = new QTextBrowser(content);
    m_browser->setObjectName(QStringLiteral("textBrowser"));
    m_browser->setAccessibleName(QStringLiteral("更新说明"));
    m_browser->setOpenLinks(false);
    m_browser->setFixedSize(440, 80);
    m_browser->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_browser->setLineWrapMode(QTextEdit::WidgetWidth);
    m_browser->setStyleSheet(QStringLiteral("QTextBrowser{border:1px solid #E4E4E4;background:#FAFAFA;color:#333333;}"));
    layout->addWidget(m_browser);

    m_labelProcess = new QLabel(content);
    m_labelProcess->setObjectName(QStringLiteral("label_process"));
    m_labelProcess->setStyleSheet(QStringLiteral("color:#666666;"));
    layout->addWidget(m_labelProcess);

    m_progress = new QProgressBar(content);
    m_progress->setObjectName(QStringLiteral("progressBar"));
    m_progress->setAccessibleName(QStringLiteral("更新进度"));
    m_progress->setRange(0, 100);
    m_progress->setValue(0);
    m_progress->setTextVisible(false);
    m_progress->setFixedHeight(8);
    m_progress->setStyleSheet(QStringLiteral(
        "QProgressBar{border:0;border-radius:4px;background:#E8E8E8;}"
        "QProgressBar::chunk{border-radius:4px;background:#0081DD;}"));
    layout->addWidget(m_progress);
    setContentWidget(content);

    showCancel(false);
    // The bottom row's message takes the room beside the button instead of
    // wrapping into a narrow column.
    if (auto *message = findChild<QLabel *>(QStringLiteral("label_error99")))
        message->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    // The button's text is the state; it no longer just accepts the dialog.
    QPushButton *button = okButton();
    button->disconnect(this);
    disconnect(button, &QPushButton::clicked, this, &QDialog::accept);
    connect(button, &QPushButton::clicked, this, &VUpdate::slotButtonClicked);
    button->setEnabled(false);
    showState(VUpdateSession::Ready);
    onDownloadProcess(0, 100);

    connect(m_session, &VUpdateSession::signalStateChanged, this, &VUpdate::showState);
    connect(m_session, &VUpdateSession::signalDownloadProcess, this, &VUpdate::onDownloadProcess);
    connect(m_session, &VUpdateSession::signalFileVerified, this, &VUpdate::slotReplyFinished);
    connect(m_session, &VUpdateSession::signalReplyError, this, &VUpdate::slotReplyError);
    connect(this, &VUpdate::signalRun, m_session, [this] {
        QString why;
        if (!m_session->start(&why))
            warn(why);
    });
    connect(this, &VUpdate::signalStopWork, m_session, &VUpdateSession::signalStopWork);
}

VUpdate::~VUpdate() = default;

void VUpdate::requestDescription()
{
    auto *req = new VUrlRequest;
    connect(req, qOverload<const QJsonObject &>(&VUrlRequest::signalResult), this, &VUpdate::slotRequestResult);
    Api::instance()->startApi(req, Api::update, false);
}

void VUpdate::slotRequestResult(const QJsonObject &o)
{
    if (m_session->state() == VUpdateSession::Running)
        return;
    const bool usable = m_session->setDescription(o);
    const VUpdateDescription &d = m_session->description();
    if (!d.hasVersion()) {
        okButton()->setEnabled(false);
        warn(d.error);
        return;
    }
    // Release notes are the server's text: shown as plain text, never markup.
    m_browser->setPlainText(d.memo);
    // Fit the height to the notes (within bounds; longer notes scroll),
    // measured on a copy laid out at the width the browser shows it in.
    m_browser->ensurePolished();
    const int frame = 2 * m_browser->frameWidth();
    QScopedPointer<QTextDocument> copy(m_browser->document()->clone());
    copy->setDefaultFont(m_browser->font());
    copy->setTextWidth(m_browser->width() - frame);
    const int docHeight = qCeil(copy->size().height());
    m_browser->setFixedHeight(qBound(80, docHeight + frame + 4, 320));
    okButton()->setEnabled(usable);
    if (!usable)
        warn(m_session->refusal());
    adjustSize();
}

void VUpdate::slotButtonClicked()
{
    if (m_session->state() == VUpdateSession::Finished) {
        const QString error = m_session->handOver();
        if (!error.isEmpty()) {
            warn(error);
            return;
        }
        // The updater waits for this process: end it in order.
        m_quit();
        return;
    }
    if (m_session->state() == VUpdateSession::Ready)
        emit signalRun();
}

void VUpdate::slotReplyError(const QString &text)
{
    warn(text);
}

void VUpdate::slotReplyFinished(const QString &name)
{
    m_labelProcess->setToolTip(QStringLiteral("已校验：%1").arg(name));
}

void VUpdate::onDownloadProcess(qint64 percent, qint64 total)
{
    const int p = total > 0 ? int(qBound<qint64>(0, percent * 100 / total, 100)) : 0;
    m_progress->setValue(p);
    m_labelProcess->setText(p >= 100 && m_session->state() == VUpdateSession::Finished
                                ? QStringLiteral("100%")
                                : QStringLiteral("待安装，总进度：%1%").arg(p));
}

void VUpdate::showState(int state)
{
    QPushButton *button = okButton();
    switch (state) {
    case VUpdateSession::Running:
        showMessage(QString()); // a new attempt: the last failure is history
        button->setText(QStringLiteral("更新中"));
        button->setEnabled(false);
        break;
    case VUpdateSession::Finished:
        button->setText(QStringLiteral("完成"));
        button->setEnabled(true);
        onDownloadProcess(100, 100);
        break;
    default:
        button->setText(QStringLiteral("更新"));
        button->setEnabled(m_session->refusal().isEmpty() && m_session->description().hasVersion());
        break;
    }
    button->setAccessibleName(button->text());
}

void VUpdate::done(int result)
{
    m_session->cancel();
    VDialog::done(result);
}

void VUpdate::warn(const QString &text)
{
    emit signalWarning(text);
    showMessage(text);
    auto *box = new VPrompt(this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setTitle(QStringLiteral("错误提示"));
    box->setText(text);
    box->centre();
    // Window-modal and not waited for: no nested loop in a reply slot.
    box->open();
}

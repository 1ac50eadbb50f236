#include "task/vglobaltask.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QLabel>
#include <QLoggingCategory>
#include <QPushButton>

#include "Api/api.h"
#include "VWidgets/vdialog.h"
#include "VWidgets/voffice.h"
#include "context/vglobalparameter.h"
#include "disk/vpermission.h"
#include "preview/veditback.h"
#include "preview/vpreviewurl.h"
#include "records/m_fileinfo.h"
#include "request/vurlrequest.h"

Q_LOGGING_CATEGORY(lcGlobalTask, "orvel.task")

namespace {
enum Tag { TagPreview = 1, TagDownload = 2, TagEdit = 3 };
}

VGlobalTask *VGlobalTask::instance()
{
    static VGlobalTask *self = new VGlobalTask;
    return self;
}

VGlobalTask::VGlobalTask(QObject *parent) : QObject(parent)
{
    connect(VGlobalConnect::instance(), &VGlobalConnect::signalFileOp, this, &VGlobalTask::slotFileOp);
    VEditBack *edit = VEditBack::instance();
    connect(edit, &VEditBack::signalFileChanged, this, &VGlobalTask::signalFileChanged);
    connect(this, &VGlobalTask::signalFileChanged, this, &VGlobalTask::slotfileChanged2);
    connect(edit, &VEditBack::signalConflict, this, &VGlobalTask::slotConflict);
}

bool VGlobalTask::isPreviewable(const M_fileinfo &item)
{
    if (item.isdir)
        return false;
    QString ext = item.fileext;
    if (ext.isEmpty() && item.filename.contains(QLatin1Char('.')))
        ext = item.filename.section(QLatin1Char('.'), -1);
    return VPreviewUrl::canPreview(ext, item.filetype.toInt(), item.permissioncode, item.isadmin);
}

QString VGlobalTask::fileIdOf(const QVariant &value)
{
    if (value.canConvert<M_fileinfo>() && value.userType() == qMetaTypeId<M_fileinfo>())
        return value.value<M_fileinfo>().id;
    if (value.userType() == qMetaTypeId<M_info_file>())
        return value.value<M_info_file>().id;
    if (value.type() == QVariant::Map)
        return fileIdOf(value.toMap().value(QStringLiteral("item")));
    if (value.type() == QVariant::String || value.type() == QVariant::Int || value.type() == QVariant::LongLong)
        return value.toString();
    return QString();
}

QList<VOffice *> VGlobalTask::previewWindows() const
{
    QList<VOffice *> out;
    for (const QPointer<VOffice> &w : m_windows) {
        if (w)
            out << w.data();
    }
    return out;
}

void VGlobalTask::shutdown()
{
    VEditBack::instance()->shutdown();
    for (const QPointer<VDialog> &d : qAsConst(m_prompts))
        delete d.data();
    m_prompts.clear();
    // Deleted now: after the event loop ends a later deletion would not run.
    for (const QPointer<VOffice> &w : qAsConst(m_windows))
        delete w.data();
    m_windows.clear();
}

void VGlobalTask::slotFileOp(enum_fileoptype type, const QVariant &value)
{
    if (type != fileop_viewonline && type != fileop_editlocal)
        return; // the pages carry out the others
    const QString id = fileIdOf(value);
    if (id.isEmpty())
        return;
    requestInfo(id, type == fileop_viewonline ? TagPreview : TagEdit);
}

void VGlobalTask::requestInfo(const QString &fileid, int tag)
{
    auto *req = new VUrlRequest;
    connect(req, qOverload<const QJsonObject &>(&VUrlRequest::signalResult), this,
            [this, tag](const QJsonObject &re) { slotGetFileInfo(re, tag); });
    Api::instance()->startApi(req, Api::file_info, Api::params_file_info(fileid), false);
}

void VGlobalTask::slotGetFileInfo(const QJsonObject &reply, const QVariant &tag)
{
    VGlobalConnect *hub = VGlobalConnect::instance();
    if (Api::instance()->checkCode(reply, false) != 0) {
        emit hub->signalLayer_err(Api::getMsg(reply), false);
        return;
    }
    const QJsonObject data = Api::getData(reply).toObject();
    const M_info_file entry = Api::getInfoFile(data);
    const bool admin = Api::isTrue(data.value(QStringLiteral("isadmin")));
    if (tag.toInt() == TagPreview) {
        if (!admin && !VPermission::allows(entry.permissioncode, VPermission::Preview)) {
            emit hub->signalLayer_err(QStringLiteral("权限不足"), false);
            return;
        }
        auto *req = new VUrlRequest;
        const QVariant e = QVariant::fromValue(entry);
        connect(req, qOverload<const QJsonObject &>(&VUrlRequest::signalResult), this,
                [this, e](const QJsonObject &re) { slot2ViewOnline(re, e); });
        Api::instance()->startApi(req, Api::act_GetDownLoadLink, QJsonObject(), false);
        return;
    }
    if (tag.toInt() == TagEdit) {
        if (entry.isdir || !VEditBack::mayEdit(entry, admin)) {
            emit hub->signalLayer_err(QStringLiteral("权限不足"), false);
            return;
        }
        if (entry.filecategory != 4) {
            emit hub->signalLayer_err(QStringLiteral("只有文档可以在本地编辑"), false);
            return;
        }
        VEditBack::instance()->open(entry);
    }
}

void VGlobalTask::slot2ViewOnline(const QJsonObject &reply, const QVariant &value)
{
    VGlobalConnect *hub = VGlobalConnect::instance();
    if (Api::instance()->checkCode(reply, false) != 0) {
        emit hub->signalLayer_err(Api::getMsg(reply), false);
        return;
    }
    const M_info_file entry = value.value<M_info_file>();
    QString upserver = Api::getUpserver(reply.value(QStringLiteral("Msg")).toObject());
    if (upserver.isEmpty())
        upserver = Api::getUpserver(Api::getData(reply).toObject());
    VGlobalParameter *g = VGlobalParameter::instance();
    VPreviewUrl::Bases bases;
    bases.download = upserver;
    bases.preview = g->previewUrl();
    bases.docs = g->docsUrl();
    bases.api = g->apiUrl();
    bases.token = Api::instance()->token();
    const VPreviewUrl::Result r = VPreviewUrl::build(entry, bases);
    if (!r.error.isEmpty()) {
        emit hub->signalLayer_err(r.error, false);
        return;
    }
    if (r.url.isEmpty()) {
        emit hub->signalLayer_err(QStringLiteral("此类文件不支持在线预览，请下载后查看"), false);
        return;
    }
    qCInfo(lcGlobalTask) << "preview" << VPreviewUrl::masked(r.url);
    auto *w = new VOffice;
    w->setWindowTitle(entry.filename);
    m_windows.removeAll(nullptr);
    m_windows << w;
    w->open(QUrl(r.url));
    emit signalPreviewOpened(w);
}

VDialog *VGlobalTask::makeDialog(const QString &objectName, const QString &html)
{
    auto *d = new VDialog;
    d->setObjectName(objectName);
    d->setAttribute(Qt::WA_DeleteOnClose);
    d->setTitle(QStringLiteral("提示"));
    auto *text = new QLabel(html);
    text->setObjectName(QStringLiteral("label_text"));
    text->setTextFormat(Qt::RichText);
    text->setWordWrap(true);
    text->setMinimumWidth(320);
    text->setStyleSheet(QStringLiteral("font-size:13px;color:#303133;padding:12px 4px;"));
    d->setContentWidget(text);
    d->cancelButton()->setAccessibleName(d->cancelButton()->text());
    d->setWindowFlag(Qt::WindowStaysOnTopHint);
    return d;
}

void VGlobalTask::slotfileChanged2(const QString &path)
{
    if (m_prompts.value(path)) {
        m_prompts.value(path)->raise();
        return;
    }
    qCInfo(lcGlobalTask) << "进入首次弹窗提醒";
    const QString name = VGlobalResource::instance()->editFile(path).filename;
    VDialog *d = makeDialog(QStringLiteral("dialog_editchanged"),
                            QStringLiteral("%1<br/><font color=red>文件已经修改，是否保存到网盘？</font>")
                                .arg(name.toHtmlEscaped()));
    d->setCheckBoxText(QStringLiteral("本次编辑不再提醒"));
    if (auto *box = d->findChild<QCheckBox *>(QStringLiteral("checkBox")))
        box->setAccessibleName(box->text());
    d->okButton()->setText(QStringLiteral("覆盖更新"));
    d->okButton()->setAccessibleName(d->okButton()->text());
    m_prompts.insert(path, d);
    connect(d, &QDialog::finished, this, [this, d, path](int result) {
        m_prompts.remove(path);
        auto *box = d->findChild<QCheckBox *>(QStringLiteral("checkBox"));
        const bool ticked = box && box->isChecked();
        qCInfo(lcGlobalTask) << "是否勾选了 不在提醒" << ticked;
        VEditBack::instance()->answer(path, result == QDialog::Accepted, result == QDialog::Accepted && ticked);
    });
    qCInfo(lcGlobalTask) << "置顶弹窗";
    d->show();
    d->raise();
    d->activateWindow();
}

void VGlobalTask::slotConflict(const QString &path)
{
    const QString key = path + QStringLiteral("#conflict");
    if (m_prompts.value(key))
        return;
    const QString name = VGlobalResource::instance()->editFile(path).filename;
    VDialog *d = makeDialog(QStringLiteral("dialog_editconflict"),
                            QStringLiteral("%1<br/><font color=red>网盘上的文件在您编辑期间已被修改。</font><br/>"
                                           "保留两个：另存为新文件；覆盖更新：用您的版本替换网盘上的文件。")
                                .arg(name.toHtmlEscaped()));
    d->okButton()->setText(QStringLiteral("覆盖更新"));
    d->okButton()->setAccessibleName(d->okButton()->text());
    QPushButton *both = d->createButton(QStringLiteral("保留两个"), 1);
    both->setObjectName(QStringLiteral("pushButton_keepboth"));
    both->setAccessibleName(both->text());
    m_prompts.insert(key, d);
    connect(both, &QPushButton::clicked, d, [d] { d->done(2); });
    connect(d, &QDialog::finished, this, [this, key, path](int result) {
        m_prompts.remove(key);
        if (result == QDialog::Accepted)
            VEditBack::instance()->upload(path, VEditBack::Overwrite);
        else if (result == 2)
            VEditBack::instance()->upload(path, VEditBack::KeepBoth);
    });
    d->show();
    d->raise();
    d->activateWindow();
}

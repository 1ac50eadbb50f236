#include "gonggongwangpan/vgonggongwangpan_seldir.h"

#include "Api/api.h"
#include "request/vurlrequest.h"

#include <QHeaderView>
#include <QJsonArray>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {
constexpr int PathRole = Qt::UserRole;
constexpr int LoadedRole = Qt::UserRole + 1;
} // namespace

VGonggongwangpan_selDir::VGonggongwangpan_selDir(const QString &title, QWidget *parent) : VDialog(parent)
{
    setObjectName(QStringLiteral("VGonggongwangpan_selDir"));
    setTitle(title);
    auto *content = new QWidget(this);
    auto *lay = new QVBoxLayout(content);
    lay->setContentsMargins(16, 8, 16, 8);
    m_tree = new QTreeWidget(content);
    m_tree->setObjectName(QStringLiteral("treeWidget"));
    m_tree->setAccessibleName(QStringLiteral("目标文件夹"));
    m_tree->setHeaderHidden(true);
    m_tree->setIconSize(QSize(20, 20));
    m_tree->setStyleSheet(QStringLiteral("QTreeWidget{border:1px solid #E5E5E5;}"
                                         "QTreeWidget::item{height:28px;}"));
    lay->addWidget(m_tree);
    setContentWidget(content);
    okButton()->setText(QStringLiteral("确定"));
    cancelButton()->setText(QStringLiteral("取消"));
    disconnect(okButton(), &QPushButton::clicked, this, &QDialog::accept);
    connect(okButton(), &QPushButton::clicked, this, &VGonggongwangpan_selDir::buttonok_clicked);
    connect(m_tree, &QTreeWidget::itemExpanded, this, &VGonggongwangpan_selDir::on_treeWidget_itemExpanded);
    connect(m_tree, &QTreeWidget::currentItemChanged, this,
            &VGonggongwangpan_selDir::on_treeWidget_currentItemChanged);
    resize(460, 440);

    QTreeWidgetItem *root = addFolder(nullptr, QStringLiteral("公共网盘"), QStringLiteral("/"), false);
    m_tree->setCurrentItem(root);
    root->setExpanded(true);
}

QTreeWidgetItem *VGonggongwangpan_selDir::addFolder(QTreeWidgetItem *parent, const QString &name,
                                                     const QString &path, bool leaf)
{
    auto *item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(m_tree);
    item->setText(0, name);
    item->setToolTip(0, name);
    item->setIcon(0, QIcon(QStringLiteral(":/images/min/folder.png")));
    item->setData(0, PathRole, path);
    item->setData(0, LoadedRole, leaf);
    item->setChildIndicatorPolicy(leaf ? QTreeWidgetItem::DontShowIndicator : QTreeWidgetItem::ShowIndicator);
    m_items.insert(path.toLower(), item);
    return item;
}

QTreeWidgetItem *VGonggongwangpan_selDir::itemForPath(const QString &path) const
{
    return m_items.value(path.toLower());
}

QString VGonggongwangpan_selDir::chosenPath() const
{
    QTreeWidgetItem *it = m_tree->currentItem();
    return it ? it->data(0, PathRole).toString() : QString();
}

void VGonggongwangpan_selDir::on_treeWidget_itemExpanded(QTreeWidgetItem *item)
{
    if (item->data(0, LoadedRole).toBool())
        return;
    item->setData(0, LoadedRole, true);
    auto *req = new VUrlRequest;
    req->addCustomData(QJsonObject{{QStringLiteral("path"), item->data(0, PathRole).toString()}});
    connect(req, qOverload<const QJsonObject &>(&VUrlRequest::signalResult), this,
            &VGonggongwangpan_selDir::slotGetResult);
    Api::instance()->startApi(req, Api::file_getlist,
                              Api::params_file_getlist(item->data(0, PathRole).toString(), QString(), 0, 0), false);
}

void VGonggongwangpan_selDir::slotGetResult(const QJsonObject &reply)
{
    const QString path = Api::getCustomData(reply).value(QStringLiteral("path")).toString();
    QTreeWidgetItem *parent = itemForPath(path);
    if (!parent)
        return;
    if (Api::instance()->checkCode(reply, false) != 0) {
        parent->setData(0, LoadedRole, false);
        showMessage(Api::getMsg(reply));
        return;
    }
    const QJsonArray list = Api::getData(reply).toObject().value(QStringLiteral("list")).toArray();
    int folders = 0;
    for (const QJsonValue &v : list) {
        const QJsonObject o = v.toObject();
        if (!Api::isTrue(o.value(QStringLiteral("isdir"))) && !o.value(QStringLiteral("isdir")).toBool())
            continue;
        const bool leaf = o.value(QStringLiteral("islast")).toBool();
        addFolder(parent, o.value(QStringLiteral("filename")).toString(), o.value(QStringLiteral("fullpath")).toString(),
                  leaf);
        ++folders;
    }
    if (folders == 0)
        parent->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicator);
}

void VGonggongwangpan_selDir::on_treeWidget_currentItemChanged(QTreeWidgetItem *, QTreeWidgetItem *)
{
    showMessage(QString());
}

void VGonggongwangpan_selDir::buttonok_clicked()
{
    if (m_busy)
        return;
    const QString path = chosenPath();
    if (path.isEmpty()) {
        showMessage(QStringLiteral("请选择文件夹"));
        return;
    }
    m_busy = true;
    okButton()->setText(QStringLiteral("处理中..."));
    okButton()->setEnabled(false);
    emit signalConfirm(path);
}

void VGonggongwangpan_selDir::slotGetWpResult(const QJsonObject &reply)
{
    m_busy = false;
    okButton()->setText(QStringLiteral("确定"));
    okButton()->setEnabled(true);
    if (Api::getCode(reply) == 0) {
        accept();
        return;
    }
    showMessage(Api::getMsg(reply));
}

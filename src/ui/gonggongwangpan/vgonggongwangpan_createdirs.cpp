#include "gonggongwangpan/vgonggongwangpan_createdirs.h"

#include "Api/api.h"
#include "request/vurlrequest.h"
#include "utils/vutils.h"

#include <QComboBox>
#include <QFormLayout>
#include <QJsonArray>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

namespace {
void addNodes(QTreeWidgetItem *parent, QTreeWidget *tree, const QJsonArray &nodes, int depth)
{
    if (depth > 16)
        return;
    for (const QJsonValue &v : nodes) {
        const QJsonObject o = v.toObject();
        const QString name = o.value(QStringLiteral("Name")).toString(o.value(QStringLiteral("name")).toString());
        auto *it = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(tree);
        it->setText(0, name);
        it->setIcon(0, QIcon(QStringLiteral(":/images/min/folder.png")));
        addNodes(it, tree, o.value(QStringLiteral("Child")).toArray(), depth + 1);
    }
}
} // namespace

VGonggongwangpan_createdirs::VGonggongwangpan_createdirs(QWidget *parent) : VDialog(parent)
{
    setObjectName(QStringLiteral("VGonggongwangpan_createdirs"));
    setTitle(QStringLiteral("从模板创建文件夹"));
    auto *content = new QWidget(this);
    auto *form = new QFormLayout(content);
    form->setContentsMargins(20, 10, 20, 6);
    form->setVerticalSpacing(10);
    m_title = new QLineEdit(content);
    m_title->setObjectName(QStringLiteral("LineEdit_title"));
    m_title->setPlaceholderText(QStringLiteral("新文件夹名称"));
    m_title->setAccessibleName(QStringLiteral("标题"));
    m_combo = new QComboBox(content);
    m_combo->setObjectName(QStringLiteral("ComboBox_sel"));
    m_combo->setAccessibleName(QStringLiteral("选择模板"));
    m_combo->setPlaceholderText(QStringLiteral("请选择模板"));
    m_tree = new QTreeWidget(content);
    m_tree->setObjectName(QStringLiteral("treeWidget"));
    m_tree->setAccessibleName(QStringLiteral("创建文件夹结构"));
    m_tree->setHeaderHidden(true);
    m_tree->setMinimumHeight(200);
    m_tree->setStyleSheet(QStringLiteral("QTreeWidget{border:1px solid #E5E5E5;}"));
    form->addRow(QStringLiteral("标题"), m_title);
    form->addRow(QStringLiteral("选择模板"), m_combo);
    form->addRow(QStringLiteral("创建文件夹结构"), m_tree);
    setContentWidget(content);
    okButton()->setText(QStringLiteral("确定"));
    cancelButton()->setText(QStringLiteral("取消"));
    disconnect(okButton(), &QPushButton::clicked, this, &QDialog::accept);
    connect(okButton(), &QPushButton::clicked, this, &VGonggongwangpan_createdirs::buttonok_clicked);
    connect(m_combo, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &VGonggongwangpan_createdirs::on_ComboBox_sel_currentIndexChanged);
    connect(m_title, &QLineEdit::textChanged, this, [this] { showMessage(QString()); });
    resize(480, 420);
}

void VGonggongwangpan_createdirs::load()
{
    auto *req = new VUrlRequest;
    connect(req, qOverload<const QJsonObject &>(&VUrlRequest::signalResult), this,
            &VGonggongwangpan_createdirs::slotGetModelList);
    Api::instance()->startApi(req, Api::tmpdir_GetList, Api::params_tmpdir_GetList(), false);
}

void VGonggongwangpan_createdirs::slotGetModelList(const QJsonObject &reply)
{
    if (Api::instance()->checkCode(reply, false) != 0) {
        showMessage(Api::getMsg(reply));
        return;
    }
    const QSignalBlocker b(m_combo);
    m_combo->clear();
    for (const M_tmpdir_item &t : Api::getTmpDirList(Api::getData(reply)))
        m_combo->addItem(t.tmpname, t.id);
    m_combo->setCurrentIndex(-1);
}

void VGonggongwangpan_createdirs::on_ComboBox_sel_currentIndexChanged(int index)
{
    m_tree->clear();
    showMessage(QString());
    if (index < 0)
        return;
    const QString id = m_combo->itemData(index).toString();
    auto *req = new VUrlRequest;
    req->addCustomData(QJsonObject{{QStringLiteral("id"), id}});
    connect(req, qOverload<const QJsonObject &>(&VUrlRequest::signalResult), this,
            &VGonggongwangpan_createdirs::slotGetModelInfo);
    Api::instance()->startApi(req, Api::tmpdir_getinfo, Api::params_tmpdir_getinfo(id), false);
}

void VGonggongwangpan_createdirs::slotGetModelInfo(const QJsonObject &reply)
{
    // Only the template still chosen.
    if (Api::getCustomData(reply).value(QStringLiteral("id")).toString() != m_combo->currentData().toString())
        return;
    if (Api::instance()->checkCode(reply, false) != 0) {
        showMessage(Api::getMsg(reply));
        return;
    }
    const M_tmpdir_info info = Api::getTmpDirInfo(Api::getData(reply));
    m_tree->clear();
    addNodes(nullptr, m_tree, VUtils::toJsonArray(info.dirs), 0);
    m_tree->expandAll();
}

void VGonggongwangpan_createdirs::buttonok_clicked()
{
    if (m_busy)
        return;
    if (m_combo->currentIndex() < 0) {
        showMessage(QStringLiteral("请选择模板"));
        return;
    }
    const QString title = m_title->text().trimmed();
    if (title.isEmpty()) {
        showMessage(QStringLiteral("请填写标题"));
        return;
    }
    m_busy = true;
    showMessage(QString());
    okButton()->setEnabled(false);
    emit signalConfirm(title, m_combo->currentData().toString());
}

void VGonggongwangpan_createdirs::slotGetWpResult(const QJsonObject &re)
{
    m_busy = false;
    okButton()->setEnabled(true);
    if (Api::getCode(re) == 0) {
        accept();
        return;
    }
    showMessage(Api::getMsg(re));
}

#include "VWidgets/vopbar.h"

#include <QHBoxLayout>
#include <QMenu>
#include <QToolButton>

namespace {
struct OpDef {
    const char *object;
    const char *text;
    const char *icon;
    int op;
};
// In the order they appear.
const OpDef kOps[] = {
    {"toolButton_up", "上传", "shangchuan.png", 0},
    {"toolButton_create", "新建", "xinjian.png", 1},
    {"toolButton_lianjie", "链接分享", "lianjie.png", 2},
    {"toolButton_xiazai", "下载", "xiazai.png", 3},
    {"toolButton_huishouzhan", "删除", "huishouzhan.png", 5},
    {"toolButton_rename", "重命名", "chongmingming.png", 4},
    {"toolButton_copy", "复制", "copy.png", 6},
    {"toolButton_move", "移动", "move.png", 7},
};
} // namespace

VOpBar::VOpBar(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("VOpBar"));
    auto *lay = new QHBoxLayout(this);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->setSpacing(6);
    for (int i = 0; i < 8; ++i)
        m_buttons.append(nullptr);
    for (const OpDef &d : kOps) {
        auto *b = new QToolButton(this);
        b->setObjectName(QString::fromLatin1(d.object));
        b->setText(QString::fromUtf8(d.text));
        b->setIcon(QIcon(QStringLiteral(":/images/png/") + QString::fromLatin1(d.icon)));
        b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        b->setCursor(Qt::PointingHandCursor);
        b->setMinimumHeight(30);
        lay->addWidget(b);
        m_buttons[d.op] = b;
        const int op = d.op;
        if (op != 0 && op != 1)
            connect(b, &QToolButton::clicked, this, [this, op] { emit signalOp(op); });
    }
    lay->addStretch(1);

    m_uploadMenu = new QMenu(this);
    m_uploadMenu->addAction(QStringLiteral("上传文件"), this, [this] { emit signalUpload(0); });
    m_uploadMenu->addAction(QStringLiteral("上传文件夹"), this, [this] { emit signalUpload(1); });
    m_createMenu = new QMenu(this);
    m_createMenu->addAction(QStringLiteral("新建文件夹"), this, [this] { emit signalCreate(0); });
    m_createMenu->addAction(QStringLiteral("从模板创建文件夹"), this, [this] { emit signalCreate(1); });
    connect(m_buttons[0], &QToolButton::clicked, this, &VOpBar::on_toolButton_up_clicked);
    connect(m_buttons[1], &QToolButton::clicked, this, [this] {
        m_createMenu->popup(m_buttons[1]->mapToGlobal(QPoint(0, m_buttons[1]->height())));
    });
    configure({0, 1, 2, 3, 4, 5, 6, 7});
}

QToolButton *VOpBar::button(int op) const
{
    return op >= 0 && op < m_buttons.size() ? m_buttons[op] : nullptr;
}

void VOpBar::setEnabled(int op, bool enabled)
{
    if (QToolButton *b = button(op))
        b->setEnabled(enabled);
}

void VOpBar::enableAll()
{
    for (QToolButton *b : qAsConst(m_buttons))
        b->setEnabled(true);
}

void VOpBar::configure(const QList<int> &ops)
{
    m_configured = ops;
    for (int i = 0; i < m_buttons.size(); ++i)
        m_buttons[i]->setVisible(ops.contains(i));
}

int VOpBar::permissionBit(int op)
{
    static const int bits[] = {16, 2, 64, 32, 4, 8, 256, 128};
    return op >= 0 && op < 8 ? bits[op] : 0;
}

bool VOpBar::hasRight(const QString &code, int bit)
{
    // "…1001": the last character is bit 1, the one before it bit 2, and so on.
    int pos = 0;
    while (bit > 1) {
        bit >>= 1;
        ++pos;
    }
    const int index = code.size() - 1 - pos;
    return index >= 0 && code.at(index) == QLatin1Char('1');
}

void VOpBar::applyPermission(const QString &code)
{
    for (int op : qAsConst(m_configured))
        setEnabled(op, hasRight(code, permissionBit(op)));
}

void VOpBar::on_toolButton_up_clicked()
{
    m_uploadMenu->popup(m_buttons[0]->mapToGlobal(QPoint(0, m_buttons[0]->height())));
}

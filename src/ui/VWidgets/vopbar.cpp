#include "VWidgets/vopbar.h"
#include "ui_vopbar.h"

#include <QHBoxLayout>
#include <QMenu>
#include <QToolButton>

VOpBar::VOpBar(QWidget *parent) : QWidget(parent), ui(new Ui::VOpBar)
{
    ui->setupUi(this);
    // indexed by operation number
    m_buttons = {ui->toolButton_up,     ui->toolButton_create, ui->toolButton_lianjie, ui->toolButton_xiazai,
                 ui->toolButton_rename, ui->toolButton_huishouzhan, ui->toolButton_copy, ui->toolButton_move};
    for (int op = 2; op < 8; ++op)
        connect(m_buttons[op], &QToolButton::clicked, this, [this, op] { emit signalOp(op); });

    m_uploadMenu = new QMenu(this);
    m_uploadMenu->addAction(QStringLiteral("上传文件"), this, [this] { emit signalUpload(0); });
    m_uploadMenu->addAction(QStringLiteral("上传文件夹"), this, [this] { emit signalUpload(1); });
    m_createMenu = new QMenu(this);
    m_createMenu->addAction(QStringLiteral("新建文件夹"), this, [this] { emit signalCreate(0); });
    m_createMenu->addAction(QStringLiteral("从模板创建文件夹"), this, [this] { emit signalCreate(1); });
    connect(m_buttons[1], &QToolButton::clicked, this, [this] {
        m_createMenu->popup(m_buttons[1]->mapToGlobal(QPoint(0, m_buttons[1]->height())));
    });
    configure({0, 1, 2, 3, 4, 5, 6, 7});
}

VOpBar::~VOpBar()
{
    delete ui;
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
    // "…1001": the last character is bit 1, the one before it bit 2, and so
    // on; any character but "0" grants the right.
    int pos = 0;
    while (bit > 1) {
        bit >>= 1;
        ++pos;
    }
    const int index = code.size() - 1 - pos;
    return index >= 0 && code.at(index) != QLatin1Char('0');
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

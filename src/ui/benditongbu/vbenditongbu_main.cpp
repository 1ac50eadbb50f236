#include "benditongbu/vbenditongbu_main.h"

#include <QStackedWidget>
#include <QVBoxLayout>

#include "benditongbu/vbenditongbu.h"
#include "benditongbu/vbenditongbu_log.h"

VBenditongbu_main::VBenditongbu_main(QWidget *parent) : VPage(parent)
{
    setObjectName(QStringLiteral("VBenditongbu_main"));
    auto *v = new QVBoxLayout(this);
    v->setContentsMargins(0, 0, 0, 0);
    m_stack = new QStackedWidget(this);
    m_list = new VBenditongbu(m_stack);
    m_log = new VBenditongbu_log(m_stack);
    m_stack->addWidget(m_list);
    m_stack->addWidget(m_log);
    v->addWidget(m_stack);
    connect(m_list, &VBenditongbu::signalOpenLog, this, &VBenditongbu_main::slotOpenLog);
    connect(m_log, &VBenditongbu_log::signalOpenMain, this, &VBenditongbu_main::slotOpenMain);
}

QWidget *VBenditongbu_main::currentWidget() const
{
    return m_stack->currentWidget();
}

void VBenditongbu_main::slotOpenLog()
{
    m_stack->setCurrentWidget(m_log);
}

void VBenditongbu_main::slotOpenMain()
{
    m_stack->setCurrentWidget(m_list);
}

#include "VWidgets/vpageparts.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "VWidgets/vdialog.h"

namespace VPageParts {

QWidget *footer(QWidget *parent, QHBoxLayout **layout)
{
    auto *foot = new QWidget(parent);
    foot->setObjectName(QStringLiteral("widget_foot"));
    foot->setFixedHeight(40);
    foot->setStyleSheet(QStringLiteral("#widget_foot{border-top:1px solid #E4E4E4;background:#FAFAFA;}"));
    auto *h = new QHBoxLayout(foot);
    h->setContentsMargins(16, 0, 16, 0);
    if (layout)
        *layout = h;
    return foot;
}

QPushButton *linkButton(const QString &text, const QString &objectName, const QString &accessibleName,
                        QWidget *parent)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(objectName);
    b->setAccessibleName(accessibleName);
    b->setFlat(true);
    b->setCursor(Qt::PointingHandCursor);
    b->setStyleSheet(QStringLiteral("QPushButton{border:none;color:#0081DD;padding:0 2px;}"
                                    "QPushButton:hover{text-decoration:underline;}"));
    return b;
}

LogBar logBar(QWidget *parent, const QString &backText, const QString &firstTab, const QString &secondTab)
{
    LogBar out;
    out.bar = new QWidget(parent);
    out.bar->setObjectName(QStringLiteral("widget_top"));
    out.bar->setStyleSheet(QStringLiteral("#widget_top{border-bottom:1px solid #E4E4E4;}"));
    auto *h = new QHBoxLayout(out.bar);
    h->setContentsMargins(12, 0, 12, 0);
    out.back = new QPushButton(QIcon(QStringLiteral(":/images/icon/back_blue.png")), backText, out.bar);
    out.back->setObjectName(QStringLiteral("pushButton_back"));
    out.back->setAccessibleName(backText);
    out.back->setFlat(true);
    out.back->setCursor(Qt::PointingHandCursor);
    out.back->setStyleSheet(QStringLiteral("QPushButton{border:none;color:#0081DD;padding:0 6px;}"));
    h->addWidget(out.back);
    h->addSpacing(20);
    out.first = new QPushButton(firstTab, out.bar);
    out.first->setObjectName(QStringLiteral("pushButton_working"));
    out.second = new QPushButton(secondTab, out.bar);
    out.second->setObjectName(QStringLiteral("pushButton_done"));
    for (QPushButton *b : {out.first, out.second}) {
        b->setAccessibleName(b->text());
        b->setCheckable(true);
        b->setCursor(Qt::PointingHandCursor);
        b->setStyleSheet(QStringLiteral("QPushButton{border:none;border-bottom:2px solid transparent;padding:0 14px;"
                                        "color:#666666;font-size:14px;min-height:38px;}"
                                        "QPushButton:checked{color:#0081DD;border-bottom:2px solid #0081DD;}"));
        h->addWidget(b);
    }
    h->addStretch();
    return out;
}

QListWidget *reportList(const QString &accessibleName, QWidget *parent)
{
    auto *list = new QListWidget(parent);
    list->setObjectName(QStringLiteral("listWidget_err"));
    list->setAccessibleName(accessibleName);
    list->setSelectionMode(QAbstractItemView::NoSelection);
    list->setStyleSheet(QStringLiteral("QListWidget{border:1px solid #EEEEEE;}"));
    return list;
}

void addReportRow(QListWidget *list, const QString &html, const QString &accessibleText)
{
    auto *label = new QLabel(list);
    label->setTextFormat(Qt::RichText);
    label->setWordWrap(true);
    label->setContentsMargins(8, 6, 8, 6);
    label->setText(html);
    label->setAccessibleName(accessibleText);
    auto *item = new QListWidgetItem(list);
    item->setData(Qt::AccessibleTextRole, accessibleText);
    item->setSizeHint(QSize(440, label->heightForWidth(440) + 14));
    list->setItemWidget(item, label);
}

void nameButtons(VDialog *dialog, const QString &ok, const QString &cancel)
{
    dialog->okButton()->setText(ok);
    dialog->okButton()->setAccessibleName(ok);
    dialog->cancelButton()->setText(cancel);
    dialog->cancelButton()->setAccessibleName(cancel);
    dialog->okButton()->setAutoDefault(false);
    dialog->cancelButton()->setAutoDefault(false);
}

QListWidget *failureReport(VDialog *dialog, const QString &objectName, const QString &title,
                           const QString &headline, const QString &client, const QString &ip,
                           const QString &user, const QString &listName)
{
    dialog->setObjectName(objectName);
    dialog->setTitle(title);
    auto *content = new QWidget(dialog);
    auto *lay = new QVBoxLayout(content);
    lay->setContentsMargins(20, 8, 20, 8);
    lay->setSpacing(8);
    auto *head = new QLabel(content);
    head->setObjectName(QStringLiteral("label_head"));
    head->setTextFormat(Qt::RichText);
    head->setText(QStringLiteral("<b style='font-size:14px;'>%1</b>&nbsp;&nbsp;<font color='#999'>%2&nbsp;&nbsp;%3&nbsp;&nbsp;%4</font>")
                      .arg(headline.toHtmlEscaped(), QStringLiteral("操作端：%1").arg(client.toHtmlEscaped()),
                           QStringLiteral("IP：%1").arg(ip.toHtmlEscaped()),
                           QStringLiteral("操作人:%1").arg(user.toHtmlEscaped())));
    lay->addWidget(head);
    QListWidget *list = reportList(listName, content);
    lay->addWidget(list);
    dialog->setContentWidget(content);
    dialog->showCancel(false);
    dialog->resize(520, 360);
    return list;
}

static QCheckBox *clashBox(VDialog *dialog)
{
    return dialog->findChild<QCheckBox *>(QStringLiteral("checkBox"));
}

QLabel *clashBody(VDialog *dialog, const QString &objectName)
{
    dialog->setObjectName(objectName);
    dialog->setTitle(QStringLiteral("文件重名"));
    auto *content = new QWidget(dialog);
    auto *lay = new QVBoxLayout(content);
    lay->setContentsMargins(20, 10, 20, 6);
    auto *label = new QLabel(content);
    label->setObjectName(QStringLiteral("label_msg"));
    label->setTextFormat(Qt::RichText);
    label->setWordWrap(true);
    lay->addWidget(label);
    dialog->setContentWidget(content);
    if (QCheckBox *box = clashBox(dialog))
        box->setAccessibleName(QStringLiteral("对剩余重名项执行相同操作"));
    return label;
}

void showClash(VDialog *dialog, QLabel *label, const QString &question, const QString &msg, int index,
               int count, const QString &firstBoxText)
{
    label->setText(QStringLiteral("<p>%1<br/><font color=red>%2</font></p>")
                       .arg(question.toHtmlEscaped(), msg.toHtmlEscaped()));
    const int rest = count - index - 1;
    dialog->showCheckBox(rest > 0);
    if (rest > 0) {
        dialog->setCheckBoxText(index == 0 && !firstBoxText.isEmpty()
                                    ? firstBoxText
                                    : QStringLiteral("剩余%1个重名文件（夹）都执行此操作").arg(rest));
    }
}

int clashChoiceEnd(VDialog *dialog, int index, int count)
{
    QCheckBox *box = clashBox(dialog);
    const bool all = box && box->isVisible() && box->isChecked();
    if (box) {
        const QSignalBlocker b(box);
        box->setChecked(false);
    }
    return all ? count - 1 : index;
}

} // namespace VPageParts

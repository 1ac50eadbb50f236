#pragma once

#include "VWidgets/vdialog.h"

#include <QJsonArray>

class QListWidget;

// The restores that failed: who ran the act from where, and one row per
// item with its name and the reason in red.
class VHuishouzhan_err : public VDialog
{
    Q_OBJECT
public:
    VHuishouzhan_err(const QJsonArray &failures, const QString &client, const QString &ip, const QString &user,
                     QWidget *parent = nullptr);

    QListWidget *listWidget() const { return m_list; }
    // The rich text of a row; both parts are escaped.
    static QString rowText(const QString &name, const QString &reason);

private:
    QListWidget *m_list;
};

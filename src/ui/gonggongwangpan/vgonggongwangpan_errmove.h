#pragma once

#include "VWidgets/vdialog.h"

#include <QJsonArray>

class QLabel;
class QListWidget;

// The items of an act that failed: one row per item with time, source,
// target and reason, and who ran the act from where.
class VGonggongwangpan_errmove : public VDialog
{
    Q_OBJECT
public:
    // failures: the act's items with a non-zero "code" and a "msg".
    VGonggongwangpan_errmove(const QJsonArray &failures, const QString &client, const QString &ip,
                             const QString &user, const QString &time, QWidget *parent = nullptr);

    QListWidget *listWidget() const { return m_list; }
    // The rich text of a row (for its label and for tests).
    static QString rowText(const QString &time, const QString &source, const QString &target,
                           const QString &reason);

private:
    QListWidget *m_list;
};

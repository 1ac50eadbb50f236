#pragma once

#include "VWidgets/vlistrow.h"

#include "records/m_fileinfo.h"

// One entry of the recycle bin: check box, icon and name, the restore and
// delete buttons shown on hover, delete time, size, deleter and the former
// place as a link that opens the folder the item was deleted from.
class VHuishouzhan_item : public VListRow
{
    Q_OBJECT
public:
    VHuishouzhan_item(const M_fileinfo &info, QListWidgetItem *item, QWidget *parent = nullptr);

    const M_fileinfo &info() const { return m_info; }
    QToolButton *restoreButton() const { return m_restore; }
    QToolButton *deleteButton() const { return m_delete; }

signals:
    void signalRestore(const QString &id);
    void signalDelete(const QString &id);

public slots:
    void on_toolButton_huanyuan_clicked();
    void on_toolButton_qingkong_clicked();

private:
    M_fileinfo m_info;
    QToolButton *m_restore;
    QToolButton *m_delete;
};

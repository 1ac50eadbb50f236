#pragma once

#include "VWidgets/vlistrow.h"

#include "records/m_api_fav_info.h"

// One favourite: check box, icon and name (with " 已删除" once the file went
// to the recycle bin), the time it was marked, its folder as a link and the
// "取消收藏" button shown on hover.
class VWodeshoucang_item : public VListRow
{
    Q_OBJECT
public:
    VWodeshoucang_item(const M_api_fav_info &info, QListWidgetItem *item, QWidget *parent = nullptr);

    const M_api_fav_info &info() const { return m_info; }
    QToolButton *cancelButton() const { return m_cancel; }

signals:
    void signalCancel(const QString &fileid);

public slots:
    void on_toolButton_clicked();

private:
    M_api_fav_info m_info;
    QToolButton *m_cancel;
};

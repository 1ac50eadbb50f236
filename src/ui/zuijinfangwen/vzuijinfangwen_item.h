#pragma once

#include "VWidgets/vlistrow.h"

#include "records/m_api_visit.h"

// One visit: icon and name (with " 已删除" when the file is gone), visit
// time, address, client, its folder as a link, and the download and more
// buttons shown on hover.
class VZuijinfangwen_item : public VListRow
{
    Q_OBJECT
public:
    VZuijinfangwen_item(const M_api_visit &info, const QString &rowId, QListWidgetItem *item,
                        QWidget *parent = nullptr);

    const M_api_visit &info() const { return m_info; }
    QToolButton *downloadButton() const { return m_download; }
    QToolButton *moreButton() const { return m_more; }

signals:
    void signalItemClick(QListWidgetItem *item);
    void signalDownload(const QString &rowId);
    void signalMore(const QString &rowId, const QPoint &globalPos);

public slots:
    void on_toolButton_clicked(bool checked = false);
    void slotContextMenu();

private:
    M_api_visit m_info;
    QToolButton *m_download;
    QToolButton *m_more;
};

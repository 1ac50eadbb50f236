#pragma once

#include "VWidgets/vlistpage.h"

#include <QList>

#include "wodelianjie/vwodelianjie_item.h"

class QPushButton;

// The user's share links. The service's share endpoints are not used by this
// client: the page shows the frame (sortable header, selection, "取消链接")
// with the links it is given, and none by default.
class VWodelianjie : public VListPage
{
    Q_OBJECT
public:
    explicit VWodelianjie(QWidget *parent = nullptr);

    void setLinks(const QList<VWodelianjie_item::Link> &links);
    QPushButton *cancelButton() const { return m_cancel; }

signals:
    void signalSelectedCount(int count);

public slots:

protected:
    QWidget *createRow(const QJsonObject &item, QListWidgetItem *listItem) override;
    QString idOf(const QJsonObject &item) const override;
    void selectionChanged(const QStringList &ids) override;

private:
    QPushButton *m_cancel;
};

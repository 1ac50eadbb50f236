#pragma once

#include "VWidgets/vlistpage.h"

#include <QJsonObject>
#include <QStringList>

class QPushButton;

// The user's favourites: sorted and paged in the client, details of the
// chosen file in the pane, "取消收藏" for the selection or one row (also for
// files deleted since). Reloads when another page changes the favourites.
class VWodeshoucang : public VListPage
{
    Q_OBJECT
public:
    explicit VWodeshoucang(QWidget *parent = nullptr);

    QPushButton *cancelButton() const { return m_ok; }
    QPushButton *refreshButton() const { return m_refresh; }

signals:
    // A cancel request was answered (ok: the server took it).
    void signalCancelled(bool ok);

public slots:
    void slotlItemClick(QListWidgetItem *item);
    void toCancle(bool checked = false);
    void slotGetWpResult(const QJsonObject &re);
    void slot2getFavList();
    void on_pushButton_ok_clicked();

protected:
    QWidget *createRow(const QJsonObject &item, QListWidgetItem *listItem) override;
    QString idOf(const QJsonObject &item) const override;
    void selectionChanged(const QStringList &ids) override;

private:
    void cancel(const QStringList &fileids);

    QPushButton *m_ok;
    QPushButton *m_refresh;
};

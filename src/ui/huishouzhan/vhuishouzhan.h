#pragma once

#include "VWidgets/vlistpage.h"

#include <QJsonObject>
#include <QVariantMap>

#include "records/m_api_act.h"
#include "records/m_fileinfo.h"

#include <QMenu>
class QPushButton;
class VActTracker;
class VSearchBar;

// The recycle bin: what was deleted from the disk, searchable, sorted and
// paged in the client; restore (with the clash question and the failure
// report) and delete for good run as server acts whose results arrive once
// through the act tracker.
class VHuishouzhan : public VListPage
{
    Q_OBJECT
public:
    explicit VHuishouzhan(QWidget *parent = nullptr);

    VSearchBar *searchBar() const { return m_search; }
    QPushButton *recoverButton() const { return m_recover; }
    QPushButton *clearButton() const { return m_clear; }
    QPushButton *refreshButton() const { return m_refresh; }
    VActTracker *tracker() const { return m_tracker; }
    QMenu *contextMenu() const { return rowMenu(); }
    QString searchKey() const { return m_searchKey; }

signals:
    // A finished act was handled ("huanyuan" or "qingkong").
    void signalActHandled(const QString &kind, const QString &actId);

public slots:
    void getFileList() override;
    void slotGetWpResult(const QJsonObject &re);
    void slotGetQueueResult(const M_api_act &act, const QVariantMap &context);
    void toHuanyuan(bool checked = false);
    void toHuanyuan2(const QStringList &ids, bool isrename);
    void toClear(bool checked = false);
    void slotSearch(const QString &text);
    void on_pushButton_refresh_clicked() override;
    void on_pushButton_recover_clicked();
    void on_pushButton_clear_clicked();

protected:
    QWidget *createRow(const QJsonObject &item, QListWidgetItem *listItem) override;
    QString idOf(const QJsonObject &item) const override;
    void selectionChanged(const QStringList &ids) override;

private:
    void showInfo(const M_fileinfo &f);
    void sendAct(const QString &kind, const QJsonObject &params, const QVariantMap &context,
                 const QString &waiting);

    VSearchBar *m_search;
    QPushButton *m_recover;
    QPushButton *m_clear;
    QPushButton *m_refresh;
    VActTracker *m_tracker;
    QString m_searchKey;
    bool m_fetched = false;
};

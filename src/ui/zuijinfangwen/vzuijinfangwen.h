#pragma once

#include "VWidgets/vlistpage.h"

#include <QJsonObject>
#include <QPointer>

#include "records/m_api_visit.h"

#include <QMenu>
class QPushButton;

// Recently visited files, newest first, 100 rows a page. A row opens its
// details in the pane; its menu previews, downloads or edits the file (a
// double click previews). Entries of files deleted since stay listed with
// their badge, but nothing is opened, fetched or edited from them.
class VZuijinfangwen : public VListPage
{
    Q_OBJECT
public:
    explicit VZuijinfangwen(QWidget *parent = nullptr);

    QPushButton *refreshButton() const { return m_refresh; }
    QMenu *contextMenu() const { return m_menu; }
    // The visit of a row on the page (rows carry their place in the list).
    M_api_visit visitOf(const QString &rowId) const;

public slots:
    void slotlItemClick(QListWidgetItem *item);
    void slotItemDoubleClick(QListWidgetItem *item);
    void slot2View(bool checked = false);
    void slot2Down(bool checked = false);
    void slot2Localedit(bool checked = false);

protected:
    QWidget *createRow(const QJsonObject &item, QListWidgetItem *listItem) override;
    QString idOf(const QJsonObject &item) const override;
    void selectionChanged(const QStringList &ids) override;
    QJsonArray prepareItems(const QJsonArray &items) override;

private:
    void showMenu(const QString &rowId, const QPoint &globalPos);
    // The visit the menu or the keyboard acts on (the current row).
    M_api_visit current() const;
    // Hands the file to preview (9), download (4) or local editing (8).
    void handOff(int op, const M_api_visit &visit);

    QPushButton *m_refresh;
    QPointer<QMenu> m_menu;
};

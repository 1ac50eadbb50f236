#pragma once

#include "main/vpage.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QMenu>
#include <QPair>
#include <QPointer>
#include <QSet>
#include <QStringList>
#include <functional>

class QHBoxLayout;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QToolButton;
class VFileInfo;
class VGrid;
class VPagedList;

// The frame the recycle bin, recent, favourites and links pages share: a top
// bar of buttons, the grid (rows of the page on screen only, built on the
// GUI thread in small chunks from a sorted copy; a newer build stops an
// older one), a collapsible "详细信息" pane and the count label. Rows carry
// their item's id; the selection is read as ids, never kept as row pointers.
class VListPage : public VPage
{
    Q_OBJECT
public:
    explicit VListPage(const QString &objectName, const QString &title, QWidget *parent = nullptr);
    ~VListPage() override;

    VGrid *grid() const { return m_grid; }
    QListWidget *listWidget() const;
    QLabel *countLabel() const { return m_count; }
    VFileInfo *fileInfo() const { return m_info; }
    QWidget *detailPane() const { return m_detail; }
    QToolButton *paneButton() const { return m_paneButton; }
    VPagedList *model() const { return m_model; }

    // The ids of the selected rows, in row order.
    QStringList selectedIds() const;
    // Selects exactly the rows with these ids (the others are cleared).
    void selectIds(const QStringList &ids);
    // The row widget showing this id, if it is on the page.
    QWidget *rowWidget(const QString &id) const;
    int rowCount() const;
    QString rowId(int row) const;
    quint64 rowBuild() const { return m_rowBuild; }
    bool isBuilding() const { return m_building; }
    // A list request in flight.
    bool isLoading() const { return m_loading; }
    // Replies dropped because a newer request had been sent.
    int staleReplyCount() const { return m_staleReplies; }
    // Rows created per turn of the event loop.
    static int &chunkSize();
    // Asks for the list again (the request set by setListRequest).
    void reload() override;
    // The menu of a right click on a row, while it is open.
    QMenu *rowMenu() const { return m_rowMenu; }

signals:
    // The rows of this build are all on screen.
    void signalRowsBuilt(quint64 build);
    // A list reply was taken (code 0) or refused (another code).
    void signalListed(bool ok);

public slots:
    // Sends the page's list request; its reply goes to slotGetFileList.
    virtual void getFileList();
    void slotGetFileList(const QJsonObject &re);
    virtual void on_pushButton_refresh_clicked();
    void slotIsShousuo(bool collapsed);
    // Header number (from 1) and direction: a new order of the list in hand.
    void slotSortParams(int index, int state);
    void slotPageChanged(int page);

protected:
    // The width the grid's columns need: while the user has not chosen, the
    // pane steps aside when the page is too narrow for both.
    void setGridMinimumWidth(int width) { m_gridMin = width; }
    void resizeEvent(QResizeEvent *event) override;
    // A button of the top bar (its text names it).
    QPushButton *addTopButton(const QString &text, const QString &objectName, const QString &icon);
    QHBoxLayout *topBar() const { return m_top; }
    // The "刷新" button of the top bar, wired to on_pushButton_refresh_clicked.
    QPushButton *addRefreshButton();
    // The list the page shows: the request and, when the items sit under a
    // key of the reply's data, that key. params is asked at each request.
    void setListRequest(int api, std::function<QJsonObject()> params, const QString &listKey = QString());
    // Asks the question in a prompt (named objectName); onConfirmed runs once
    // OK is pressed, with the prompt closed.
    void confirm(const QString &objectName, const QString &question, std::function<void()> onConfirmed);
    // A right click on a row makes it the selection (unless it is selected
    // already) and opens a menu of these actions (text, what it runs).
    using MenuAction = QPair<QString, std::function<void()>>;
    void setRowMenu(const QString &objectName, const QList<MenuAction> &actions);
    // The Delete key on the list runs act.
    void onDeleteKey(std::function<void()> act);
    // Tab goes as the page reads: the top bar left to right, the grid, the pane.
    void orderTabs();
    // The model and its page hand-over; columns are the grid's sort keys.
    void setModel(VPagedList *model);
    // One row widget for an item of the page; the page connects its buttons.
    virtual QWidget *createRow(const QJsonObject &item, QListWidgetItem *listItem) = 0;
    // The id a row carries and the name a screen reader reads for it.
    virtual QString idOf(const QJsonObject &item) const = 0;
    virtual QString nameOf(const QJsonObject &item) const;
    // The selection changed (count and buttons follow).
    virtual void selectionChanged(const QStringList &ids);

    // Sends a list request tagged with a new sequence number; replies to an
    // older one are dropped by takeReply().
    void sendList(int api, const QJsonObject &params, std::function<void(const QJsonObject &)> onReply);
    // Sends any request whose reply goes to onReply (on this page's thread).
    void send(int api, const QJsonObject &params, const QJsonObject &custom,
              std::function<void(const QJsonObject &)> onReply);
    // A list reply: a stale one is dropped; code 0 hands the items (the data
    // array, or the array under listKey in the data) to the model on page 1;
    // another code shows the message over an empty grid.
    void takeList(const QJsonObject &reply, const QString &listKey = QString());
    // The items as the model keeps them (a page may number them).
    virtual QJsonArray prepareItems(const QJsonArray &items) { return items; }
    void setCount(int n);
    // Fills the pane with the details of a disk file ("v1/wp/file/info"), or
    // clears it with the error when the file cannot be read.
    void requestFileInfo(const QString &fileid);
    void clearInfo();
    // Opens a dialog without a nested event loop.
    static void openDialog(QWidget *dialog);

private:
    void showPage(quint64 build, const QJsonArray &items);
    void createChunk(quint64 build);
    void slotSetFileInfoReply(const QJsonObject &reply);
    // True when the reply answers the newest list request (and ends loading).
    bool takeReply(const QJsonObject &reply);

    QHBoxLayout *m_top;
    VGrid *m_grid;
    QWidget *m_detail;
    VFileInfo *m_info;
    QToolButton *m_paneButton;
    QLabel *m_count;
    VPagedList *m_model = nullptr;
    QJsonArray m_pending;
    int m_next = 0;
    quint64 m_rowBuild = 0;
    bool m_building = false;
    bool m_loading = false;
    quint64 m_listSeq = 0;
    int m_staleReplies = 0;
    QString m_infoId;
    int m_gridMin = 0;
    bool m_paneChosen = false;
    int m_listApi = -1;
    std::function<QJsonObject()> m_listParams;
    QString m_listKey;
    QPointer<QMenu> m_rowMenu;
};

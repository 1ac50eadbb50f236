#pragma once

#include "main/vpage.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QMenu>
#include <QPointer>
#include <QSet>
#include <QVariant>
#include <functional>

#include "Api/api.h"
#include "disk/vdropwalk.h"
#include "records/m_api_act.h"
#include "records/m_fileinfo.h"
#include "records/m_renameinfo.h"
#include "transfer/vglobalconnect.h"

class QLabel;
class QPushButton;
class QStackedWidget;
class QTimer;
class VActTracker;
class VAddressBar;
class VDiskList;
class VFileInfo;
class VGonggongwangpan_flow;
class VGonggongwangpan_list;
class VOpBar;
class VSearchBar;
class VShousuoBar;
class VUserIconList;

// The public disk: one folder of the school's disk at a time, as a paged
// list or an icon view, with the address bar, search, the toolbar that
// follows the folder's and the selection's rights, the detail pane, drops of
// local files and folders, drags out, and the file operations (create,
// rename, copy, move, delete, download, favourites).
class VGonggongwangpan : public VPage
{
    Q_OBJECT
public:
    explicit VGonggongwangpan(QWidget *parent = nullptr);
    ~VGonggongwangpan() override;

    // VPage: list a display path ("/", "/教学资源/") and report the one shown.
    void openPath(const QString &path) override;
    QString currentPath() const override { return m_shownPath; }
    void reload() override;

    // The server folder shown ("/1001/sharedisk/..."), from the last listing
    // that succeeded; what create, drop and upload act on.
    M_fileinfo currentFolder() const { return m_folder; }
    QString currentSearch() const { return m_shownSearch; }
    QList<M_fileinfo> selection() const { return m_selection; }
    bool isLoading() const { return m_loading; }
    bool isIconView() const;
    bool isFavourite(const QString &id) const { return m_favIds.contains(id); }
    // Listing replies dropped because a newer listing was asked for meanwhile.
    int staleReplyCount() const { return m_staleReplies; }
    // Display path of a server path: "/1001/sharedisk/a/b" -> "/a/b/".
    static QString displayPath(const QString &fullpath);

    VAddressBar *addressBar() const { return m_addr; }
    VSearchBar *searchBar() const { return m_search; }
    VOpBar *opBar() const { return m_opbar; }
    VShousuoBar *shousuoBar() const { return m_shousuo; }
    VGonggongwangpan_list *listView() const { return m_listView; }
    VGonggongwangpan_flow *flowView() const { return m_flow; }
    VDiskList *model() const { return m_model; }
    VFileInfo *fileInfo() const { return m_fileInfo; }
    VUserIconList *userIconList() const { return m_userIcons; }
    QLabel *statusLabel() const { return m_status; }
    QWidget *detailPane() const { return m_detail; }
    VActTracker *tracker() const { return m_tracker; }
    QMenu *contextMenu() const { return m_menu; }

signals:
    void signalGetUploadDirsByThread(QJsonArray dirs, QJsonArray files, QString serverpath);
    void signalToUploadFilesByThread(int count);
    void signalFileChanged(QString path);
    // A listing arrived and was shown (the display path).
    void signalListed(const QString &path);
    // A listing failed.
    void signalListFailed(const QString &message);
    // A tracked act finished and was handled.
    void signalActHandled(const QString &kind, const QString &actId);
    // An upload or download batch was counted by the transfer log.
    void signalBatchCounted(const QString &kind, int added);

public slots:
    void slotIsShitu(bool iconView);
    void slotIsShousuo(bool collapsed);
    void on_pushButton_clicked();
    void on_pushButton_2_clicked();
    void slotCount(const QList<M_fileinfo> &selection);
    void slotGetList(const QJsonObject &reply);
    void slotUpdateFile(bool checked = false);
    void slotUploadDir(bool checked = false);
    void slotDownloadFile();
    void slotMoveFile();
    void slotCopyFile();
    void slotDelFile();
    void slotFileOp(enum_fileoptype type, const QVariant &value);
    void slotTimerTimeout();
    void slotFileOp2Favorite(const M_fileinfo &item);
    void slotFileOp2Download(const QString &localpath, const QList<M_fileinfo> &items);
    void slotFileOp2EditLocal(const QString &localpath, const M_fileinfo &item);
    void slotGetResultForFileChildren(const QJsonObject &reply);
    void slotShoucangResult(const QJsonObject &reply);
    void slotDoubleClick(const M_fileinfo &item);
    void slotClick(const M_fileinfo &item);
    void slotPathChange(const QString &path, const QString &search);
    void slotSearch(const QString &text);
    void slotCreateDirClick(bool checked = false);
    void slotCreateDirByMuban(bool checked = false);
    void slotGetWpResult(const M_api_act &act, const QVariantMap &context);
    void slotGetUploadFiles(const QString &serverpath, const QStringList &paths);
    void slotAddCount(int index, int result, bool islast);
    void slotSetFileInfo(const QJsonObject &reply);
    void slotSetQxInfo(const QJsonObject &reply);
    void slotContextMenu(const QPoint &globalPos);
    void slotShowInfo(bool checked = false);
    void slotRename(const M_renameinfo &info);
    void slotDropUrls(const QList<QUrl> &urls);
    void slotGoUp();
    // Items dragged out of either view landed in a local folder.
    void slotDrag2Local(const QString &folder, const QList<M_fileinfo> &items);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    using ReplyFn = std::function<void(const QJsonObject &)>;
    void list(const QString &path, const QString &search);
    void relist();
    void send(Api::apis api, const QJsonObject &params, const QJsonObject &custom, ReplyFn onReply,
              bool waiting = false);
    // Sends an act; the tracker follows it with the context. onReply sees the
    // request's own reply (dialogs close on success, keep the message otherwise).
    void sendAct(Api::apis api, const QJsonObject &params, const QVariantMap &context, const QString &waiting,
                 ReplyFn onReply = ReplyFn());
    void refreshToolbar();
    void loadFavourites();
    void showPage(quint64 build, const QList<M_fileinfo> &items);
    void chooseDownloadFolder(std::function<void(const QString &)> then);
    void startCopyMove(bool move, const QList<M_fileinfo> &items);
    void sendCopyMove(bool move, const QJsonArray &filelist, bool followup);
    void handOffPreview(enum_fileoptype op, const M_fileinfo &item);
    void showFailures(const M_api_act &act, const QJsonArray &failures);
    void uploadPlanReady(const VDropWalk::Plan &plan);
    void queueUploads(const QList<M_db_file> &files, int skipped);
    int addBatch(const QString &kind, const QList<M_db_file> &files, const QVariantMap &info);
    void endUploadPreparation();
    // The name editor of the view on screen.
    bool startRename();
    M_fileinfo activeItem() const;
    QList<M_fileinfo> activeSelection() const;
    void openDialog(QWidget *dialog);

    VAddressBar *m_addr;
    VSearchBar *m_search;
    VOpBar *m_opbar;
    VShousuoBar *m_shousuo;
    QStackedWidget *m_views;
    VGonggongwangpan_list *m_listView;
    VGonggongwangpan_flow *m_flow;
    QWidget *m_detail;
    QPushButton *m_tab1;
    QPushButton *m_tab2;
    QStackedWidget *m_detailStack;
    VFileInfo *m_fileInfo;
    VUserIconList *m_userIcons;
    QLabel *m_status;
    QTimer *refreshTimer;
    QPointer<QMenu> m_menu;
    VDiskList *m_model;
    VActTracker *m_tracker;

    M_fileinfo m_folder;         // currentFolder
    QString m_shownPath = QStringLiteral("/");
    QString m_shownSearch;
    bool m_listedOnce = false;
    QString m_requestedPath;     // currentPath of the listing in flight
    QString m_requestedSearch;   // currentSearch of the listing in flight
    quint64 m_listSeq = 0;
    int m_staleReplies = 0;
    bool m_loading = false;
    QList<M_fileinfo> m_selection;
    QString m_detailId;
    QSet<QString> m_favIds;
    quint64 m_favSeq = 0;
    int m_batchSeq = 0;
    QHash<int, QVariantMap> m_batches;
    QHash<QString, VDropWalk::Plan> m_uploadPlans;
};

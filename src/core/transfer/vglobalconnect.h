#ifndef VGLOBALCONNECT_H
#define VGLOBALCONNECT_H

#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QString>
#include <QMetaType>
#include <QVariant>

#include "records/m_db_file.h"
#include "records/m_db_syn.h"

// The file actions carried by signalFileOp.
enum enum_fileoptype {
    fileop_none = 0,
    fileop_move = 1,
    fileop_copy = 2,
    fileop_delete = 3,
    fileop_download = 4,
    fileop_upload = 5,
    fileop_favourite = 6,
    fileop_editlocal = 8,
    fileop_viewonline = 9,
};
Q_DECLARE_METATYPE(enum_fileoptype)

// The application-wide signal hub: widgets, stores and workers that do not
// know each other meet here. Lives on the GUI thread; receivers on other
// threads get its signals queued (the records they carry are registered
// before the hub exists).
class VGlobalConnect : public QObject
{
    Q_OBJECT
public:
    static VGlobalConnect *instance();

    // Sends CancelUpload for one pending cancellation to its upload server.
    void cancelUpload(const QString &evtid, const QString &upserver);
    // Sends every cancellation the dispatcher still holds.
    void cancelPendingUploads();

signals:
    void signalLayer_err(QString msg, bool block);
    void signalLayer_waiting(QString msg, bool block);
    void signalLayer_hide();
    void signalLayer_success(QString msg, bool block);
    void signalWp_result(QJsonObject act);
    void signalNewFileForDownload(QList<M_db_file> list);
    void signalNewFileForDone(M_db_file file);
    void signalNewFileForUpload(QList<M_db_file> list);
    void signalStartDownload();
    void signalStartDownload(int id);
    void signalStopDownload();
    void signalStopDownload(int id);
    void signalCancleDownload();
    void signalCancleUpload();
    void signalStopUpload();
    void signalStopUpload(int id);
    void signalStartUpload(int id);
    void signalStartUpload();
    void signalChange_config();
    void signalClearDone();
    void signalClearTasks();
    void signalClickLeftMenu(int menu, QVariant value);
    void signalDbselfAddFiles(QList<M_db_file> list, int type, bool isedit);
    void signalTaskChangeByBak(int count);
    void signalTaskChange(int count);
    void signal2getFavList();
    void signalNewUploadDone(M_db_file file);
    // A transfer row was cancelled (removed without finishing).
    void signalTransferCancelled(M_db_file file);
    void signalFileOp(enum_fileoptype type, QVariant value);
    void signalNewFiles4Syn(QList<M_db_syn> list, QString owner);
    void signalSynRestart(QString owner, bool deldb);
    void signalSynStopDownload(QString p, int type, bool isdel);
    void signalSynStartDownload(QString uuid);

public slots:
    void slotWpActResult(QJsonObject reply);
    void slotCancleUpload(QJsonObject reply);

private:
    explicit VGlobalConnect(QObject *parent = nullptr);
};

#endif // VGLOBALCONNECT_H

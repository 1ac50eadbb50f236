#pragma once

#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QVariant>

#include "records/m_fileinfo.h"
#include "records/m_info_file.h"
#include "transfer/vglobalconnect.h"

class VDialog;
class VOffice;

// Online preview and open-for-editing, for every page: the hub's
// signalFileOp with 9 (view online) or 8 (edit locally) and a file (its id,
// or an M_fileinfo / M_info_file record, or a map with "item") lands here.
// The decisions of edit-back live in VEditBack; this object asks the user
// (the change prompt, the conflict choice) and owns the preview windows.
// GUI thread.
class VGlobalTask : public QObject
{
    Q_OBJECT
public:
    static VGlobalTask *instance();

    // The preview test the pages run before they hand a file over.
    static bool isPreviewable(const M_fileinfo &item);
    // The file id a signalFileOp value names, or empty.
    static QString fileIdOf(const QVariant &value);
    // Open preview windows (closed ones are gone).
    QList<VOffice *> previewWindows() const;
    // Closes every preview window and stops watching (before the application ends).
    void shutdown();

signals:
    void signalFileChanged(QString path);
    // A preview window was opened (tests and the log follow it).
    void signalPreviewOpened(VOffice *window);

public slots:
    void slotFileOp(enum_fileoptype type, const QVariant &value);
    void slotGetFileInfo(const QJsonObject &reply, const QVariant &tag);
    void slot2ViewOnline(const QJsonObject &reply, const QVariant &entry);

private slots:
    void slotfileChanged2(const QString &path);
    void slotConflict(const QString &path);

private:
    explicit VGlobalTask(QObject *parent = nullptr);
    void requestInfo(const QString &fileid, int tag);
    VDialog *makeDialog(const QString &objectName, const QString &html);

    QList<QPointer<VOffice>> m_windows;
    QHash<QString, QPointer<VDialog>> m_prompts; // one per file at a time
};

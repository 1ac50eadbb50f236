#pragma once

#include <QPointer>
#include <QTimer>
#include <QWidget>

class QLabel;
class QProgressBar;
class QToolButton;
#include "transfer/vtransfertask.h"

// The row of one running transfer (upload or download): icon, name,
// progress with sizes, speed and time left, state, and the start, stop,
// cancel and folder buttons. It drives its task and mirrors its state; what
// it shows and which buttons it offers follow the task's status.
class VChuanshuliebiao_item : public QWidget
{
    Q_OBJECT
public:
    explicit VChuanshuliebiao_item(VTransferTask *task, QWidget *parent = nullptr);

    VTransferTask *task() const { return m_task; }
    QString stateText() const;

    // The small file-kind icon for a name.
    static QString iconFor(const QString &fileName);
    // Shared look of the row buttons.
    static QToolButton *makeButton(QWidget *parent, const QString &objectName, const QString &text,
                                   const QString &icon);
    // What every transfer row shares: the frame, the file-kind icon and the
    // file name; the look of rows and their buttons is one style sheet that
    // the list holding them sets once.
    static void dressRow(QWidget *row, int height);
    static QString rowStyleSheet();
    static QLabel *makeIcon(QWidget *row, const QString &fileName);
    static QLabel *makeName(QWidget *row, const QString &fileName, const QString &toolTip);
    // Opens the folder holding path; never creates one ("文件夹不存在").
    static void openFolderOf(const QString &path);

public slots:
    void refresh();
    void slotResize(QList<int> widths);
    void on_toolButton_start_clicked();
    void on_toolButton_stop_clicked();
    void on_toolButton_cancle_clicked();
    void on_toolButton_folder_clicked();
    void slotRepaintProgressBar();

protected:
    QPointer<VTransferTask> m_task;
    QLabel *label_icon;
    QLabel *label_file;
    QProgressBar *progressBar;
    QLabel *label;   // sizes
    QLabel *label_2; // speed and time left
    QLabel *label_state;
    QToolButton *toolButton_start;
    QToolButton *toolButton_stop;
    QToolButton *toolButton_cancle;
    QToolButton *toolButton_folder;
    QTimer m_repaint;

private:
    void showProgress();
};

#pragma once

#include <QWidget>

#include "records/m_db_file.h"

class QLabel;
class QToolButton;

enum enum_transfer_optype {
    transfer_op_remove = 0,         // remove this row
    transfer_op_removeSelected = 1, // remove every selected row
};

// A finished transfer: name, size, how it ended and when, and buttons to
// open the file, open its folder and remove the entry.
class VChuanshuliebiao_done_item : public QWidget
{
    Q_OBJECT
public:
    explicit VChuanshuliebiao_done_item(const M_db_file &record, QWidget *parent = nullptr);

    const M_db_file &record() const { return m_file; }
    // "秒传完成", "上传完成" or "下载完成".
    static QString stateText(const M_db_file &record);

signals:
    void signalOpType(enum_transfer_optype type, QWidget *row);

public slots:
    void slotResize(QList<int> widths);
    void on_toolButton_open_clicked();
    void on_toolButton_folder_clicked();
    void on_toolButton_cancle_clicked();

private:
    M_db_file m_file;
    QLabel *label_icon;
    QLabel *label_file;
    QLabel *label;
    QLabel *label_state;
    QToolButton *toolButton_open;
    QToolButton *toolButton_folder;
    QToolButton *toolButton_cancle;
};

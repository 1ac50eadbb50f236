#pragma once

#include "main/vpage.h"

class QLabel;
class QPushButton;
class QStackedWidget;
class VChuanshuliebiao_done;
class VChuanshuliebiao_down;
class VChuanshuliebiao_up;
class db_self;

// The transfer list page (menu value 14): uploading, downloading and
// finished tabs with their counts, and a footer with the bulk buttons and the
// selection count. Created at start, so the rows restored from the log exist
// (and run) before the page is first shown.
class VChuanshuliebiao : public VPage
{
    Q_OBJECT
public:
    // store: the signed-in user's store when null.
    explicit VChuanshuliebiao(QWidget *parent = nullptr, db_self *store = nullptr);
    ~VChuanshuliebiao() override;

    void reload() override;

    VChuanshuliebiao_up *upTab() const { return m_up; }
    VChuanshuliebiao_down *downTab() const { return m_down; }
    VChuanshuliebiao_done *doneTab() const { return m_done; }
    int currentTab() const;
    QLabel *footerLabel() const { return label; }
    // The tab caption for a count ("999+" above 999).
    static QString caption(const QString &format, int count);

public slots:
    void on_pushButton_up_clicked();
    void on_pushButton_down_clicked();
    void on_pushButton_done_clicked();
    void slotSelectedCount(int count);
    void slotTotalCount(int count, QWidget *tab);
    void on_pushButton_start_clicked();
    void on_pushButton_stop_clicked();
    void on_pushButton_cancel_clicked();
    void on_pushButton_clear_clicked();
    void slot2cancle();
    void slotCancleDownload();

private:
    void showTab(int index);
    void updateCaptions();

    QPushButton *pushButton_up;
    QPushButton *pushButton_down;
    QPushButton *pushButton_done;
    QStackedWidget *stackedWidget;
    QLabel *label;
    QPushButton *pushButton_start;
    QPushButton *pushButton_stop;
    QPushButton *pushButton_cancel;
    QPushButton *pushButton_clear;
    VChuanshuliebiao_up *m_up;
    VChuanshuliebiao_down *m_down;
    VChuanshuliebiao_done *m_done;
};

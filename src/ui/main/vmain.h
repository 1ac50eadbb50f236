#pragma once

#include "main/enum_leftmenu.h"

#include <QJsonObject>
#include <QMainWindow>
#include <QMap>
#include <QPoint>
#include <QSystemTrayIcon>
#include <QVariant>
#include <functional>

namespace Ui {
class VMain;
}
class QMenu;
class QToolButton;
class VLayerInfo;
class VFrameHandler;
class VMain_leftmenu;
class VPage;
class VUrlRequest;

// The main window: frameless with its own title bar, the left menu and the
// pages, the user menu, the tray icon, the status toasts, the periodic
// sign-in check, the act poll, the start-up update check and the orderly
// shutdown that can restart the program into the login dialog.
class VMain : public QMainWindow
{
    Q_OBJECT
public:
    explicit VMain(QWidget *parent = nullptr);
    ~VMain() override;

    // Intervals of the sign-in check, the act poll and the shutdown steps.
    // The defaults are the product's; tests shorten them before starting.
    struct Timings {
        int loginCheck;
        int actPoll = 1000;
        int closeStep = 300;
        int passwordRestart = 5000;
        int updateDelay;
    };
    static Timings &timings();
    // What ends the program at the end of shutdown; restart says whether a
    // fresh copy is to be started first. The default quits the application.
    using QuitHandler = std::function<void(bool restart)>;
    static void setQuitHandler(QuitHandler handler);

    QList<int> menuEntries() const { return m_menuEntries; }
    int currentMenu() const { return m_currentMenu; }
    VPage *page(int value) const { return m_pages.value(value); }
    VLayerInfo *layer() const { return m_layer; }
    QMenu *userMenu() const { return m_userMenu; }
    bool isRestartAfterClose() const { return restartAfterClose; }
    bool isPasswordChanged() const { return passwordChanged; }
    bool isClosing() const { return m_closing; }
    VMain_leftmenu *menuItem(int value) const;
    // Builds the menu rows for a role value (99 adds local backup).
    static QList<int> menuFor(int shenfen);

signals:
    void signalLeftmenuSelected(enum_leftmenu type);

public slots:
    void on_toolButton_close_clicked();
    void on_toolButton_max_clicked();
    void on_toolButton_min_clicked();
    void on_listWidget_clicked(const QModelIndex &index);
    void slotCheck2update();
    void slotRequestResult(const QJsonObject &re);
    void slotShowWindow(bool checked = false);
    void slotTrayActivated(QSystemTrayIcon::ActivationReason reason);
    void slotQuit(bool checked = false);
    void slotKeepAlive();
    void slotIsLogin(const QJsonObject &re);
    void on_toolButton_setup_clicked();
    void slotChangePassword(bool checked = false);
    void slotChangeUser(bool checked = false);
    void slotChangeDanwei(bool checked = false);
    void slotGetActs();
    void slotGetActs(const QJsonObject &re);
    void slotClickLeftMenu(int value, const QVariant &data);
    void slotCloseApp();
    void slotTaskChange(int count);
    void slotStoreError(const QString &message);
    void on_pushButton_user_clicked();
    void slotSFreleased();
    void slotSFclicked();

protected:
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void buildMenu();
    VPage *createPage(int value);
    void switchPage(int value);
    void buildUserMenu();
    void buildTray();
    void toggleMaximized();
    void signOut();
    void saveLastVisit();
    void restoreLastVisit();
    void placeGrip();
    void recordCentre();

    Ui::VMain *ui;
    QList<int> m_menuEntries;
    QMap<int, VPage *> m_pages;
    QMenu *m_userMenu = nullptr;
    QSystemTrayIcon *trayIcon = nullptr;
    QMenu *trayMenu = nullptr;
    VLayerInfo *m_layer = nullptr;
    bool initialised = false;
    bool restartAfterClose = false;
    bool passwordChanged = false;
    int m_currentMenu = -1;
    QToolButton *gripButton = nullptr;
    VFrameHandler *m_frame = nullptr;
    bool m_closing = false;
    bool m_quitDone = false;
};

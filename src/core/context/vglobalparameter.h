#pragma once

#include <QObject>
#include <QPoint>
#include <QString>
#include <QStringList>

// Process-wide parameters: the five server base addresses, the release switch,
// tuning intervals and a little UI state that pages share.
class VGlobalParameter : public QObject
{
    Q_OBJECT
public:
    static VGlobalParameter *instance();

    // true switches the five addresses to the production installation.
    void setIsRlease(bool release);
    // Derives the five bases from one server root (a deployment chosen without
    // recompiling, and the test server's root in tests). A root without a
    // trailing "/" gets one. An empty root is ignored.
    void setServerRoot(const QString &root);
    // The root named by "--server URL" (wins) or ORVEL_SERVER_ROOT, or empty.
    static QString serverRootOverride(const QStringList &arguments);

    QString clientUrl() const { return m_clientUrl; }
    QString apiUrl() const { return m_apiUrl; }
    QString ssoUrl() const { return m_ssoUrl; }
    QString webUrl() const { return m_webUrl; }
    QString docsUrl() const { return m_docsUrl; }
    // The preview service's root: the web root unless a deployment names
    // another (ORVEL_PREVIEW_ROOT).
    QString previewUrl() const { return m_previewUrl.isEmpty() ? m_webUrl : m_previewUrl; }
    void setPreviewRoot(const QString &root);
    bool isTest() const { return m_isTest; }

    int apiThreadCount() const { return m_apiThreadCount; }
    int loginCheckInterval() const { return m_loginCheckInterval; }
    int layerShowTime() const { return m_layerShowTime; }
    int layerStepTime() const { return m_layerStepTime; }
    int dialogMargin() const { return m_dialogMargin; }
    int updateCheckDelay() const { return m_updateCheckDelay; }
    // Where the full client installer can be downloaded (webUrl based).
    QString downloadPageUrl() const { return m_webUrl + QStringLiteral("client/download.html"); }
    QString instanceId() const { return m_instanceId; }

    QPoint dialogPos() const { return m_dialogPos; }
    void setDialogPos(const QPoint &pos) { m_dialogPos = pos; }
    // Centre of the main window, where prompts centre themselves.
    QPoint windowCenter() const { return m_windowCenter; }
    void setWindowCenter(const QPoint &pos) { m_windowCenter = pos; }
    QString currentPath() const { return m_currentPath; }
    void setCurrentPath(const QString &path) { m_currentPath = path; }
    // Set while a dialog is open; the status layer stays hidden meanwhile.
    bool isDialogShowing() const { return m_isDialogShowing; }
    void setIsDialogShowing(bool on) { m_isDialogShowing = on; }
    // One row of the disk list edits its name at a time.
    bool isRenaming() const { return m_isRenaming; }
    void setIsRenaming(bool on) { m_isRenaming = on; }
    // One upload preparation (walk of local folders) at a time.
    bool isUploadPreparing() const { return m_isUploadPreparing; }
    void setIsUploadPreparing(bool on) { m_isUploadPreparing = on; }
    // The transfer-list tab to open next.
    int transferTab() const { return m_transferTab; }
    void setTransferTab(int tab) { m_transferTab = tab; }

    // D/users/U/S, U and S from UserInfo (not created here).
    QString userPath() const;
    // D/users/U/S/cache, /save and /temp: created hidden on first request.
    QString userCachePath() const;
    QString userSavePath() const;
    QString userTempPath() const;
    // The program's own temporary folder, cleared at shutdown.
    QString tempPath() const;

    // Disk type: 1 <-> "sharedisk" <-> "公共网盘".
    static QString typeWord(int type);
    static QString typeName(int type);
    static QString typeNameByWord(const QString &word);
    static int typeByWord(const QString &word);
    // "/<schoolid>/sharedisk" + normalised relative path.
    QString sharediskPath(const QString &relativePath) const;
    // 1 when the segment after "/<schoolid>/" is "sharedisk" (any case), else 0.
    int typeOfPath(const QString &serverPath) const;
    // 0 "其他" ... 6 "种子文件", anything else empty.
    static QString categoryName(int category);

private:
    explicit VGlobalParameter(QObject *parent = nullptr);
    QString userSubdir(const QString &name) const;

    QString m_clientUrl;
    QString m_apiUrl;
    QString m_ssoUrl;
    QString m_webUrl;
    QString m_docsUrl;
    QString m_previewUrl;
    int m_apiThreadCount = 5;
    int m_loginCheckInterval = 30000;
    int m_layerShowTime = 5000;
    int m_layerStepTime = 300;
    int m_dialogMargin = 2;
    int m_updateCheckDelay = 1000;
    QPoint m_dialogPos{0, 0};
    QPoint m_windowCenter{0, 0};
    QString m_currentPath = QStringLiteral("/");
    bool m_isDialogShowing = false;
    bool m_isRenaming = false;
    bool m_isUploadPreparing = false;
    int m_transferTab = 0;
    QString m_instanceId;
    bool m_isTest = true;
};

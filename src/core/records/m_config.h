#pragma once

#include <QJsonObject>
#include <QObject>
#include <QString>

// The user's thirteen settings; stored as JSON text by the settings store.
class M_config : public QObject
{
    Q_OBJECT
public:
    static M_config *instance();

    QJsonObject toJson() const;
    // Reads all thirteen keys; a missing key gives the empty value.
    void fromJson(const QJsonObject &obj);
    // Back to the values after construction.
    void reset();

    bool Normal_isAutoRun = false;
    bool Normal_isAlertMsg = false;
    bool Normal_isContinue = false;
    bool Normal_isAlertUndone = true;
    bool Normal_isAutoUpdate = true;
    int Transfer_threadcount_upload = 2;
    int Transfer_threadcount_download = 2;
    int Transfer_speed_upload = 0;
    bool Transfer_isupload = false;
    int Transfer_speed_download = 0;
    bool Transfer_isdownload = false;
    QString Transfer_default_path;
    bool Transfer_path_ask = false;

private:
    explicit M_config(QObject *parent = nullptr);
};

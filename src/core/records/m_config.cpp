#include "records/m_config.h"

M_config::M_config(QObject *parent) : QObject(parent) {}

M_config *M_config::instance()
{
    static M_config self;
    return &self;
}

QJsonObject M_config::toJson() const
{
    QJsonObject o;
    o.insert("Normal_isAutoRun", Normal_isAutoRun);
    o.insert("Normal_isAlertMsg", Normal_isAlertMsg);
    o.insert("Normal_isContinue", Normal_isContinue);
    o.insert("Normal_isAlertUndone", Normal_isAlertUndone);
    o.insert("Normal_isAutoUpdate", Normal_isAutoUpdate);
    o.insert("Transfer_threadcount_upload", Transfer_threadcount_upload);
    o.insert("Transfer_threadcount_download", Transfer_threadcount_download);
    o.insert("Transfer_speed_upload", Transfer_speed_upload);
    o.insert("Transfer_isupload", Transfer_isupload);
    o.insert("Transfer_speed_download", Transfer_speed_download);
    o.insert("Transfer_isdownload", Transfer_isdownload);
    o.insert("Transfer_default_path", Transfer_default_path);
    o.insert("Transfer_path_ask", Transfer_path_ask);
    return o;
}

void M_config::fromJson(const QJsonObject &o)
{
    Normal_isAutoRun = o.value("Normal_isAutoRun").toBool();
    Normal_isAlertMsg = o.value("Normal_isAlertMsg").toBool();
    Normal_isContinue = o.value("Normal_isContinue").toBool();
    Normal_isAlertUndone = o.value("Normal_isAlertUndone").toBool();
    Normal_isAutoUpdate = o.value("Normal_isAutoUpdate").toBool();
    Transfer_threadcount_upload = o.value("Transfer_threadcount_upload").toInt();
    Transfer_threadcount_download = o.value("Transfer_threadcount_download").toInt();
    Transfer_speed_upload = o.value("Transfer_speed_upload").toInt();
    Transfer_isupload = o.value("Transfer_isupload").toBool();
    Transfer_speed_download = o.value("Transfer_speed_download").toInt();
    Transfer_isdownload = o.value("Transfer_isdownload").toBool();
    Transfer_default_path = o.value("Transfer_default_path").toString();
    Transfer_path_ask = o.value("Transfer_path_ask").toBool();
}

void M_config::reset()
{
    Normal_isAutoRun = false;
    Normal_isAlertMsg = false;
    Normal_isContinue = false;
    Normal_isAlertUndone = true;
    Normal_isAutoUpdate = true;
    Transfer_threadcount_upload = 2;
    Transfer_threadcount_download = 2;
    Transfer_speed_upload = 0;
    Transfer_isupload = false;
    Transfer_speed_download = 0;
    Transfer_isdownload = false;
    Transfer_default_path.clear();
    Transfer_path_ask = false;
}

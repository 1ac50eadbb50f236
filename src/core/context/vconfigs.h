#pragma once

#include <QObject>
#include <QString>

// Holds the crypto script text and the edition that picks the data directory's
// name suffix. Set once at start-up, read by VUtils.
class VConfigs : public QObject
{
    Q_OBJECT
public:
    static VConfigs *instance();

    int edition() const { return m_edition; }
    void setEdition(int edition) { m_edition = edition; }

    QString script() const { return m_script; }
    void setScript(const QString &script) { m_script = script; }

private:
    explicit VConfigs(QObject *parent = nullptr);

    int m_edition = 0;
    QString m_script;
};

#include "testhome.h"

#include <QDir>
#include <QFile>

TestHome::TestHome()
{
    const QString base = m_dir.path();
    const QMap<QByteArray, QString> vars{{"HOME", base},
                                         {"XDG_CONFIG_HOME", base + "/.config"},
                                         {"XDG_DATA_HOME", base + "/.local/share"},
                                         {"XDG_CACHE_HOME", base + "/.cache"},
                                         {"XDG_RUNTIME_DIR", base + "/.runtime"}};
    for (auto it = vars.begin(); it != vars.end(); ++it) {
        m_wasSet[it.key()] = qEnvironmentVariableIsSet(it.key().constData());
        m_saved[it.key()] = qgetenv(it.key().constData());
        QDir().mkpath(it.value());
        qputenv(it.key().constData(), QFile::encodeName(it.value()));
    }
    QFile::setPermissions(base + "/.runtime", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

TestHome::~TestHome()
{
    for (auto it = m_saved.begin(); it != m_saved.end(); ++it) {
        if (m_wasSet.value(it.key()))
            qputenv(it.key().constData(), it.value());
        else
            qunsetenv(it.key().constData());
    }
}

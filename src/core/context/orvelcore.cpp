#include "context/orvelcore.h"

#include "context/vconfigs.h"
#include "records/metatypes.h"

#include <QFile>

#include <QtGlobal>

static void initCoreResources()
{
    Q_INIT_RESOURCE(orvelcrypto);
}

void initOrvelCore()
{
    initCoreResources();
    registerMetaTypes();
}

bool loadCryptoScript()
{
    QFile script(QStringLiteral(":/js/crypto.txt"));
    if (!script.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    VConfigs::instance()->setScript(QString::fromUtf8(script.readAll()));
    return true;
}

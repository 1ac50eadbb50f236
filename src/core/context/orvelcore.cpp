#include "context/orvelcore.h"

#include "records/metatypes.h"

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

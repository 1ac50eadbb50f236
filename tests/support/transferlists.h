#pragma once
// The store and the two transfer lists of a client, kept the way the main
// window keeps them, for tests that run transfers against a TestServer.
// openTransferStore(): a store in that folder, wired to the hub, with no
// rate limits on either direction; nullptr when it cannot be opened.
// TransferClient: a ServedClient with a scratch folder, the store and the
// two lists.
// stopTransferLists(): stops every task of both lists, deletes them once
// nothing runs and waits until every worker thread has ended (a QTRY
// failure marks the test failed).
#include "DB/db_self.h"
#include "apirunner.h"
#include "transfer/vtransfertask.h"
#include "transfer/vtransfertasklist.h"
#include "transfer/vtransferthrottle.h"

#include <QTemporaryDir>
#include <QtTest>

struct TransferClient : ServedClient
{
    QTemporaryDir m_dir;
    db_self *m_store = nullptr;
    VTransferTaskList *m_up = nullptr;
    VTransferTaskList *m_down = nullptr;
};

inline db_self *openTransferStore(const QString &folder)
{
    VTransferThrottle::upload()->setLimit(0);
    VTransferThrottle::download()->setLimit(0);
    auto *store = new db_self(folder);
    if (!store->isReady()) {
        delete store;
        return nullptr;
    }
    store->connectHub();
    return store;
}

inline void stopTransferLists(VTransferTaskList *&up, VTransferTaskList *&down)
{
    up->stopAll();
    down->stopAll();
    QTRY_COMPARE_WITH_TIMEOUT(up->countActive() + down->countActive(), 0, 30000);
    delete up;
    delete down;
    up = down = nullptr;
    QTRY_COMPARE_WITH_TIMEOUT(VTransferTask::liveWorkerThreads(), 0, 30000);
}

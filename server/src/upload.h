#pragma once
// Uploads: the API server registers an upload event (GetUploadLink) and
// names one of the upload servers; that server takes the numbered blocks
// (Upload), answers block and digest checks (ChkBlock, ChkMD5) and
// cancellations (CancelUpload). Blocks land in a part file at their offset
// as they arrive, the digest is computed on the way, and the file appears in
// the folder when the last block is in and the digest matches.
#include <QtGlobal>

class Router;

namespace upload {

struct Layout {
    qint64 blocksize = 5242880;
    qint64 totalblocknum = 0;
};
// At most 10 000 blocks of 5 MiB, larger blocks only above 5 MiB x 10 000.
Layout layoutFor(qint64 size);

void registerApiRoutes(Router &main);
void registerUploadServerRoutes(Router &upload);

} // namespace upload

#include "records/m_tmpdir.h"

#include "records/jsonread.h"

M_tmpdir_item::M_tmpdir_item(const QJsonObject &o)
{
    using namespace JsonRead;
    tmpname = toText(o, "tmpname");
    id = toText(o, "id");
    addtime = toText(o, "addtime");
}

M_tmpdir_info::M_tmpdir_info(const QJsonObject &o)
{
    using namespace JsonRead;
    id = toText(o, "id");
    dirs = toText(o, "dirs");
    tmpname = toText(o, "tmpname");
}

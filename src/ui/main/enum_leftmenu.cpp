#include "main/enum_leftmenu.h"

namespace {
struct Entry {
    int value;
    const char *text;
    const char *icon;
};
const Entry kEntries[] = {
    {0, "公共网盘", "/gonggongwangpan.png"}, {1, "学校照片", "/xuexiaozhaopian.png"},
    {2, "在线视频", "/zaixianshipin.png"},   {3, "在线备课", "/zaixianbeike.png"},
    {4, "学校荣誉", "/xuexiaorongyu.png"},   {6, "个人网盘", "/gerenwangpan.png"},
    {8, "最近访问", "/zuijin.png"},           {9, "我的收藏", "/shoucang.png"},
    {10, "我的链接", "/lianjie.png"},         {11, "回收站", "/huishouzhan.png"},
    {13, "本地同步", "/tongbu.png"},          {14, "传输列表", "/chuanshu.png"},
    {15, "本地备份", "/tongbu.png"},
};
const Entry *find(int value)
{
    for (const Entry &e : kEntries)
        if (e.value == value)
            return &e;
    return nullptr;
}
} // namespace

bool VLeftmenuInfo::isPage(int value)
{
    return find(value) != nullptr;
}

QString VLeftmenuInfo::text(int value)
{
    const Entry *e = find(value);
    return e ? QString::fromUtf8(e->text) : QString();
}

QString VLeftmenuInfo::iconFile(int value)
{
    const Entry *e = find(value);
    return e ? QString::fromLatin1(e->icon) : QString();
}

QString VLeftmenuInfo::iconPath(int value, bool selected)
{
    const QString file = iconFile(value);
    if (file.isEmpty())
        return QString();
    return QStringLiteral(":/images/png") + (selected ? QStringLiteral("/hover") : QString()) + file;
}

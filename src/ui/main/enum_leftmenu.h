#pragma once

#include <QString>

// The page kinds of the main window; the number is the stored value.
enum enum_leftmenu {
    leftmenu_gonggongwangpan = 0,
    leftmenu_xuexiaozhaopian = 1,
    leftmenu_zaixianshipin = 2,
    leftmenu_zaixianbeike = 3,
    leftmenu_xuexiaorongyu = 4,
    leftmenu_gerenwangpan = 6,
    leftmenu_zuijin = 8,
    leftmenu_shoucang = 9,
    leftmenu_lianjie = 10,
    leftmenu_huishouzhan = 11,
    leftmenu_tongbu = 13,
    leftmenu_chuanshu = 14,
    leftmenu_beifen = 15,
};

// Text and icon file of a page kind; empty for values that name no page.
struct VLeftmenuInfo {
    static bool isPage(int value);
    static QString text(int value);
    static QString iconFile(int value);
    // ":/images/png" [+ "/hover"] + icon file.
    static QString iconPath(int value, bool selected);
};

#include "seed.h"

#include "auth.h"
#include "crypto.h"
#include "disk.h"
#include "doctext.h"
#include "json.h"
#include "service.h"

#include <QJsonArray>
#include <QtEndian>

#include <zlib.h>

namespace seed {
namespace {

Session actor(const QString &login)
{
    Session s;
    const QVariantMap u = svc().store.row(QStringLiteral("SELECT * FROM users WHERE loginname=?"), {login});
    s.userid = u.value("id").toLongLong();
    s.shenfen = u.value("shenfen").toInt();
    s.truename = u.value("truename").toString();
    s.loginname = login;
    s.schoolid = 1001;
    return s;
}

// Deterministic pseudo-random bytes (xorshift) so seeded files are stable.
QByteArray noise(qint64 size, quint64 seedValue)
{
    QByteArray b(int(size), Qt::Uninitialized);
    quint64 x = seedValue * 0x9E3779B97F4A7C15ull + 1;
    char *p = b.data();
    for (qint64 i = 0; i + 8 <= size; i += 8) {
        x ^= x << 13;
        x ^= x >> 7;
        x ^= x << 17;
        memcpy(p + i, &x, 8);
    }
    for (qint64 i = size - size % 8; i < size; ++i)
        p[i] = char(i * 31 + 7);
    return b;
}

QByteArray png(int w, int h, quint32 seedValue)
{
    QByteArray raw;
    raw.reserve((w * 3 + 1) * h);
    for (int y = 0; y < h; ++y) {
        raw += char(0);
        for (int x = 0; x < w; ++x) {
            raw += char((x * 255 / w + seedValue * 40) & 0xff);
            raw += char((y * 255 / h + seedValue * 90) & 0xff);
            raw += char(((x + y) * 128 / (w + h) + seedValue * 20) & 0xff);
        }
    }
    uLongf zlen = compressBound(uLong(raw.size()));
    QByteArray z(int(zlen), Qt::Uninitialized);
    compress(reinterpret_cast<Bytef *>(z.data()), &zlen, reinterpret_cast<const Bytef *>(raw.constData()), uLong(raw.size()));
    z.resize(int(zlen));
    auto chunk = [](const char *type, const QByteArray &data) {
        QByteArray c;
        char len[4];
        qToBigEndian(quint32(data.size()), len);
        c.append(len, 4);
        QByteArray td = QByteArray(type, 4) + data;
        c += td;
        char crc[4];
        qToBigEndian(quint32(crc32(0, reinterpret_cast<const Bytef *>(td.constData()), uInt(td.size()))), crc);
        c.append(crc, 4);
        return c;
    };
    QByteArray ihdr(13, '\0');
    qToBigEndian(quint32(w), ihdr.data());
    qToBigEndian(quint32(h), ihdr.data() + 4);
    ihdr[8] = 8;
    ihdr[9] = 2;
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + chunk("IHDR", ihdr) + chunk("IDAT", z) + chunk("IEND", QByteArray());
}

struct Builder {
    Session who;
    qint64 dir(qint64 parent, const QString &name)
    {
        const QVariantMap ex = disk::childByName(parent, name);
        return ex.isEmpty() ? disk::makeDir(who, parent, name) : ex.value("id").toLongLong();
    }
    qint64 file(qint64 parent, const QString &name, const QByteArray &content)
    {
        QString sha;
        svc().store.writeBlob(content, &sha);
        return disk::putFile(who, parent, name, content.size(), sha);
    }
};

const QStringList kSubjects{"语文", "数学", "英语", "物理", "化学", "生物", "历史", "地理"};
const QStringList kGrades{"七年级", "八年级", "九年级"};

QStringList lessonText(const QString &subject, const QString &grade, int unit)
{
    return {QStringLiteral("%1 %2 第%3单元 教学设计").arg(grade, subject).arg(unit),
            QStringLiteral("教学目标：理解本单元的核心概念，能够运用所学知识解决实际问题。"),
            QStringLiteral("教学重点：概念的形成过程；教学难点：知识的迁移与应用。"),
            QStringLiteral("教学过程：一、导入新课；二、探究新知；三、课堂练习；四、总结提升。"),
            QStringLiteral("作业布置：完成练习册第%1页至第%2页。").arg(unit * 10).arg(unit * 10 + 3)};
}

} // namespace

void base()
{
    Store &st = svc().store;
    Store::Tx tx(st);
    if (st.scalar(QStringLiteral("SELECT COUNT(*) FROM users")).toInt() > 0)
        return;
    auth::addSchool(1001, QStringLiteral("示范实验学校"), QStringLiteral("示范实验"));
    auth::addSchool(1002, QStringLiteral("第二实验中学"), QStringLiteral("二中"));
    auth::addUser(QStringLiteral("demo"), QStringLiteral("demo123"), QStringLiteral("演示教师"), 2, {1001}, 1, QStringLiteral("13800000001"));
    auth::addUser(QStringLiteral("teacher"), QStringLiteral("teacher123"), QStringLiteral("王老师"), 2, {1001, 1002}, 0, QStringLiteral("13800000002"));
    auth::addUser(QStringLiteral("admin"), QStringLiteral("admin123"), QStringLiteral("系统管理员"), 99, {1001}, 1, QStringLiteral("13800000003"));
    auth::addUser(QStringLiteral("student"), QStringLiteral("student123"), QStringLiteral("李同学"), 1, {1001}, 1, QStringLiteral("13800000004"));
    disk::ensureRoot(1001);
    disk::ensureRoot(1002);
    tx.commit();
}

void demo()
{
    Store &st = svc().store;
    Store::Tx tx(st);
    const qint64 root = disk::ensureRoot(1001);
    if (st.scalar(QStringLiteral("SELECT COUNT(*) FROM files WHERE parentid=?"), {root}).toInt() > 0)
        return;
    Builder b{actor(QStringLiteral("admin"))};
    Builder t{actor(QStringLiteral("demo"))};

    // Teaching resources: subject / grade / unit documents of every kind.
    const qint64 res = b.dir(root, QStringLiteral("教学资源"));
    int n = 0;
    for (const QString &subject : kSubjects) {
        const qint64 sdir = b.dir(res, subject);
        for (const QString &grade : kGrades) {
            const qint64 g = t.dir(sdir, grade);
            for (int unit = 1; unit <= 2; ++unit) {
                const QStringList text = lessonText(subject, grade, unit);
                const QString stem = QStringLiteral("%1%2第%3单元").arg(grade, subject).arg(unit);
                t.file(g, stem + QStringLiteral("教案.docx"), doctext::docx(stem + QStringLiteral("教案"), text));
                t.file(g, stem + QStringLiteral("课件.pptx"), doctext::pptx(stem + QStringLiteral("课件"), text));
                ++n;
            }
            t.file(g, grade + subject + QStringLiteral("练习题.pdf"),
                   doctext::pdf(QStringLiteral("Exercises %1").arg(n), {QStringLiteral("1. Question one"), QStringLiteral("2. Question two")}));
            t.file(g, grade + subject + QStringLiteral("成绩统计.xlsx"),
                   doctext::xlsx(QStringLiteral("成绩"), {{QStringLiteral("姓名"), QStringLiteral("成绩")},
                                                       {QStringLiteral("张三"), QStringLiteral("92")},
                                                       {QStringLiteral("李四"), QStringLiteral("87")}}));
            t.file(g, grade + subject + QStringLiteral("备课笔记.txt"),
                   lessonText(subject, grade, 3).join(QLatin1Char('\n')).toUtf8());
        }
    }

    // Pictures.
    const qint64 pics = b.dir(root, QStringLiteral("图片素材"));
    const qint64 campus = b.dir(pics, QStringLiteral("校园风光"));
    const qint64 events = b.dir(pics, QStringLiteral("活动照片"));
    for (int i = 1; i <= 24; ++i)
        b.file(campus, QStringLiteral("校园风光%1.png").arg(i, 2, 10, QLatin1Char('0')), png(160, 120, quint32(i)));
    for (int i = 1; i <= 16; ++i)
        t.file(events, QStringLiteral("运动会%1.png").arg(i, 2, 10, QLatin1Char('0')), png(200, 150, quint32(i + 30)));

    // Office documents, notices and plain files.
    const qint64 office = b.dir(root, QStringLiteral("教务处"));
    const qint64 notices = b.dir(office, QStringLiteral("通知公告"));
    for (int i = 1; i <= 12; ++i)
        b.file(notices, QStringLiteral("2026年第%1号通知.docx").arg(i),
               doctext::docx(QStringLiteral("第%1号通知").arg(i), {QStringLiteral("各位老师：请于本周五前提交教学进度表。"), QStringLiteral("教务处")}));
    b.file(office, QStringLiteral("课程表.xlsx"),
           doctext::xlsx(QStringLiteral("课程表"), {{"节次", "周一", "周二", "周三"}, {"1", "语文", "数学", "英语"}, {"2", "物理", "化学", "生物"}}));
    b.file(office, QStringLiteral("校历.pdf"), doctext::pdf(QStringLiteral("School calendar 2026"), {QStringLiteral("Term starts 2026-09-01")}));
    const qint64 shared = b.dir(root, QStringLiteral("共享文档"));
    for (int i = 1; i <= 30; ++i)
        t.file(shared, QStringLiteral("教研记录%1.txt").arg(i, 2, 10, QLatin1Char('0')),
               QStringLiteral("教研活动记录 %1\n时间：2026-10-%2\n内容：集体备课与听评课。\n").arg(i).arg(i % 28 + 1).toUtf8());
    t.file(shared, QStringLiteral("README.md"), QByteArrayLiteral("# 共享文档\n\n本文件夹存放教研组的共享资料。\n"));
    t.file(shared, QStringLiteral("名单.csv"), QStringLiteral("学号,姓名\n1,张三\n2,李四\n").toUtf8());
    t.file(shared, QStringLiteral("空文件.txt"), QByteArray());

    // Media, applications and a few large files (made on the fly).
    const qint64 media = b.dir(root, QStringLiteral("音视频"));
    b.file(media, QStringLiteral("校歌.mp3"), noise(3 * 1024 * 1024 + 123, 11));
    b.file(media, QStringLiteral("公开课录像.mp4"), noise(25 * 1024 * 1024 + 4321, 12));
    const qint64 soft = b.dir(root, QStringLiteral("常用软件"));
    b.file(soft, QStringLiteral("阅卷系统安装包.zip"), noise(12 * 1024 * 1024 + 7, 13));
    b.file(soft, QStringLiteral("课堂助手.exe"), noise(2 * 1024 * 1024 + 99, 14));
    b.file(soft, QStringLiteral("资料合集.torrent"), noise(4096, 15));

    // Restricted folders: students may hand work in; only admins see the office files.
    const qint64 hand = b.dir(root, QStringLiteral("学生作品"));
    for (int i = 1; i <= 10; ++i)
        b.file(hand, QStringLiteral("作文%1.docx").arg(i), doctext::docx(QStringLiteral("我的作文 %1").arg(i), {QStringLiteral("今天天气很好。")}));
    disk::setPermission(hand, 2, 1, QStringLiteral("100110011"));
    const qint64 admin = b.dir(root, QStringLiteral("行政办公"));
    b.file(admin, QStringLiteral("预算表.xlsx"), doctext::xlsx(QStringLiteral("预算"), {{"项目", "金额"}, {"设备", "120000"}}));
    disk::setPermission(admin, 2, 2, QStringLiteral("000000000"));
    disk::setPermission(admin, 2, 1, QStringLiteral("000000000"));
    disk::setPermission(notices, 2, 2, QStringLiteral("100100001"));

    // Recycle bin, favourites, visits and a folder template.
    const qint64 bin = t.dir(root, QStringLiteral("临时资料"));
    for (int i = 1; i <= 5; ++i) {
        const qint64 id = t.file(bin, QStringLiteral("旧资料%1.docx").arg(i), doctext::docx(QStringLiteral("旧资料"), {QStringLiteral("过期内容")}));
        disk::removeToRecycle(t.who, id);
    }
    disk::removeToRecycle(t.who, t.dir(root, QStringLiteral("废弃文件夹")));
    const auto some = st.rows(QStringLiteral("SELECT id FROM files WHERE isdir=0 AND deleted=0 AND schoolid=1001 ORDER BY id LIMIT 40"));
    const QString now = disk::nowText();
    for (int i = 0; i < some.size(); i += 8)
        st.exec(QStringLiteral("INSERT OR IGNORE INTO favourites(userid, fileid, addtime) VALUES(?,?,?)"),
                {t.who.userid, some.at(i).value("id"), now});
    for (int i = 1; i < some.size(); i += 5)
        st.exec(QStringLiteral("INSERT INTO visits(userid, fileid, visittime, ip, client, visittype) VALUES(?,?,?,?,4,?)"),
                {t.who.userid, some.at(i).value("id"), now, QStringLiteral("127.0.0.1"), QStringLiteral("预览")});
    const QJsonArray tmpl{
        QJsonObject{{"Name", "教案"}, {"Child", QJsonArray{QJsonObject{{"Name", "第一单元"}, {"Child", QJsonArray()}},
                                                           QJsonObject{{"Name", "第二单元"}, {"Child", QJsonArray()}}}}},
        QJsonObject{{"Name", "课件"}, {"Child", QJsonArray()}},
        QJsonObject{{"Name", "作业与试卷"}, {"Child", QJsonArray{QJsonObject{{"Name", "单元测试"}, {"Child", QJsonArray()}}}}},
    };
    st.exec(QStringLiteral("INSERT INTO tmpdirs(schoolid, tmpname, dirs, addtime) VALUES(1001,?,?,?)"),
            {QStringLiteral("学期教学资料模板"), json::text(tmpl), now});
    st.exec(QStringLiteral("INSERT INTO tmpdirs(schoolid, tmpname, dirs, addtime) VALUES(1001,?,?,?)"),
            {QStringLiteral("班级管理模板"),
             json::text(QJsonArray{QJsonObject{{"Name", "班会记录"}, {"Child", QJsonArray()}},
                                   QJsonObject{{"Name", "家校沟通"}, {"Child", QJsonArray()}}}),
             now});

    // The second school.
    Builder t2{actor(QStringLiteral("teacher"))};
    t2.who.schoolid = 1002;
    const qint64 root2 = disk::ensureRoot(1002);
    const qint64 d2 = t2.dir(root2, QStringLiteral("二中教研"));
    t2.file(d2, QStringLiteral("教研计划.docx"), doctext::docx(QStringLiteral("教研计划"), {QStringLiteral("第二实验中学教研计划")}));
    t2.file(d2, QStringLiteral("说明.txt"), QStringLiteral("第二实验中学的共享资料。\n").toUtf8());
    tx.commit();
}

} // namespace seed

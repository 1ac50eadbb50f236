// The status toast (kinds, default texts, timing, lock, quiet while a dialog
// is open) and the restart's command line.
#include "main/vlayerinfo.h"
#include "main/vrestart.h"
#include "VWidgets/vprompt.h"

#include "testshot.h"
#include "uitestsetup.h"

#include <QLabel>
#include <QtTest>

class TestVLayerInfo : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        uiTestSetup();
    }

    void kinds_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("background");
        QTest::newRow("error default") << int(VLayerInfo::Error) << "" << "未知异常" << "#FFF1F1";
        QTest::newRow("error") << int(VLayerInfo::Error) << "菜单不存在" << "菜单不存在" << "#FFF1F1";
        QTest::newRow("success default") << int(VLayerInfo::Success) << "" << "操作成功" << "#FFF1F1";
        QTest::newRow("success")
            << int(VLayerInfo::Success) << "密码修改成功，需要重新登录" << "密码修改成功，需要重新登录" << "#FFF1F1";
        QTest::newRow("waiting default") << int(VLayerInfo::Waiting) << "" << "数据加载中，请稍等..." << "#FDF7ED";
        QTest::newRow("waiting") << int(VLayerInfo::Waiting) << "传输任务暂停中，请稍后"
                                 << "传输任务暂停中，请稍后" << "#FDF7ED";
    }

    void kinds()
    {
        QFETCH(int, kind);
        QFETCH(QString, text);
        QFETCH(QString, shown);
        QFETCH(QString, background);
        VLayerInfo layer;
        layer.setTimes(150, 60, 200);
        if (kind == VLayerInfo::Error)
            layer.slotLayer_err(text, false);
        else if (kind == VLayerInfo::Success)
            layer.slotLayer_success(text, false);
        else
            layer.slotLayer_waiting(text, false);
        QCOMPARE(int(layer.kind()), kind);
        QCOMPARE(layer.text(), shown);
        QCOMPARE(layer.background(), background);
        QVERIFY(layer.width() >= 181);
        // the text is never cut off
        auto fits = [&layer, &shown] {
            QLabel *l = layer.findChild<QLabel *>(QStringLiteral("label_txt"));
            return l->width() >= l->fontMetrics().horizontalAdvance(shown);
        };
        if (kind == VLayerInfo::Waiting) {
            QVERIFY(layer.isHidden()); // shown only after the short delay
            QTRY_VERIFY(layer.isVisible());
            QVERIFY(fits());
            saveShot(&layer, QStringLiteral("toast-waiting%1.png").arg(text.isEmpty() ? "-default" : ""));
            layer.slotLayer_hide();
            QVERIFY(layer.isHidden());
        } else {
            QVERIFY(layer.isVisible());
            QVERIFY(fits());
            saveShot(&layer, QStringLiteral("toast-%1%2.png")
                             .arg(kind == VLayerInfo::Error ? "error" : "success", text.isEmpty() ? "-default" : ""));
            QTRY_VERIFY(layer.isHidden()); // hides by itself
        }
    }

    void aLockedToastIgnoresOthers()
    {
        VLayerInfo layer;
        layer.setTimes(5000, 60, 150);
        layer.slotLayer_waiting(QStringLiteral("传输任务暂停中，请稍后"), true);
        QVERIFY(layer.isVisible()); // a locking wait shows at once
        layer.slotLayer_err(QStringLiteral("别的"), false);
        layer.slotLayer_hide();
        QCOMPARE(layer.text(), QStringLiteral("传输任务暂停中，请稍后"));
        QVERIFY(layer.isVisible());
        QTRY_VERIFY(!layer.isLocked());
        layer.slotLayer_err(QStringLiteral("别的"), false);
        QCOMPARE(layer.text(), QStringLiteral("别的"));
    }

    void aWaitAnsweredQuicklyIsNeverShown()
    {
        VLayerInfo layer;
        layer.setTimes(5000, 100, 3000);
        layer.slotLayer_waiting(QString(), false);
        layer.slotLayer_hide();
        QTest::qWait(200);
        QVERIFY(layer.isHidden());
    }

    void quietWhileADialogIsOpen()
    {
        VLayerInfo layer;
        VPrompt prompt;
        prompt.show();
        layer.slotLayer_err(QStringLiteral("x"), false);
        QVERIFY(layer.isHidden());
        prompt.hide();
        layer.slotLayer_err(QStringLiteral("x"), false);
        QVERIFY(layer.isVisible());
    }

    void restartKeepsTheServerOverride_data()
    {
        QTest::addColumn<QStringList>("commandLine");
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("none") << QStringList{"OrvelNetdisk"} << QStringList{};
        QTest::newRow("separate") << QStringList{"OrvelNetdisk", "--server", "http://127.0.0.1:5/"}
                                  << QStringList{"--server", "http://127.0.0.1:5/"};
        QTest::newRow("joined") << QStringList{"OrvelNetdisk", "--server=http://h/"}
                                << QStringList{"--server", "http://h/"};
        QTest::newRow("last wins, others dropped")
            << QStringList{"OrvelNetdisk", "--server", "a", "-x", "--server", "b"} << QStringList{"--server", "b"};
        QTest::newRow("dangling") << QStringList{"OrvelNetdisk", "--server"} << QStringList{};
    }

    void restartKeepsTheServerOverride()
    {
        QFETCH(QStringList, commandLine);
        QFETCH(QStringList, arguments);
        QCOMPARE(VRestart::arguments(commandLine), arguments);
    }
};

QTEST_MAIN(TestVLayerInfo)
#include "tst_vlayerinfo.moc"

// The settings dialog: every control saved and shown again, the limits
// reaching the engine at once, the autostart entry written and removed (a
// program path with spaces and "%"), a failed save keeping the dialog open
// with its message, the speed bounds, the version check, and the switch
// that only a click toggles.

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QtTest>

#include "DB/db_setting.h"
#include "config/switchcontrol.h"
#include "config/vconfig.h"
#include "platform/vplatform.h"
#include "records/m_config.h"
#include "transfer/vglobalconnect.h"
#include "transfer/vglobalqueue.h"
#include "transfer/vtransferthrottle.h"
#include "utils/vutils.h"

#include "accessibilitycheck.h"
#include "testhome.h"
#include "testshot.h"
#include "uitestsetup.h"

class TstVConfig : public QObject
{
    Q_OBJECT
    TestHome home;

    QString autostartFile() const { return VPlatform::autoRunLocation(QStringLiteral("OrvelNetdisk")); }

private slots:
    void initTestCase()
    {
        uiTestSetup();
        VTransferThrottle::followConfig();
        VGlobalQueue::instance();
    }

    void init()
    {
        M_config::instance()->reset();
        QVERIFY(db_setting::instance()->setConfig());
        QFile::remove(autostartFile());
        VConfig::setProgramPath(QString());
    }

    void everyControlIsSavedAndShownAgain()
    {
        QSignalSpy changed(VGlobalConnect::instance(), &VGlobalConnect::signalChange_config);
        {
            VConfig d;
            d.show();
            QCOMPARE(d.tabWidget()->count(), 2);
            QCOMPARE(d.tabWidget()->tabText(0), QStringLiteral("常规"));
            QCOMPARE(d.tabWidget()->tabText(1), QStringLiteral("传输"));
            d.checkBox_autodown->setChecked(true);
            d.checkBox_quitalert->setChecked(false);
            d.comboBox_up->setCurrentText(QStringLiteral("3"));
            d.comboBox_down->setCurrentText(QStringLiteral("1"));
            d.lineEdit_path->setText(QStringLiteral("/tmp/下载 目录"));
            d.CheckBox_ask->setChecked(true);
            d.radioButton_up_2->setChecked(true);
            d.lineEdit_up->setText(QStringLiteral("300"));
            d.radioButton_down_2->setChecked(true);
            d.lineEdit_down->setText(QStringLiteral("1048576"));
            QTest::mouseClick(d.okButton(), Qt::LeftButton);
            QCOMPARE(d.result(), int(QDialog::Accepted));
        }
        QCOMPARE(changed.size(), 1);
        // the engine follows at once
        QCOMPARE(VTransferThrottle::upload()->limit(), qint64(300) * 1024);
        QCOMPARE(VTransferThrottle::download()->limit(), qint64(1048576) * 1024);
        QCOMPARE(VGlobalQueue::uploadLimit(), 3);
        QCOMPARE(VGlobalQueue::downloadLimit(), 1);
        // read back from the store, not from memory
        M_config::instance()->reset();
        VConfig again;
        QVERIFY(again.checkBox_autodown->isChecked());
        QVERIFY(!again.checkBox_quitalert->isChecked());
        QCOMPARE(again.comboBox_up->currentText(), QStringLiteral("3"));
        QCOMPARE(again.comboBox_down->currentText(), QStringLiteral("1"));
        QCOMPARE(again.lineEdit_path->text(), QStringLiteral("/tmp/下载 目录"));
        QVERIFY(again.CheckBox_ask->isChecked());
        QVERIFY(again.radioButton_up_2->isChecked());
        QCOMPARE(again.lineEdit_up->text(), QStringLiteral("300"));
        QVERIFY(again.radioButton_down_2->isChecked());
        QCOMPARE(again.lineEdit_down->text(), QStringLiteral("1048576"));
        // limits off again: no limit in the engine
        again.radioButton_up_1->setChecked(true);
        again.radioButton_down_1->setChecked(true);
        QTest::mouseClick(again.okButton(), Qt::LeftButton);
        QCOMPARE(VTransferThrottle::upload()->limit(), qint64(0));
        QCOMPARE(VTransferThrottle::download()->limit(), qint64(0));
    }

    void zeroThreadCountShowsFive()
    {
        M_config::instance()->Transfer_threadcount_download = 0;
        QVERIFY(db_setting::instance()->setConfig());
        VConfig d;
        QCOMPARE(d.comboBox_down->currentText(), QStringLiteral("5"));
    }

    void speedBounds_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("saved");
        QTest::newRow("zero") << "0" << true;
        QTest::newRow("max") << "1048576" << true;
        QTest::newRow("above max") << "1048577" << false;
        QTest::newRow("overflow") << "99999999999" << false;
        QTest::newRow("negative") << "-5" << false;
        QTest::newRow("text") << "abc" << false;
    }
    void speedBounds()
    {
        QFETCH(QString, text);
        QFETCH(bool, saved);
        VConfig d;
        d.show();
        d.radioButton_up_2->setChecked(true);
        d.lineEdit_up->setText(text); // typed text is checked on save, pasted text too
        QSignalSpy changed(VGlobalConnect::instance(), &VGlobalConnect::signalChange_config);
        QTest::mouseClick(d.okButton(), Qt::LeftButton);
        QCOMPARE(changed.size(), saved ? 1 : 0);
        QCOMPARE(d.isVisible(), !saved);
        if (!saved)
            QVERIFY(!d.message().isEmpty());
    }

    void autostartEntry_data()
    {
        QTest::addColumn<QString>("program");
        QTest::newRow("spaces and percent") << "/opt/Orvel Net disk/100%/OrvelNetdisk";
        QTest::newRow("quote and dollar") << "/opt/a\"b$c/OrvelNetdisk";
    }
    void autostartEntry()
    {
        QFETCH(QString, program);
        VConfig::setProgramPath(program);
        {
            VConfig d;
            d.checkBox_autorun->setChecked(true);
            QTest::mouseClick(d.okButton(), Qt::LeftButton);
            QCOMPARE(d.result(), int(QDialog::Accepted));
        }
        QFile f(autostartFile());
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(f.readAll());
        f.close();
        QString exec;
        for (const QString &line : text.split(QLatin1Char('\n')))
            if (line.startsWith(QStringLiteral("Exec=")))
                exec = line.mid(5);
        // undo the entry's quoting: the path comes back whole
        QVERIFY(exec.startsWith(QLatin1Char('"')) && exec.endsWith(QLatin1Char('"')));
        QString unq = exec.mid(1, exec.size() - 2);
        unq.replace(QStringLiteral("\\\\"), QStringLiteral("\\"));
        QString plain;
        for (int i = 0; i < unq.size(); ++i) {
            if (unq.at(i) == QLatin1Char('\\') && i + 1 < unq.size()) {
                plain += unq.at(++i);
            } else if (unq.at(i) == QLatin1Char('%') && i + 1 < unq.size() && unq.at(i + 1) == QLatin1Char('%')) {
                plain += QLatin1Char('%');
                ++i;
            } else {
                plain += unq.at(i);
            }
        }
        QCOMPARE(plain, program);
        VConfig off;
        QVERIFY(off.checkBox_autorun->isChecked());
        off.checkBox_autorun->setChecked(false);
        QTest::mouseClick(off.okButton(), Qt::LeftButton);
        QVERIFY(!QFile::exists(autostartFile()));
        // removing an entry that is not there is no failure
        VConfig again;
        QTest::mouseClick(again.okButton(), Qt::LeftButton);
        QCOMPARE(again.result(), int(QDialog::Accepted));
    }

    void failedSaveKeepsTheDialog()
    {
        // the autostart folder cannot be made: a file stands in its place
        const QString dir = QFileInfo(autostartFile()).absolutePath();
        QDir(dir).removeRecursively();
        QDir().mkpath(QFileInfo(dir).absolutePath());
        QFile block(dir);
        QVERIFY(block.open(QIODevice::WriteOnly));
        block.close();
        VConfig d;
        d.show();
        d.checkBox_autorun->setChecked(true);
        QTest::mouseClick(d.okButton(), Qt::LeftButton);
        QVERIFY(d.isVisible());
        QVERIFY2(d.message().contains(QStringLiteral("开机自动启动设置失败")), qPrintable(d.message()));
        QVERIFY(QFile::remove(dir));
        QTest::mouseClick(d.okButton(), Qt::LeftButton);
        QVERIFY(!d.isVisible());
        QVERIFY(QFile::exists(autostartFile()));
    }

    void versionCheck_data()
    {
        QTest::addColumn<QString>("version");
        QTest::addColumn<bool>("listener");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("open");
        QTest::newRow("no answer") << QString() << false << QStringLiteral("更新版本信息获取失败") << true;
        QTest::newRow("same") << VUtils::appVersion() << false << QStringLiteral("已升级到最新版本") << true;
        QTest::newRow("newer, nobody updates") << "99.0.0" << false << QStringLiteral("发现新版本 99.0.0") << true;
        QTest::newRow("newer, handed over") << "99.0.0" << true << QString() << false;
        QTest::newRow("markup in version") << "<b>9</b>" << false << QStringLiteral("发现新版本 &lt;b&gt;9&lt;/b&gt;") << true;
    }
    void versionCheck()
    {
        QFETCH(QString, version);
        QFETCH(bool, listener);
        QFETCH(QString, text);
        QFETCH(bool, open);
        VConfig d;
        d.show();
        int handed = 0;
        if (listener)
            connect(&d, &VConfig::signalToUpdate, this, [&handed] { ++handed; });
        d.slotRequestResult(version.isNull() ? QJsonObject{{"Code", 99}, {"Msg", "网络错误"}}
                                             : QJsonObject{{"version", version}});
        QCOMPARE(d.isVisible(), open);
        QCOMPARE(handed, listener ? 1 : 0);
        if (!text.isEmpty())
            QVERIFY2(d.label_msg->text().contains(text), qPrintable(d.label_msg->text()));
    }

    void switchEmitsOnlyOnClick()
    {
        SwitchControl s;
        s.resize(40, 20);
        s.show();
        QSignalSpy toggled(&s, &SwitchControl::toggled);
        s.setToggled(true);
        QVERIFY(s.isToggled());
        QCOMPARE(toggled.size(), 0);
        QTRY_COMPARE(s.thumbX(), 30); // animated to the end
        QTest::mouseClick(&s, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
        QCOMPARE(toggled.size(), 1);
        QCOMPARE(toggled.at(0).at(0).toBool(), false);
        QTRY_COMPARE(s.thumbX(), 10);
        QTest::mouseClick(&s, Qt::RightButton, Qt::NoModifier, QPoint(10, 10));
        QCOMPARE(toggled.size(), 1);
        s.setEnabled(false);
        QTest::mouseClick(&s, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
        QCOMPARE(toggled.size(), 1);
        s.setEnabled(true);
        s.setFocus();
        QTest::keyClick(&s, Qt::Key_Space);
        QCOMPARE(toggled.size(), 2);
        QVERIFY(s.isToggled());
    }

    void everyControlHasAName()
    {
        VConfig d;
        d.show();
        for (int i = 0; i < d.tabWidget()->count(); ++i) {
            d.tabWidget()->setCurrentIndex(i);
            saveShot(&d, QStringLiteral("settings-tab%1.png").arg(i + 1));
            const QStringList bad = unnamedControls(&d);
            QVERIFY2(bad.isEmpty(), qPrintable(bad.join(QLatin1Char('\n'))));
        }
    }
};

QTEST_MAIN(TstVConfig)
#include "tst_vconfig.moc"

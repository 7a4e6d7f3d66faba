#include "app/startup.h"
#include "mainwindow/mainwindow.h"
#include "pages/displaylogpage.h"
#include "pages/fixedparampage.h"
#include "pages/pageroot.h"
#include "pages/settingspage.h"
#include "pages/sptestpage.h"
#include "programming/programmingpage.h"
#include "support/boxrecorder.h"
#include "support/simulatorfixture.h"
#include "support/testaddresses.h"

#include <QtTest>
#include <QtWidgets>

namespace {

constexpr int kArea = 11;

template <typename T> T* child(QObject* parent, const char* name)
{
    T* w = parent->findChild<T*>(QString::fromLatin1(name));
    if (!w)
        qFatal("no child %s", name);
    return w;
}
void click(QObject* page, const char* button)
{
    child<QPushButton>(page, button)->click();
}
void pressStatusLabel(QWidget* window, int times)
{
    for (int i = 0; i < times; ++i)
        QTest::mouseClick(child<QLabel>(window, "statusLabel"), Qt::LeftButton);
}
void connectTo(MainWindow& w, const QString& address)
{
    if (!address.isNull())
        child<QLineEdit>(&w, "ipEdit")->setText(address);
    QTest::mouseClick(child<QPushButton>(&w, "connectButton"), Qt::LeftButton);
}
QStringList args(const char* text)
{
    return QString::fromLatin1(text).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

// What the technician does on one page of the window, and what the page shows for it.
enum Ask { Version, Ports, Date, Params, Logs, Serial, Console, Program, Reboot };

void ask(MainWindow& w, Ask what, const QString& image, BoxRecorder* boxes = nullptr)
{
    auto* programming = w.findChild<ProgrammingPage*>();
    if (what == Version || what == Program)
        child<QComboBox>(programming, "comboBoxProgType")->setCurrentIndex(1);
    switch (what) {
    case Version: return click(programming, "btnRead");
    case Ports: return click(w.findChild<SettingsPage*>(), "btnRead");
    case Date: return click(w.findChild<SettingsPage*>(), "btnSyncDate");
    case Params: return click(w.findChild<FixedParamPage*>(), "btnRead");
    case Logs: return click(w.findChild<DisplayLogPage*>(), "Refresh");
    case Serial: return click(w.findChild<SPTestPage*>(), "btnOpen");
    case Console:
        pressStatusLabel(&w, MainWindow::kUnlockPresses);
        child<QLineEdit>(w.findChild<PageRoot*>(), "leCmd")->setText(QStringLiteral("ver"));
        return QTest::keyClick(child<QLineEdit>(w.findChild<PageRoot*>(), "leCmd"), Qt::Key_Return);
    case Program: child<QLineEdit>(programming, "leFile")->setText(image); return click(programming, "btnProgramming");
    case Reboot:
        // No (the default, also what Escape gives) sends nothing; then OK.
        w.findChild<QAction*>(QStringLiteral("actionReboot"))->trigger();
        boxes->answerNext(QMessageBox::Ok);
        return w.findChild<QAction*>(QStringLiteral("actionReboot"))->trigger();
    }
}

QString shown(MainWindow& w, Ask what, const BoxRecorder& boxes)
{
    switch (what) {
    case Version: return child<QLabel>(w.findChild<ProgrammingPage*>(), "labelVersion")->text();
    case Ports: return child<QLineEdit>(w.findChild<SettingsPage*>(), "lePortHTTPS")->text();
    case Params: {
        auto* table = child<QTableWidget>(w.findChild<FixedParamPage*>(), "tableWidgetParam");
        return table->rowCount() > 0 ? table->item(0, 0)->text() : QString();
    }
    case Logs: return child<QComboBox>(w.findChild<DisplayLogPage*>(), "comboBoxLogType")->itemText(0);
    case Serial: return child<QPushButton>(w.findChild<SPTestPage*>(), "btnOpen")->text();
    case Console: {
        auto* console = child<QTextBrowser>(w.findChild<PageRoot*>(), "textBrowserCmd");
        return console->document()->lastBlock().previous().text();
    }
    case Reboot: // a rebooting card drops the connection: shown without a box
        return boxes.texts().join('|') + '|' + QString::number(boxes.boxes.first().defaultButton) + '|'
            + child<QLabel>(&w, "statusLabel")->text();
    case Date:
    case Program: return boxes.texts().join(QLatin1Char('|'));
    }
    return QString();
}

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_oldCwd;
    int m_case = 0;
    QString address(int card = 1) const { return TestAddresses::card(kArea, m_case, card); }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_oldCwd = QDir::currentPath();
        QDir::setCurrent(m_dir->path());
        QDir().mkpath(QStringLiteral("config"));
        ++m_case;
    }

    void cleanup()
    {
        QDir::setCurrent(m_oldCwd);
        m_dir.reset();
    }

    void connectRefused_data()
    {
        QTest::addColumn<QString>("typed"); // "card": an address where nothing listens
        QTest::addColumn<QString>("message"); // the box's text, up to the link's reason
        QTest::newRow("empty") << QString() << "Device IP Address could not be null!";
        QTest::newRow("incomplete") << "192.168.1"
                                    << "Device IP Address format error!";
        QTest::newRow("nothing listens") << "card"
                                         << "Connect to device failed, ";
    }

    void connectRefused()
    {
        QFETCH(QString, typed);
        QFETCH(QString, message);
        BoxRecorder boxes;
        MainWindow w;
        w.show();
        QTest::keyClicks(child<QLineEdit>(&w, "ipEdit"), typed == QLatin1String("card") ? address() : typed);
        connectTo(w, QString());
        QVERIFY(boxes.boxes.size() == 1 && boxes.last()->title == QStringLiteral("Tip"));
        QVERIFY2(
            boxes.last()->text.startsWith(message) && boxes.last()->text.endsWith('!'), qPrintable(boxes.last()->text));
        QCOMPARE(child<QPushButton>(&w, "connectButton")->text(), QStringLiteral("Connect"));
        QVERIFY(!QFile::exists(QStringLiteral("config/completer.dat")));
    }

    void historyOncePerAddress()
    {
        // A record of 16 bytes per address; a partial record at the end is read too.
        QFile f(QStringLiteral("config/completer.dat"));
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(QByteArray("10.1.2.3") + QByteArray(8, '\0') + "1.2.") == 20);
        f.close();
        BoxRecorder boxes;
        const QString first = address(1), second = address(2);
        SimulatorFixture sim({ QStringLiteral("--listen"), first + QLatin1Char(',') + second });
        QVERIFY(sim.start());
        {
            MainWindow w;
            auto* ip = child<QLineEdit>(&w, "ipEdit");
            auto* model = static_cast<QStringListModel*>(ip->completer()->model());
            QCOMPARE(model->stringList(), (QStringList { "10.1.2.3", "1.2." }));
            // Clear history empties the file and the completer, not the field.
            ip->setText(QStringLiteral("10.1.2.3"));
            click(&w, "clearHistoryButton");
            QCOMPARE(QFileInfo(f).size(), 0);
            QVERIFY(model->stringList().isEmpty());
            QCOMPARE(ip->text(), QStringLiteral("10.1.2.3"));
            for (const QString& address : { first, first, second }) {
                connectTo(w, address);
                QCOMPARE(child<QLabel>(&w, "statusLabel")->text(),
                    QStringLiteral("<font color=#00FF00>Connected to device"));
                connectTo(w, QString());
                QTRY_VERIFY(!ip->isReadOnly());
            }
            QCOMPARE(model->stringList(), (QStringList { first, second }));
        }
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), first.toLatin1().leftJustified(16, '\0') + second.toLatin1().leftJustified(16, '\0'));
        QVERIFY(boxes.boxes.isEmpty());
    }

    // Through the window's own wiring: each page's button reaches the card, and
    // the card's reply reaches the page (and the link's notices their boxes).
    void everyPageReachesTheCard_data()
    {
        QTest::addColumn<int>("what");
        QTest::addColumn<QStringList>("card");
        QTest::addColumn<int>("sent"); // the code the card must have received
        QTest::addColumn<QString>("shown");
        QTest::newRow("programming") << int(Version) << QStringList() << 1 << "v1.3.0 20261201";
        QTest::newRow("settings") << int(Ports) << QStringList() << 16 << "443";
        QTest::newRow("settings, date") << int(Date) << QStringList() << 7 << "Set device's date success!";
        QTest::newRow("fixed parameters") << int(Params) << QStringList() << 14 << "devserial";
        QTest::newRow("device log") << int(Logs) << QStringList() << 8 << "system.log";
        QTest::newRow("serial port test") << int(Serial) << QStringList() << 11 << "Disconnect";
        QTest::newRow("console, once unlocked") << int(Console) << QStringList() << 18 << "Recv: v1.3.0 20261201";
        QTest::newRow("programming, the card drops the link")
            << int(Program) << args("--prog-close-at-chunk 2") << 257 << "Programming failed!";
        QTest::newRow("reboot") << int(Reboot) << QStringList() << 2
                                << QString("Are you sure to reboot device?|Are you sure to reboot device?|%1|"
                                           "<font color=#FF0000>Disconnect with device")
                                       .arg(int(QMessageBox::No));
    }

    void everyPageReachesTheCard()
    {
        QFETCH(int, what);
        QFETCH(QStringList, card);
        QFETCH(int, sent);
        QFETCH(QString, shown);
        SimulatorFixture sim(
            QStringList { "--listen", address(), "--prog-store", m_dir->filePath(QStringLiteral("flash.bin")) } + card);
        QVERIFY(sim.start());
        const QString image = m_dir->filePath(QStringLiteral("image.bin"));
        QFile file(image);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(QByteArray(5000, 'x')) == 5000);
        file.close();
        BoxRecorder boxes;
        MainWindow w;
        connectTo(w, address());
        ask(w, Ask(what), image, &boxes);
        QTRY_VERIFY(!sim.frames(QStringLiteral("in"), sent).isEmpty());
        QTRY_COMPARE(::shown(w, Ask(what), boxes), shown);
        if (what == Reboot) { // sent once, and the same link serves the next connection
            QCOMPARE(sim.frames(QStringLiteral("in"), sent).size(), 1);
            connectTo(w, QString());
            QCOMPARE(child<QPushButton>(&w, "connectButton")->text(), QStringLiteral("Disconnect"));
        }
    }

    void pagesForgetTheCardWithTheLink()
    {
        SimulatorFixture sim(QStringList { "--listen", address(), "--log-rate-ms", "20" });
        QVERIFY(sim.start());
        BoxRecorder boxes;
        MainWindow w;
        auto* fixed = w.findChild<FixedParamPage*>();
        auto* log = w.findChild<DisplayLogPage*>();
        auto* serial = w.findChild<SPTestPage*>();
        auto* port = child<QLineEdit>(w.findChild<SettingsPage*>(), "lePortSSH");
        auto* params = child<QTableWidget>(fixed, "tableWidgetParam");
        auto* logText = child<QTextEdit>(log, "textLog");
        auto* logTypes = child<QComboBox>(log, "comboBoxLogType");
        connectTo(w, address());
        QVERIFY(child<QLineEdit>(&w, "ipEdit")->isReadOnly()); // it names the card the pages talk to
        ask(w, Ports, QString());
        ask(w, Params, QString());
        ask(w, Logs, QString());
        QTRY_VERIFY(logTypes->count() > 0);
        click(log, "btnOpen");
        ask(w, Serial, QString());
        QTRY_VERIFY(!port->text().isEmpty() && params->rowCount() > 0 && !logText->toPlainText().isEmpty()
            && serial->isPortOpen());
        click(fixed, "btnAdd"); // a row of the technician's own stays
        params->item(params->rowCount() - 1, 0)->setText(QStringLiteral("site"));

        connectTo(w, QString());
        QTRY_VERIFY(!child<QLineEdit>(&w, "ipEdit")->isReadOnly());
        QVERIFY(port->text().isEmpty() && logText->toPlainText().isEmpty() && logTypes->count() == 0);
        QCOMPARE(params->rowCount(), 1);
        QCOMPARE(params->item(0, 0)->text(), QStringLiteral("site"));
        QVERIFY(!log->isLogOpen() && !serial->isPortOpen());
    }

    // A request made while no card is connected never went out: the next card's
    // unasked reply of its code changes nothing and opens no box.
    void requestsMadeWithNoCardAreNotAwaited()
    {
        SimulatorFixture sim(args("--flood 11 --flood-data 01 --flood-count 1 --listen") << address());
        QVERIFY(sim.start());
        BoxRecorder boxes;
        MainWindow w;
        ask(w, Serial, QString());
        QCOMPARE(boxes.texts(), QStringList { QStringLiteral("Device not connected!") });
        connectTo(w, address());
        QTRY_VERIFY(!sim.events(QStringLiteral("flood-end")).isEmpty());
        // A reply asked for after it comes behind it on the stream.
        ask(w, Ports, QString());
        QTRY_VERIFY(!::shown(w, Ports, boxes).isEmpty());
        QCOMPARE(boxes.texts(), (QStringList { "Device not connected!", "Read data finished!" }));
        QCOMPARE(::shown(w, Serial, boxes), QStringLiteral("Connect"));
    }

    void unlockNeedsFivePressesInFiveSeconds()
    {
        MainWindow w;
        w.show();
        auto* list = child<QListWidget>(&w, "pageList");
        pressStatusLabel(&w, 4);
        // A coarse timer may fire up to 5 % late; presses of two windows do not add up.
        QTest::qWait(MainWindow::kUnlockWindowMs * 11 / 10 + 100);
        pressStatusLabel(&w, 4);
        QCOMPARE(list->count(), 6);
        pressStatusLabel(&w, 1);
        QCOMPARE(list->count(), 7);
        QCOMPARE(list->item(6)->text(), QStringLiteral("root"));
        pressStatusLabel(&w, 10);
        QCOMPARE(child<QStackedWidget>(&w, "stackWidget")->count(), 7);
    }

    void settingsKeysWrittenAndReadBack()
    {
        BoxRecorder boxes;
        const QFont before = QApplication::font();
        {
            MainWindow w;
            w.show();
            QVERIFY(QTest::qWaitForWindowExposed(&w));
            w.resize(900, 640);
            QTRY_COMPARE(w.size(), QSize(900, 640));
            QFont chosen(QStringLiteral("DejaVu Serif"), 13);
            chosen.setWeight(QFont::DemiBold); // above Medium: stored as bold
            chosen.setItalic(true);
            boxes.answerDialog(chosen);
            w.findChild<QAction*>(QStringLiteral("actionFont"))->trigger();
        }
        QSettings s(QStringLiteral("config/settings.ini"), QSettings::IniFormat);
        QCOMPARE((QStringList { s.value("screen/width").toString(), s.value("Font/family").toString(),
                     s.value("Font/bold").toString() }),
            (QStringList { "900", "DejaVu Serif", "true" }));
        QApplication::setFont(before);
        {
            MainWindow w;
            QCOMPARE(w.size(), QSize(900, 640));
            const QFont f = QApplication::font();
            QVERIFY(f.pointSize() == 13 && f.weight() == QFont::Bold && f.italic());
        }
        QApplication::setFont(before);
    }

    // The one retranslation test: every page, the menus and the status in both
    // languages, switched at run time with every page alive.
    void startInChineseAndSwitchBackAndForth()
    {
        QDir().mkpath(QStringLiteral("translations"));
        QVERIFY(QFile::copy(QStringLiteral(NETQUILL_QM_DIR "/zh.qm"), QStringLiteral("translations/zh.qm")));
        QSettings settings(QString::fromLatin1(MainWindow::kSettingsFile), QSettings::IniFormat);
        settings.setValue(QStringLiteral("language"), QStringLiteral("Chinese"));
        BoxRecorder boxes;
        QTranslator translator;
        QCOMPARE(StartUp::applyLanguage(settings, translator), 1);
        MainWindow w;
        w.setTranslator(&translator, 1);
        pressStatusLabel(&w, MainWindow::kUnlockPresses);
        auto* stack = child<QStackedWidget>(&w, "stackWidget");
        auto* types = child<QComboBox>(stack->widget(0), "comboBoxProgType");
        QCOMPARE(types->count(), 4);
        // One text of every page, the first menu, the status.
        const QStringList english { "Choose", "Sync date", "Backup", "Refresh log file", "Buad Rate:", "Refresh",
            "Send", "Tool", "<font color=#FF0000>Disconnect with device" };
        const QStringList chinese { "选择", "同步日期", "备份", "刷新日志文件", "波特率：", "刷新", "发送", "工具",
            "<font color=#FF0000>未连接设备" };
        auto expect = [&](const QStringList& texts) {
            for (int page = 0; page < 7; ++page) {
                QStringList shown;
                for (auto* b : stack->widget(page)->findChildren<QAbstractButton*>())
                    shown << b->text();
                for (auto* l : stack->widget(page)->findChildren<QLabel*>())
                    shown << l->text();
                QVERIFY2(shown.contains(texts.at(page)), qPrintable(texts.at(page)));
            }
            QCOMPARE(w.menuBar()->actions().first()->text(), texts.at(7));
            QCOMPARE(child<QLabel>(&w, "statusLabel")->text(), texts.at(8));
        };
        expect(chinese);
        w.findChild<QAction*>(QStringLiteral("actionEnglish"))->trigger();
        QCoreApplication::processEvents(); // the pages hear of it through a posted event
        expect(english);
        QCOMPARE(types->count(), 3); // rebuilt without "root"
        const auto stored = [] {
            return QSettings(QString::fromLatin1(MainWindow::kSettingsFile), QSettings::IniFormat).value("language");
        };
        QCOMPARE(stored(), QVariant(QString()));
        w.findChild<QAction*>(QStringLiteral("actionChinese"))->trigger();
        QCoreApplication::processEvents();
        expect(chinese);
        QCOMPARE(stored(), QVariant("Chinese"));
        QVERIFY(boxes.boxes.isEmpty());
        QCoreApplication::removeTranslator(&translator);
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"

// The main window with its real widgets (offscreen), its files in a
// temporary working directory and the card simulator on loopback.

#include "mainwindow/mainwindow.h"
#include "pages/displaylogpage.h"
#include "pages/fixedparampage.h"
#include "pages/pageroot.h"
#include "pages/settingspage.h"
#include "pages/sptestpage.h"
#include "platform/version.h"
#include "programming/programmingpage.h"
#include "support/boxrecorder.h"
#include "support/simulatorfixture.h"
#include "support/testaddresses.h"

#include "card.h"
#include "cardsession.h"

#include <QAction>
#include <QComboBox>
#include <QCompleter>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSettings>
#include <QStackedWidget>
#include <QStringListModel>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextCodec>
#include <QTextEdit>
#include <QtTest>

namespace {

constexpr int kArea = 11;

template <typename T> T* child(QWidget* window, const char* name)
{
    T* w = window->findChild<T*>(QString::fromLatin1(name));
    if (!w)
        qFatal("no child %s", name);
    return w;
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void click(QWidget* page, const char* button)
{
    child<QPushButton>(page, button)->click();
}

void pressStatusLabel(QWidget* window, int times)
{
    auto* label = child<QLabel>(window, "statusLabel");
    for (int i = 0; i < times; ++i)
        QTest::mouseClick(label, Qt::LeftButton);
}

// What the technician does on one page of the window, and what the page
// shows for it.
enum Ask {
    ReadVersion,
    ReadPorts,
    ReadFixedParams,
    RefreshLogs,
    OpenSerialPort,
    ConsoleVer,
    Program, // a 5000-byte image
    ProgramThenOverlongConsoleLine, // a console line too long for one frame, while the run waits
};

// Unlocks the console page, if need be, and sends a line from it.
void console(MainWindow& w, const QString& text)
{
    if (!w.findChild<PageRoot*>())
        pressStatusLabel(&w, MainWindow::kUnlockPresses);
    auto* line = child<QLineEdit>(w.findChild<PageRoot*>(), "leCmd");
    line->setText(text);
    QTest::keyClick(line, Qt::Key_Return);
}

void ask(MainWindow& w, Ask what, const QString& image)
{
    auto* programming = w.findChild<ProgrammingPage*>();
    if (what == ReadVersion || what == Program || what == ProgramThenOverlongConsoleLine)
        child<QComboBox>(programming, "comboBoxProgType")->setCurrentIndex(1);
    switch (what) {
    case ReadVersion: click(programming, "btnRead"); return;
    case ReadPorts: click(w.findChild<SettingsPage*>(), "btnRead"); return;
    case ReadFixedParams: click(w.findChild<FixedParamPage*>(), "btnRead"); return;
    case RefreshLogs: click(w.findChild<DisplayLogPage*>(), "Refresh"); return;
    case OpenSerialPort: click(w.findChild<SPTestPage*>(), "btnOpen"); return;
    case ConsoleVer: console(w, QStringLiteral("ver")); return;
    case Program:
    case ProgramThenOverlongConsoleLine:
        child<QLineEdit>(programming, "leFile")->setText(image);
        click(programming, "btnProgramming");
        return;
    }
}

QString shown(MainWindow& w, Ask what, const BoxRecorder& boxes)
{
    switch (what) {
    case ReadVersion: return child<QLabel>(w.findChild<ProgrammingPage*>(), "labelVersion")->text();
    case ReadPorts: return child<QLineEdit>(w.findChild<SettingsPage*>(), "lePortHTTPS")->text();
    case ReadFixedParams: {
        auto* table = child<QTableWidget>(w.findChild<FixedParamPage*>(), "tableWidgetParam");
        return table->rowCount() > 0 ? table->item(0, 0)->text() : QString();
    }
    case RefreshLogs: return child<QComboBox>(w.findChild<DisplayLogPage*>(), "comboBoxLogType")->itemText(0);
    case OpenSerialPort: return child<QPushButton>(w.findChild<SPTestPage*>(), "btnOpen")->text();
    case ConsoleVer: {
        const QTextDocument* doc = child<QTextBrowser>(w.findChild<PageRoot*>(), "textBrowserCmd")->document();
        return doc->lastBlock().previous().text();
    }
    case Program:
    case ProgramThenOverlongConsoleLine: return boxes.texts().join(QLatin1Char('|'));
    }
    return QString();
}

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void connectRefused_data();
    void connectRefused();
    void fieldRefusesWhatCannotBeAnAddress_data();
    void fieldRefusesWhatCannotBeAnAddress();
    void connectWritesHistoryOnce();
    void everyPageReachesTheCard_data();
    void everyPageReachesTheCard();
    void pagesForgetTheCardWithTheLink();
    void requestsMadeWithNoCardAreNotAwaited_data();
    void requestsMadeWithNoCardAreNotAwaited();
    void historyFileReadsPartialRecordAndClears();
    void rebootAsksAndSendsCodeTwo();
    void unlockNeedsFivePressesInFiveSeconds();
    void settingsKeysWrittenAndReadBack();
    void languageChoiceIsStored();
    void aboutBoxNamesVersionAndBuild();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_oldCwd;
    int m_case = 0;
};

void TestMainWindow::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_oldCwd = QDir::currentPath();
    QDir::setCurrent(m_dir->path());
    ++m_case;
}

void TestMainWindow::cleanup()
{
    QDir::setCurrent(m_oldCwd);
    m_dir.reset();
}

void TestMainWindow::connectRefused_data()
{
    QTest::addColumn<QString>("text"); // "card": an address where nothing listens
    QTest::addColumn<QString>("message"); // the box's text, up to the link's reason
    QTest::newRow("empty") << QString() << QStringLiteral("Device IP Address could not be null!");
    QTest::newRow("incomplete") << QStringLiteral("192.168.1") << QStringLiteral("Device IP Address format error!");
    QTest::newRow("nothing listens") << QStringLiteral("card") << QStringLiteral("Connect to device failed, ");
}

void TestMainWindow::connectRefused()
{
    QFETCH(QString, text);
    QFETCH(QString, message);
    BoxRecorder boxes;
    MainWindow w;
    auto* button = child<QPushButton>(&w, "connectButton");
    child<QLineEdit>(&w, "ipEdit")->setText(text == QLatin1String("card") ? TestAddresses::card(kArea, m_case) : text);
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(boxes.boxes.size(), 1);
    QCOMPARE(boxes.last()->title, QStringLiteral("Tip"));
    QCOMPARE(boxes.last()->icon, QMessageBox::Information);
    QVERIFY2(boxes.last()->text.startsWith(message) && boxes.last()->text.endsWith(QLatin1Char('!')),
        qPrintable(boxes.last()->text));
    QVERIFY(button->isEnabled());
    QCOMPARE(button->text(), QStringLiteral("Connect"));
    QVERIFY(!QFile::exists(QStringLiteral("config/completer.dat")));
}

void TestMainWindow::fieldRefusesWhatCannotBeAnAddress_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::newRow("letters") << QStringLiteral("abc") << QString();
    QTest::newRow("above 255") << QStringLiteral("256") << QStringLiteral("25");
    QTest::newRow("a whole address") << QStringLiteral("10.0.0.255") << QStringLiteral("10.0.0.255");
}

void TestMainWindow::fieldRefusesWhatCannotBeAnAddress()
{
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    MainWindow w;
    w.show();
    auto* edit = child<QLineEdit>(&w, "ipEdit");
    QCOMPARE(child<QLabel>(&w, "ipLabel")->buddy(), edit);
    QTest::keyClicks(edit, typed);
    QCOMPARE(edit->text(), shown);
}

void TestMainWindow::connectWritesHistoryOnce()
{
    BoxRecorder boxes;
    const QString first = TestAddresses::card(kArea, m_case, 1);
    const QString second = TestAddresses::card(kArea, m_case, 2);
    SimulatorFixture sim({ QStringLiteral("--listen"), first + QLatin1Char(',') + second });
    QVERIFY(sim.start());
    MainWindow w;
    auto* edit = child<QLineEdit>(&w, "ipEdit");
    auto* button = child<QPushButton>(&w, "connectButton");
    auto* status = child<QLabel>(&w, "statusLabel");

    for (const QString& address : { first, first, second }) {
        edit->setText(address);
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(button->text(), QStringLiteral("Disconnect"));
        QCOMPARE(status->text(), QStringLiteral("<font color=#00FF00>Connected to device"));
        QTest::mouseClick(button, Qt::LeftButton);
        QTRY_COMPARE(button->text(), QStringLiteral("Connect"));
    }
    QVERIFY(boxes.boxes.isEmpty());

    QByteArray expected = first.toLatin1();
    expected.append(QByteArray(16 - first.size(), '\0'));
    expected.append(second.toLatin1());
    expected.append(QByteArray(16 - second.size(), '\0'));
    QCOMPARE(readFile(QStringLiteral("config/completer.dat")), expected);
    QCOMPARE(static_cast<QStringListModel*>(edit->completer()->model())->stringList(), (QStringList { first, second }));
}

// Through the window's own wiring: each page's button reaches the card, and
// the card's reply reaches the page.
void TestMainWindow::everyPageReachesTheCard_data()
{
    QTest::addColumn<int>("what");
    QTest::addColumn<QStringList>("card");
    QTest::addColumn<int>("sent"); // the code the card must have received
    QTest::addColumn<QString>("shown");
    QTest::newRow("programming") << int(ReadVersion) << QStringList() << 1 << "v1.3.0 20261201";
    QTest::newRow("settings") << int(ReadPorts) << QStringList() << 16 << "443";
    QTest::newRow("fixed parameters") << int(ReadFixedParams) << QStringList() << 14 << "devserial";
    QTest::newRow("device log") << int(RefreshLogs) << QStringList() << 8 << "system.log";
    QTest::newRow("serial port test") << int(OpenSerialPort) << QStringList() << 11 << "Disconnect";
    QTest::newRow("console, once unlocked") << int(ConsoleVer) << QStringList() << 18 << "Recv: v1.3.0 20261201";
    QTest::newRow("programming, the card drops the link")
        << int(Program) << QStringList { "--prog-close-at-chunk", "2" } << 257 << "Programming failed!";
    QTest::newRow("programming, a send fails")
        << int(ProgramThenOverlongConsoleLine) << QStringList { "--prog-silent-from", "1" } << 257
        << "Programming failed!|Send command failed!";
}

void TestMainWindow::everyPageReachesTheCard()
{
    QFETCH(int, what);
    QFETCH(QStringList, card);
    QFETCH(int, sent);
    QFETCH(QString, shown);
    const QString address = TestAddresses::card(kArea, m_case);
    SimulatorFixture sim(QStringList { QStringLiteral("--listen"), address, QStringLiteral("--prog-store"),
                             m_dir->filePath(QStringLiteral("flash.bin")) }
        + card);
    QVERIFY(sim.start());
    const QString image = m_dir->filePath(QStringLiteral("image.bin"));
    QFile file(image);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(QByteArray(5000, 'x')) == 5000);
    file.close();
    // A console line in UTF-8 that no frame can hold.
    QTextCodec* locale = QTextCodec::codecForLocale();
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF-8"));
    BoxRecorder boxes;
    MainWindow w;
    child<QLineEdit>(&w, "ipEdit")->setText(address);
    QTest::mouseClick(child<QPushButton>(&w, "connectButton"), Qt::LeftButton);
    ask(w, Ask(what), image);
    QTRY_VERIFY(!sim.frames(QStringLiteral("in"), sent).isEmpty());
    if (what == ProgramThenOverlongConsoleLine)
        console(w, QString(30000, QChar(0x4e2d)));
    QTRY_COMPARE(::shown(w, Ask(what), boxes), shown);
    QTextCodec::setCodecForLocale(locale);
}

void TestMainWindow::pagesForgetTheCardWithTheLink()
{
    const QString address = TestAddresses::card(kArea, m_case);
    SimulatorFixture sim(
        { QStringLiteral("--listen"), address, QStringLiteral("--log-rate-ms"), QStringLiteral("20") });
    QVERIFY(sim.start());
    BoxRecorder boxes;
    MainWindow w;
    auto* edit = child<QLineEdit>(&w, "ipEdit");
    auto* button = child<QPushButton>(&w, "connectButton");
    auto* settings = w.findChild<SettingsPage*>();
    auto* fixed = w.findChild<FixedParamPage*>();
    auto* log = w.findChild<DisplayLogPage*>();
    auto* serial = w.findChild<SPTestPage*>();
    auto* port = child<QLineEdit>(settings, "lePortSSH");
    auto* date = child<QLineEdit>(settings, "leDate");
    auto* params = child<QTableWidget>(fixed, "tableWidgetParam");
    auto* logNames = child<QComboBox>(log, "comboBoxLogType");
    auto* logText = child<QTextEdit>(log, "textLog");

    edit->setText(address);
    QTest::mouseClick(button, Qt::LeftButton);
    QVERIFY(edit->isReadOnly()); // it names the card the pages talk to
    click(settings, "btnRead");
    click(settings, "btnDeviceDate");
    click(fixed, "btnRead");
    click(log, "Refresh");
    QTRY_VERIFY(logNames->count() > 0);
    click(log, "btnOpen");
    click(serial, "btnOpen");
    QTRY_VERIFY(!port->text().isEmpty() && !date->text().isEmpty() && params->rowCount() > 0
        && !logText->toPlainText().isEmpty() && serial->isPortOpen());
    click(fixed, "btnAdd"); // a row of the technician's own stays
    params->item(params->rowCount() - 1, 0)->setText(QStringLiteral("site"));

    QTest::mouseClick(button, Qt::LeftButton);
    QTRY_COMPARE(button->text(), QStringLiteral("Connect"));
    QVERIFY(!edit->isReadOnly());
    QVERIFY(port->text().isEmpty() && date->text().isEmpty());
    QCOMPARE(params->rowCount(), 1);
    QCOMPARE(params->item(0, 0)->text(), QStringLiteral("site"));
    QCOMPARE(logNames->count(), 0);
    QVERIFY(logText->toPlainText().isEmpty());
    QVERIFY(!log->isLogOpen() && !serial->isPortOpen());
}

// A request made while no card is connected never went out: the next card's
// unasked reply of its code changes nothing and opens no box.
void TestMainWindow::requestsMadeWithNoCardAreNotAwaited_data()
{
    QTest::addColumn<int>("what");
    QTest::addColumn<QString>("unasked"); // the card's frame: code, then data in hex
    QTest::addColumn<QString>("shown");
    QTest::newRow("device log: an empty list") << int(RefreshLogs) << "8:" << QString();
    QTest::newRow("serial port test: port open") << int(OpenSerialPort) << "11:01"
                                                 << "Connect";
}

void TestMainWindow::requestsMadeWithNoCardAreNotAwaited()
{
    QFETCH(int, what);
    QFETCH(QString, unasked);
    QFETCH(QString, shown);
    const QString address = TestAddresses::card(kArea, m_case);
    SimulatorFixture sim({ QStringLiteral("--listen"), address, QStringLiteral("--flood"), unasked.section(':', 0, 0),
        QStringLiteral("--flood-data"), unasked.section(':', 1), QStringLiteral("--flood-count"),
        QStringLiteral("1") });
    QVERIFY(sim.start());
    BoxRecorder boxes;
    MainWindow w;
    ask(w, Ask(what), QString());
    QCOMPARE(boxes.texts(), QStringList { QStringLiteral("Device not connected!") });
    child<QLineEdit>(&w, "ipEdit")->setText(address);
    QTest::mouseClick(child<QPushButton>(&w, "connectButton"), Qt::LeftButton);
    QTRY_VERIFY(!sim.events(QStringLiteral("flood-end")).isEmpty());
    QTest::qWait(100);
    QCOMPARE(boxes.boxes.size(), 1);
    QCOMPARE(::shown(w, Ask(what), boxes), shown);
}

void TestMainWindow::historyFileReadsPartialRecordAndClears()
{
    QDir().mkpath(QStringLiteral("config"));
    QFile f(QStringLiteral("config/completer.dat"));
    QVERIFY(f.open(QIODevice::WriteOnly));
    QByteArray bytes("10.1.2.3");
    bytes.append(QByteArray(8, '\0'));
    bytes.append("1.2.");
    QCOMPARE(bytes.size(), 20);
    f.write(bytes);
    f.close();
    MainWindow w;
    auto* edit = child<QLineEdit>(&w, "ipEdit");
    auto* model = static_cast<QStringListModel*>(edit->completer()->model());
    QCOMPARE(model->stringList(), (QStringList { QStringLiteral("10.1.2.3"), QStringLiteral("1.2.") }));

    // Clear history empties the file and the completer, not the field.
    edit->setText(QStringLiteral("10.1.2.3"));
    QTest::mouseClick(child<QPushButton>(&w, "clearHistoryButton"), Qt::LeftButton);
    QCOMPARE(QFileInfo(QStringLiteral("config/completer.dat")).size(), 0);
    QVERIFY(model->stringList().isEmpty());
    QCOMPARE(edit->text(), QStringLiteral("10.1.2.3"));
}

void TestMainWindow::rebootAsksAndSendsCodeTwo()
{
    const QString address = TestAddresses::card(kArea, m_case);
    SimulatorFixture sim({ QStringLiteral("--listen"), address });
    QVERIFY(sim.start());
    BoxRecorder boxes;
    MainWindow w;
    auto* reboot = w.findChild<QAction*>(QStringLiteral("actionReboot"));
    auto* button = child<QPushButton>(&w, "connectButton");
    child<QLineEdit>(&w, "ipEdit")->setText(address);
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(button->text(), QStringLiteral("Disconnect"));

    // No (the default, also what Escape gives) sends nothing.
    reboot->trigger();
    QCOMPARE(boxes.texts(), QStringList { QStringLiteral("Are you sure to reboot device?") });
    QCOMPARE(boxes.last()->title, QStringLiteral("Warning"));
    QCOMPARE(boxes.last()->standardButtons, QMessageBox::Ok | QMessageBox::No);
    QCOMPARE(boxes.last()->defaultButton, QMessageBox::No);
    QCOMPARE(boxes.last()->parent, &w);
    QTest::qWait(50);
    QVERIFY(sim.frames(QStringLiteral("in"), 2).isEmpty());

    // OK: the card gets code 2 and drops the connection, as a rebooting card
    // does; the window shows it without a box.
    boxes.answerNext(QMessageBox::Ok);
    reboot->trigger();
    QTRY_COMPARE(sim.frames(QStringLiteral("in"), 2).size(), 1);
    QTRY_COMPARE(button->text(), QStringLiteral("Connect"));
    QCOMPARE(child<QLabel>(&w, "statusLabel")->text(), QStringLiteral("<font color=#FF0000>Disconnect with device"));
    QCOMPARE(boxes.count(QStringLiteral("Are you sure to reboot device?")), 2);
    QCOMPARE(boxes.boxes.size(), 2);

    // Connect again at once: the same link serves the next connection.
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(button->text(), QStringLiteral("Disconnect"));
}

void TestMainWindow::unlockNeedsFivePressesInFiveSeconds()
{
    MainWindow w;
    w.show();
    auto* list = child<QListWidget>(&w, "pageList");
    auto* stack = child<QStackedWidget>(&w, "stackWidget");

    pressStatusLabel(&w, 4);
    // A coarse timer may fire up to 5 % late.
    QTest::qWait(MainWindow::kUnlockWindowMs * 11 / 10 + 100);
    pressStatusLabel(&w, 4);
    QCOMPARE(list->count(), 6);
    QCOMPARE(stack->count(), 6);

    pressStatusLabel(&w, 1); // the fifth press of the second window
    QCOMPARE(list->count(), 7);
    QCOMPARE(stack->count(), 7);
    QCOMPARE(list->item(6)->text(), QStringLiteral("root"));
    QCOMPARE(stack->widget(6)->metaObject()->className(), "PageRoot");

    pressStatusLabel(&w, 10);
    QCOMPARE(list->count(), 7);
    QCOMPARE(stack->count(), 7);
    list->setCurrentRow(6);
    QCOMPARE(stack->currentIndex(), 6);
}

void TestMainWindow::settingsKeysWrittenAndReadBack()
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
        chosen.setWeight(QFont::DemiBold);
        chosen.setItalic(true);
        boxes.answerDialog(chosen);
        w.findChild<QAction*>(QStringLiteral("actionFont"))->trigger();
        QCOMPARE(boxes.dialogs.size(), 1);
        QCOMPARE(boxes.dialogs.first().kind, DialogPrompt::Kind::Font);
        QCOMPARE(QApplication::font().pointSize(), 13);
    }
    {
        QSettings s(QStringLiteral("config/settings.ini"), QSettings::IniFormat);
        QCOMPARE(s.value(QStringLiteral("screen/width")).toInt(), 900);
        QCOMPARE(s.value(QStringLiteral("screen/height")).toInt(), 640);
        QCOMPARE(s.value(QStringLiteral("Font/size")).toInt(), 13);
        QCOMPARE(s.value(QStringLiteral("Font/family")).toString(), QStringLiteral("DejaVu Serif"));
        QCOMPARE(s.value(QStringLiteral("Font/bold")).toBool(), true); // DemiBold is above Medium
        QCOMPARE(s.value(QStringLiteral("Font/italic")).toBool(), true);
    }
    QApplication::setFont(before);
    {
        MainWindow w;
        QCOMPARE(w.size(), QSize(900, 640));
        QCOMPARE(QApplication::font().pointSize(), 13);
        QCOMPARE(QApplication::font().weight(), int(QFont::Bold));
        QVERIFY(QApplication::font().italic());
    }
    QApplication::setFont(before);
}

void TestMainWindow::languageChoiceIsStored()
{
    QTranslator translator;
    MainWindow w;
    w.setTranslator(&translator, 0);
    auto* english = w.findChild<QAction*>(QStringLiteral("actionEnglish"));
    auto* chinese = w.findChild<QAction*>(QStringLiteral("actionChinese"));
    QVERIFY(english->isChecked());
    // No catalogue in this working directory: the choice is stored and
    // ticked, the texts stay English.
    chinese->trigger();
    QVERIFY(chinese->isChecked());
    QCOMPARE(QSettings(QStringLiteral("config/settings.ini"), QSettings::IniFormat)
                 .value(QStringLiteral("language"))
                 .toString(),
        QStringLiteral("Chinese"));
    QCOMPARE(w.windowTitle(), QStringLiteral("Netquill"));
    english->trigger();
    QVERIFY(english->isChecked());
    const QSettings s(QStringLiteral("config/settings.ini"), QSettings::IniFormat);
    QVERIFY(s.contains(QStringLiteral("language")));
    QCOMPARE(s.value(QStringLiteral("language")).toString(), QString());
}

void TestMainWindow::aboutBoxNamesVersionAndBuild()
{
    BoxRecorder boxes;
    MainWindow w;
    w.findChild<QAction*>(QStringLiteral("actionAbout"))->trigger();
    QCOMPARE(boxes.boxes.size(), 1);
    const MessageBox::Box& box = boxes.boxes.first();
    QCOMPARE(box.title, QStringLiteral("About Netquill"));
    QVERIFY(!box.parent);
    QVERIFY(box.text.startsWith(
        QStringLiteral("<html><span style=\"font-weight:bold; font-size:16px\">Netquill v" NETQUILL_VERSION
                       "</span><br><br>Built on ")));
    const QRegularExpression stamp(
        QStringLiteral("Built on [A-Z][a-z]{2} [ 0-9]\\d \\d{4} \\d{2}:\\d{2}:\\d{2}<br><br>This software is used for "
                       "device programming and settings.</html>$"));
    QVERIFY2(stamp.match(box.text).hasMatch(), qPrintable(box.text));
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"

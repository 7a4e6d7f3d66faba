// The interface language: a start in Chinese with the compiled catalogue,
// switching at run time with every page alive, and the start-up rules for
// the language key of config/settings.ini.

#include "app/startup.h"
#include "mainwindow/mainwindow.h"
#include "support/boxrecorder.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QSettings>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTranslator>
#include <QtTest>

namespace {

// Every text a page shows on its buttons, labels, group boxes and header.
QStringList textsOf(QWidget* page)
{
    QStringList texts;
    for (auto* b : page->findChildren<QAbstractButton*>())
        texts << b->text();
    for (auto* l : page->findChildren<QLabel*>())
        texts << l->text();
    for (auto* g : page->findChildren<QGroupBox*>())
        texts << g->title();
    for (auto* c : page->findChildren<QComboBox*>()) {
        for (int i = 0; i < c->count(); ++i)
            texts << c->itemText(i);
    }
    return texts;
}

QStringList menuTitles(QMainWindow& w)
{
    QStringList titles;
    for (QAction* a : w.menuBar()->actions())
        titles << a->text();
    return titles;
}

struct Sample {
    int page;
    QString english;
    QString chinese;
};

// One text of every page, in both languages.
const QList<Sample> kSamples {
    { 0, QStringLiteral("Choose"), QStringLiteral("选择") },
    { 1, QStringLiteral("Sync date"), QStringLiteral("同步日期") },
    { 2, QStringLiteral("Backup"), QStringLiteral("备份") },
    { 3, QStringLiteral("Refresh log file"), QStringLiteral("刷新日志文件") },
    { 4, QStringLiteral("Buad Rate:"), QStringLiteral("波特率：") },
    { 5, QStringLiteral("Refresh"), QStringLiteral("刷新") },
    { 6, QStringLiteral("Send"), QStringLiteral("发送") },
};

} // namespace

class TestLanguage : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void startInChineseAndSwitchBackAndForth();
    void startRules_data();
    void startRules();

private:
    bool installCatalogue();
    void writeLanguage(const QVariant& value);
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_oldCwd;
};

void TestLanguage::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_oldCwd = QDir::currentPath();
    QDir::setCurrent(m_dir->path());
    QDir().mkpath(QStringLiteral("config"));
}

void TestLanguage::cleanup()
{
    QDir::setCurrent(m_oldCwd);
    m_dir.reset();
}

bool TestLanguage::installCatalogue()
{
    QDir().mkpath(QStringLiteral("translations"));
    return QFile::copy(QStringLiteral(NETQUILL_QM_DIR "/zh.qm"), QStringLiteral("translations/zh.qm"));
}

void TestLanguage::writeLanguage(const QVariant& value)
{
    QSettings s(QString::fromLatin1(MainWindow::kSettingsFile), QSettings::IniFormat);
    s.setValue(QStringLiteral("language"), value);
}

void TestLanguage::startInChineseAndSwitchBackAndForth()
{
    QVERIFY(installCatalogue());
    writeLanguage(QStringLiteral("Chinese"));

    BoxRecorder boxes;
    QSettings settings(QString::fromLatin1(MainWindow::kSettingsFile), QSettings::IniFormat);
    QTranslator translator;
    QCOMPARE(StartUp::applyLanguage(settings, translator), 1);
    MainWindow w;
    w.setTranslator(&translator, 1);
    w.show();
    auto* chinese = w.findChild<QAction*>(QStringLiteral("actionChinese"));
    auto* english = w.findChild<QAction*>(QStringLiteral("actionEnglish"));
    QVERIFY(chinese->isChecked());

    auto* list = w.findChild<QListWidget*>(QStringLiteral("pageList"));
    auto* stack = w.findChild<QStackedWidget*>(QStringLiteral("stackWidget"));
    // The console page too, so that every page is alive for the switch.
    auto* status = w.findChild<QLabel*>(QStringLiteral("statusLabel"));
    for (int i = 0; i < MainWindow::kUnlockPresses; ++i)
        QTest::mouseClick(status, Qt::LeftButton);
    QCOMPARE(stack->count(), 7);
    auto* types = stack->widget(0)->findChild<QComboBox*>(QStringLiteral("comboBoxProgType"));
    QVERIFY(types);
    QCOMPARE(types->count(), 4);

    auto expectChinese = [&] {
        QCOMPARE(
            menuTitles(w), (QStringList { QStringLiteral("工具"), QStringLiteral("窗口"), QStringLiteral("帮助") }));
        QCOMPARE(list->item(0)->text(), QStringLiteral("烧录"));
        QCOMPARE(list->item(5)->text(), QStringLiteral("设备搜索"));
        QCOMPARE(status->text(), QStringLiteral("<font color=#FF0000>未连接设备"));
        for (const Sample& s : kSamples)
            QVERIFY2(textsOf(stack->widget(s.page)).contains(s.chinese), qPrintable(s.chinese));
    };
    auto expectEnglish = [&] {
        QCOMPARE(
            menuTitles(w), (QStringList { QStringLiteral("Tool"), QStringLiteral("Window"), QStringLiteral("Help") }));
        QCOMPARE(list->item(0)->text(), QStringLiteral("Programming"));
        QCOMPARE(list->item(6)->text(), QStringLiteral("root"));
        QCOMPARE(status->text(), QStringLiteral("<font color=#FF0000>Disconnect with device"));
        for (const Sample& s : kSamples)
            QVERIFY2(textsOf(stack->widget(s.page)).contains(s.english), qPrintable(s.english));
    };
    expectChinese();

    english->trigger();
    // The pages hear of the change through the event the application posts.
    QCoreApplication::processEvents();
    QVERIFY(english->isChecked());
    expectEnglish();
    // A language change rebuilds the programming types without "root".
    QCOMPARE(types->count(), 3);

    chinese->trigger();
    QCoreApplication::processEvents();
    QVERIFY(chinese->isChecked());
    expectChinese();
    QCOMPARE(QSettings(QString::fromLatin1(MainWindow::kSettingsFile), QSettings::IniFormat)
                 .value(QStringLiteral("language"))
                 .toString(),
        QStringLiteral("Chinese"));
    QVERIFY(boxes.boxes.isEmpty());
    QCoreApplication::removeTranslator(&translator);
}

void TestLanguage::startRules_data()
{
    // A start in Chinese with the catalogue is the switching test's.
    QTest::addColumn<QVariant>("stored"); // invalid: no key
    QTest::addColumn<bool>("catalogue"); // translations/zh.qm present
    QTest::addColumn<bool>("chineseTicked");
    QTest::addColumn<QString>("afterwards"); // the key once the window is up
    QTest::newRow("first start") << QVariant() << true << false << QStringLiteral("English");
    QTest::newRow("empty means English") << QVariant(QString()) << true << false << QString();
    QTest::newRow("chinese in lower case")
        << QVariant(QStringLiteral("chinese")) << true << false << QStringLiteral("chinese");
    QTest::newRow("Chinese without catalogue")
        << QVariant(QStringLiteral("Chinese")) << false << true << QStringLiteral("Chinese");
}

void TestLanguage::startRules()
{
    // Each comes up in English, whichever language is ticked.
    QFETCH(QVariant, stored);
    QFETCH(bool, catalogue);
    QFETCH(bool, chineseTicked);
    QFETCH(QString, afterwards);
    if (catalogue)
        QVERIFY(installCatalogue());
    if (stored.isValid())
        writeLanguage(stored);
    QSettings settings(QString::fromLatin1(MainWindow::kSettingsFile), QSettings::IniFormat);
    QTranslator translator;
    const int index = StartUp::applyLanguage(settings, translator);
    QCOMPARE(index, chineseTicked ? 1 : 0);
    settings.sync();
    QCOMPARE(QSettings(QString::fromLatin1(MainWindow::kSettingsFile), QSettings::IniFormat)
                 .value(QStringLiteral("language"))
                 .toString(),
        afterwards);
    QVERIFY(translator.filePath().isEmpty());

    MainWindow w;
    w.setTranslator(&translator, index);
    QCOMPARE(w.findChild<QAction*>(QStringLiteral("actionChinese"))->isChecked(), chineseTicked);
    QCOMPARE(w.findChild<QAction*>(QStringLiteral("actionEnglish"))->isChecked(), !chineseTicked);
    QCOMPARE(menuTitles(w).first(), QStringLiteral("Tool"));
    QCOMPARE(w.findChild<QListWidget*>(QStringLiteral("pageList"))->item(0)->text(), QStringLiteral("Programming"));
    QVERIFY(!QCoreApplication::removeTranslator(&translator));
}

QTEST_MAIN(TestLanguage)
#include "tst_language.moc"

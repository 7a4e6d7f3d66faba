// The device log page on the wire: the real page, wired to a real command
// link, against a simulated card that lists log files and streams them.

#include "pages/displaylogpage.h"
#include "pagewire.h"
#include "support/testaddresses.h"

#include <QComboBox>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextEdit>

namespace {

constexpr int kArea = 41;

using Rig = PageOnWire<DisplayLogPage>;

QStringList offered(const QComboBox* combo)
{
    QStringList names;
    for (int i = 0; i < combo->count(); ++i)
        names.append(combo->itemText(i));
    return names;
}

QStringList paragraphs(const DisplayLogPage& page)
{
    const QTextDocument* doc = page.findChild<QTextEdit*>(QStringLiteral("textLog"))->document();
    QStringList result;
    if (doc->isEmpty())
        return result;
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next())
        result.append(b.text());
    return result;
}

void feed(DisplayLogPage& page, int cmd, const QByteArray& data)
{
    page.handleRespond(cmd, reinterpret_cast<const quint8*>(data.constData()), data.size());
}

QByteArray listOf(std::initializer_list<const char*> names)
{
    QByteArray data;
    for (const char* n : names)
        data.append(char(qstrlen(n))).append(n);
    return data;
}

} // namespace

class TestDisplayLogPage : public QObject {
    Q_OBJECT

private slots:
    void listOffersNamesInOrder();
    void repeatedNameOfferedOnce();
    void refreshTwiceGivesOneCopy();
    void widthRule_data();
    void widthRule();
    void emptyListInforms_data();
    void emptyListInforms();
    void openOnEmptyListWarns();
    void openFollowClose();
    void closeNamesTheOpenFile();
    void openRefusedByTheCard();
    void openReplyWithoutDataIsAFailure();
    void strayOpenReplyChangesNothing();
    void folderFilesStreamLineByLine();
    void paragraphCap();
    void clearKeepsStateAndList();
    void retranslationFollowsState();

private:
    int m_case = 0;
    QString nextAddress() { return TestAddresses::card(kArea, ++m_case); }
};

void TestDisplayLogPage::listOffersNamesInOrder()
{
    Rig rig(nextAddress(), &CommTcp::gotLogRespond, { QStringLiteral("--log-files"), QStringLiteral("alpha,sys") });
    QVERIFY(rig.start());
    auto* combo = rig.child<QComboBox>("comboBoxLogType");
    // Nothing is asked of the card when the page is built.
    QCOMPARE(combo->count(), 0);
    QCOMPARE(rig.child<QPushButton>("Refresh")->text(), QStringLiteral("Refresh log file"));
    QCOMPARE(rig.child<QPushButton>("btnClear")->text(), QStringLiteral("Clear"));
    QVERIFY(rig.child<QTextEdit>("textLog")->isReadOnly());
    rig.child<QPushButton>("Refresh")->click();
    QTRY_COMPARE(combo->count(), 2);
    QCOMPARE(offered(combo), (QStringList { "alpha", "sys" }));
    QCOMPARE(rig.in(8), QList<QByteArray> { QByteArray() });
    QCOMPARE(rig.out(8).first().toHex(' '), (hexBytes("05") + "alpha" + hexBytes("03") + "sys").toHex(' '));
    QVERIFY(rig.boxes.boxes.isEmpty());
}

void TestDisplayLogPage::repeatedNameOfferedOnce()
{
    Rig rig(nextAddress(), &CommTcp::gotLogRespond,
        { QStringLiteral("--log-files"), QStringLiteral("a.log,b.log,a.log,A.log") });
    QVERIFY(rig.start());
    rig.child<QPushButton>("Refresh")->click();
    QTRY_COMPARE(rig.replies.size(), 1);
    // Case counts: A.log is another file.
    QCOMPARE(offered(rig.child<QComboBox>("comboBoxLogType")), (QStringList { "a.log", "b.log", "A.log" }));
}

void TestDisplayLogPage::refreshTwiceGivesOneCopy()
{
    Rig rig(nextAddress(), &CommTcp::gotLogRespond, { QStringLiteral("--log-files"), QStringLiteral("x,y") });
    QVERIFY(rig.start());
    rig.child<QPushButton>("Refresh")->click();
    QTRY_COMPARE(rig.replies.size(), 1);
    rig.child<QPushButton>("Refresh")->click();
    // Refresh empties the list at once.
    QCOMPARE(rig.child<QComboBox>("comboBoxLogType")->count(), 0);
    QTRY_COMPARE(rig.replies.size(), 2);
    QCOMPARE(offered(rig.child<QComboBox>("comboBoxLogType")), (QStringList { "x", "y" }));

    // Without Refresh, a second list is merged without repeats.
    feed(rig.page, 8, listOf({ "y", "z" }));
    QCOMPARE(offered(rig.child<QComboBox>("comboBoxLogType")), (QStringList { "x", "y", "z" }));
}

void TestDisplayLogPage::widthRule_data()
{
    QTest::addColumn<int>("points");
    QTest::addColumn<QString>("names");
    QTest::addColumn<int>("width");
    QTest::newRow("20 bytes at 9 pt") << 9 << "short.log,twenty-byte-name.log" << 144;
    QTest::newRow("longest in bytes, not characters") << 10 << QStringLiteral("\u65e5\u5fd7,ab") << 48;
}

void TestDisplayLogPage::widthRule()
{
    QFETCH(int, points);
    QFETCH(QString, names);
    QFETCH(int, width);
    Rig rig(nextAddress(), &CommTcp::gotLogRespond, { QStringLiteral("--log-files"), names });
    QVERIFY(rig.start());
    auto* combo = rig.child<QComboBox>("comboBoxLogType");
    QFont font = combo->font();
    font.setPointSize(points);
    combo->setFont(font);
    rig.child<QPushButton>("Refresh")->click();
    QTRY_COMPARE(rig.replies.size(), 1);
    QCOMPARE(combo->minimumWidth(), width);
    QCOMPARE(combo->maximumWidth(), width);
    QCOMPARE(combo->width(), width);
}

void TestDisplayLogPage::emptyListInforms_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::newRow("no data") << QByteArray();
    QTest::newRow("only an entry running past the end") << hexBytes("05 61 62");
}

void TestDisplayLogPage::emptyListInforms()
{
    QFETCH(QByteArray, data);
    BoxRecorder boxes;
    DisplayLogPage page;
    auto* combo = page.findChild<QComboBox*>(QStringLiteral("comboBoxLogType"));
    const int widthBefore = combo->maximumWidth();
    feed(page, 8, data);
    QCOMPARE(boxes.boxes.size(), 1);
    QCOMPARE(boxes.last()->title, QStringLiteral("Information"));
    QCOMPARE(boxes.last()->text, QStringLiteral("No log file is accessible!"));
    QCOMPARE(boxes.last()->icon, QMessageBox::Information);
    QVERIFY(!boxes.last()->parent);
    QCOMPARE(combo->count(), 0);
    QCOMPARE(combo->maximumWidth(), widthBefore);
}

void TestDisplayLogPage::openOnEmptyListWarns()
{
    Rig rig(nextAddress(), &CommTcp::gotLogRespond);
    QVERIFY(rig.start());
    QSignalSpy sent(&rig.page, &DisplayLogPage::sendCmd);
    rig.child<QPushButton>("btnOpen")->click();
    QCOMPARE(rig.boxes.boxes.size(), 1);
    QCOMPARE(rig.boxes.last()->title, QStringLiteral("Warning"));
    QCOMPARE(rig.boxes.last()->text, QStringLiteral("Log file error!"));
    QCOMPARE(rig.boxes.last()->buttons, QStringList { QStringLiteral("Sure") });
    QCOMPARE(sent.count(), 0);
    QVERIFY(!rig.page.isLogOpen());
    // The next request is the first frame the card sees.
    rig.child<QPushButton>("Refresh")->click();
    QTRY_COMPARE(rig.sim.frames().size(), 1);
    QCOMPARE(rig.sim.frames().first().value(QStringLiteral("cmd")).toInt(), 8);
}

void TestDisplayLogPage::openFollowClose()
{
    Rig rig(nextAddress(), &CommTcp::gotLogRespond,
        { QStringLiteral("--log-files"), QStringLiteral("system.log,network.log"), QStringLiteral("--log-rate-ms"),
            QStringLiteral("5") });
    QVERIFY(rig.start());
    rig.child<QPushButton>("Refresh")->click();
    auto* combo = rig.child<QComboBox>("comboBoxLogType");
    QTRY_COMPARE(combo->count(), 2);
    combo->setCurrentIndex(1);
    auto* open = rig.child<QPushButton>("btnOpen");
    open->click();
    QCOMPARE(open->text(), QStringLiteral("Open")); // open only once the card says so
    QTRY_VERIFY(rig.page.isLogOpen());
    QCOMPARE(open->text(), QStringLiteral("Close"));
    QCOMPARE(rig.in(9), QList<QByteArray> { QByteArray("network.log") });

    // The card streams the file; each piece is one paragraph.
    QTRY_VERIFY(paragraphs(rig.page).size() >= 3);
    const QStringList lines = paragraphs(rig.page);
    QVERIFY2(lines.at(0).contains(QStringLiteral("network.log #1 ")), qPrintable(lines.at(0)));
    QVERIFY2(lines.at(2).contains(QStringLiteral("network.log #3 ")), qPrintable(lines.at(2)));

    open->click();
    QCOMPARE(open->text(), QStringLiteral("Open"));
    QVERIFY(!rig.page.isLogOpen());
    QTRY_COMPARE(rig.in(9).size(), 2);
    QCOMPARE(rig.in(9).last(), QByteArray("network.log"));
    QTRY_COMPARE(rig.sim.events(QStringLiteral("log-close")).size(), 1);
    // The card's answer to the close does not open the file again.
    QTRY_COMPARE(rig.replies.count(9), 2);
    QVERIFY(!rig.page.isLogOpen());
    QCOMPARE(open->text(), QStringLiteral("Open"));
    // Nothing follows once the card has closed it; what came is all shown.
    const int sent = rig.out(10).size();
    QTest::qWait(50);
    QCOMPARE(rig.out(10).size(), sent);
    QTRY_COMPARE(paragraphs(rig.page).size(), sent);
    QVERIFY(rig.boxes.boxes.isEmpty());
}

void TestDisplayLogPage::closeNamesTheOpenFile()
{
    Rig rig(nextAddress(), &CommTcp::gotLogRespond,
        { QStringLiteral("--log-files"), QStringLiteral("a.log,b.log"), QStringLiteral("--log-rate-ms"),
            QStringLiteral("10") });
    QVERIFY(rig.start());
    rig.child<QPushButton>("Refresh")->click();
    auto* combo = rig.child<QComboBox>("comboBoxLogType");
    QTRY_COMPARE(combo->count(), 2);
    rig.child<QPushButton>("btnOpen")->click();
    QTRY_VERIFY(rig.page.isLogOpen());
    // The technician picks another file before closing: the close still
    // names the file that is open, so the card stops streaming it.
    combo->setCurrentIndex(1);
    rig.child<QPushButton>("btnOpen")->click();
    QTRY_COMPARE(rig.in(9).size(), 2);
    QCOMPARE(rig.in(9).last(), QByteArray("a.log"));
    QTRY_COMPARE(rig.sim.events(QStringLiteral("log-close")).size(), 1);
    QCOMPARE(rig.sim.events(QStringLiteral("log-open")).size(), 1);
}

void TestDisplayLogPage::openRefusedByTheCard()
{
    Rig rig(nextAddress(), &CommTcp::gotLogRespond,
        { QStringLiteral("--log-files"), QStringLiteral("a.log"), QStringLiteral("--log-open-fail") });
    QVERIFY(rig.start());
    rig.child<QPushButton>("Refresh")->click();
    QTRY_COMPARE(rig.child<QComboBox>("comboBoxLogType")->count(), 1);
    rig.child<QPushButton>("btnOpen")->click();
    QTRY_COMPARE(rig.boxes.boxes.size(), 1);
    QCOMPARE(rig.boxes.last()->title, QStringLiteral("Information"));
    QCOMPARE(rig.boxes.last()->text, QStringLiteral("Open log file failed!"));
    QVERIFY(!rig.boxes.last()->parent);
    QVERIFY(!rig.page.isLogOpen());
    QCOMPARE(rig.child<QPushButton>("btnOpen")->text(), QStringLiteral("Open"));
}

void TestDisplayLogPage::openReplyWithoutDataIsAFailure()
{
    BoxRecorder boxes;
    DisplayLogPage page;
    feed(page, 8, listOf({ "a.log" }));
    page.findChild<QPushButton*>(QStringLiteral("btnOpen"))->click();
    feed(page, 9, QByteArray());
    QVERIFY(!page.isLogOpen());
    QVERIFY(boxes.saw(QStringLiteral("Open log file failed!")));
}

void TestDisplayLogPage::strayOpenReplyChangesNothing()
{
    BoxRecorder boxes;
    DisplayLogPage page;
    feed(page, 8, listOf({ "a.log" }));
    feed(page, 9, hexBytes("01"));
    QVERIFY(!page.isLogOpen());
    feed(page, 9, hexBytes("00"));
    QVERIFY(boxes.boxes.isEmpty());
    auto* open = page.findChild<QPushButton*>(QStringLiteral("btnOpen"));
    open->click();
    feed(page, 9, hexBytes("01"));
    QVERIFY(page.isLogOpen());
    open->click();
    feed(page, 9, hexBytes("01")); // the card's answer to the close
    QVERIFY(!page.isLogOpen());
    QCOMPARE(open->text(), QStringLiteral("Open"));
}

void TestDisplayLogPage::folderFilesStreamLineByLine()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QStringList lines { QStringLiteral("boot: card started"), QStringLiteral("\u6e29\u5ea6 25 \u00b0C"),
        QStringLiteral("eth0 up"), QStringLiteral("last line") };
    {
        QFile f(dir.filePath(QStringLiteral("boot.log")));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write((lines.join(QStringLiteral("\r\n")) + QStringLiteral("\n")).toUtf8());
        QFile g(dir.filePath(QStringLiteral("audit.log")));
        QVERIFY(g.open(QIODevice::WriteOnly));
    }
    Rig rig(nextAddress(), &CommTcp::gotLogRespond,
        { QStringLiteral("--log-dir"), dir.path(), QStringLiteral("--log-rate-ms"), QStringLiteral("2") });
    QVERIFY(rig.start());
    rig.child<QPushButton>("Refresh")->click();
    auto* combo = rig.child<QComboBox>("comboBoxLogType");
    QTRY_COMPARE(combo->count(), 2);
    QCOMPARE(offered(combo), (QStringList { "audit.log", "boot.log" }));
    combo->setCurrentIndex(1);
    rig.child<QPushButton>("btnOpen")->click();
    QTRY_COMPARE(paragraphs(rig.page).size(), lines.size());
    QCOMPARE(paragraphs(rig.page), lines);
    // The file has ended: nothing more comes.
    QTest::qWait(30);
    QCOMPARE(rig.out(10).size(), lines.size());
}

void TestDisplayLogPage::paragraphCap()
{
    DisplayLogPage page;
    const int total = DisplayLogPage::kMaxParagraphs + 1;
    for (int i = 1; i <= total; ++i)
        feed(page, 10, "line " + QByteArray::number(i));
    const QStringList p = paragraphs(page);
    QCOMPARE(p.size(), DisplayLogPage::kMaxParagraphs);
    QCOMPARE(p.first(), QStringLiteral("line 2"));
    QCOMPARE(p.last(), QStringLiteral("line %1").arg(total));
}

void TestDisplayLogPage::clearKeepsStateAndList()
{
    BoxRecorder boxes;
    DisplayLogPage page;
    feed(page, 8, listOf({ "a.log", "b.log" }));
    page.findChild<QPushButton*>(QStringLiteral("btnOpen"))->click();
    feed(page, 9, hexBytes("01"));
    feed(page, 10, "one");
    feed(page, 10, "two");
    page.findChild<QPushButton*>(QStringLiteral("btnClear"))->click();
    QVERIFY(paragraphs(page).isEmpty());
    QVERIFY(page.isLogOpen());
    QCOMPARE(page.findChild<QComboBox*>(QStringLiteral("comboBoxLogType"))->count(), 2);
    // Text keeps coming after a clear, and the cap still holds.
    feed(page, 10, "three");
    QCOMPARE(paragraphs(page), QStringList { "three" });
    QCOMPARE(page.findChild<QTextEdit*>(QStringLiteral("textLog"))->document()->maximumBlockCount(),
        DisplayLogPage::kMaxParagraphs);
}

void TestDisplayLogPage::retranslationFollowsState()
{
    BoxRecorder boxes;
    DisplayLogPage page;
    feed(page, 8, listOf({ "a.log" }));
    page.findChild<QPushButton*>(QStringLiteral("btnOpen"))->click();
    feed(page, 9, hexBytes("01"));
    MarkingTranslator translator("DisplayLogPage");
    QCoreApplication::installTranslator(&translator);
    QCoreApplication::processEvents();
    QCOMPARE(page.findChild<QPushButton*>(QStringLiteral("btnOpen"))->text(), QStringLiteral("~Close"));
    QCOMPARE(page.findChild<QPushButton*>(QStringLiteral("Refresh"))->text(), QStringLiteral("~Refresh log file"));
    QCOMPARE(page.findChild<QPushButton*>(QStringLiteral("btnClear"))->text(), QStringLiteral("~Clear"));
    QCoreApplication::removeTranslator(&translator);
    QCoreApplication::processEvents();
    QCOMPARE(page.findChild<QPushButton*>(QStringLiteral("btnOpen"))->text(), QStringLiteral("Close"));
}

QTEST_MAIN(TestDisplayLogPage)
#include "tst_displaylogpage.moc"

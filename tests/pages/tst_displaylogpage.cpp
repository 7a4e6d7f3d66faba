// The device log page on the wire: the real page, wired to a real command
// link, against a simulated card that lists log files and streams them.

#include "pages/displaylogpage.h"
#include "pagewire.h"
#include "support/testaddresses.h"

#include <QComboBox>
#include <QTextBlock>
#include <QTextEdit>

namespace {

constexpr int kArea = 41;

struct Rig : PageOnWire<DisplayLogPage> {
    explicit Rig(const QString& address, const QStringList& options = {})
        : PageOnWire(address, &CommTcp::gotLogRespond, options)
    {
    }
    QComboBox* combo() const { return child<QComboBox>("comboBoxLogType"); }
    // Presses Refresh and waits for the card's list.
    bool refresh()
    {
        const int before = replies.count(8);
        child<QPushButton>("Refresh")->click();
        return waitUntil([&] { return replies.count(8) > before; }, kWaitMs);
    }
};

QStringList offered(const QComboBox* combo)
{
    QStringList names;
    for (int i = 0; i < combo->count(); ++i)
        names.append(combo->itemText(i));
    return names;
}

QStringList paragraphs(const DisplayLogPage& page)
{
    const QTextDocument* doc = childOf<QTextEdit>(page, "textLog")->document();
    QStringList result;
    if (doc->isEmpty())
        return result;
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next())
        result.append(b.text());
    return result;
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
    void widthRule_data();
    void widthRule();
    void emptyListInforms_data();
    void emptyListInforms();
    void openOnEmptyListWarns();
    void openFollowClose();
    void closeNamesTheOpenFile();
    void openRefusedByTheCard();
    void openRepliesCountOnlyWhenAsked();
    void paragraphCap();
    void clearKeepsStateAndList();
    void retranslationFollowsState();

private:
    int m_case = 0;
    QString nextAddress() { return TestAddresses::card(kArea, ++m_case); }
};

void TestDisplayLogPage::listOffersNamesInOrder()
{
    Rig rig(nextAddress(), { QStringLiteral("--log-files"), QStringLiteral("alpha,sys") });
    QVERIFY(rig.start());
    // Nothing is asked of the card when the page is built.
    QCOMPARE(rig.combo()->count(), 0);
    QVERIFY(rig.refresh());
    QCOMPARE(offered(rig.combo()), (QStringList { "alpha", "sys" }));
    QCOMPARE(rig.in(8), QList<QByteArray> { QByteArray() });
    QCOMPARE(rig.out(8).first().toHex(' '), (hexBytes("05") + "alpha" + hexBytes("03") + "sys").toHex(' '));
    QVERIFY(rig.boxes.boxes.isEmpty());
}

void TestDisplayLogPage::repeatedNameOfferedOnce()
{
    Rig rig(nextAddress(), { QStringLiteral("--log-files"), QStringLiteral("a.log,b.log,a.log,A.log") });
    QVERIFY(rig.start());
    QVERIFY(rig.refresh());
    // Case counts: A.log is another file.
    QCOMPARE(offered(rig.combo()), (QStringList { "a.log", "b.log", "A.log" }));
    // Refresh empties the list at once, and the same list comes back once.
    rig.child<QPushButton>("Refresh")->click();
    QCOMPARE(rig.combo()->count(), 0);
    QTRY_COMPARE(rig.replies.size(), 2);
    QCOMPARE(offered(rig.combo()), (QStringList { "a.log", "b.log", "A.log" }));
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
    Rig rig(nextAddress(), { QStringLiteral("--log-files"), names });
    QVERIFY(rig.start());
    QFont font = rig.combo()->font();
    font.setPointSize(points);
    rig.combo()->setFont(font);
    QVERIFY(rig.refresh());
    QCOMPARE(rig.combo()->minimumWidth(), width);
    QCOMPARE(rig.combo()->maximumWidth(), width);
    QCOMPARE(rig.combo()->width(), width);
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
    auto* combo = childOf<QComboBox>(page, "comboBoxLogType");
    const int widthBefore = combo->maximumWidth();
    click(page, "Refresh");
    feed(page, 8, data);
    QCOMPARE(boxes.boxes.size(), 1);
    QCOMPARE(describe(boxes.last(), &page), "Information: No log file is accessible! [information, no parent]");
    // Only the answer to a refresh tells: a card repeating it opens no more boxes.
    feed(page, 8, data);
    QCOMPARE(boxes.boxes.size(), 1);
    QCOMPARE(combo->count(), 0);
    QCOMPARE(combo->maximumWidth(), widthBefore);
}

void TestDisplayLogPage::openOnEmptyListWarns()
{
    Rig rig(nextAddress());
    QVERIFY(rig.start());
    QSignalSpy sent(&rig.page, &DisplayLogPage::sendCmd);
    rig.child<QPushButton>("btnOpen")->click();
    QCOMPARE(rig.boxes.boxes.size(), 1);
    QCOMPARE(rig.lastBox(), "Warning: Log file error! [warning, no parent]");
    QCOMPARE(rig.boxes.last()->buttons, QStringList { QStringLiteral("Sure") });
    QCOMPARE(sent.count(), 0);
    QVERIFY(!rig.page.isLogOpen());
    // The next request is the first frame the card sees.
    QVERIFY(rig.refresh());
    QCOMPARE(rig.sim.frames().size(), 1);
    QCOMPARE(rig.sim.frames().first().value(QStringLiteral("cmd")).toInt(), 8);
}

void TestDisplayLogPage::openFollowClose()
{
    Rig rig(nextAddress(),
        { QStringLiteral("--log-files"), QStringLiteral("system.log,network.log"), QStringLiteral("--log-rate-ms"),
            QStringLiteral("5") });
    QVERIFY(rig.start());
    QVERIFY(rig.refresh());
    rig.combo()->setCurrentIndex(1);
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
    Rig rig(nextAddress(),
        { QStringLiteral("--log-files"), QStringLiteral("a.log,b.log"), QStringLiteral("--log-rate-ms"),
            QStringLiteral("10") });
    QVERIFY(rig.start());
    QVERIFY(rig.refresh());
    rig.child<QPushButton>("btnOpen")->click();
    QTRY_VERIFY(rig.page.isLogOpen());
    // The technician picks another file before closing: the close still
    // names the file that is open, so the card stops streaming it.
    rig.combo()->setCurrentIndex(1);
    rig.child<QPushButton>("btnOpen")->click();
    QTRY_COMPARE(rig.in(9).size(), 2);
    QCOMPARE(rig.in(9).last(), QByteArray("a.log"));
    QTRY_COMPARE(rig.sim.events(QStringLiteral("log-close")).size(), 1);
    QCOMPARE(rig.sim.events(QStringLiteral("log-open")).size(), 1);
}

void TestDisplayLogPage::openRefusedByTheCard()
{
    Rig rig(
        nextAddress(), { QStringLiteral("--log-files"), QStringLiteral("a.log"), QStringLiteral("--log-open-fail") });
    QVERIFY(rig.start());
    QVERIFY(rig.refresh());
    rig.child<QPushButton>("btnOpen")->click();
    QTRY_COMPARE(rig.boxes.boxes.size(), 1);
    QCOMPARE(rig.lastBox(), "Information: Open log file failed! [information, no parent]");
    QVERIFY(!rig.page.isLogOpen());
    QCOMPARE(rig.child<QPushButton>("btnOpen")->text(), QStringLiteral("Open"));
}

void TestDisplayLogPage::openRepliesCountOnlyWhenAsked()
{
    BoxRecorder boxes;
    DisplayLogPage page;
    auto* open = childOf<QPushButton>(page, "btnOpen");
    feed(page, 8, listOf({ "a.log" }));
    // Answers nobody asked for change nothing.
    feed(page, 9, hexBytes("01"));
    QVERIFY(!page.isLogOpen());
    feed(page, 9, hexBytes("00"));
    QVERIFY(boxes.boxes.isEmpty());

    open->click();
    feed(page, 9, hexBytes("01"));
    QVERIFY(page.isLogOpen());
    open->click();
    feed(page, 9, hexBytes("01")); // the card's answer to the close
    QVERIFY(!page.isLogOpen());
    QCOMPARE(open->text(), QStringLiteral("Open"));
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
    click(page, "btnOpen");
    feed(page, 9, hexBytes("01"));
    feed(page, 10, "one");
    feed(page, 10, "two");
    click(page, "btnClear");
    QVERIFY(paragraphs(page).isEmpty());
    QVERIFY(page.isLogOpen());
    QCOMPARE(childOf<QComboBox>(page, "comboBoxLogType")->count(), 2);
    // Text keeps coming after a clear, in UTF-8.
    feed(page, 10, "\xe6\xb8\xa9\xe5\xba\xa6 25 \xc2\xb0");
    QCOMPARE(paragraphs(page), QStringList { QStringLiteral("\u6e29\u5ea6 25 \u00b0") });
}

void TestDisplayLogPage::retranslationFollowsState()
{
    BoxRecorder boxes;
    DisplayLogPage page;
    feed(page, 8, listOf({ "a.log" }));
    click(page, "btnOpen");
    feed(page, 9, hexBytes("01"));
    MarkingTranslator translator("DisplayLogPage");
    QCoreApplication::installTranslator(&translator);
    QCoreApplication::processEvents();
    QCOMPARE(childOf<QPushButton>(page, "btnOpen")->text(), QStringLiteral("~Close"));
    QCoreApplication::removeTranslator(&translator);
    QCoreApplication::processEvents();
    QCOMPARE(childOf<QPushButton>(page, "btnOpen")->text(), QStringLiteral("Close"));
}

QTEST_MAIN(TestDisplayLogPage)
#include "tst_displaylogpage.moc"

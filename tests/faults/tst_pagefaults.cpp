// The fault matrix (docs/fault-matrix.md) for the pages that are not about
// programming: settings, fixed parameters, device log, serial port test and
// console. Each row is one fault of the card, and the page is asked three
// times in a row; each answer is what the technician sees: the text of the
// box the request opened, else what the page shows for it ("-": nothing, the
// reply was lost). No fault may open more boxes than requests, and
// afterwards the page must answer the next request (on a new connection
// when the card dropped the old one).

#include "link/commandcodes.h"
#include "pages/displaylogpage.h"
#include "pages/fixedparampage.h"
#include "pages/pageroot.h"
#include "pages/pagewire.h"
#include "pages/settingspage.h"
#include "pages/sptestpage.h"
#include "support/testaddresses.h"

#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextEdit>
#include <QtTest>

#include <functional>

namespace {

constexpr int kArea = 80;
constexpr int kQuietMs = 400;
constexpr int kAttempts = 3;

// Every code some page owns, for the floods of other pages' codes.
const QList<int> kPageCodes { 1, 3, 6, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 19, 256, 257, 258, 259, 336, 337, 338 };

QStringList thrice(const QString& answer)
{
    return { answer, answer, answer };
}

QString codesBut(const QList<int>& own)
{
    QStringList codes;
    for (int code : kPageCodes) {
        if (!own.contains(code))
            codes.append(QString::number(code));
    }
    return codes.join(QLatin1Char(','));
}

// The last line of a text view, without its line end.
QString lastLine(const QString& plain)
{
    const QStringList lines = plain.split(QRegularExpression(QStringLiteral("[\\n\\x{2028}]")));
    for (int i = lines.size() - 1; i >= 0; --i) {
        const QString line = lines.at(i).trimmed();
        if (!line.isEmpty())
            return line;
    }
    return QString();
}

// One request of a page: what the technician does (the i-th time), the code
// that sends, and what the page shows for the answer when no box opens.
template <typename Page> struct Exchange {
    int request = 0;
    std::function<void(PageOnWire<Page>&, int)> ask;
    std::function<QString(PageOnWire<Page>&)> shown;
    // Brings the page to where it can ask (an open port); false if it cannot.
    std::function<bool(PageOnWire<Page>&)> prepare = [](PageOnWire<Page>&) { return true; };
    // Checks the page once the row has passed.
    std::function<void(PageOnWire<Page>&, bool lossy)> after;
};

template <typename Page> QString exchangeOnce(PageOnWire<Page>& b, const Exchange<Page>& e, int i)
{
    const int before = b.boxes.boxes.size();
    const int asked = b.sim.frames(QStringLiteral("in"), e.request).size();
    const bool connected = b.link.isConnected();
    e.ask(b, i);
    // Read before the event loop runs: the answer cannot have come yet.
    const QString was = e.shown(b);
    // A box at once (the page or the link refused): nothing went out.
    const bool refused = b.boxes.boxes.size() > before;
    if (connected && !refused && !b.waitIn(e.request, asked))
        return QStringLiteral("not sent");
    waitUntil([&] { return b.boxes.boxes.size() > before || e.shown(b) != was; }, kQuietMs);
    QTest::qWait(50);
    if (b.boxes.boxes.size() > before + 1)
        return QStringLiteral("%1 boxes").arg(b.boxes.boxes.size() - before);
    if (b.boxes.boxes.size() > before)
        return b.boxes.boxes.last().text;
    const QString now = e.shown(b);
    return now != was ? now : QStringLiteral("-");
}

template <typename Page>
void askThrice(const QString& address, typename PageOnWire<Page>::ReplySignal replies, const QStringList& card,
    const Exchange<Page>& e, const QStringList& expected, const QString& next, int floodBoxes)
{
    PageOnWire<Page> b(address, replies, card);
    // A technician takes a while to close each box; meanwhile frames pile up.
    b.boxes.onBox = [](const MessageBox::Box&) { QTest::qWait(50); };
    QVERIFY(b.start());
    if (floodBoxes >= 0) {
        WAIT_VERIFY(!b.sim.events(QStringLiteral("flood-end")).isEmpty(), 15000);
        QTest::qWait(kQuietMs);
        // What the flood showed: a handful of boxes, not one per frame.
        QVERIFY2(b.boxes.boxes.size() <= floodBoxes, qPrintable(QString::number(b.boxes.boxes.size())));
        b.boxes.clear();
    }
    QVERIFY(e.prepare(b));
    QStringList seen;
    for (int i = 0; i < expected.size(); ++i)
        seen.append(exchangeOnce(b, e, i));
    QCOMPARE(seen, expected);

    // The page takes the next request; a lost reply may be lost again.
    if (!b.link.isConnected()) {
        b.link.connectToDevice(b.address());
        QVERIFY(b.link.isConnected());
    }
    QString answer;
    for (int attempt = 0; attempt < kAttempts && answer != next; ++attempt) {
        if (!e.prepare(b))
            continue;
        answer = exchangeOnce(b, e, expected.size());
    }
    QCOMPARE(answer, next);
    if (e.after)
        e.after(b, expected.contains(QStringLiteral("-")));
}

// The rows every page goes through. `done` are the three answers of a sound
// card; `differs` gives the rows whose answers follow from the fault.
void faultRows(const QStringList& done, const QList<int>& own, const QMap<QString, QStringList>& differs, int every = 2)
{
    QTest::addColumn<QStringList>("card");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<int>("floodBoxes"); // most boxes a flood may open before the first request; -1: no flood

    const auto row = [&](const char* name, const QStringList& card, int floodBoxes = -1) {
        QTest::newRow(name) << card << differs.value(QString::fromLatin1(name), done) << floodBoxes;
    };
    const QString n = QString::number(every);
    row("replies split across reads", { "--split-gap-ms", "30" });
    row("bad checksums", { "--corrupt-every", n });
    row("garbage between frames", { "--garbage", "00ff1337a5" });
    row("false start byte", { "--garbage", "68", "--garbage-every", n });
    row("flood of unknown codes", { "--flood", "4660,20,339,2,18", "--flood-count", "3000" }, 0);
    // Codes 4, 5 and 7 are answered by the link with a box of their own.
    row("flood of the link's own codes", { "--flood", "4,5,7", "--flood-count", "600", "--flood-burst", "20" }, 12);
    row("flood of other pages' codes", { "--flood", codesBut(own), "--flood-count", "1500", "--flood-data", "00" }, 0);
    row("card closes the connection", { "--close-after", "3" });
}

void pageOwnFlood(const QStringList& done, const QList<int>& own, const QString& data)
{
    QStringList codes;
    for (int code : own)
        codes.append(QString::number(code));
    QTest::newRow("flood of the page's own codes, unasked")
        << QStringList { "--flood", codes.join(QLatin1Char(',')), "--flood-count", "1500", "--flood-data", data }
        << done << 0;
}

} // namespace

class TestPageFaults : public QObject {
    Q_OBJECT

private slots:
    void settingsPage_data();
    void settingsPage();
    void fixedParamPage_data();
    void fixedParamPage();
    void logPage_data();
    void logPage();
    void serialPage_data();
    void serialPage();
    void console_data();
    void console();
    void openStatesEndWithTheLink();

private:
    template <typename Page>
    void run(typename PageOnWire<Page>::ReplySignal replies, const QStringList& base, const Exchange<Page>& e,
        const QString& normal);
    QString nextAddress() { return TestAddresses::card(kArea, ++m_case); }
    int m_case = 0;
};

// Each row's data, with the answer the page gives to the request after the
// row: that of a sound card, or the row's own when the fault never passes.
template <typename Page>
void TestPageFaults::run(typename PageOnWire<Page>::ReplySignal replies, const QStringList& base,
    const Exchange<Page>& e, const QString& normal)
{
    QFETCH(QStringList, card);
    QFETCH(QStringList, expected);
    QFETCH(int, floodBoxes);
    const bool lasting = card.contains(QStringLiteral("--reply-size"));
    askThrice<Page>(nextAddress(), replies, base + card, e, expected, lasting ? expected.first() : normal, floodBoxes);
}

// Settings and fixed parameters: "Read", answered with a box either way.
namespace {
template <typename Page> Exchange<Page> readButton(int request)
{
    Exchange<Page> e;
    e.request = request;
    e.ask = [](PageOnWire<Page>& b, int) { b.click("btnRead"); };
    e.shown = [](PageOnWire<Page>&) { return QString(); };
    return e;
}

const QString kReadDone = QStringLiteral("Read data finished!");
const QString kNotConnected = QStringLiteral("Device not connected!");
} // namespace

void TestPageFaults::settingsPage_data()
{
    faultRows(thrice(kReadDone), { 3, 6, 16, 17 },
        { { "bad checksums", { kReadDone, "-", kReadDone } }, { "false start byte", { kReadDone, "-", kReadDone } },
            { "card closes the connection", { kReadDone, kReadDone, "-" } } });
    QTest::newRow("wrong length: ports reply of 13 bytes")
        << QStringList { "--reply-size", "16:13" } << thrice(QStringLiteral("Read data failed!")) << -1;
    QTest::newRow("wrong length: empty ports reply")
        << QStringList { "--reply-size", "16:0" } << thrice(QStringLiteral("Read data failed!")) << -1;
}

void TestPageFaults::settingsPage()
{
    run<SettingsPage>(&CommTcp::gotSettingsRespond, {}, readButton<SettingsPage>(CommandCode::ReadPorts), kReadDone);
}

void TestPageFaults::fixedParamPage_data()
{
    faultRows(thrice(kReadDone), { 14, 15 },
        { { "bad checksums", { kReadDone, "-", kReadDone } }, { "false start byte", { kReadDone, "-", kReadDone } },
            { "card closes the connection", { kReadDone, kReadDone, "-" } } });
    const QStringList failed = thrice(QStringLiteral("Read data failed!"));
    QTest::newRow("non-JSON: text") << QStringList { "--fixed-read-reply", "text" } << failed << -1;
    QTest::newRow("non-JSON: cut JSON") << QStringList { "--fixed-read-reply", "broken" } << failed << -1;
    QTest::newRow("wrong length: JSON padded with zeros") << QStringList { "--reply-size", "14:200" } << failed << -1;
    QTest::newRow("wrong length: empty reply") << QStringList { "--reply-size", "14:0" } << failed << -1;
}

void TestPageFaults::fixedParamPage()
{
    QFETCH(QStringList, card);
    // These shapes never read well: the answer after the row is theirs too.
    const bool broken = card.contains(QStringLiteral("--fixed-read-reply"));
    if (broken) {
        QFETCH(QStringList, expected);
        QFETCH(int, floodBoxes);
        askThrice<FixedParamPage>(nextAddress(), &CommTcp::gotFixedParamRespond, card,
            readButton<FixedParamPage>(CommandCode::ReadFixedParams), expected, expected.first(), floodBoxes);
        return;
    }
    run<FixedParamPage>(
        &CommTcp::gotFixedParamRespond, {}, readButton<FixedParamPage>(CommandCode::ReadFixedParams), kReadDone);
}

// The device log: "Refresh log file" lists the files; the list is what the
// technician sees. After the row a file is opened, and every paragraph the
// view shows must be a line the card sent, whole and in order.
namespace {
const QString kLogNames = QStringLiteral("system.log,network.log");
// Lines further apart than the link's reassembly time-out, so that a false
// start byte costs the lines behind it, not the whole file.
constexpr int kLogLines = 8;
const QStringList kLogCard { "--log-files", kLogNames, "--log-lines", QString::number(kLogLines), "--log-rate-ms",
    "120" };

QStringList logParagraphs(const DisplayLogPage& page)
{
    const QTextDocument* doc = childOf<QTextEdit>(page, "textLog")->document();
    QStringList result;
    if (doc->isEmpty())
        return result;
    for (QTextBlock block = doc->begin(); block.isValid(); block = block.next())
        result.append(block.text());
    return result;
}

Exchange<DisplayLogPage> logExchange()
{
    Exchange<DisplayLogPage> e;
    e.request = CommandCode::ListLogs;
    e.ask = [](PageOnWire<DisplayLogPage>& b, int) { b.click("Refresh"); };
    e.shown = [](PageOnWire<DisplayLogPage>& b) {
        const QComboBox* combo = b.template child<QComboBox>("comboBoxLogType");
        QStringList names;
        for (int i = 0; i < combo->count(); ++i)
            names.append(combo->itemText(i));
        return names.join(QLatin1Char(','));
    };
    e.after = [](PageOnWire<DisplayLogPage>& b, bool lossy) {
        b.page.findChild<QTextEdit*>(QStringLiteral("textLog"))->clear();
        const int before = b.out(CommandCode::LogText).size();
        b.click("btnOpen");
        QVERIFY(b.waitIn(CommandCode::OpenLog));
        WAIT_VERIFY(b.out(CommandCode::LogText).size() >= before + kLogLines, 5000);
        QTest::qWait(kQuietMs);
        QStringList sent;
        for (const QByteArray& line : b.out(CommandCode::LogText).mid(before))
            sent.append(QString::fromUtf8(line));
        const QStringList shown = logParagraphs(b.page);
        // In order, each paragraph one line: nothing cut, joined or mixed.
        int at = 0;
        for (const QString& paragraph : shown) {
            while (at < sent.size() && sent.at(at) != paragraph)
                ++at;
            QVERIFY2(at < sent.size(), qPrintable(QStringLiteral("not sent: ") + paragraph));
            ++at;
        }
        QVERIFY(lossy ? !shown.isEmpty() : shown.size() == kLogLines);
    };
    return e;
}
} // namespace

void TestPageFaults::logPage_data()
{
    const QString names = QString(kLogNames);
    const QString none = QStringLiteral("No log file is accessible!");
    faultRows(thrice(names), { 8, 9, 10 },
        { { "bad checksums", { names, "-", names } }, { "false start byte", { names, "-", names } },
            { "card closes the connection", { names, names, "-" } } });
    pageOwnFlood(thrice(names), { 8, 9, 10 }, QString());
    QTest::newRow("wrong length: empty list") << QStringList { "--reply-size", "8:0" } << thrice(none) << -1;
    QTest::newRow("wrong length: list cut inside a name")
        << QStringList { "--reply-size", "8:4" } << thrice(none) << -1;
}

void TestPageFaults::logPage()
{
    QFETCH(QStringList, card);
    Exchange<DisplayLogPage> e = logExchange();
    // A list that never comes whole offers nothing to open.
    if (card.contains(QStringLiteral("--reply-size")))
        e.after = nullptr;
    run<DisplayLogPage>(&CommTcp::gotLogRespond, kLogCard, e, QString(kLogNames));
}

// The serial port test: the port is opened, then text goes out in ASCII and
// the card's loop-back plug returns it; the record's last entry is what the
// technician sees.
namespace {
Exchange<SPTestPage> serialExchange()
{
    Exchange<SPTestPage> e;
    e.request = CommandCode::SerialSend;
    e.prepare = [](PageOnWire<SPTestPage>& b) {
        b.template child<QRadioButton>("rbASCII")->setChecked(true);
        for (int attempt = 0; attempt < kAttempts && !b.page.isPortOpen(); ++attempt) {
            b.click("btnOpen");
            waitUntil([&] { return b.page.isPortOpen(); }, kQuietMs);
        }
        return b.page.isPortOpen();
    };
    e.ask = [](PageOnWire<SPTestPage>& b, int i) {
        b.template child<QLineEdit>("leSendData")->setText(QStringLiteral("ping%1").arg(i));
        b.click("btnSend");
    };
    e.shown = [](PageOnWire<SPTestPage>& b) {
        const QTextBrowser* record = b.template child<QTextBrowser>("textBrowserRecord");
        const QTextBlock block = record->document()->lastBlock();
        // "[time stamp] Receive: ", line break, the payload.
        QString entry = block.text();
        entry.replace(QChar(0x2028), QLatin1Char(' ')).replace(QChar(0xA0), QLatin1Char(' '));
        entry = entry.section(QLatin1String("] "), 1);
        return entry.simplified();
    };
    return e;
}

QStringList received(int from = 0)
{
    QStringList answers;
    for (int i = from; i < from + 3; ++i)
        answers.append(QStringLiteral("Receive: ping%1").arg(i));
    return answers;
}
} // namespace

void TestPageFaults::serialPage_data()
{
    const QStringList done = received();
    // Each send has two replies (the result, then what came back on the
    // port); every third one is hit, so that each request gets its turn.
    faultRows(done, { 11, 12, 13 },
        { { "bad checksums", { "-", done.at(1), done.at(2) } }, { "false start byte", { "-", done.at(1), "-" } },
            { "card closes the connection", { done.at(0), "-", QStringLiteral("Port not opened!") } } },
        3);
    pageOwnFlood(done, { 11, 12, 13 }, QStringLiteral("00"));
    const QString failed = QStringLiteral("Send data to device's serial port failed!");
    const QString closed = QStringLiteral("Port not opened!");
    QTest::newRow("wrong length: send reply without result byte")
        << QStringList { "--reply-size", "12:0" } << QStringList { failed, closed, closed } << -1;
}

void TestPageFaults::serialPage()
{
    run<SPTestPage>(&CommTcp::gotSPTestRespond, {}, serialExchange(), QStringLiteral("Receive: ping3"));
}

// The console: "echo pingN" typed and sent; the transcript's last line is
// what the technician sees.
namespace {
Exchange<PageRoot> consoleExchange()
{
    Exchange<PageRoot> e;
    e.request = CommandCode::ConsoleCommand;
    e.ask = [](PageOnWire<PageRoot>& b, int i) {
        auto* line = b.template child<QLineEdit>("leCmd");
        line->setText(QStringLiteral("echo ping%1").arg(i));
        QTest::keyClick(line, Qt::Key_Return);
    };
    e.shown = [](PageOnWire<PageRoot>& b) {
        return lastLine(b.template child<QTextBrowser>("textBrowserCmd")->toPlainText());
    };
    return e;
}
} // namespace

void TestPageFaults::console_data()
{
    QStringList done;
    for (int i = 0; i < 3; ++i)
        done.append(QStringLiteral("Recv: ping%1").arg(i));
    faultRows(done, { 19 },
        { { "bad checksums", { done.at(0), "-", done.at(2) } }, { "false start byte", { done.at(0), "-", done.at(2) } },
            { "card closes the connection", { done.at(0), done.at(1), "-" } } });
    pageOwnFlood(done, { 19 }, QStringLiteral("6f6b00"));
    QTest::newRow("wrong length: empty answer") << QStringList { "--reply-size", "19:0" } << thrice("Recv:") << -1;
    QTest::newRow("wrong length: answer cut to 3 bytes")
        << QStringList { "--reply-size", "19:3" } << thrice("Recv: pin") << -1;
    QTest::newRow("wrong length: answer padded with zeros") << QStringList { "--reply-size", "19:200" } << done << -1;
}

void TestPageFaults::console()
{
    QFETCH(QStringList, card);
    // A padded answer still ends at its zero byte: it reads well.
    const bool padded = card.contains(QStringLiteral("19:200"));
    if (padded) {
        QFETCH(QStringList, expected);
        askThrice<PageRoot>(nextAddress(), &CommTcp::gotRootRespond, card, consoleExchange(), expected,
            QStringLiteral("Recv: ping3"), -1);
        return;
    }
    run<PageRoot>(&CommTcp::gotRootRespond, {}, consoleExchange(), QStringLiteral("Recv: ping3"));
}

// A card lost while a log file or the serial port is open: on the next
// connection nothing is open, and the buttons say so.
void TestPageFaults::openStatesEndWithTheLink()
{
    PageOnWire<DisplayLogPage> log(
        nextAddress(), &CommTcp::gotLogRespond, kLogCard + QStringList { "--close-after", "3" });
    QVERIFY(log.start());
    log.click("Refresh");
    QTRY_COMPARE(log.child<QComboBox>("comboBoxLogType")->count(), 2);
    log.click("btnOpen");
    QTRY_VERIFY(log.page.isLogOpen());
    log.link.send(3); // the card drops the connection on this one
    QTRY_VERIFY(!log.link.isConnected());
    QVERIFY(!log.page.isLogOpen());
    QCOMPARE(log.child<QPushButton>("btnOpen")->text(), QStringLiteral("Open"));
    log.link.connectToDevice(log.address());
    QVERIFY(log.link.isConnected());
    log.click("Refresh"); // the list went with the link
    QTRY_COMPARE(log.child<QComboBox>("comboBoxLogType")->count(), 2);
    log.click("btnOpen");
    QTRY_VERIFY(log.page.isLogOpen());
    QVERIFY(log.boxes.boxes.isEmpty());

    PageOnWire<SPTestPage> serial(nextAddress(), &CommTcp::gotSPTestRespond, { "--close-after", "2" });
    QVERIFY(serial.start());
    QVERIFY(serialExchange().prepare(serial));
    serial.child<QLineEdit>("leSendData")->setText(QStringLiteral("01"));
    serial.click("btnSend"); // dropped here
    QTRY_VERIFY(!serial.link.isConnected());
    QVERIFY(!serial.page.isPortOpen());
    QCOMPARE(serial.child<QPushButton>("btnOpen")->text(), QStringLiteral("Connect"));
    QVERIFY(serial.boxes.boxes.isEmpty());
}

QTEST_MAIN(TestPageFaults)
#include "tst_pagefaults.moc"

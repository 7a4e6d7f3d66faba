// The fault matrix (docs/fault-matrix.md) for the settings and fixed
// parameters pages: each row is one fault of the card, and the page is asked
// three times in a row; each answer is what the technician sees ("-": no
// box, the reply was lost). No fault may open more boxes than requests, and
// the page must answer the next request once the fault has passed.

#include "link/commandcodes.h"
#include "pages/fixedparampage.h"
#include "pages/pagewire.h"
#include "pages/settingspage.h"
#include "support/testaddresses.h"

#include <QtTest>

namespace {

constexpr int kArea = 80;
constexpr int kQuietMs = 400;

QStringList thrice(const QString& box)
{
    return { box, box, box };
}

template <typename Page>
void askThrice(const QString& address, typename PageOnWire<Page>::ReplySignal replies, const QStringList& card,
    int request, const QStringList& expected, int floodBoxes)
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
    QStringList seen;
    for (int i = 0; i < expected.size(); ++i) {
        const int before = b.boxes.boxes.size();
        const int asked = b.sim.frames(QStringLiteral("in"), request).size();
        b.click("btnRead");
        QVERIFY(b.waitIn(request, asked));
        waitUntil([&] { return b.boxes.boxes.size() > before; }, kQuietMs);
        QTest::qWait(50);
        QVERIFY(b.boxes.boxes.size() <= before + 1);
        seen.append(b.boxes.boxes.size() > before ? b.boxes.boxes.last().text : QStringLiteral("-"));
    }
    QCOMPARE(seen, expected);
}

} // namespace

class TestPageFaults : public QObject {
    Q_OBJECT

private slots:
    void settingsPage_data();
    void settingsPage();
    void fixedParamPage_data();
    void fixedParamPage();

private:
    void commonRows(const QString& done);
    QString nextAddress() { return TestAddresses::card(kArea, ++m_case); }
    int m_case = 0;
};

void TestPageFaults::commonRows(const QString& done)
{
    QTest::addColumn<QStringList>("card");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<int>("floodBoxes"); // most boxes a flood may open before the first request; -1: no flood

    const QStringList allDone { done, done, done };
    QTest::newRow("replies split across reads") << QStringList { "--split-gap-ms", "30" } << allDone << -1;
    QTest::newRow("bad checksums") << QStringList { "--corrupt-every", "2" } << QStringList { done, "-", done } << -1;
    QTest::newRow("garbage between frames") << QStringList { "--garbage", "00ff1337a5" } << allDone << -1;
    QTest::newRow("false start byte") << QStringList { "--garbage", "68", "--garbage-every", "2" }
                                      << QStringList { done, "-", done } << -1;
    QTest::newRow("flood of unknown codes")
        << QStringList { "--flood", "4660,20,339,2,18", "--flood-count", "3000" } << allDone << 0;
    // Codes 4, 5 and 7 are answered by the link with a box of their own.
    QTest::newRow("flood of the link's own codes")
        << QStringList { "--flood", "4,5,7", "--flood-count", "600", "--flood-burst", "20" } << allDone << 12;
    QTest::newRow("flood of other pages' codes") << QStringList { "--flood",
        "1,8,9,10,11,12,13,19,256,257,258,259,336,337,338", "--flood-count", "1500", "--flood-data", "00" }
                                                 << allDone << 0;
}

void TestPageFaults::settingsPage_data()
{
    const QString done = QStringLiteral("Read data finished!");
    commonRows(done);
    QTest::newRow("wrong length: ports reply of 13 bytes")
        << QStringList { "--reply-size", "16:13" } << thrice(QStringLiteral("Read data failed!")) << -1;
    QTest::newRow("wrong length: empty ports reply")
        << QStringList { "--reply-size", "16:0" } << thrice(QStringLiteral("Read data failed!")) << -1;
}

void TestPageFaults::settingsPage()
{
    QFETCH(QStringList, card);
    QFETCH(QStringList, expected);
    QFETCH(int, floodBoxes);
    askThrice<SettingsPage>(
        nextAddress(), &CommTcp::gotSettingsRespond, card, CommandCode::ReadPorts, expected, floodBoxes);
}

void TestPageFaults::fixedParamPage_data()
{
    const QString done = QStringLiteral("Read data finished!");
    commonRows(done);
    const QStringList failed = thrice(QStringLiteral("Read data failed!"));
    QTest::newRow("non-JSON: text") << QStringList { "--fixed-read-reply", "text" } << failed << -1;
    QTest::newRow("non-JSON: cut JSON") << QStringList { "--fixed-read-reply", "broken" } << failed << -1;
    QTest::newRow("wrong length: JSON padded with zeros") << QStringList { "--reply-size", "14:200" } << failed << -1;
    QTest::newRow("wrong length: empty reply") << QStringList { "--reply-size", "14:0" } << failed << -1;
}

void TestPageFaults::fixedParamPage()
{
    QFETCH(QStringList, card);
    QFETCH(QStringList, expected);
    QFETCH(int, floodBoxes);
    askThrice<FixedParamPage>(
        nextAddress(), &CommTcp::gotFixedParamRespond, card, CommandCode::ReadFixedParams, expected, floodBoxes);
}

QTEST_MAIN(TestPageFaults)
#include "tst_pagefaults.moc"

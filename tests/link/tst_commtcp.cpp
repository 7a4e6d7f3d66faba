// CommTcp on real loopback sockets, against a hand-driven peer for exact
// bytes and timing: what the link sends, where each reply goes, and every
// generic wire fault a card or a network can produce.

#include "link/commandframe.h"
#include "link/commtcp.h"
#include "mainwindow/linknotices.h"
#include "support/boxrecorder.h"
#include "support/testaddresses.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

namespace {

constexpr int kArea = 10;

QByteArray hex(const char* text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

struct Reply {
    QString family;
    int cmd;
    QByteArray data;
};

// Collects every reply signal of a link with a copy of its data.
class ReplySpy : public QObject {
public:
    explicit ReplySpy(CommTcp& link)
    {
        auto hook = [this](const char* family) {
            return [this, family](int cmd, const quint8* data, int size) {
                replies.append(
                    Reply { QString::fromLatin1(family), cmd, QByteArray(reinterpret_cast<const char*>(data), size) });
            };
        };
        connect(&link, &CommTcp::gotProgRespond, this, hook("prog"));
        connect(&link, &CommTcp::gotSettingsRespond, this, hook("settings"));
        connect(&link, &CommTcp::gotLogRespond, this, hook("log"));
        connect(&link, &CommTcp::gotSPTestRespond, this, hook("sptest"));
        connect(&link, &CommTcp::gotFixedParamRespond, this, hook("fixed"));
        connect(&link, &CommTcp::gotRootRespond, this, hook("root"));
    }
    QList<Reply> replies;
};

// A link, the replies it dispatches, the boxes the main window shows for its
// reports, and a hand-driven peer on `address` that accepts the link's
// connection and writes whatever the test says.
struct Wire {
    explicit Wire(const QString& address)
        : address(address)
    {
        QVERIFY2(m_server.listen(QHostAddress(address), CommTcp::kCommandPort), qPrintable(m_server.errorString()));
    }
    bool open()
    {
        link.connectToDevice(address);
        if (!m_server.hasPendingConnections() && !m_server.waitForNewConnection(2000))
            return false;
        socket = m_server.nextPendingConnection();
        return socket;
    }
    void write(const QByteArray& bytes)
    {
        socket->write(bytes);
        socket->flush();
    }
    // Reads until `size` bytes have come, or five seconds have passed.
    QByteArray read(int size)
    {
        QByteArray got;
        QTest::qWaitFor([&] { return (got += socket->readAll()).size() >= size; }, 5000);
        return got;
    }

    QTcpServer m_server;
    const QString address;
    CommTcp link;
    ReplySpy spy { link };
    LinkNotices notices { &link };
    QTcpSocket* socket = nullptr;
};

} // namespace

class TestCommTcp : public QObject {
    Q_OBJECT

private slots:
    void sentFramesAreExact();
    void theLinkItselfOpensNoBox();
    void routing_data();
    void routing();
    void wireFaults_data();
    void wireFaults();
    void splitReplyWithinTimeout_data();
    void splitReplyWithinTimeout();
    void maximalReplyDispatchedLargerNever();
    void peerCloseGivesOneDisconnected();
    void repliesDuringAModalBoxAreNotLost();

private:
    int m_case = 0;
    QString nextAddress() { return TestAddresses::card(kArea, ++m_case); }
};

// The frame layouts are the frame tests' business; here the link puts
// exactly the built frames on the wire.
void TestCommTcp::sentFramesAreExact()
{
    Wire wire(nextAddress());
    QSignalSpy connected(&wire.link, &CommTcp::connectedToDevice);
    QVERIFY(wire.open());
    QCOMPARE(connected.count(), 1);
    wire.link.send(2);
    wire.link.send(18, QByteArray("abc"));
    const QByteArray expected = hex("68 00 02 00 02 6C  68 00 05 00 12 61 62 63 A5");
    QCOMPARE(wire.read(expected.size()).toHex(' '), expected.toHex(' '));
}

// The batch worker's links live in threads of their own, where no box may
// open: the link reports, and only its owner shows.
void TestCommTcp::theLinkItselfOpensNoBox()
{
    BoxRecorder boxes;
    CommTcp bare;
    bare.send(2);
    Wire wire(nextAddress());
    CommTcp& link = wire.link;
    QSignalSpy notices(&link, &CommTcp::notice);
    QObject::disconnect(&link, nullptr, &wire.notices, nullptr);
    QVERIFY(wire.open());
    // Two refusals in one read are one report.
    wire.write(CommandFrame::build(7, QByteArray()) + CommandFrame::build(7, hex("00")));
    QTRY_COMPARE(notices.count(), 1);
    QCOMPARE(notices.first().at(0).toInt(), 7);
    QCOMPARE(notices.first().at(1).toBool(), false);
    QVERIFY(boxes.boxes.isEmpty());
}

void TestCommTcp::routing_data()
{
    QTest::addColumn<int>("cmd");
    QTest::addColumn<QByteArray>("data");
    // Empty: dropped; "box:" prefix: an information box; "warn:" prefix: a warning box.
    QTest::addColumn<QString>("family");
    const struct {
        int cmd;
        const char* family;
    } table[] = { { 1, "prog" }, { 2, "" }, { 3, "settings" }, { 4, "box:Set device's IP Settings success!" },
        { 5, "box:Reset device's IP Settings success!" }, { 6, "settings" }, { 7, "box:Set device's date success!" },
        { 8, "log" }, { 9, "log" }, { 10, "log" }, { 11, "sptest" }, { 12, "sptest" }, { 13, "sptest" },
        { 14, "fixed" }, { 15, "fixed" }, { 16, "settings" }, { 17, "settings" }, { 18, "" }, { 19, "root" },
        { 20, "" }, { 256, "prog" }, { 257, "prog" }, { 258, "prog" }, { 259, "prog" }, { 336, "prog" },
        { 337, "prog" }, { 338, "prog" }, { 339, "" } };
    for (const auto& row : table)
        QTest::newRow(qPrintable(QString::number(row.cmd)))
            << row.cmd << hex("01 02") << QString::fromLatin1(row.family);
    // A set date is acknowledged by its result byte: 0, or none, is a refusal.
    QTest::newRow("7, result 0") << 7 << hex("00") << "warn:Set device's date failed!";
    QTest::newRow("7, no result byte") << 7 << QByteArray() << "warn:Set device's date failed!";
}

void TestCommTcp::routing()
{
    QFETCH(int, cmd);
    QFETCH(QByteArray, data);
    QFETCH(QString, family);
    BoxRecorder boxes;
    Wire wire(TestAddresses::card(kArea, 100));
    QVERIFY(wire.open());
    // A marker frame in the same read shows when the one under test has been handled.
    wire.write(CommandFrame::build(cmd, data) + CommandFrame::build(19, QByteArray("end")));
    QList<Reply>& replies = wire.spy.replies;
    QTRY_VERIFY(!replies.isEmpty() && replies.last().data == "end");
    replies.removeLast();

    if (family.isEmpty()) {
        QVERIFY(replies.isEmpty());
        QVERIFY(boxes.boxes.isEmpty());
    } else if (family.contains(QLatin1Char(':'))) {
        const bool warning = family.startsWith(QLatin1String("warn:"));
        QVERIFY(replies.isEmpty());
        QCOMPARE(boxes.boxes.size(), 1);
        QCOMPARE(boxes.last()->icon, warning ? QMessageBox::Warning : QMessageBox::Information);
        QCOMPARE(boxes.last()->title, warning ? QStringLiteral("Warning") : QStringLiteral("Information"));
        QCOMPARE(boxes.last()->text, family.mid(family.indexOf(QLatin1Char(':')) + 1));
        QVERIFY(!boxes.last()->parent);
    } else {
        QCOMPARE(replies.size(), 1);
        QCOMPARE(replies.first().family, family);
        QCOMPARE(replies.first().cmd, cmd);
        QCOMPARE(replies.first().data, hex("01 02"));
    }
}

// Each fault, then a good frame and a marker in the same stream: what the
// link hands on shows what it dropped and that it found its feet again.
void TestCommTcp::wireFaults_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("dispatched"); // replies before the good frame's
    const QByteArray good = CommandFrame::build(16, hex("01 00 16"));
    QByteArray badSum = good;
    badSum[badSum.size() - 1] = char(badSum.at(badSum.size() - 1) ^ 0x01);
    QByteArray shortLength = good;
    shortLength[2] = char(shortLength.at(2) - 1);
    QByteArray flood;
    for (int i = 0; i < 500; ++i)
        flood += CommandFrame::build(10, QByteArray::number(i));
    QTest::newRow("bad checksum") << badSum << 0;
    QTest::newRow("garbage") << hex("00 11 FF 22 13 37") << 0;
    QTest::newRow("false start byte") << hex("68 00 01 05 6E") << 0;
    QTest::newRow("length one short") << shortLength << 0;
    QTest::newRow("two frames in one read") << good << 1;
    QTest::newRow("flood") << flood << 500;
}

void TestCommTcp::wireFaults()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, dispatched);
    BoxRecorder boxes;
    Wire wire(nextAddress());
    QVERIFY(wire.open());
    wire.write(bytes + CommandFrame::build(16, hex("01 00 16")) + CommandFrame::build(19, QByteArray("end")));
    QList<Reply>& replies = wire.spy.replies;
    QTRY_VERIFY(!replies.isEmpty() && replies.last().data == "end");
    QCOMPARE(replies.size(), dispatched + 2);
    QCOMPARE(replies.at(dispatched).data, hex("01 00 16"));
    QVERIFY(boxes.boxes.isEmpty());
}

void TestCommTcp::splitReplyWithinTimeout_data()
{
    QTest::addColumn<int>("gapMs");
    QTest::addColumn<bool>("dispatched");
    QTest::newRow("50 ms gap") << 50 << true;
    QTest::newRow("150 ms gap") << 150 << false;
}

void TestCommTcp::splitReplyWithinTimeout()
{
    QFETCH(int, gapMs);
    QFETCH(bool, dispatched);
    Wire wire(nextAddress());
    QVERIFY(wire.open());
    const QByteArray frame = CommandFrame::build(1, QByteArray("v1.3.0 x"));
    wire.write(frame.left(3));
    QTest::qWait(gapMs);
    wire.write(frame.mid(3));
    QTest::qWait(30);
    // The reply after it is dispatched either way.
    wire.write(CommandFrame::build(19, QByteArray("next")));
    const QList<Reply>& replies = wire.spy.replies;
    QTRY_VERIFY(!replies.isEmpty() && replies.last().cmd == 19);
    QCOMPARE(replies.size(), dispatched ? 2 : 1);
    if (dispatched)
        QCOMPARE(replies.first().data, QByteArray("v1.3.0 x"));
}

void TestCommTcp::maximalReplyDispatchedLargerNever()
{
    Wire wire(nextAddress());
    QVERIFY(wire.open());
    const QList<Reply>& replies = wire.spy.replies;
    wire.write(CommandFrame::build(10, QByteArray(4090, 'L')));
    QTRY_COMPARE(replies.size(), 1);
    QCOMPARE(replies.first().data.size(), 4090);

    wire.write(CommandFrame::build(10, QByteArray(4091, 'M')));
    QTest::qWait(CommTcp::kReassemblyTimeoutMs + 50);
    wire.write(CommandFrame::build(19, QByteArray("after")));
    QTRY_COMPARE(replies.size(), 2);
    QCOMPARE(replies.last().data, QByteArray("after"));
}

void TestCommTcp::peerCloseGivesOneDisconnected()
{
    BoxRecorder boxes;
    Wire wire(nextAddress());
    QSignalSpy disconnected(&wire.link, &CommTcp::disconnected);
    QVERIFY(wire.open());
    wire.socket->disconnectFromHost();
    QTRY_COMPARE(disconnected.count(), 1);
    QTest::qWait(50);
    QCOMPARE(disconnected.count(), 1);
    wire.link.send(2);
    QVERIFY(boxes.saw(QStringLiteral("Device not connected!")));

    // The link is reused for the next connection.
    wire.link.connectToDevice(wire.address);
    QVERIFY(wire.link.isConnected());
    wire.link.disconnectFromDevice();
    QTRY_COMPARE(disconnected.count(), 2);
}

void TestCommTcp::repliesDuringAModalBoxAreNotLost()
{
    // A receiver that opens a modal box runs a nested loop while more replies
    // arrive; they are all dispatched, in order, once it returns.
    Wire wire(nextAddress());
    bool nested = false;
    connect(&wire.link, &CommTcp::gotSettingsRespond, this, [&](int cmd, const quint8*, int) {
        if (cmd != 6 || nested)
            return;
        nested = true;
        wire.write(CommandFrame::build(16, QByteArray(12, '\0')));
        QTest::qWait(200); // longer than the reassembly timer
        wire.write(CommandFrame::build(17, hex("01")));
        QTest::qWait(50);
    });
    QVERIFY(wire.open());
    wire.write(CommandFrame::build(6, QByteArray("2026-12-06 10:00:00")));
    const QList<Reply>& replies = wire.spy.replies;
    QTRY_COMPARE(replies.size(), 3);
    QCOMPARE(replies.at(0).cmd, 6);
    QCOMPARE(replies.at(1).cmd, 16);
    QCOMPARE(replies.at(2).cmd, 17);
}

QTEST_MAIN(TestCommTcp)
#include "tst_commtcp.moc"

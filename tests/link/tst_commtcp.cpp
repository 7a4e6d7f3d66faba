// CommTcp on real loopback sockets: a hand-driven peer for exact bytes and
// timing, and the card simulator for its wire faults.

#include "link/commandframe.h"
#include "link/commtcp.h"
#include "support/boxrecorder.h"
#include "support/simulatorfixture.h"
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

// A peer that accepts the link's connection and writes whatever the test says.
class Peer {
public:
    explicit Peer(const QString& address)
    {
        QVERIFY2(m_server.listen(QHostAddress(address), CommTcp::kCommandPort), qPrintable(m_server.errorString()));
    }
    QTcpSocket* accept()
    {
        if (!m_server.hasPendingConnections() && !m_server.waitForNewConnection(2000))
            return nullptr;
        m_socket = m_server.nextPendingConnection();
        return m_socket;
    }
    void write(const QByteArray& bytes)
    {
        m_socket->write(bytes);
        m_socket->flush();
    }
    // Lets both ends' event loops run for `ms` and returns what arrived.
    QByteArray readFor(int ms)
    {
        QByteArray got;
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < ms) {
            QTest::qWait(5);
            got += m_socket->readAll();
        }
        return got;
    }
    QTcpSocket* socket() const { return m_socket; }

private:
    QTcpServer m_server;
    QTcpSocket* m_socket = nullptr;
};

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

} // namespace

class TestCommTcp : public QObject {
    Q_OBJECT

private slots:
    void sentFramesAreExact_data();
    void sentFramesAreExact();
    void sendWhileUnconnectedWarnsOnly();
    void quietModeReportsBySignals();
    void connectFailureReportsSocketError();
    void routing_data();
    void routing();
    void twoFramesInOneRead();
    void splitReplyWithinTimeout_data();
    void splitReplyWithinTimeout();
    void maximalReplyDispatchedLargerNever();
    void peerCloseGivesOneDisconnected();
    void repliesDuringAModalBoxAreNotLost();
    void simulatorWireFaults();

private:
    int m_case = 0;
    QString nextAddress() { return TestAddresses::card(kArea, ++m_case); }
};

void TestCommTcp::sentFramesAreExact_data()
{
    QTest::addColumn<int>("cmd");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QByteArray>("wire");
    QTest::newRow("reboot") << 2 << QByteArray() << hex("68 00 02 00 02 6C");
    QTest::newRow("console abc") << 18 << QByteArray("abc") << hex("68 00 05 00 12 61 62 63 A5");
    QTest::newRow("read ports") << 16 << QByteArray() << hex("68 00 02 00 10 7A");
}

void TestCommTcp::sentFramesAreExact()
{
    QFETCH(int, cmd);
    QFETCH(QByteArray, data);
    QFETCH(QByteArray, wire);
    const QString address = nextAddress();
    Peer peer(address);
    CommTcp link;
    QSignalSpy connected(&link, &CommTcp::connectedToDevice);
    link.connectToDevice(address);
    QCOMPARE(connected.count(), 1);
    QVERIFY(peer.accept());
    link.send(cmd, data);
    QCOMPARE(peer.readFor(100).toHex(' '), wire.toHex(' '));
}

void TestCommTcp::sendWhileUnconnectedWarnsOnly()
{
    BoxRecorder boxes;
    CommTcp link;
    QSignalSpy sendError(&link, &CommTcp::sendError);
    QSignalSpy refused(&link, &CommTcp::sendRefused);
    link.send(2);
    QCOMPARE(boxes.boxes.size(), 1);
    QCOMPARE(boxes.last()->title, QStringLiteral("Warning"));
    QCOMPARE(boxes.last()->text, QStringLiteral("Device not connected!"));
    QCOMPARE(boxes.last()->icon, QMessageBox::Warning);
    QCOMPARE(boxes.last()->buttons, QStringList { QStringLiteral("Sure") });
    QVERIFY(!boxes.last()->parent);
    QCOMPARE(sendError.count(), 0);
    QCOMPARE(refused.count(), 0);
}

void TestCommTcp::quietModeReportsBySignals()
{
    BoxRecorder boxes;
    const QString address = nextAddress();
    Peer peer(address);
    CommTcp link;
    link.setQuiet(true);
    QSignalSpy refused(&link, &CommTcp::sendRefused);
    QSignalSpy notices(&link, &CommTcp::notice);
    link.send(2);
    QCOMPARE(refused.count(), 1);

    link.connectToDevice(address);
    QVERIFY(peer.accept());
    peer.write(CommandFrame::build(7, QByteArray()));
    QTRY_COMPARE(notices.count(), 1);
    QCOMPARE(notices.first().at(1).toString(), QStringLiteral("Set device's date success!"));
    QVERIFY(boxes.boxes.isEmpty());
}

void TestCommTcp::connectFailureReportsSocketError()
{
    // Nothing listens here: the connection is refused at once.
    CommTcp link;
    QSignalSpy failed(&link, &CommTcp::connectionError);
    QSignalSpy connected(&link, &CommTcp::connectedToDevice);
    QElapsedTimer t;
    t.start();
    link.connectToDevice(nextAddress());
    QVERIFY(t.elapsed() <= CommTcp::kConnectTimeoutMs + 200);
    QCOMPARE(connected.count(), 0);
    QCOMPARE(failed.count(), 1);
    QVERIFY(!failed.first().first().toString().isEmpty());
    QVERIFY(!link.isConnected());
}

void TestCommTcp::routing_data()
{
    QTest::addColumn<int>("cmd");
    QTest::addColumn<QString>("family"); // empty: dropped; "box:" prefix: an information box
    const struct {
        int cmd;
        const char* family;
    } table[] = {
        { 0, "" },
        { 1, "prog" },
        { 2, "" },
        { 3, "settings" },
        { 4, "box:Set device's IP Settings success!" },
        { 5, "box:Reset device's IP Settings success!" },
        { 6, "settings" },
        { 7, "box:Set device's date success!" },
        { 8, "log" },
        { 9, "log" },
        { 10, "log" },
        { 11, "sptest" },
        { 12, "sptest" },
        { 13, "sptest" },
        { 14, "fixed" },
        { 15, "fixed" },
        { 16, "settings" },
        { 17, "settings" },
        { 18, "" },
        { 19, "root" },
        { 20, "" },
        { 255, "" },
        { 256, "prog" },
        { 257, "prog" },
        { 258, "prog" },
        { 259, "prog" },
        { 260, "" },
        { 335, "" },
        { 336, "prog" },
        { 337, "prog" },
        { 338, "prog" },
        { 339, "" },
        { 0xFFFF, "" },
    };
    for (const auto& row : table)
        QTest::newRow(qPrintable(QString::number(row.cmd))) << row.cmd << QString::fromLatin1(row.family);
}

void TestCommTcp::routing()
{
    QFETCH(int, cmd);
    QFETCH(QString, family);
    BoxRecorder boxes;
    const QString address = TestAddresses::card(kArea, 100);
    Peer peer(address);
    CommTcp link;
    ReplySpy spy(link);
    link.connectToDevice(address);
    QVERIFY(peer.accept());
    // A marker frame after the one under test shows when it has been handled.
    peer.write(CommandFrame::build(cmd, hex("01 02")) + CommandFrame::build(19, QByteArray("end")));
    QTRY_VERIFY(!spy.replies.isEmpty() && spy.replies.last().data == "end");
    spy.replies.removeLast();

    if (family.isEmpty()) {
        QVERIFY(spy.replies.isEmpty());
        QVERIFY(boxes.boxes.isEmpty());
    } else if (family.startsWith(QLatin1String("box:"))) {
        QVERIFY(spy.replies.isEmpty());
        QCOMPARE(boxes.boxes.size(), 1);
        QCOMPARE(boxes.last()->title, QStringLiteral("Information"));
        QCOMPARE(boxes.last()->text, family.mid(4));
        QVERIFY(!boxes.last()->parent);
    } else {
        QCOMPARE(spy.replies.size(), 1);
        QCOMPARE(spy.replies.first().family, family);
        QCOMPARE(spy.replies.first().cmd, cmd);
        QCOMPARE(spy.replies.first().data, hex("01 02"));
    }
}

void TestCommTcp::twoFramesInOneRead()
{
    const QString address = nextAddress();
    Peer peer(address);
    CommTcp link;
    ReplySpy spy(link);
    link.connectToDevice(address);
    QVERIFY(peer.accept());
    peer.write(hex("AA BB") + CommandFrame::build(16, QByteArray(12, '\1')) + CommandFrame::build(6, QByteArray()));
    QTRY_COMPARE(spy.replies.size(), 2);
    QCOMPARE(spy.replies.at(0).cmd, 16);
    QCOMPARE(spy.replies.at(0).data.size(), 12);
    QCOMPARE(spy.replies.at(1).cmd, 6);
    QCOMPARE(spy.replies.at(1).data.size(), 0);
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
    const QString address = nextAddress();
    Peer peer(address);
    CommTcp link;
    ReplySpy spy(link);
    link.connectToDevice(address);
    QVERIFY(peer.accept());
    const QByteArray frame = CommandFrame::build(1, QByteArray("v1.3.0 x"));
    peer.write(frame.left(3));
    QTest::qWait(gapMs);
    peer.write(frame.mid(3));
    QTest::qWait(30);
    // The reply after it is dispatched either way.
    peer.write(CommandFrame::build(19, QByteArray("next")));
    QTRY_VERIFY(!spy.replies.isEmpty() && spy.replies.last().cmd == 19);
    QCOMPARE(spy.replies.size(), dispatched ? 2 : 1);
    if (dispatched)
        QCOMPARE(spy.replies.first().data, QByteArray("v1.3.0 x"));
}

void TestCommTcp::maximalReplyDispatchedLargerNever()
{
    const QString address = nextAddress();
    Peer peer(address);
    CommTcp link;
    ReplySpy spy(link);
    link.connectToDevice(address);
    QVERIFY(peer.accept());
    peer.write(CommandFrame::build(10, QByteArray(4090, 'L')));
    QTRY_COMPARE(spy.replies.size(), 1);
    QCOMPARE(spy.replies.first().data.size(), 4090);

    peer.write(CommandFrame::build(10, QByteArray(4091, 'M')));
    QTest::qWait(CommTcp::kReassemblyTimeoutMs + 50);
    peer.write(CommandFrame::build(19, QByteArray("after")));
    QTRY_COMPARE(spy.replies.size(), 2);
    QCOMPARE(spy.replies.last().data, QByteArray("after"));
}

void TestCommTcp::peerCloseGivesOneDisconnected()
{
    BoxRecorder boxes;
    const QString address = nextAddress();
    Peer peer(address);
    CommTcp link;
    QSignalSpy disconnected(&link, &CommTcp::disconnected);
    link.connectToDevice(address);
    QVERIFY(peer.accept());
    peer.socket()->disconnectFromHost();
    QTRY_COMPARE(disconnected.count(), 1);
    QTest::qWait(50);
    QCOMPARE(disconnected.count(), 1);
    link.send(2);
    QVERIFY(boxes.saw(QStringLiteral("Device not connected!")));

    // The link is reused for the next connection.
    link.connectToDevice(address);
    QVERIFY(link.isConnected());
    link.disconnectFromDevice();
    QTRY_COMPARE(disconnected.count(), 2);
}

void TestCommTcp::repliesDuringAModalBoxAreNotLost()
{
    // A receiver that opens a modal box runs a nested loop while more replies
    // arrive; they are all dispatched, in order, once it returns.
    const QString address = nextAddress();
    Peer peer(address);
    CommTcp link;
    ReplySpy spy(link);
    bool nested = false;
    connect(&link, &CommTcp::gotSettingsRespond, this, [&](int cmd, const quint8*, int) {
        if (cmd != 6 || nested)
            return;
        nested = true;
        peer.write(CommandFrame::build(16, QByteArray(12, '\0')));
        QTest::qWait(200); // longer than the reassembly timer
        peer.write(CommandFrame::build(17, hex("01")));
        QTest::qWait(50);
    });
    link.connectToDevice(address);
    QVERIFY(peer.accept());
    peer.write(CommandFrame::build(6, QByteArray("2026-12-06 10:00:00")));
    QTRY_COMPARE(spy.replies.size(), 3);
    QCOMPARE(spy.replies.at(0).cmd, 6);
    QCOMPARE(spy.replies.at(1).cmd, 16);
    QCOMPARE(spy.replies.at(2).cmd, 17);
}

void TestCommTcp::simulatorWireFaults()
{
    const QString split = TestAddresses::card(kArea, 200, 1);
    const QString corrupt = TestAddresses::card(kArea, 200, 2);
    SimulatorFixture sim({ QStringLiteral("--listen"), split + QLatin1Char(',') + corrupt, QStringLiteral("--card"),
        split + QStringLiteral(":split-gap-ms=40"), QStringLiteral("--card"),
        corrupt + QStringLiteral(":corrupt-every=2") });
    QString error;
    QVERIFY2(sim.start(&error), qPrintable(error));

    CommTcp a;
    ReplySpy spyA(a);
    a.connectToDevice(split);
    QVERIFY(a.isConnected());
    a.send(18, QByteArray("ver"));
    QTRY_COMPARE(spyA.replies.size(), 1);
    QVERIFY(spyA.replies.first().data.startsWith("v1.3.0"));

    CommTcp b;
    ReplySpy spyB(b);
    b.connectToDevice(corrupt);
    for (int i = 0; i < 4; ++i)
        b.send(18, QByteArray("echo ") + QByteArray::number(i));
    QTRY_COMPARE(sim.frames(QStringLiteral("out")).size(), 5);
    QTest::qWait(50);
    // Every second reply of that card has a broken checksum and is dropped.
    QCOMPARE(spyB.replies.size(), 2);
    QCOMPARE(spyB.replies.at(0).data, QByteArray("0\0", 2));
    QCOMPARE(spyB.replies.at(1).data, QByteArray("2\0", 2));
}

QTEST_MAIN(TestCommTcp)
#include "tst_commtcp.moc"

// CommTcp on real loopback sockets, against a hand-driven peer for exact
// bytes and timing: what the link sends, where each reply goes, and every
// generic wire fault a card or a network can produce.

#include "link/commandframe.h"
#include "link/commtcp.h"
#include "mainwindow/linknotices.h"
#include "support/boxrecorder.h"
#include "support/tablerows.h"
#include "support/testaddresses.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

namespace {

const auto frame = [](int cmd, const QByteArray& data) { return CommandFrame::build(cmd, data); };
const QString kMarker = QStringLiteral("root 19 656e64"); // "end"

// A link, every reply it dispatches ("family code hex data"), the boxes the main window shows for its reports, and a
// hand-driven peer on `address` that accepts the link's connection and writes whatever the test says.
struct Wire {
    explicit Wire(const QString& address)
        : address(address)
    {
        QVERIFY2(server.listen(QHostAddress(address), CommTcp::kCommandPort), qPrintable(server.errorString()));
        using Reply = void (CommTcp::*)(int, const quint8*, int);
        const std::pair<const char*, Reply> families[]
            = { { "prog", &CommTcp::gotProgRespond }, { "settings", &CommTcp::gotSettingsRespond },
                  { "log", &CommTcp::gotLogRespond }, { "sptest", &CommTcp::gotSPTestRespond },
                  { "fixed", &CommTcp::gotFixedParamRespond }, { "root", &CommTcp::gotRootRespond } };
        for (const auto& [family, signal] : families)
            QObject::connect(&link, signal, [this, family = family](int cmd, const quint8* data, int size) {
                replies << QStringLiteral("%1 %2 ").arg(QLatin1String(family)).arg(cmd)
                        + QByteArray(reinterpret_cast<const char*>(data), size).toHex();
            });
    }
    bool open()
    {
        link.connectToDevice(address);
        if (!server.hasPendingConnections() && !server.waitForNewConnection(2000))
            return false;
        return (socket = server.nextPendingConnection());
    }
    void write(const QByteArray& bytes)
    {
        socket->write(bytes);
        socket->flush();
    }
    // Writes `bytes` and a marker frame, and waits until the marker is dispatched; it is not kept.
    bool writeAndMark(const QByteArray& bytes)
    {
        write(bytes + frame(19, "end"));
        const bool marked = QTest::qWaitFor([&] { return replies.endsWith(kMarker); }, 5000);
        return marked && replies.removeOne(kMarker);
    }

    QTcpServer server;
    const QString address;
    CommTcp link;
    QStringList replies;
    LinkNotices notices { &link };
    QTcpSocket* socket = nullptr;
};

} // namespace

class TestCommTcp : public QObject {
    Q_OBJECT

    int m_case = 0;
    QString nextAddress() { return TestAddresses::card(10, ++m_case); }

private slots:
    // The batch worker's links live in threads of their own, where no box may
    // open: the link reports, and only its owner shows.
    void theLinkItselfOpensNoBox()
    {
        BoxRecorder boxes;
        CommTcp().send(2);
        Wire wire(nextAddress());
        QSignalSpy notices(&wire.link, &CommTcp::notice);
        QObject::disconnect(&wire.link, nullptr, &wire.notices, nullptr);
        QVERIFY(wire.open());
        wire.write(frame(7, {}) + frame(7, hx("00"))); // two refusals in one read are one report
        QTRY_COMPARE(notices.count(), 1);
        QCOMPARE(notices.first(), (QVariantList { 7, false }));
        QVERIFY(boxes.boxes.isEmpty());
    }

    // Empty: dropped; "box:" prefix: an information box; "warn:" prefix: a warning box.
    void routing_data()
    {
        QTest::addColumn<int>("cmd");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QString>("family");
        const QStringList table { "prog", "", "settings", "box:Set device's IP Settings success!",
            "box:Reset device's IP Settings success!", "settings", "box:Set device's date success!", "log", "log",
            "log", "sptest", "sptest", "sptest", "fixed", "fixed", "settings", "settings", "", "root", "" };
        for (int cmd = 1; cmd <= 20; ++cmd)
            row(qPrintable(QString::number(cmd)), cmd, hx("01 02"), table.at(cmd - 1));
        for (int cmd : { 256, 257, 258, 259, 336, 337, 338, 339 })
            row(qPrintable(QString::number(cmd)), cmd, hx("01 02"), (cmd == 339 ? "" : "prog"));
        // A set date is acknowledged by its result byte: 0, or none, is a refusal.
        row("7, result 0", 7, hx("00"), "warn:Set device's date failed!");
    }
    void routing()
    {
        QFETCH(int, cmd);
        QFETCH(QByteArray, data);
        QFETCH(QString, family);
        BoxRecorder boxes;
        Wire wire(TestAddresses::card(10, 100));
        QVERIFY(wire.open());
        QVERIFY(wire.writeAndMark(frame(cmd, data)));
        QStringList got = wire.replies;
        for (const MessageBox::Box& b : boxes.boxes)
            got << QStringLiteral("%1 %2 %3 %4").arg(b.icon).arg(b.title, b.text, b.parent ? "parent" : "no parent");
        const QString text = family.section(QLatin1Char(':'), 1);
        QCOMPARE(got.join(QLatin1Char('|')),
            family.isEmpty()                 ? QString()
                : text.isEmpty()             ? QStringLiteral("%1 %2 0102").arg(family).arg(cmd)
                : family.startsWith("warn:") ? QStringLiteral("2 Warning %1 no parent").arg(text)
                                             : QStringLiteral("1 Information %1 no parent").arg(text));
    }

    // Each fault, then a good frame and a marker in the same stream: what the
    // link hands on shows what it dropped and that it found its feet again
    // (the framing's own faults are rows of tst_wiredata's assemble).
    void wireFaults_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("dispatched"); // replies before the good frame's
        const QByteArray good = frame(16, hx("01 00 16"));
        QByteArray shortLength = good, flood;
        shortLength[2] = char(shortLength.at(2) - 1);
        for (int i = 0; i < 500; ++i)
            flood += frame(10, QByteArray::number(i));
        row("length one short", shortLength, 0);
        row("flood", flood, 500);
    }
    void wireFaults()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, dispatched);
        BoxRecorder boxes;
        Wire wire(nextAddress());
        QVERIFY(wire.open());
        QVERIFY(wire.writeAndMark(bytes + frame(16, hx("01 00 16"))));
        QCOMPARE(wire.replies.size(), dispatched + 1);
        QCOMPARE(wire.replies.at(dispatched), QStringLiteral("settings 16 010016"));
        QVERIFY(boxes.boxes.isEmpty());
    }

    void maximalReplyDispatchedLargerNever()
    {
        Wire wire(nextAddress());
        QVERIFY(wire.open());
        wire.write(frame(10, QByteArray(4090, 'L')));
        QTRY_COMPARE(wire.replies.size(), 1);
        wire.write(frame(10, QByteArray(4091, 'M')));
        QTest::qWait(CommTcp::kReassemblyTimeoutMs + 50);
        QVERIFY(wire.writeAndMark({}));
        QCOMPARE(wire.replies, QStringList { "log 10 " + QByteArray(4090, 'L').toHex() });
    }

    void peerCloseGivesOneDisconnected()
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
        wire.link.connectToDevice(wire.address); // the link is reused for the next connection
        QVERIFY(wire.link.isConnected());
        wire.link.disconnectFromDevice();
        QTRY_COMPARE(disconnected.count(), 2);
    }

    // A receiver that opens a modal box runs a nested loop while more replies
    // arrive; they are all dispatched, in order, once it returns.
    void repliesDuringAModalBoxAreNotLost()
    {
        Wire wire(nextAddress());
        bool nested = false;
        connect(&wire.link, &CommTcp::gotSettingsRespond, this, [&](int cmd, const quint8*, int) {
            if (cmd != 6 || std::exchange(nested, true))
                return;
            wire.write(frame(16, QByteArray(12, '\0')));
            QTest::qWait(200); // longer than the reassembly timer
            wire.write(frame(17, hx("01")));
            QTest::qWait(50);
        });
        QVERIFY(wire.open());
        wire.write(frame(6, "2026-12-06 10:00:00"));
        QTRY_COMPARE(wire.replies.size(), 3);
        QCOMPARE(wire.replies,
            (QStringList { "settings 6 " + QByteArray("2026-12-06 10:00:00").toHex(),
                "settings 16 " + QByteArray(24, '0'), "settings 17 01" }));
    }
};

QTEST_MAIN(TestCommTcp)
#include "tst_commtcp.moc"

// The card simulator as technicians and tests use it: its command line, its
// record (read while the card writes it) and the separate executable. Its
// wire faults are exercised by the tests that use them.

#include "card.h"
#include "cardsimulator.h"
#include "link/commandframe.h"
#include "link/commtcp.h"
#include "recorder.h"
#include "support/simulatorfixture.h"
#include "support/testaddresses.h"

#include <QDeadlineTimer>
#include <QJsonDocument>
#include <QProcess>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <thread>

namespace {

constexpr int kArea = 12;

QByteArray exchange(QTcpSocket& socket, const QByteArray& bytes, int expectBytes, int timeoutMs = 2000)
{
    socket.write(bytes);
    QByteArray got;
    QElapsedTimer t;
    t.start();
    while (got.size() < expectBytes && t.elapsed() < timeoutMs) {
        if (socket.waitForReadyRead(50))
            got += socket.readAll();
    }
    return got;
}

} // namespace

class TestCardSim : public QObject {
    Q_OBJECT

private slots:
    void addressLists_data();
    void addressLists();
    void badCommandLinesAreRefused_data();
    void badCommandLinesAreRefused();
    void perCardOptionsOverrideCommonOnes();
    void consoleAndRebootOnTheWire();
    void executableHelpRecordAndSignals();
    void recordsAreReadWhileTheCardWrites();
};

void TestCardSim::addressLists_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("list") << "127.0.0.1,127.0.0.3" << QStringList { "127.0.0.1", "127.0.0.3" };
    QTest::newRow("range") << "127.0.0.2-127.0.0.4" << QStringList { "127.0.0.2", "127.0.0.3", "127.0.0.4" };
    QTest::newRow("short range") << "127.0.0.254-255" << QStringList { "127.0.0.254", "127.0.0.255" };
    QTest::newRow("range over an octet") << "127.0.0.255-127.0.1.0" << QStringList { "127.0.0.255", "127.0.1.0" };
    QTest::newRow("backwards") << "127.0.0.4-127.0.0.2" << QStringList();
    QTest::newRow("not an address") << "card-1" << QStringList();
    QTest::newRow("IPv6") << "::1" << QStringList();
}

void TestCardSim::addressLists()
{
    QFETCH(QString, text);
    QFETCH(QStringList, expected);
    QCOMPARE(CardSimulator::expandAddresses(text), expected);
}

void TestCardSim::badCommandLinesAreRefused_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("unknown option") << QStringList { "--no-such-thing" };
    QTest::newRow("bad address") << QStringList { "--listen", "300.1.1.1" };
    QTest::newRow("card without option") << QStringList { "--card", "127.0.0.1" };
    QTest::newRow("card with unknown option") << QStringList { "--card", "127.0.0.1:colour=red" };
    QTest::newRow("bad port") << QStringList { "--port", "70000" };
}

void TestCardSim::badCommandLinesAreRefused()
{
    QFETCH(QStringList, arguments);
    CardSimulator sim;
    QString error;
    QVERIFY(!sim.configure(QStringList { "netquill-cardsim" } + arguments, &error));
    QVERIFY(!error.isEmpty());
}

void TestCardSim::perCardOptionsOverrideCommonOnes()
{
    const QString a = TestAddresses::card(kArea, 1, 1);
    const QString b = TestAddresses::card(kArea, 1, 2);
    CardSimulator sim;
    QString error;
    QVERIFY2(sim.configure({ "netquill-cardsim", "--listen", a + "," + b, "--version", "v2.0.0 common", "--card",
                               b + ":version=v1.2.2 old", "--card", b + ":console-silent" },
                 &error),
        qPrintable(error));
    QVERIFY2(sim.start(&error), qPrintable(error));
    QCOMPARE(sim.cards().size(), 2);
    QCOMPARE(sim.card(a)->versionText(), QStringLiteral("v2.0.0 common"));
    QCOMPARE(sim.card(b)->versionText(), QStringLiteral("v1.2.2 old"));
    QVERIFY(!sim.card(a)->config().flag(QStringLiteral("console-silent")));
    QVERIFY(sim.card(b)->config().flag(QStringLiteral("console-silent")));

    // Two simulators cannot own the same card address.
    CardSimulator second;
    QVERIFY(second.configure({ "netquill-cardsim", "--listen", a }, &error));
    QVERIFY(!second.start(&error));
    QVERIFY(error.contains(a));
}

void TestCardSim::consoleAndRebootOnTheWire()
{
    const QString address = TestAddresses::card(kArea, 2);
    SimulatorFixture sim({ "--listen", address, "--version", "v1.4.2 20261201" });
    QVERIFY(sim.start());
    QTcpSocket socket;
    socket.connectToHost(address, CommTcp::kCommandPort);
    QVERIFY(socket.waitForConnected(1000));

    const QByteArray expected = CommandFrame::build(19, QByteArray("v1.4.2 20261201\0", 16));
    QCOMPARE(exchange(socket, CommandFrame::build(18, "ver"), expected.size()), expected);
    const QByteArray multi = exchange(socket, CommandFrame::build(18, "ifconfig"), 40);
    QVERIFY(multi.contains("eth0"));
    QVERIFY(multi.contains('\n'));

    socket.write(CommandFrame::build(2));
    QVERIFY(socket.waitForDisconnected(2000));
    QTRY_COMPARE(sim.events("reboot").size(), 1);
    QTRY_COMPARE(sim.events("closed").size(), 1);
    const auto in = sim.frames("in");
    QCOMPARE(in.size(), 3);
    QCOMPARE(in.at(0).value("data").toString(), QStringLiteral("766572"));
    QCOMPARE(in.at(2).value("frame").toString(), QStringLiteral("68000200026c"));
    QCOMPARE(sim.events("closed").last().value("by").toString(), QStringLiteral("card"));
}

void TestCardSim::executableHelpRecordAndSignals()
{
    QProcess help;
    help.start(QStringLiteral(CARDSIM_BIN), { "--help" });
    QVERIFY(help.waitForFinished(5000));
    QCOMPARE(help.exitCode(), 0);
    const QString text = QString::fromLocal8Bit(help.readAllStandardOutput());
    QVERIFY(text.contains(QLatin1String("--corrupt-every")));

    QTemporaryDir dir;
    const QString record = dir.filePath("frames.jsonl");
    const QString address = TestAddresses::card(kArea, 5);
    QProcess sim;
    sim.start(QStringLiteral(CARDSIM_BIN), { "--listen", address, "--record", record });
    QVERIFY(sim.waitForReadyRead(5000));
    QVERIFY(QString::fromLocal8Bit(sim.readAllStandardOutput()).contains(address));

    QTcpSocket socket;
    socket.connectToHost(address, CommTcp::kCommandPort);
    QVERIFY(socket.waitForConnected(1000));
    QVERIFY(!exchange(socket, CommandFrame::build(18, "ver"), 6).isEmpty());
    socket.disconnectFromHost();

    sim.terminate(); // SIGTERM: the simulator ends its loop and closes the record
    QVERIFY(sim.waitForFinished(5000));
    QCOMPARE(sim.exitStatus(), QProcess::NormalExit);
    QFile file(record);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QStringList kinds;
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (line.isEmpty())
            continue;
        const QJsonObject o = QJsonDocument::fromJson(line).object();
        QVERIFY(o.contains("t"));
        QCOMPARE(o.value("card").toString(), address);
        kinds.append(o.contains("event") ? o.value("event").toString() : o.value("dir").toString());
    }
    QCOMPARE(kinds.mid(0, 3), (QStringList { "connected", "in", "out" }));
}

void TestCardSim::recordsAreReadWhileTheCardWrites()
{
    // Tests read the record in their own thread while the simulator's thread
    // appends to it; each copy read must be a snapshot of its own.
    constexpr int kFrames = 2000;
    Recorder recorder;
    recorder.setKeepInMemory(true);
    std::thread card([&recorder] {
        for (int i = 0; i < kFrames; ++i)
            recorder.frame(QStringLiteral("127.0.0.1"), 1, true, i, QByteArray(1, char(i)), QByteArray());
    });
    int seen = 0;
    QVector<QJsonObject> first;
    // Bounded in time, not in rounds alone: on a loaded machine the reader
    // can spin through any fixed number of rounds before the writer's thread
    // has run at all.
    const QDeadlineTimer deadline(20000);
    for (int round = 0; round < 100000000 && seen < kFrames && !deadline.hasExpired(); ++round) {
        QVector<QJsonObject> now = recorder.records();
        QVERIFY(now.size() >= seen);
        for (QJsonObject& r : now) // writable: a shared copy would detach here
            r.insert(QStringLiteral("seen"), true);
        if (first.isEmpty() && !now.isEmpty())
            first = now;
        seen = now.size();
    }
    card.join();
    const QVector<QJsonObject> all = recorder.records();
    QCOMPARE(all.size(), kFrames);
    for (int i = 0; i < kFrames; ++i) {
        QCOMPARE(all[i].value(QStringLiteral("cmd")).toInt(), i);
        QVERIFY(!all[i].contains(QStringLiteral("seen")));
    }
    QVERIFY(!first.isEmpty());
    QVERIFY(first.size() <= kFrames);
}

QTEST_GUILESS_MAIN(TestCardSim)
#include "tst_cardsim.moc"

// Discovery end to end inside the namespaces scripts/netns-harness.sh builds
// (netquill-discoverysim plays the cards in the peer namespace): the session,
// the search page, and netquill-cli's search, set-ip and reboot. Started any
// other way it skips: its searches must never reach the real interfaces.

#include "cli/clirun.h"
#include "discovery/cardframe.h"
#include "discovery/commlink.h"
#include "discovery/discoverysession.h"
#include "discoverysimulator.h"
#include "support/boxrecorder.h"
#include "support/searchpagedriver.h"
#include "support/simulatorprocess.h"

#include <QLineEdit>
#include <QTemporaryDir>
#include <QtTest>

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// The namespaces and interfaces the harness made, as it hands them over.
QString harness(const char* name)
{
    return QString::fromLocal8Bit(qgetenv(name));
}
const QString kToolIf = harness("NETQUILL_NETNS_TOOL_IF"), kToolIf2 = harness("NETQUILL_NETNS_TOOL_IF2"),
              kCardIf = harness("NETQUILL_NETNS_CARD_IF"), kCardsNs = harness("NETQUILL_NETNS_CARDS");
// Three cards with two interfaces each, eth0 at 10.77.1.1 to 10.77.1.3.
const QStringList kThree { "--cards", "3", "--address", "10.77.1.1", "--assign-addresses", "--card-interfaces",
    "eth0,eth1" };

// Switches CAP_NET_RAW of the calling thread on or off. Threads started
// meanwhile inherit the change, so a capture thread started with it off
// cannot open its device: the "no permission" of a technician without the
// capture driver's rights.
bool setNetRaw(bool on)
{
    __user_cap_header_struct header { _LINUX_CAPABILITY_VERSION_3, 0 };
    __user_cap_data_struct data[2] {};
    const bool read = syscall(SYS_capget, &header, data) == 0;
    data[0].effective = on ? data[0].effective | (1u << CAP_NET_RAW) : data[0].effective & ~(1u << CAP_NET_RAW);
    return read && syscall(SYS_capset, &header, data) == 0;
}

// One netquill-discoverysim in the cards' namespace, for one test.
struct Cards {
    explicit Cards(const QStringList& arguments)
        : process(QStringLiteral("ip"),
            QStringList { "netns", "exec", kCardsNs, DISCOVERYSIM_BIN, "--interface", kCardIf, "--record", record }
                + arguments)
    {
    }
    QVector<QJsonObject> events(const char* name) const { return SimulatorProcess::events(record, name); }
    QVector<QJsonObject> rawFrames(int cmd) const
    {
        QVector<QJsonObject> result;
        for (const QJsonObject& o : events("raw-frame"))
            if (o.value("cmd").toInt() == cmd)
                result.append(o);
        return result;
    }
    QTemporaryDir dir;
    const QString record = dir.filePath(QStringLiteral("record.jsonl"));
    SimulatorProcess process;
};

// The simulator's default: 02:4E:51:00:00:01 for card 0, plus the card's
// number, plus 0x10000 per further interface (a few of each here).
QString mac(int card, int interface = 0)
{
    return QStringLiteral("02:4E:51:0%1:00:0%2").arg(interface).arg(card + 1);
}

constexpr int kFastCycleMs = 150;

// A search of the session on the tool's interface: true once its cycles are
// over and it lists at least `cards` cards, a moment after for late replies.
bool searchAndWait(DiscoverySession& session, int cards)
{
    QSignalSpy finished(&session, &DiscoverySession::searchFinished);
    const bool done = session.search(QNetworkInterface::interfaceFromName(kToolIf)) && finished.wait(10000)
        && QTest::qWaitFor([&] { return session.cards().size() >= cards; }, 10000);
    QTest::qWait(100);
    return done;
}

const Discovery::CardInfo* cardOf(const DiscoverySession& session, const QString& host)
{
    for (const Discovery::CardInfo& card : session.cards())
        if (card.host == host)
            return &card;
    return nullptr;
}

} // namespace

class TestDiscoveryNetns : public QObject {
    Q_OBJECT
    QString m_toolMac, m_toolMac2;

private slots:
    void initTestCase()
    {
        if (kCardsNs.isEmpty() || kToolIf.isEmpty())
            QSKIP("run through scripts/netns-harness.sh (ctest does): the searches must stay inside namespaces "
                  "of their own");
        if (!DiscoverySimulator::inOwnNetworkNamespace())
            QSKIP("not inside a namespace made with ip netns: refusing to search on the machine's real interfaces");
        const QNetworkInterface tool = QNetworkInterface::interfaceFromName(kToolIf);
        const QNetworkInterface tool2 = QNetworkInterface::interfaceFromName(kToolIf2);
        QVERIFY(tool.isValid() && tool2.isValid() && Discovery::isUsableInterface(tool.flags()));
        m_toolMac = tool.hardwareAddress();
        m_toolMac2 = tool2.hardwareAddress();
    }
    void cleanup() { setNetRaw(true); }

    void captureFollowsTheAdapterAndEndsWithTheLink()
    {
        auto link = std::make_unique<CommLink>();
        QSignalSpy failed(link.get(), &CommLink::captureFailed);
        int started = 0, ended = 0;
        connect(
            link->captureThread(), &QThread::started, this, [&] { ++started; }, Qt::DirectConnection);
        connect(
            link->captureThread(), &QThread::finished, this, [&] { ++ended; }, Qt::DirectConnection);
        link->setInterface(kToolIf, m_toolMac);
        QVERIFY(link->isCapturing()); // open before setInterface returns: the first frame goes out
        link->setInterface(kToolIf, m_toolMac);
        QTest::qWait(100);
        QCOMPARE((QPair<int, int>(started, ended)), (QPair<int, int>(1, 0)));
        link->setInterface(kToolIf2, m_toolMac2);
        // The capture on the first adapter ended before the new one began.
        QCOMPARE((QPair<int, int>(started, ended)), (QPair<int, int>(2, 1)));
        QVERIFY(link->isCapturing() && link->captureThread()->isRunning() && failed.isEmpty());
        QCOMPARE(link->interfaceName(), kToolIf2);
        link.reset(); // returns only after the capture thread ended
        QCOMPARE(ended, 2);
    }

    void searchFindsCards_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("both protocols") << kThree;
        QTest::newRow("link layer only") << kThree + QStringList { "--protocols", "raw" };
        QTest::newRow("UDP only") << kThree + QStringList { "--protocols", "udp" };
        // The session's own requests go to the group it listens on, and begin like
        // a reply: one row per card shows that none of them became a row.
        QTest::newRow("UDP replies to the group")
            << kThree + QStringList { "--protocols", "udp", "--udp-reply", "multicast" };
    }
    void searchFindsCards()
    {
        QFETCH(QStringList, arguments);
        Cards cards(arguments);
        QVERIFY(cards.process.ready());
        DiscoverySession session(nullptr, kFastCycleMs);
        QSignalSpy failed(&session, &DiscoverySession::captureFailed);
        QVERIFY(searchAndWait(session, 3));
        QVERIFY(session.cards().size() == 3 && failed.isEmpty());
        for (int card = 0; card < 3; ++card) {
            const QString host = QStringLiteral("10.77.1.%1").arg(card + 1);
            const Discovery::CardInfo* row = cardOf(session, host);
            QVERIFY(row && row->cardHardwareAddress == mac(card) && row->product == "NQ-Card 200");
            QCOMPARE(row->interfaces,
                (QVector<Discovery::CardInterface> { { "eth0", host, "255.255.0.0", mac(card) },
                    { "eth1", QStringLiteral("172.17.0.%1").arg(card + 1), "255.255.0.0", mac(card, 1) } }));
        }
        // Three cycles, each with one request per protocol.
        const auto udp = cards.events("udp-request");
        const auto raw = cards.rawFrames(0);
        QCOMPARE(udp.size(), arguments.contains(QStringLiteral("raw")) ? 0 : 3);
        QCOMPARE(raw.size(), arguments.contains(QStringLiteral("udp")) ? 0 : 3);
        for (const QJsonObject& r : udp) // from 10.77.0.1/16
            QCOMPARE(r["from"].toString() + ':' + QString::number(r["port"].toInt()) + ' ' + r["data"].toString(),
                QStringLiteral("10.77.0.1:8889 00251801004d0a0000ffff"));
        for (const QJsonObject& r : raw)
            QVERIFY(r["dst"].toString() == "FF:FF:FF:FF:FF:FF" && r["src"].toString() == m_toolMac
                && r["size"].toInt() == 28 && r["crc_ok"].toBool() && r["length_ok"].toBool()
                && r["fixed_ok"].toBool());
    }

    void oneRowWhicheverReplyComesFirst_data()
    {
        // The card answers the UDP search in the short form, without hardware
        // addresses; one protocol's replies are held back. Once a card was listed
        // twice when its UDP reply came first.
        QTest::addColumn<QString>("lateProtocol");
        QTest::newRow("UDP reply first") << "--raw-delay-ms";
        QTest::newRow("link-layer reply first") << "--udp-delay-ms";
    }
    void oneRowWhicheverReplyComesFirst()
    {
        QFETCH(QString, lateProtocol);
        constexpr int kLateMs = 400;
        Cards cards(
            { "--udp-form", "short", "--card-interfaces", "eth0,eth1", lateProtocol, QString::number(kLateMs) });
        QVERIFY(cards.process.ready());
        DiscoverySession session(nullptr, kFastCycleMs);
        QVERIFY(searchAndWait(session, 1));
        QTRY_VERIFY(cardOf(session, "10.77.0.2") && !cardOf(session, "10.77.0.2")->cardHardwareAddress.isEmpty());
        QTest::qWait(kLateMs + 200); // the late replies of every cycle add nothing
        QCOMPARE(session.cards().size(), 1);
        const Discovery::CardInfo* row = cardOf(session, "10.77.0.2");
        QCOMPARE((QStringList { row->cardHardwareAddress, row->product, row->interfaces.at(1).hardwareAddress }),
            (QStringList { mac(0), "NQ-Card 200", mac(0, 1) }));
    }

    void setIpAndRebootReachOnlyTheChosenCards()
    {
        // The cards the technician cannot reach any other way: their addresses
        // are in no subnet of the PC. The link layer finds them, gives one of
        // them new IP settings and reboots another.
        Cards cards({ "--cards", "3", "--address", "192.168.5.5", "--netmask", "255.255.255.0", "--gateway",
            "192.168.5.1", "--assign-addresses", "--card-interfaces", "eth0,eth1" });
        QVERIFY(cards.process.ready());
        BoxRecorder boxes;
        SearchPageDriver p(kFastCycleMs);
        QVERIFY(p.choose(kToolIf));
        QVERIFY(p.searchAndWait(3));

        DialogSetIPWatcher driver([](DialogSetIP* dialog) {
            dialog->findChild<QComboBox*>("comboBoxIntf")->setCurrentText(QStringLiteral("eth0"));
            dialog->findChild<QLineEdit*>("leIP")->setText(QStringLiteral("10.77.3.3"));
            dialog->findChild<QLineEdit*>("leNetmask")->setText(QStringLiteral("255.255.0.0"));
            dialog->findChild<QLineEdit*>("leGateway")->setText(QStringLiteral("10.77.0.254"));
            dialog->findChild<QPushButton*>("btnSure")->click();
        });
        boxes.answerDialog(QStringLiteral("Set IP address"));
        p.menuOn(p.row(QStringLiteral("192.168.5.6"), mac(1))->child(1)); // from an interface row of the card
        QVERIFY(driver.seen);
        QTRY_COMPARE(boxes.texts(), QStringList { QStringLiteral("Operation succeed!") });
        QCOMPARE(boxes.last()->title, QStringLiteral("Device Reply"));
        const auto setIp = cards.events("set-ip");
        QVERIFY(setIp.size() == 1 && setIp.first()["card"].toInt() == 1 && setIp.first()["applied"].toBool());
        QCOMPARE(setIp.first()["payload"].toString(),
            QStringLiteral(R"({"gateway":"10.77.0.254","interface":"eth0","ip":"10.77.3.3","netmask":"255.255.0.0"})"));
        QVERIFY(cards.rawFrames(2).size() == 1 && cards.rawFrames(2).first()["dst"].toString() == mac(1));

        // The card took its new address; the others kept theirs.
        boxes.clear();
        QVERIFY(p.searchAndWait(3));
        QStringList hosts = p.hosts();
        hosts.sort();
        QCOMPARE(hosts, (QStringList { "10.77.3.3", "192.168.5.5", "192.168.5.7" }));
        QCOMPARE(
            p.row(QStringLiteral("10.77.3.3"))->data(0, DevSereachPage::kCardHardwareAddressRole).toString(), mac(1));

        boxes.answerDialog(QStringLiteral("Reboot"));
        p.menuOn(p.row(QStringLiteral("192.168.5.7")));
        QTRY_COMPARE(boxes.texts(), QStringList { QStringLiteral("Operation succeed!") });
        const auto reboots = cards.events("reboot");
        QVERIFY(reboots.size() == 1 && reboots.first()["card"].toInt() == 2 && cards.rawFrames(4).size() == 1);
        QVERIFY(
            cards.rawFrames(4).first()["dst"].toString() == mac(2) && cards.rawFrames(4).first()["size"].toInt() == 28);
        // Whatever its caller asks, the session sends no command to every card.
        for (const char* everyone : { "", "FF:FF:FF:FF:FF:FF", "01:00:5E:00:00:01" })
            QVERIFY(!p.session->sendToCard(CardFrame::Reboot, QString::fromLatin1(everyone), QByteArray()));
        QTest::qWait(100);
        QVERIFY(cards.rawFrames(4).size() == 1 && cards.events("broadcast-command").isEmpty());
    }

    void captureFailureIsToldOnceAndUdpGoesOn()
    {
        // Short-form UDP replies carry no hardware address: a row with the
        // card's hardware address comes only from the link layer.
        Cards cards({ "--udp-form", "short" });
        QVERIFY(cards.process.ready());
        BoxRecorder boxes;
        SearchPageDriver p(kFastCycleMs);
        QVERIFY(p.choose(kToolIf));
        QVERIFY(setNetRaw(false));
        QVERIFY(p.searchAndWait(1));
        QCOMPARE(p.macs(), QStringList { QString() });
        QCOMPARE(boxes.boxes.size(), 1);
        const QString told = boxes.last()->text;
        QVERIFY2(boxes.last()->icon == QMessageBox::Warning && told.contains(kToolIf)
                && told.contains(QStringLiteral("needs the cap_net_raw capability")),
            qPrintable(told));
        // The next search tries again, and says nothing again.
        QVERIFY(p.searchAndWait());
        QCOMPARE(p.macs(), QStringList { QString() });
        QVERIFY(boxes.boxes.size() == 1 && cards.rawFrames(0).isEmpty());
        // With the right restored, the same interface captures again.
        QVERIFY(setNetRaw(true));
        QVERIFY(p.searchAndWait());
        QTRY_VERIFY(p.row(QStringLiteral("10.77.0.2"), mac(0)));
        QVERIFY(cards.rawFrames(0).size() == 3 && boxes.boxes.size() == 1);
    }

    // netquill-cli: what it prints, the exit code it ends with, the card it reaches.
    void cli_data()
    {
        QTest::addColumn<QStringList>("cardOptions");
        QTest::addColumn<QStringList>("arguments"); // the command, then its options but the interface
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QStringList>("said"); // parts of stdout, or of stderr when it failed
        QTest::addColumn<QString>("reached"); // event:card recorded; empty: none
        auto row = [](const char* tag, const QStringList& cardOptions, const QStringList& arguments, int exitCode,
                       const QStringList& said, const char* reached) {
            QTest::newRow(tag) << kThree + cardOptions << arguments << exitCode << said << reached;
        };
        row("search, JSON", {}, { "search", "--seconds", "2.5", "--json" }, 0,
            { R"("host": "10.77.1.1")", R"("host": "10.77.1.3")", "\"localInterface\": \"" + kToolIf,
                R"("mac": "02:4E:51:00:00:03")", R"("product": "NQ-Card 200")", R"("name": "eth1")" },
            "");
        row("set-ip, lower-case MAC", {},
            { "set-ip", "--mac", "02:4e:51:00:00:01", "--ip", "10.77.2.9", "--netmask", "255.255.0.0",
                "--card-interface", "eth0" },
            0, { "02:4E:51:00:00:01: Operation succeed!\n" }, "set-ip:0");
        row("set-ip, refused", { "--fail-set-ip" }, { "set-ip", "--mac", "02:4E:51:00:00:01", "--ip", "10.77.2.9" }, 1,
            { "Operation failed!" }, "set-ip:0");
        row("reboot, JSON", {}, { "reboot", "--mac", "02:4E:51:00:00:03", "--json" }, 0, { "\"succeeded\": true" },
            "reboot:2");
        row("reboot, no such card", {}, { "reboot", "--mac", "02:4E:51:00:00:09", "--seconds", "1" }, 1, { "no reply" },
            "");
    }
    void cli()
    {
        QFETCH(QStringList, cardOptions);
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QStringList, said);
        QFETCH(QString, reached);
        Cards cards(cardOptions);
        QVERIFY(cards.process.ready());
        arguments.insert(1, QStringLiteral("--interface"));
        arguments.insert(2, kToolIf);
        const CliRun run = runCli(arguments);
        QCOMPARE(run.exitCode, exitCode);
        for (const QString& part : qAsConst(said))
            QVERIFY2((exitCode ? run.err : run.out).contains(part), qPrintable(run.out + run.err));
        QStringList events;
        for (const QJsonObject& o : cards.events(""))
            if (o["event"].toString() == "set-ip" || o["event"].toString() == "reboot")
                events << o["event"].toString() + ':' + QString::number(o["card"].toInt());
        QCOMPARE(events.join(' '), reached);
    }
};

QTEST_MAIN(TestDiscoveryNetns)
#include "tst_discovery_netns.moc"

// netquill-cli's search, set-ip and reboot inside the two network
// namespaces that scripts/netns-harness.sh makes: this test runs on the
// tool's side, netquill-discoverysim plays the cards on the other. Nothing
// here ever runs on the machine's own interfaces.

#include "clirun.h"
#include "discoverysimulator.h"
#include "support/netnsharness.h"
#include "support/simulatorprocess.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

namespace {

using namespace NetnsHarness;

const QString kFirstMac = QStringLiteral("02:4E:51:00:00:01");

// Three cards in the cards' namespace for one test.
class Cards {
public:
    explicit Cards(const QStringList& extra = {})
        : m_record(m_dir.filePath(QStringLiteral("record.jsonl")))
        , m_process(QStringLiteral("ip"),
              QStringList { "netns", "exec", kCardsNs, DISCOVERYSIM_BIN, "--interface", kCardIf, "--record", m_record,
                  "--cards", "3", "--address", "10.77.1.1", "--assign-addresses", "--card-interfaces", "eth0,eth1" }
                  + extra)
    {
    }
    bool ready() const { return m_process.ready(); }
    QVector<QJsonObject> events(const QString& name) const { return SimulatorProcess::events(m_record, name); }

private:
    QTemporaryDir m_dir;
    const QString m_record;
    SimulatorProcess m_process;
};

} // namespace

class TestCliNetns : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (kCardsNs.isEmpty() || kToolIf.isEmpty())
            QSKIP("run through scripts/netns-harness.sh (ctest does): discovery stays inside namespaces of its own");
        if (!DiscoverySimulator::inOwnNetworkNamespace())
            QSKIP("not inside a namespace made with ip netns: refusing to search on the machine's real interfaces");
    }

    void searchListsEveryCard_data()
    {
        QTest::addColumn<QStringList>("cardOptions");
        QTest::newRow("both protocols") << QStringList();
        // The UDP reply without hardware addresses comes first: the link layer's
        // completes its row.
        QTest::newRow("short UDP reply first") << QStringList { "--udp-form", "short", "--raw-delay-ms", "400" };
    }
    void searchListsEveryCard()
    {
        QFETCH(QStringList, cardOptions);
        Cards cards(cardOptions);
        QVERIFY(cards.ready());
        const CliRun run = runCli({ "search", "--interface", kToolIf, "--seconds", "2.5", "--json" });
        QCOMPARE(run.exitCode, 0);
        const QJsonArray found = run.json().array();
        QCOMPARE(found.size(), 3);
        QStringList hosts;
        for (const QJsonValue& v : found) {
            const QJsonObject card = v.toObject();
            hosts << card.value("host").toString();
            QCOMPARE(card.value("localInterface").toString(), kToolIf);
            QCOMPARE(card.value("product").toString(), QStringLiteral("NQ-Card 200"));
            QCOMPARE(card.value("interfaces").toArray().size(), 2);
            if (card.value("host").toString() == QLatin1String("10.77.1.1"))
                QCOMPARE(card.value("mac").toString(), kFirstMac);
        }
        hosts.sort();
        QCOMPARE(hosts, QStringList({ "10.77.1.1", "10.77.1.2", "10.77.1.3" }));
    }

    void setIpAndRebootReachOneCard()
    {
        Cards cards;
        QVERIFY(cards.ready());
        CliRun run = runCli({ "set-ip", "--interface", kToolIf, "--mac", kFirstMac.toLower(), "--ip", "10.77.2.9",
            "--netmask", "255.255.0.0", "--card-interface", "eth0" });
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out, kFirstMac + QStringLiteral(": Operation succeed!\n"));
        QTRY_COMPARE(cards.events("set-ip").size(), 1);
        QCOMPARE(cards.events("set-ip").first().value("card").toInt(), 0);
        // An empty address is no address: a usage error, and nothing is sent.
        run = runCli({ "set-ip", "--interface", kToolIf, "--mac", kFirstMac, "--ip", "" });
        QCOMPARE(run.exitCode, 2);
        QVERIFY2(run.err.contains(QStringLiteral("--ip")), qPrintable(run.err));

        run = runCli({ "reboot", "--interface", kToolIf, "--mac", "02:4E:51:00:00:03", "--json" });
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.json().object().value("succeeded").toBool(), true);
        QTRY_COMPARE(cards.events("reboot").size(), 1);
        QCOMPARE(cards.events("reboot").first().value("card").toInt(), 2);
        QCOMPARE(cards.events("set-ip").size(), 1);

        // No card has this address: nothing answers.
        run = runCli({ "reboot", "--interface", kToolIf, "--mac", "02:4E:51:00:00:09", "--seconds", "1" });
        QCOMPARE(run.exitCode, 1);
        QVERIFY(run.err.contains(QStringLiteral("no reply")));
        QCOMPARE(cards.events("reboot").size(), 1);
    }

    void refusedSetIpFails()
    {
        Cards cards({ "--fail-set-ip" });
        QVERIFY(cards.ready());
        const CliRun run = runCli({ "set-ip", "--interface", kToolIf, "--mac", kFirstMac, "--ip", "10.77.2.9" });
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(QStringLiteral("Operation failed!")), qPrintable(run.err));
    }
};

QTEST_GUILESS_MAIN(TestCliNetns)
#include "tst_cli_netns.moc"

// netquill-cli as a script uses it, against simulated cards on loopback.

#include "programming/packagebuilder.h"
#include "support/simulatorfixture.h"
#include "support/testaddresses.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

constexpr int kArea = 70;

struct Run {
    int exitCode = -1;
    QString output;
};

Run cli(const QStringList& arguments)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral(CLI_BIN), arguments);
    Run run;
    if (!p.waitForFinished(30000)) {
        p.kill();
        p.waitForFinished();
        return run;
    }
    run.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    run.output = QString::fromLocal8Bit(p.readAll());
    return run;
}

} // namespace

class TestCli : public QObject {
    Q_OBJECT

private slots:
    void programsAPackageAndReportsEachCard();
    void versionConsoleAndReboot();
    void refusesWhatIsNotAnAddress_data();
    void refusesWhatIsNotAnAddress();
};

void TestCli::programsAPackageAndReportsEachCard()
{
    QTemporaryDir dir;
    const QString good = TestAddresses::card(kArea, 1, 1);
    const QString refusing = TestAddresses::card(kArea, 1, 2);
    SimulatorFixture sim({ "--listen", good + "," + refusing, "--prog-store", dir.filePath("{addr}.bin"), "--card",
        refusing + ":prog-refuse-start" });
    QVERIFY(sim.start());

    const QByteArray image = PackageBuilder::payload(70 * 1024 + 5);
    PackageBuilder::Options scrambled;
    scrambled.flags = 0x3; // CRC trailer, scrambled body
    const QString file = dir.filePath("firmware.pkg");
    QVERIFY(PackageBuilder::write(file, PackageBuilder::package(image, scrambled)));

    const Run run = cli({ "program", file, good, refusing });
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.output.contains(good + ": 100.00%"), qPrintable(run.output));
    QVERIFY(run.output.contains(good + ": Succeeded"));
    QVERIFY(run.output.contains(refusing + ": Failed"));
    // The card got the payload, not the package.
    QCOMPARE(PackageBuilder::read(dir.filePath(good + ".bin")), image);
}

void TestCli::versionConsoleAndReboot()
{
    const QString address = TestAddresses::card(kArea, 2);
    SimulatorFixture sim({ "--listen", address, "--version", "v2.4.1 20261130" });
    QVERIFY(sim.start());

    Run run = cli({ "version", address });
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.output, address + QStringLiteral(": v2.4.1\n"));

    run = cli({ "console", address, "echo", "hello", "card" });
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.output, QStringLiteral("hello card\n"));

    run = cli({ "reboot", address });
    QCOMPARE(run.exitCode, 0);
    QTRY_COMPARE(sim.events("reboot").size(), 1);

    // Nothing listens here: a failure, said so.
    run = cli({ "version", TestAddresses::card(kArea, 3) });
    QCOMPARE(run.exitCode, 1);
    QVERIFY(run.output.contains(": Failed"));
}

void TestCli::refusesWhatIsNotAnAddress_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("incomplete address") << QStringList { "version", "10.0.0" };
    QTest::newRow("no address") << QStringList { "version" };
    QTest::newRow("missing file") << QStringList { "program", "/no/such/file", "127.0.0.1" };
    QTest::newRow("bad type") << QStringList { "version", "127.0.0.1", "--type", "9" };
    QTest::newRow("unknown command") << QStringList { "flash", "127.0.0.1" };
}

void TestCli::refusesWhatIsNotAnAddress()
{
    QFETCH(QStringList, arguments);
    const Run run = cli(arguments);
    QCOMPARE(run.exitCode, 2);
    QVERIFY(run.output.startsWith(QStringLiteral("netquill-cli: ")));
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"

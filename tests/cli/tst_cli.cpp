// netquill-cli as a script or a production line uses it: the real
// executable against simulated cards on loopback. Exit codes, what it
// prints (text and JSON), and what reached the cards.

#include "clirun.h"
#include "link/commandcodes.h"
#include "programming/packagebuilder.h"
#include "support/simulatorfixture.h"
#include "support/testaddresses.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

namespace {

constexpr int kArea = 70;

// Test cases (third octet) of this executable.
enum Case { Usage = 1, Program, ProgramFailure, Backup, Maintenance, Batch, Unreachable, WireFault };

QString card(int testCase, int number = 1)
{
    return TestAddresses::card(kArea, testCase, number);
}

} // namespace

class TestCli : public QObject {
    Q_OBJECT

private slots:
    void usageErrorsSendNothing_data();
    void usageErrorsSendNothing();
    void everyCommandHasHelp_data();
    void everyCommandHasHelp();
    void programStoresThePayloadOfAPackage();
    void programFailsWithItsReason_data();
    void programFailsWithItsReason();
    void backup_data();
    void backup();
    void readsAndWritesTheCardsSettings();
    void unreachableCardFailsEveryCommand_data();
    void unreachableCardFailsEveryCommand();
    void batchOfTwelveCardsTellsWhichFailedAndWhy();
    void wireFaults_data();
    void wireFaults();

private:
    QTemporaryDir m_dir;
};

void TestCli::usageErrorsSendNothing_data()
{
    const QString ip = card(Usage);
    const QString image = m_dir.filePath(QStringLiteral("usage.bin"));
    PackageBuilder::write(image, PackageBuilder::payload(100));
    const QString list = m_dir.filePath(QStringLiteral("usage.txt"));
    PackageBuilder::write(list, ip.toUtf8() + '\n');
    const QString mac = QStringLiteral("02:4E:51:00:00:01");

    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("no command") << QStringList {};
    QTest::newRow("unknown command") << QStringList { "flash", ip };
    QTest::newRow("address with three numbers") << QStringList { "version", "10.0.0" };
    QTest::newRow("address with a leading zero") << QStringList { "version", "127.070.1.1" };
    QTest::newRow("no address") << QStringList { "date" };
    QTest::newRow("unknown option") << QStringList { "version", ip, "--colour" };
    QTest::newRow("type out of range") << QStringList { "version", ip, "--type", "256" };
    QTest::newRow("missing image") << QStringList { "program", ip, m_dir.filePath("none.bin") };
    QTest::newRow("install time-out 0") << QStringList { "program", ip, image, "--install-timeout", "0" };
    QTest::newRow("date neither get nor sync") << QStringList { "date", ip, "set" };
    QTest::newRow("port 0") << QStringList { "ports", ip, "set", "ssh=on:0" };
    QTest::newRow("port of an unknown service") << QStringList { "ports", ip, "set", "ftp=on:21" };
    QTest::newRow("service twice") << QStringList { "ports", ip, "set", "ssh=on:22,ssh=off:22" };
    QTest::newRow("missing parameter file") << QStringList { "params", ip, "set", m_dir.filePath("none.ini") };
    QTest::newRow("batch without a device list") << QStringList { "batch", "--image", image };
    QTest::newRow("batch with image and version-only")
        << QStringList { "batch", "--devices", list, "--image", image, "--version-only" };
    QTest::newRow("batch jobs 0") << QStringList { "batch", "--devices", list, "--version-only", "--jobs", "0" };
    QTest::newRow("batch list without addresses") << QStringList { "batch", "--devices", image, "--version-only" };
    QTest::newRow("reboot without a MAC") << QStringList { "reboot", "--interface", "lo" };
    QTest::newRow("reboot, five pairs") << QStringList { "reboot", "--interface", "lo", "--mac", "02:4E:51:00:00" };
    QTest::newRow("reboot, broadcast") << QStringList { "reboot", "--interface", "lo", "--mac", "FF:FF:FF:FF:FF:FF" };
    QTest::newRow("set-ip without a MAC") << QStringList { "set-ip", "--interface", "lo", "--ip", "10.0.0.2" };
    QTest::newRow("set-ip, bad netmask") << QStringList { "set-ip", "--interface", "lo", "--mac", mac, "--ip",
        "10.0.0.2", "--netmask", "255.255.0" };
    QTest::newRow("set-ip, no such interface")
        << QStringList { "set-ip", "--interface", "nq-none0", "--mac", mac, "--ip", "10.0.0.2" };
    QTest::newRow("search without interface") << QStringList { "search" };
}

void TestCli::usageErrorsSendNothing()
{
    QFETCH(QStringList, arguments);
    SimulatorFixture sim({ "--listen", card(Usage) });
    QVERIFY(sim.start());
    const CliRun run = runCli(arguments);
    QCOMPARE(run.exitCode, 2);
    QVERIFY2(run.err.contains(QStringLiteral("Usage: netquill-cli")), qPrintable(run.err));
    QVERIFY(run.out.isEmpty());
    QVERIFY(sim.events("connected").isEmpty());
}

void TestCli::everyCommandHasHelp_data()
{
    QTest::addColumn<QString>("command");
    for (const char* name :
        { "version", "program", "backup", "batch", "search", "set-ip", "reboot", "date", "ports", "params", "console" })
        QTest::newRow(name) << QString::fromLatin1(name);
}

void TestCli::everyCommandHasHelp()
{
    QFETCH(QString, command);
    const CliRun run = runCli({ command, "--help" });
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.out.startsWith(QStringLiteral("Usage: netquill-cli ") + command), qPrintable(run.out));
    QVERIFY(run.out.contains(QStringLiteral("--json")));
    if (command == QLatin1String("program") || command == QLatin1String("batch"))
        QVERIFY(run.out.contains(QStringLiteral("(default 300)")));
}

void TestCli::programStoresThePayloadOfAPackage()
{
    const QString ip = card(Program);
    SimulatorFixture sim({ "--listen", ip, "--prog-store", m_dir.filePath("{addr}-{type}.bin"), "--prog-install-ms",
        "50", "--prog-finish-ms", "50" });
    QVERIFY(sim.start());
    const QByteArray image = PackageBuilder::payload(70 * 1024 + 5);
    PackageBuilder::Options scrambled;
    scrambled.flags = 0x3; // CRC trailer, scrambled body
    const QString file = m_dir.filePath(QStringLiteral("firmware.pkg"));
    QVERIFY(PackageBuilder::write(file, PackageBuilder::package(image, scrambled)));

    CliRun run = runCli({ "program", ip, file, "--type", "patch" });
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out, ip + QStringLiteral(": Programming finish!\n"));
    // Not a terminal: plain percentage lines, the last at 100, then a line
    // as the card starts installing (and every 10 s after it).
    QVERIFY2(run.err.endsWith(ip + QStringLiteral(": 100.00%\n") + ip + QStringLiteral(": installing\n")),
        qPrintable(run.err));
    QTRY_COMPARE(PackageBuilder::read(m_dir.filePath(ip + "-2.bin")), image);

    run = runCli({ "program", ip, file, "--json" });
    QCOMPARE(run.exitCode, 0);
    QVERIFY(run.err.isEmpty());
    const QJsonObject o = run.json().object();
    QCOMPARE(o.value("status").toString(), QStringLiteral("Succeeded"));
    QCOMPARE(o.value("bytesSent").toInt(), image.size());
    QCOMPARE(o.value("resends").toInt(), 0);
    QVERIFY(!o.contains("reason"));

    // A package that fails its check reaches no card unless asked for, and
    // then whole.
    scrambled.lengthField = image.size() + 1;
    const QByteArray damaged = PackageBuilder::package(image, scrambled);
    QVERIFY(PackageBuilder::write(file, damaged));
    const QString list = m_dir.filePath(QStringLiteral("program.txt"));
    QVERIFY(PackageBuilder::write(list, ip.toUtf8()));
    for (const QStringList& refused :
        { QStringList { "program", ip, file }, { "batch", "--devices", list, "--image", file } }) {
        run = runCli(refused);
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(QStringLiteral("its length check failed")), qPrintable(run.err));
    }
    QCOMPARE(sim.events("connected").size(), 2);
    QCOMPARE(runCli({ "program", ip, file, "--type", "app", "--send-unchanged" }).exitCode, 0);
    QTRY_COMPARE(PackageBuilder::read(m_dir.filePath(ip + "-0.bin")), damaged);
}

void TestCli::programFailsWithItsReason_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<QStringList>("cardOptions");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<QString>("message");
    QTest::newRow("start refused") << 1 << QStringList { "prog-refuse-start" } << "start refused"
                                   << "Start programming failed!";
    QTest::newRow("chunk refused") << 2 << QStringList { "prog-refuse-chunk=3" } << "chunk refused"
                                   << "Programming failed!";
    QTest::newRow("connection lost") << 3 << QStringList { "prog-close-at-chunk=3" } << "connection lost"
                                     << "Programming failed!";
    QTest::newRow("installation time-out") << 4 << QStringList { "prog-no-finish" } << "installation time-out"
                                           << "Programming timeout!";
    // A plain transfer is not resent: the card has failed once the chunk it
    // left unanswered has waited --timeout.
    QTest::newRow("chunk time-out") << 5 << QStringList { "version=v1.2.2 old", "prog-silent-from=3" }
                                    << "chunk time-out"
                                    << "Programming timeout!";
    QTest::newRow("connect failed") << 6 << QStringList {} << "connect failed"
                                    << "connect failed: Connection refused";
    QTest::newRow("no reply") << 7 << QStringList { "version-silent" } << "no reply"
                              << "no reply within 0.5 s";
}

void TestCli::programFailsWithItsReason()
{
    QFETCH(int, number);
    QFETCH(QStringList, cardOptions);
    QFETCH(QString, reason);
    QFETCH(QString, message);
    const QString ip = card(ProgramFailure, number);
    QStringList simArgs { "--listen", ip };
    for (const QString& option : cardOptions)
        simArgs << "--card" << ip + ":" + option;
    SimulatorFixture sim(simArgs);
    // No card listens on the address of the connect failure.
    if (reason != QLatin1String("connect failed"))
        QVERIFY(sim.start());
    const QString file = m_dir.filePath(QStringLiteral("failure.bin"));
    QVERIFY(PackageBuilder::write(file, PackageBuilder::payload(8 * 1024)));

    const CliRun run = runCli({ "program", ip, file, "--install-timeout", "0.5", "--timeout", "0.5", "--json" });
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains(message), qPrintable(run.err));
    const QJsonObject o = run.json().object();
    QCOMPARE(o.value("status").toString(), QStringLiteral("Failed"));
    QCOMPARE(o.value("reason").toString(), reason);
}

void TestCli::backup_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("cardOption");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");
    QTest::newRow("complete") << 1 << "" << 0 << "Backup file finished!";
    QTest::newRow("size 0") << 2 << "backup-refuse" << 1 << "Start backup failed!";
    QTest::newRow("empty piece") << 3 << "backup-fail-at-piece=3" << 1 << "Backup file failed!";
    QTest::newRow("connection lost") << 4 << "backup-close-at-piece=3" << 1 << "connection lost";
}

void TestCli::backup()
{
    QFETCH(int, number);
    QFETCH(QString, cardOption);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    const QString ip = card(Backup, number);
    const QString image = m_dir.filePath(ip + QStringLiteral("-image.bin"));
    const QByteArray bytes = PackageBuilder::payload(10 * 1024 + 3, 11);
    QVERIFY(PackageBuilder::write(image, bytes));
    QStringList simArgs { "--listen", ip, "--backup-file", image, "--backup-prepare-ms", "20" };
    if (!cardOption.isEmpty())
        simArgs << "--card" << ip + ":" + cardOption;
    SimulatorFixture sim(simArgs);
    QVERIFY(sim.start());

    const QString target = m_dir.filePath(ip + QStringLiteral("-backup.bin"));
    const CliRun run = runCli({ "backup", ip, target, "--type", "app" });
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY2((exitCode == 0 ? run.out : run.err).contains(message), qPrintable(run.out + run.err));
    QCOMPARE(sim.frames("in", CommandCode::StartBackup).value(0).value("data").toString(), QStringLiteral("00"));
    if (exitCode == 0)
        QCOMPARE(PackageBuilder::read(target), bytes);
    else
        QVERIFY(!QFile::exists(target)); // nothing half-written under the chosen name
}

void TestCli::readsAndWritesTheCardsSettings()
{
    const QString ip = card(Maintenance);
    SimulatorFixture sim({ "--listen", ip, "--version", "v2.5.0 20261201" });
    QVERIFY(sim.start());

    CliRun run = runCli({ "version", ip });
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out, QStringLiteral("v2.5.0\n"));
    run = runCli({ "version", ip, "--type", "app", "--json" });
    QCOMPARE(run.json().object().value("version").toString(), QStringLiteral("v2.4.1"));

    run = runCli({ "date", ip, "get" });
    QCOMPARE(run.exitCode, 0);
    QVERIFY(QDateTime::fromString(run.out.trimmed(), QStringLiteral("yyyy-MM-dd hh:mm:ss")).isValid());
    run = runCli({ "date", ip, "sync" });
    QCOMPARE(run.exitCode, 0);
    QVERIFY(run.out.endsWith(QStringLiteral("Set device's date success!\n")));
    QCOMPARE(sim.frames("in", CommandCode::SetDate).size(), 1);

    // A set that names some services keeps the others.
    run = runCli({ "ports", ip, "set", "telnet=off:2323,https=on:8443" });
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out, QStringLiteral("ssh=on:22,telnet=off:2323,http=on:80,https=on:8443\nOperation success!\n"));
    run = runCli({ "ports", ip, "get", "--json" });
    const QJsonObject telnet = run.json().object().value("ports").toObject().value("telnet").toObject();
    QCOMPARE(telnet.value("enabled").toBool(), false);
    QCOMPARE(telnet.value("port").toInt(), 2323);

    const QString ini = m_dir.filePath(QStringLiteral("params.ini"));
    QVERIFY(PackageBuilder::write(ini, "[fixed_param]\nname=Line-7\nethaddr=02:00:00:00:07:07\n"));
    run = runCli({ "params", ip, "set", ini });
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out, QStringLiteral("Operation success!\n"));
    const QString json = m_dir.filePath(QStringLiteral("params.json"));
    QVERIFY(PackageBuilder::write(json, R"({"devserial": "SN-42"})"));
    QCOMPARE(runCli({ "params", ip, "set", json }).exitCode, 0);
    run = runCli({ "params", ip, "get", "--json" });
    const QJsonObject params = run.json().object().value("params").toObject();
    QCOMPARE(params.value("name").toString(), QStringLiteral("Line-7"));
    QCOMPARE(params.value("devserial").toString(), QStringLiteral("SN-42"));
    QVERIFY(runCli({ "params", ip, "get" }).out.contains(QStringLiteral("ethaddr=02:00:00:00:07:07\n")));
    // An "ethaddr" that is no MAC address never reaches the card.
    QVERIFY(PackageBuilder::write(json, R"({"ethaddr": "02:00"})"));
    QCOMPARE(runCli({ "params", ip, "set", json }).exitCode, 2);
    QCOMPARE(sim.frames("in", CommandCode::WriteFixedParams).size(), 2);

    run = runCli({ "console", ip, "echo", "hello", "card" });
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out, QStringLiteral("hello card\n"));
    run = runCli({ "console", ip, "echo hi", "--json" });
    QCOMPARE(run.json().object().value("answer").toString(), QStringLiteral("hi"));
}

void TestCli::unreachableCardFailsEveryCommand_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");
    const QString none = card(Unreachable, 1);
    const QString silent = card(Unreachable, 2);
    QTest::newRow("version, nothing listens")
        << QStringList { "version", none } << "connect failed: Connection refused";
    QTest::newRow("backup, nothing listens")
        << QStringList { "backup", none, m_dir.filePath("u.bin") } << "connect failed";
    QTest::newRow("date, nothing listens") << QStringList { "date", none, "get" } << "connect failed";
    QTest::newRow("ports, nothing listens") << QStringList { "ports", none, "get" } << "connect failed";
    QTest::newRow("params, nothing listens") << QStringList { "params", none, "get" } << "connect failed";
    QTest::newRow("console, nothing listens") << QStringList { "console", none, "ls" } << "connect failed";
    QTest::newRow("date, silent card") << QStringList { "date", silent, "get", "--timeout", "0.3" }
                                       << "no reply within 0.3 s";
    QTest::newRow("version, silent card")
        << QStringList { "version", silent, "--timeout", "0.3" } << "no reply within 0.3 s";
    QTest::newRow("console, card drops it")
        << QStringList { "console", card(Unreachable, 3), "ls", "--timeout", "3" } << "connection lost";
    QTest::newRow("date sync, card refuses")
        << QStringList { "date", card(Unreachable, 4), "sync" } << "Set device's date failed!";
}

void TestCli::unreachableCardFailsEveryCommand()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    SimulatorFixture sim({ "--listen", card(Unreachable, 2) + "-" + card(Unreachable, 4), "--card",
        card(Unreachable, 2) + ":split-gap-ms=5000", "--card", card(Unreachable, 3) + ":close-after=1", "--card",
        card(Unreachable, 4) + ":date-refuse-set" });
    QVERIFY(sim.start());
    const CliRun run = runCli(arguments);
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains(message), qPrintable(run.err));
}

void TestCli::batchOfTwelveCardsTellsWhichFailedAndWhy()
{
    const QString first = card(Batch, 1);
    const QString last = card(Batch, 12);
    const QString refusing = card(Batch, 4);
    const QString dropping = card(Batch, 9);
    SimulatorFixture sim({ "--listen", first + "-" + last, "--prog-store", m_dir.filePath("batch-{addr}.bin"),
        "--prog-install-ms", "100", "--prog-finish-ms", "100", "--card", refusing + ":prog-refuse-start", "--card",
        dropping + ":prog-drop-installing" });
    QVERIFY(sim.start());
    QStringList devices;
    for (int i = 1; i <= 12; ++i)
        devices << card(Batch, i) + (i % 3 == 0 ? "," : "");
    const QString list = m_dir.filePath(QStringLiteral("devices.csv"));
    QVERIFY(PackageBuilder::write(list, devices.join('\n').toUtf8()));
    const QByteArray image = PackageBuilder::payload(20 * 1024 + 1, 3);
    const QString file = m_dir.filePath(QStringLiteral("batch.bin"));
    QVERIFY(PackageBuilder::write(file, image));
    const QString report = m_dir.filePath(QStringLiteral("report.txt"));

    const CliRun run = runCli({ "batch", "--devices", list, "--image", file, "--jobs", "5", "--report", report,
        "--install-timeout", "5", "--json" });
    QCOMPARE(run.exitCode, 1);
    // One line per card as it ends, on stderr beside the document.
    QVERIFY2(run.err.count('\n') == 12, qPrintable(run.err));
    QVERIFY(run.err.contains(refusing + "\tFailed\t0 bytes\t0 resends\t"));

    const QJsonObject doc = run.json().object();
    QCOMPARE(doc.value("image").toObject().value("sha256").toString(),
        QString::fromLatin1(QCryptographicHash::hash(image, QCryptographicHash::Sha256).toHex()));
    QCOMPARE(doc.value("image").toObject().value("size").toInt(), image.size());
    QCOMPARE(doc.value("failed").toInt(), 2);
    const QJsonArray results = doc.value("devices").toArray();
    QCOMPARE(results.size(), 12);
    for (int i = 0; i < 12; ++i) {
        const QJsonObject o = results[i].toObject();
        const QString ip = card(Batch, i + 1);
        QCOMPARE(o.value("ip").toString(), ip);
        QCOMPARE(o.value("version").toString(), QStringLiteral("v1.3.0"));
        if (ip == refusing || ip == dropping) {
            QCOMPARE(o.value("status").toString(), QStringLiteral("Failed"));
            QCOMPARE(o.value("reason").toString(), ip == refusing ? "start refused" : "connection lost");
            continue;
        }
        QCOMPARE(o.value("status").toString(), QStringLiteral("Succeeded"));
        QCOMPARE(o.value("bytesSent").toInt(), image.size());
        QVERIFY(!o.contains("reason"));
        QTRY_COMPARE(PackageBuilder::read(m_dir.filePath("batch-" + ip + ".bin")), image);
    }

    const QStringList lines = QString::fromUtf8(PackageBuilder::read(report)).split('\n');
    QCOMPARE(lines.size(), 4 + 12 + 1);
    QCOMPARE(lines[2], QStringLiteral("IP\t\t\t\t\tResult"));
    QCOMPARE(lines[4 + 3], refusing + QStringLiteral("\t\tFailed"));
    QCOMPARE(lines[4 + 8], dropping + QStringLiteral("\t\tFailed"));
    QCOMPARE(lines[4], first + QStringLiteral("\t\tSucceeded"));
}

QTEST_GUILESS_MAIN(TestCli)
// A misbehaving card, through the executable: a fault the transfer rides
// out still stores the very image (or backup); one it cannot ends with exit
// 1 and its reason. Faults that lose a reply are left to the worker's own
// tests: each costs the real chunk time-out here.
void TestCli::wireFaults_data()
{
    QTest::addColumn<QString>("command"); // program, backup or ports
    QTest::addColumn<QStringList>("faults"); // options of the card
    QTest::addColumn<QString>("reason"); // empty: success

    const QStringList split { "split-gap-ms=20" };
    const QStringList garbage { "garbage=00ff1337a5" };
    const QStringList unknown { "flood=4660,20,339", "flood-count=3000", "flood-data=6801020304" };
    const QStringList others { "flood=4,5,7,10,13,19,336,337,338", "flood-count=900", "flood-data=01" };
    QTest::newRow("program: replies split across reads") << "program" << split << "";
    QTest::newRow("program: garbage between frames") << "program" << garbage << "";
    QTest::newRow("program: flood of unknown codes") << "program" << unknown << "";
    QTest::newRow("program: flood of other pages' codes") << "program" << others << "";
    QTest::newRow("program: flood of 258 and 259 mid-transfer")
        << "program" << QStringList { "flood=258,259", "flood-count=1000", "flood-delay-ms=30", "prog-ack-delay-ms=4" }
        << "chunk refused";
    QTest::newRow("program: start reply without result byte")
        << "program" << QStringList { "reply-size=256:0" } << "start refused";
    QTest::newRow("program: chunk reply without result byte")
        << "program" << QStringList { "reply-size=257:0" } << "chunk refused";
    QTest::newRow("backup: replies split across reads") << "backup" << split << "";
    QTest::newRow("backup: garbage between frames") << "backup" << garbage << "";
    QTest::newRow("backup: flood of unknown codes") << "backup" << unknown << "";
    QTest::newRow("backup: flood of other pages' codes")
        << "backup" << QStringList { "flood=4,5,7,10,13,19,258,259", "flood-count=900", "flood-data=01" } << "";
    // Unasked backup codes during a backup cannot be told from the answer:
    // a malformed one ends it, and nothing is left under the chosen name.
    QTest::newRow("backup: flood of its own codes")
        << "backup" << QStringList { "flood=336,337,338", "flood-count=900", "flood-data=01" }
        << "Start backup failed!";
    QTest::newRow("ports: replies split across reads") << "ports" << split << "";
    QTest::newRow("ports: garbage between frames") << "ports" << garbage << "";
    QTest::newRow("ports: flood of unknown codes") << "ports" << unknown << "";
    QTest::newRow("ports: reply of 11 bytes") << "ports" << QStringList { "reply-size=16:11" } << "failed";
}

void TestCli::wireFaults()
{
    QFETCH(QString, command);
    QFETCH(QStringList, faults);
    QFETCH(QString, reason);
    static int number = 0;
    const QString ip = card(WireFault, ++number);
    const QString store = m_dir.filePath(ip + QStringLiteral("-{type}.bin"));
    const QString image = m_dir.filePath(ip + QStringLiteral("-image.bin"));
    const QByteArray bytes = PackageBuilder::payload(24 * 1024 + 7, 5);
    QVERIFY(PackageBuilder::write(image, bytes));
    QStringList simArgs { "--listen", ip, "--prog-store", store, "--prog-install-ms", "50", "--prog-finish-ms", "50",
        "--backup-file", image, "--backup-prepare-ms", "20" };
    for (const QString& fault : faults)
        simArgs << "--card" << ip + ":" + fault;
    SimulatorFixture sim(simArgs);
    QVERIFY(sim.start());

    const QString target = m_dir.filePath(ip + QStringLiteral("-backup.bin"));
    QStringList arguments { command, ip };
    if (command == QLatin1String("program"))
        arguments << image << "--type"
                  << "patch"
                  << "--install-timeout"
                  << "5"
                  << "--json";
    else if (command == QLatin1String("backup"))
        arguments << target << "--type"
                  << "app";
    else
        arguments << "get"
                  << "--json";
    const CliRun run = runCli(arguments);
    QVERIFY2(run.exitCode == (reason.isEmpty() ? 0 : 1), qPrintable(run.out + run.err));
    if (command == QLatin1String("program")) {
        const QJsonObject o = run.json().object();
        QCOMPARE(
            o.value("status").toString(), reason.isEmpty() ? QStringLiteral("Succeeded") : QStringLiteral("Failed"));
        QCOMPARE(o.value("reason").toString(), reason);
        if (reason.isEmpty())
            QTRY_COMPARE(PackageBuilder::read(m_dir.filePath(ip + "-2.bin")), bytes);
    } else if (command == QLatin1String("backup")) {
        if (reason.isEmpty())
            QCOMPARE(PackageBuilder::read(target), bytes);
        else
            QVERIFY2(run.err.contains(reason) && !QFile::exists(target), qPrintable(run.err));
    } else if (reason.isEmpty()) {
        QCOMPARE(run.json().object().value("ports").toObject().value("ssh").toObject().value("port").toInt(), 22);
    } else {
        QVERIFY(run.out.isEmpty());
    }
}

#include "tst_cli.moc"

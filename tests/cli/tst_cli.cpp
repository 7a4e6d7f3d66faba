// The real netquill-cli against simulated cards: exit codes, output, what reached the cards.

#include "clirun.h"
#include "link/commandcodes.h"
#include "programming/programmingtest.h"
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
enum Case { Usage = 1, Program, Failure, Maintenance, Batch };

QString card(int testCase, int number = 1)
{
    return TestAddresses::card(kArea, testCase, number);
}

} // namespace

class TestCli : public QObject {
    Q_OBJECT

private slots:
    void usageErrorsSendNothing_data()
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
        QTest::newRow("unknown option") << QStringList { "version", ip, "--colour" };
        QTest::newRow("type out of range") << QStringList { "version", ip, "--type", "256" };
        QTest::newRow("missing image") << QStringList { "program", ip, m_dir.filePath("none.bin") };
        QTest::newRow("date neither get nor sync") << QStringList { "date", ip, "set" };
        QTest::newRow("port 0") << QStringList { "ports", ip, "set", "ssh=on:0" };
        QTest::newRow("batch without a device list") << QStringList { "batch", "--image", image };
        QTest::newRow("batch with image and version-only")
            << QStringList { "batch", "--devices", list, "--image", image, "--version-only" };
        QTest::newRow("reboot, broadcast")
            << QStringList { "reboot", "--interface", "lo", "--mac", "FF:FF:FF:FF:FF:FF" };
        QTest::newRow("set-ip, bad netmask") << QStringList { "set-ip", "--interface", "lo", "--mac", mac, "--ip",
            "10.0.0.2", "--netmask", "255.255.0" };
        QTest::newRow("set-ip, no such interface")
            << QStringList { "set-ip", "--interface", "nq-none0", "--mac", mac, "--ip", "10.0.0.2" };
    }
    void usageErrorsSendNothing()
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

    void programAndBackup()
    {
        const QString ip = card(Program);
        const QString served = m_dir.filePath(QStringLiteral("served.bin"));
        QVERIFY(PackageBuilder::write(served, PackageBuilder::payload(10 * 1024 + 3, 11)));
        SimulatorFixture sim({ "--listen", ip, "--prog-store", m_dir.filePath("{addr}-{type}.bin"), "--prog-install-ms",
            "50", "--prog-finish-ms", "50", "--backup-file", served, "--backup-prepare-ms", "20" });
        QVERIFY(sim.start());
        const QByteArray image = PackageBuilder::payload(70 * 1024 + 5);
        PackageBuilder::Options scrambled;
        scrambled.flags = 0x3; // CRC trailer, scrambled body
        const QString file = m_dir.filePath(QStringLiteral("firmware.pkg"));
        QVERIFY(PackageBuilder::write(file, PackageBuilder::package(image, scrambled)));

        CliRun run = runCli({ "program", ip, file, "--type", "patch" });
        QCOMPARE(run.result(), "0:" + ip + QStringLiteral(": Programming finish!\n"));
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
        run = runCli({ "program", ip, file });
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(QStringLiteral("its length check failed")), qPrintable(run.err));
        QCOMPARE(sim.events("connected").size(), 2);
        QCOMPARE(runCli({ "program", ip, file, "--type", "app", "--send-unchanged" }).exitCode, 0);
        QTRY_COMPARE(PackageBuilder::read(m_dir.filePath(ip + "-0.bin")), damaged);

        const QString target = m_dir.filePath(QStringLiteral("backup.bin"));
        run = runCli({ "backup", ip, target, "--type", "app" });
        QCOMPARE(run.exitCode, 0);
        QVERIFY(run.out.contains(QStringLiteral("Backup file finished!")));
        QCOMPARE(ProgrammingTest::data(sim.frames("in", CommandCode::StartBackup).first()), QByteArray(1, '\0'));
        QCOMPARE(PackageBuilder::read(target), PackageBuilder::read(served));
    }

    void failsWithItsReason_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("cardOption"); // of the card at .1
        QTest::addColumn<QString>("message"); // on stderr, and the JSON "reason" of a program run
        const QString ip = QStringLiteral("{ip}");
        const QString image = m_dir.filePath(QStringLiteral("failure.bin"));
        PackageBuilder::write(image, PackageBuilder::payload(8 * 1024));
        const QStringList program { "program", ip, image, "--install-timeout", "0.5", "--timeout", "0.5", "--json" };
        const QString backup = m_dir.filePath(QStringLiteral("failure-backup.bin"));
        const auto row = [](const char* name, const QStringList& arguments, const char* option, const char* message) {
            QTest::newRow(name) << arguments << option << message;
        };
        row("program: start refused", program, "prog-refuse-start", "start refused");
        row("program: installation time-out", program, "prog-no-finish", "installation time-out");
        row("program: no reply", program, "version-silent", "no reply");
        row("program: connect failed", program, "", "connect failed");
        row("backup: connection lost", { "backup", ip, backup }, "backup-close-at-piece=3", "connection lost");
        row("version: connect failed", { "version", ip }, "", "connect failed: Connection refused");
        row("date: silent card", { "date", ip, "get", "--timeout", "0.3" }, "split-gap-ms=5000",
            "no reply within 0.3 s");
        row("console: card drops it", { "console", ip, "ls", "--timeout", "3" }, "close-after=1", "connection lost");
        row("date sync: card refuses", { "date", ip, "sync" }, "date-refuse-set", "Set device's date failed!");
    }
    // Exit 1 with the reason, and nothing half-written under a chosen name.
    void failsWithItsReason()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, cardOption);
        QFETCH(QString, message);
        static int number = 0;
        const QString ip = card(Failure, ++number);
        arguments.replaceInStrings(QStringLiteral("{ip}"), ip);
        const QString served = m_dir.filePath(QStringLiteral("served-failure.bin"));
        QVERIFY(PackageBuilder::write(served, PackageBuilder::payload(10 * 1024, 11)));
        SimulatorFixture sim({ "--listen", ip, "--backup-file", served, "--card", ip + ":" + cardOption });
        // No card listens on the address of a connect failure.
        if (!cardOption.isEmpty())
            QVERIFY(sim.start());
        const CliRun run = runCli(arguments);
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
        if (arguments.contains("--json"))
            QCOMPARE(run.json().object().value("reason").toString(), message);
        QVERIFY(!QFile::exists(m_dir.filePath(QStringLiteral("failure-backup.bin"))));
    }

    void readsAndWritesTheCardsSettings()
    {
        const QString ip = card(Maintenance);
        SimulatorFixture sim({ "--listen", ip, "--version", "v2.5.0 20261201" });
        QVERIFY(sim.start());

        QCOMPARE(runCli({ "version", ip }).result(), "0:v2.5.0\n");
        CliRun run = runCli({ "version", ip, "--type", "app", "--json" });
        QCOMPARE(run.json().object().value("version").toString(), QStringLiteral("v2.4.1"));

        run = runCli({ "date", ip, "sync" });
        QCOMPARE(run.exitCode, 0);
        QVERIFY(run.out.endsWith(QStringLiteral("Set device's date success!\n")));
        QCOMPARE(sim.frames("in", CommandCode::SetDate).size(), 1);

        // A set that names some services keeps the others.
        QCOMPARE(runCli({ "ports", ip, "set", "telnet=off:2323,https=on:8443" }).result(),
            "0:ssh=on:22,telnet=off:2323,http=on:80,https=on:8443\nOperation success!\n");
        run = runCli({ "ports", ip, "get", "--json" });
        const QJsonObject telnet = run.json().object().value("ports").toObject().value("telnet").toObject();
        QCOMPARE(telnet.value("enabled").toBool(), false);
        QCOMPARE(telnet.value("port").toInt(), 2323);

        const QString ini = m_dir.filePath(QStringLiteral("params.ini"));
        QVERIFY(PackageBuilder::write(ini, "[fixed_param]\nname=Line-7\nethaddr=02:00:00:00:07:07\n"));
        QCOMPARE(runCli({ "params", ip, "set", ini }).result(), "0:Operation success!\n");
        run = runCli({ "params", ip, "get", "--json" });
        QCOMPARE(run.json().object().value("params").toObject().value("name").toString(), QStringLiteral("Line-7"));
        QVERIFY(runCli({ "params", ip, "get" }).out.contains(QStringLiteral("ethaddr=02:00:00:00:07:07\n")));
        // An "ethaddr" that is no MAC address never reaches the card.
        const QString json = m_dir.filePath(QStringLiteral("params.json"));
        QVERIFY(PackageBuilder::write(json, R"({"ethaddr": "02:00"})"));
        QCOMPARE(runCli({ "params", ip, "set", json }).exitCode, 2);
        QCOMPARE(sim.frames("in", CommandCode::WriteFixedParams).size(), 1);

        QCOMPARE(runCli({ "console", ip, "echo", "hello", "card" }).result(), "0:hello card\n");
        run = runCli({ "console", ip, "echo hi", "--json" });
        QCOMPARE(run.json().object().value("answer").toString(), QStringLiteral("hi"));
    }

    void batchOfTwelveCardsTellsWhichFailedAndWhy()
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
        QVERIFY2(run.err.count(QStringLiteral("\tSucceeded\t")) + run.err.count(QStringLiteral("\tFailed\t")) == 12,
            qPrintable(run.err));

        const QJsonObject doc = run.json().object();
        QCOMPARE(doc.value("image").toObject().value("sha256").toString(),
            QString::fromLatin1(QCryptographicHash::hash(image, QCryptographicHash::Sha256).toHex()));
        QCOMPARE(doc.value("failed").toInt(), 2);
        const QJsonArray results = doc.value("devices").toArray();
        QCOMPARE(results.size(), 12);
        for (int i = 0; i < 12; ++i) {
            const QJsonObject o = results[i].toObject();
            const QString ip = card(Batch, i + 1);
            QCOMPARE(o.value("ip").toString(), ip);
            if (ip == refusing || ip == dropping) {
                QCOMPARE(o.value("status").toString(), QStringLiteral("Failed"));
                QCOMPARE(o.value("reason").toString(), ip == refusing ? "start refused" : "connection lost");
                continue;
            }
            QCOMPARE(o.value("status").toString(), QStringLiteral("Succeeded"));
            QTRY_COMPARE(PackageBuilder::read(m_dir.filePath("batch-" + ip + ".bin")), image);
        }

        const QStringList lines = QString::fromUtf8(PackageBuilder::read(report)).split('\n');
        QCOMPARE(lines.size(), 4 + 12 + 1);
        QCOMPARE(lines[4 + 3], refusing + QStringLiteral("\t\tFailed"));
    }

private:
    QTemporaryDir m_dir;
};

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"

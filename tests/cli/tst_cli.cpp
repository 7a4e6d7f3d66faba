// The real netquill-cli against simulated cards: its own decisions (arguments,
// exit codes, text and JSON output, the files it reads and writes). The
// operations it drives are tested where they live, in the core.

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

// Test cases (third octet) of this executable.
enum Case { Runs = 1, Program, Batch };

} // namespace

class TestCli : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString path(const QString& name) const { return m_dir.filePath(name); }

private slots:
    void initTestCase()
    {
        QVERIFY(PackageBuilder::write(path("image.bin"), PackageBuilder::payload(8 * 1024)));
        QVERIFY(PackageBuilder::write(path("served.bin"), PackageBuilder::payload(10 * 1024 + 3, 11)));
        QVERIFY(PackageBuilder::write(path("devices.txt"), "127.0.0.1\n"));
        QVERIFY(PackageBuilder::write(path("params.ini"), "[fixed_param]\nname=Line-7\nethaddr=02:00:00:00:07:07\n"));
        QVERIFY(PackageBuilder::write(path("params.json"), R"({"ethaddr": "02:00"})"));
    }

    // One card per row, at {ip}; {dir} is the test's folder.
    void runs_data()
    {
        QTest::addColumn<QStringList>("cardOptions"); // its options; "-": nothing listens at {ip}
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QStringList>("out"); // parts of stdout (compact JSON with --json); none: it is empty
        QTest::addColumn<QString>("err"); // a part of stderr
        const auto row = [](const char* tag, const QStringList& cardOptions, const QStringList& arguments, int exitCode,
                             const QStringList& out, const char* err) {
            QTest::newRow(tag) << cardOptions << arguments << exitCode << out << QString::fromUtf8(err);
        };
        // Usage errors: exit 2 with the usage, and nothing reaches the card.
        const QString mac = QStringLiteral("02:4E:51:00:00:01");
        row("no command", {}, {}, 2, {}, "");
        row("unknown command", {}, { "flash", "{ip}" }, 2, {}, "");
        row("unknown option", {}, { "version", "{ip}", "--colour" }, 2, {}, "");
        row("type out of range", {}, { "version", "{ip}", "--type", "256" }, 2, {}, "");
        row("missing image", {}, { "program", "{ip}", "{dir}/none.bin" }, 2, {}, "");
        row("date neither get nor sync", {}, { "date", "{ip}", "set" }, 2, {}, "");
        row("port 0", {}, { "ports", "{ip}", "set", "ssh=on:0" }, 2, {}, "");
        row("params, ethaddr no MAC address", {}, { "params", "{ip}", "set", "{dir}/params.json" }, 2, {}, "");
        row("batch without a device list", {}, { "batch", "--image", "{dir}/image.bin" }, 2, {}, "");
        row("batch with image and version-only", {},
            { "batch", "--devices", "{dir}/devices.txt", "--image", "{dir}/image.bin", "--version-only" }, 2, {}, "");
        row("reboot, broadcast", {}, { "reboot", "--interface", "lo", "--mac", "FF:FF:FF:FF:FF:FF" }, 2, {}, "");
        row("set-ip, bad netmask", {},
            { "set-ip", "--interface", "lo", "--mac", mac, "--ip", "10.0.0.2", "--netmask", "255.255.0" }, 2, {}, "");
        row("set-ip, no such interface", {}, { "set-ip", "--interface", "nq-none0", "--mac", mac, "--ip", "10.0.0.2" },
            2, {}, "");
        row("set-ip, empty address", {}, { "set-ip", "--interface", "lo", "--mac", mac, "--ip", "" }, 2, {},
            "--ip is required");

        // Failures: exit 1 with the reason (a program run's also as its JSON
        // "reason"), and nothing half-written under the name chosen.
        const QStringList program { "program", "{ip}", "{dir}/image.bin", "--install-timeout", "0.5", "--timeout",
            "0.5", "--json" };
        row("program: start refused", { "prog-refuse-start" }, program, 1, { R"("reason":"start refused")" },
            "start refused");
        row("program: installation time-out", { "prog-no-finish" }, program, 1,
            { R"("reason":"installation time-out")" }, "installation time-out");
        row("program: connect failed", { "-" }, program, 1, { R"("reason":"connect failed")" }, "connect failed");
        row("backup: connection lost", { "backup-close-at-piece=3" }, { "backup", "{ip}", "{dir}/failed.bin" }, 1, {},
            "connection lost");
        row("version: connect failed", { "-" }, { "version", "{ip}" }, 1, {}, "connect failed: Connection refused");
        row("date: silent card", { "split-gap-ms=5000" }, { "date", "{ip}", "get", "--timeout", "0.3" }, 1, {},
            "no reply within 0.3 s");
        row("console: card drops it", { "close-after=1" }, { "console", "{ip}", "ls", "--timeout", "3" }, 1, {},
            "connection lost");
        row("date sync: card refuses", { "date-refuse-set" }, { "date", "{ip}", "sync" }, 1, {},
            "Set device's date failed!");

        row("version", { "version=v2.5.0 20261201" }, { "version", "{ip}" }, 0, { "v2.5.0\n" }, "");
        row("version of the application, JSON", { "version=v2.5.0 20261201" },
            { "version", "{ip}", "--type", "app", "--json" }, 0, { R"("version":"v2.4.1")" }, "");
        row("date sync", {}, { "date", "{ip}", "sync" }, 0, { "\nSet device's date success!\n" }, "");
        // A set that names some services keeps the others.
        row("ports set", {}, { "ports", "{ip}", "set", "telnet=off:2323,https=on:8443" }, 0,
            { "ssh=on:22,telnet=off:2323,http=on:80,https=on:8443\nOperation success!\n" }, "");
        row("ports get, JSON", { "ports=1:22,0:2323,1:80,1:443" }, { "ports", "{ip}", "get", "--json" }, 0,
            { R"("telnet":{"enabled":false,"port":2323})" }, "");
        row("params set from INI", {}, { "params", "{ip}", "set", "{dir}/params.ini" }, 0, { "Operation success!\n" },
            "");
        row("params get", { R"(fixed-params={"name":"Line-7","ethaddr":"02:00:00:00:07:07"})" },
            { "params", "{ip}", "get" }, 0, { "name=Line-7\n", "ethaddr=02:00:00:00:07:07\n" }, "");
        row("params get, JSON", { R"(fixed-params={"name":"Line-7"})" }, { "params", "{ip}", "get", "--json" }, 0,
            { R"("params":{"name":"Line-7"})" }, "");
        row("console", {}, { "console", "{ip}", "echo", "hello", "card" }, 0, { "hello card\n" }, "");
        row("console, JSON", {}, { "console", "{ip}", "echo hi", "--json" }, 0, { R"("answer":"hi")" }, "");
    }
    void runs()
    {
        QFETCH(QStringList, cardOptions);
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QStringList, out);
        QFETCH(QString, err);
        static int number = 0;
        const QString ip = TestAddresses::card(70, Runs, ++number);
        arguments.replaceInStrings("{ip}", ip).replaceInStrings("{dir}", m_dir.path());
        QStringList options { "--listen", ip, "--backup-file", path("served.bin"), "--prog-install-ms", "50",
            "--prog-finish-ms", "50" };
        for (const QString& option : qAsConst(cardOptions))
            options << "--card" << ip + ':' + option;
        SimulatorFixture sim(options);
        if (cardOptions != QStringList { "-" })
            QVERIFY(sim.start());

        const CliRun run = runCli(arguments);
        QCOMPARE(run.exitCode, exitCode);
        const QString printed
            = arguments.contains("--json") ? QString::fromUtf8(run.json().toJson(QJsonDocument::Compact)) : run.out;
        QVERIFY2(out.isEmpty() == run.out.isEmpty(), qPrintable(run.out));
        for (const QString& part : qAsConst(out))
            QVERIFY2(printed.contains(part), qPrintable(printed));
        QVERIFY2(
            run.err.contains(err) && (exitCode != 2 || run.err.contains("Usage: netquill-cli")), qPrintable(run.err));
        if (exitCode == 2)
            QVERIFY(sim.events("connected").isEmpty());
        QVERIFY(!QFile::exists(path("failed.bin")));
    }

    void programAndBackup()
    {
        const QString ip = TestAddresses::card(70, Program);
        SimulatorFixture sim({ "--listen", ip, "--prog-store", path("{addr}-{type}.bin"), "--prog-install-ms", "50",
            "--prog-finish-ms", "50", "--backup-file", path("served.bin"), "--backup-prepare-ms", "20" });
        QVERIFY(sim.start());
        const QByteArray image = PackageBuilder::payload(70 * 1024 + 5);
        // CRC trailer, scrambled body.
        QVERIFY(PackageBuilder::write(path("firmware.pkg"), PackageBuilder::package(image, 0x3)));
        CliRun run = runCli({ "program", ip, path("firmware.pkg"), "--type", "patch" });
        QCOMPARE(QString::number(run.exitCode) + ':' + run.out, "0:" + ip + QStringLiteral(": Programming finish!\n"));
        // Not a terminal: plain percentage lines, the last at 100, then a line
        // as the card starts installing (and every 10 s after it).
        QVERIFY2(run.err.endsWith(ip + QStringLiteral(": 100.00%\n") + ip + QStringLiteral(": installing\n")),
            qPrintable(run.err));
        QTRY_COMPARE(PackageBuilder::read(path(ip + "-2.bin")), image);

        // A package that fails its check reaches no card unless asked for, and
        // then whole.
        const QByteArray damaged = PackageBuilder::package(image, 0x3, image.size() + 1);
        QVERIFY(PackageBuilder::write(path("firmware.pkg"), damaged));
        run = runCli({ "program", ip, path("firmware.pkg") });
        QVERIFY2(run.exitCode == 1 && run.err.contains(QStringLiteral("its length check failed")), qPrintable(run.err));
        QCOMPARE(sim.events("connected").size(), 1);
        QCOMPARE(runCli({ "program", ip, path("firmware.pkg"), "--type", "app", "--send-unchanged" }).exitCode, 0);
        QTRY_COMPARE(PackageBuilder::read(path(ip + "-0.bin")), damaged);

        run = runCli({ "backup", ip, path("backup.bin"), "--type", "app" });
        QVERIFY2(run.exitCode == 0 && run.out.contains(QStringLiteral("Backup file finished!")), qPrintable(run.out));
        QCOMPARE(ProgrammingTest::data(sim.frames("in", CommandCode::StartBackup).first()), QByteArray(1, '\0'));
        QCOMPARE(PackageBuilder::read(path("backup.bin")), PackageBuilder::read(path("served.bin")));
    }

    // Which cards end how is the pool's; the tool tells it: a line per card
    // as it ends, the document, the report and the exit code.
    void batchTellsWhichFailedAndWhy()
    {
        const QStringList cards = BatchCards::addresses(70, Batch, 4);
        SimulatorFixture sim(BatchCards::arguments(cards, path("batch-{addr}.bin"),
            { "--card", cards[1] + ":prog-refuse-start", "--card", cards[3] + ":prog-drop-installing" }));
        QVERIFY(sim.start());
        QVERIFY(PackageBuilder::write(path("devices.csv"), cards.join(",\n").toUtf8()));
        const QByteArray image = PackageBuilder::payload(20 * 1024 + 1, 3);
        QVERIFY(PackageBuilder::write(path("batch.bin"), image));

        const CliRun run = runCli({ "batch", "--devices", path("devices.csv"), "--image", path("batch.bin"), "--jobs",
            "2", "--report", path("report.txt"), "--install-timeout", "5", "--json" });
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.count(QStringLiteral("\tSucceeded\t")) + run.err.count(QStringLiteral("\tFailed\t")) == 4,
            qPrintable(run.err));
        const QJsonObject doc = run.json().object();
        QCOMPARE(doc["image"].toObject()["sha256"].toString(),
            QString::fromLatin1(QCryptographicHash::hash(image, QCryptographicHash::Sha256).toHex()));
        QCOMPARE(doc["failed"].toInt(), 2);
        QStringList results;
        for (const QJsonValue& v : doc["devices"].toArray())
            results << v["ip"].toString() + '\t' + v["status"].toString() + '\t' + v["reason"].toString();
        QCOMPARE(results,
            QStringList({ cards[0] + "\tSucceeded\t", cards[1] + "\tFailed\tstart refused", cards[2] + "\tSucceeded\t",
                cards[3] + "\tFailed\tconnection lost" }));
        QVERIFY(PackageBuilder::read(path("report.txt"))
                    .contains((cards[1] + "\t\tFailed\n" + cards[2] + "\t\tSucceeded\n").toUtf8()));
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"

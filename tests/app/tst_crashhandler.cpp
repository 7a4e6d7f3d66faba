// Crash reports: a child process faults under the tool's handler; the dump
// must be in its working directory and the crash box helper must have run.

#include "app/crashhandler.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

class TestCrashHandler : public QObject {
    Q_OBJECT

private slots:
    // The codes the probe below cannot raise; it raises the others for real.
    void exceptionCodes_data()
    {
        QTest::addColumn<int>("signal");
        QTest::addColumn<int>("code");
        QTest::addColumn<uint>("expected");
        QTest::newRow("privileged instruction") << SIGILL << int(ILL_PRVOPC) << 0xc0000096u;
        QTest::newRow("float invalid") << SIGFPE << int(FPE_FLTINV) << 0xc0000090u;
    }
    void exceptionCodes()
    {
        QFETCH(int, signal);
        QFETCH(int, code);
        QFETCH(uint, expected);
        QCOMPARE(CrashHandler::exceptionCode(signal, code, 0, 0x7ffd00001000ULL), uint32_t(expected));
    }

    // The probe's arguments, then what the dump and the box must say; in a
    // folder where not even root can create a file the box still comes.
    void faultLeavesDumpAndBox_data()
    {
        QTest::addColumn<QString>("kind"); // the probe's fault, "thread" to fault on a second thread
        QTest::addColumn<int>("signal");
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("module"); // the file holding the faulting instruction; empty: no dump
        const auto row = [](const char* kind, int signal, const char* code, const char* module) {
            QTest::newRow(kind) << QString(kind) << signal << QString(code) << QString(module);
        };
        row("segv", SIGSEGV, "0xc0000005", "crashprobe");
        row("fpe", SIGFPE, "0xc0000094", "crashprobe");
        row("ill", SIGILL, "0xc000001d", "crashprobe");
        row("bus", SIGBUS, "0xc0000006", "crashprobe");
        row("abort thread", SIGABRT, "0x40000015", "libc.so"); // abort() raises the signal inside the C library
        row("stack thread", SIGSEGV, "0xc00000fd", "crashprobe");
        QTest::newRow("segv, no folder to write") << "segv" << SIGSEGV << "0xc0000005" << QString();
    }
    void faultLeavesDumpAndBox()
    {
        QFETCH(QString, kind);
        QFETCH(int, signal);
        QFETCH(QString, code);
        QFETCH(QString, module);
        QTemporaryDir dir;
        QProcess probe;
        probe.setWorkingDirectory(module.isEmpty() ? QStringLiteral("/proc") : dir.path());
        probe.setProcessChannelMode(QProcess::MergedChannels);
        const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
        probe.start(QStringLiteral(CRASHPROBE_BIN),
            kind.split(QLatin1Char(' ')) + QStringList { CRASHBOX_BIN, "--echo", "--auto-close-ms", "50" });
        QVERIFY(probe.waitForFinished(20000));
        const QString output = QString::fromLocal8Bit(probe.readAll());
        // The process ends by the signal itself.
        QCOMPARE(probe.exitStatus(), QProcess::CrashExit);
        QCOMPARE(probe.exitCode(), signal);
        // The box names the same code and the faulting instruction, and the dump if there is one.
        const auto shown = QRegularExpression(
            QStringLiteral("Crash: Code: (0x[0-9a-f]+), address: (0x[0-9a-f]+)( \\[(\\d{14}\\.dmp)\\])?"))
                               .match(output);
        QVERIFY2(shown.hasMatch(), qPrintable(output));
        QCOMPARE(shown.captured(1), code);
        QCOMPARE(shown.captured(3).isEmpty(), module.isEmpty());
        if (module.isEmpty())
            return;

        const QStringList dumps = QDir(dir.path()).entryList({ QStringLiteral("*.dmp") }, QDir::Files);
        QCOMPARE(dumps, QStringList { shown.captured(4) });
        const QDateTime stamp = QDateTime::fromString(dumps.first().left(14), QStringLiteral("yyyyMMddhhmmss"));
        QVERIFY(stamp >= before.addSecs(-1) && stamp <= QDateTime::currentDateTime().addSecs(1));
        QFile dump(dir.filePath(dumps.first()));
        QVERIFY(dump.open(QIODevice::ReadOnly));
        const QString report = QString::fromLatin1(dump.readAll());
        for (const QString& part : { QStringLiteral("signal: %1 ").arg(signal), "exception code: " + code + '\n',
                 QStringLiteral("\nregisters:\n"), QStringLiteral("backtrace of the faulting thread:"),
                 QStringLiteral("crashprobe"), QStringLiteral("memory map:"),
                 "instruction address: " + shown.captured(2) + '\n' })
            QVERIFY2(report.contains(part), qPrintable(part));
        if (kind == QLatin1String("segv"))
            QVERIFY(report.contains(QStringLiteral("fault address: 0x10\n")));

        // The instruction's offset is counted from the load base of the file
        // that holds it: where that file's first mapping begins.
        const auto named = QRegularExpression(
            QStringLiteral("\nmodule: (.+) \\(base 0x([0-9a-f]+), instruction offset 0x([0-9a-f]+)\\)\n"))
                               .match(report);
        QVERIFY2(named.hasMatch(), qPrintable(report.left(800)));
        QVERIFY2(QFileInfo(named.captured(1)).fileName().startsWith(module), qPrintable(named.captured(1)));
        const auto firstMapping = QRegularExpression(QStringLiteral("^([0-9a-f]+)-[0-9a-f]+ \\S+ 0+ \\S+ \\d+ +")
                + QRegularExpression::escape(named.captured(1)) + "$",
            QRegularExpression::MultilineOption)
                                      .match(report);
        QVERIFY(firstMapping.hasMatch());
        QCOMPARE(named.captured(2), firstMapping.captured(1).remove(QRegularExpression(QStringLiteral("^0+(?=.)"))));
        QCOMPARE(named.captured(2).toULongLong(nullptr, 16) + named.captured(3).toULongLong(nullptr, 16),
            shown.captured(2).toULongLong(nullptr, 16));
    }
};

QTEST_GUILESS_MAIN(TestCrashHandler)
#include "tst_crashhandler.moc"

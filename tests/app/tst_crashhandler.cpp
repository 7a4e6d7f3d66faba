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
    void exceptionCodes_data()
    {
        QTest::addColumn<int>("signal");
        QTest::addColumn<int>("code");
        QTest::addColumn<quint64>("fault");
        QTest::addColumn<quint64>("sp");
        QTest::addColumn<uint>("expected");
        const quint64 sp = 0x7ffd00001000ULL;
        QTest::newRow("access violation") << SIGSEGV << int(SEGV_MAPERR) << quint64(0x10) << sp << 0xc0000005u;
        QTest::newRow("stack overflow") << SIGSEGV << int(SEGV_MAPERR) << sp - 8 << sp << 0xc00000fdu;
        QTest::newRow("bus error") << SIGBUS << int(BUS_ADRERR) << quint64(0x1000) << sp << 0xc0000006u;
        QTest::newRow("illegal instruction") << SIGILL << int(ILL_ILLOPN) << quint64(0x401000) << sp << 0xc000001du;
        QTest::newRow("privileged instruction") << SIGILL << int(ILL_PRVOPC) << quint64(0x401000) << sp << 0xc0000096u;
        QTest::newRow("integer divide by zero") << SIGFPE << int(FPE_INTDIV) << quint64(0) << sp << 0xc0000094u;
        QTest::newRow("float invalid") << SIGFPE << int(FPE_FLTINV) << quint64(0) << sp << 0xc0000090u;
        QTest::newRow("abort") << SIGABRT << 0 << quint64(0) << sp << 0x40000015u;
    }
    void exceptionCodes()
    {
        QFETCH(int, signal);
        QFETCH(int, code);
        QFETCH(quint64, fault);
        QFETCH(quint64, sp);
        QFETCH(uint, expected);
        QCOMPARE(CrashHandler::exceptionCode(signal, code, uintptr_t(fault), uintptr_t(sp)), uint32_t(expected));
    }

    void faultLeavesDumpAndBox_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("onThread");
        QTest::addColumn<int>("signal");
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("module"); // the file holding the faulting instruction
        QTest::newRow("segv") << "segv" << false << SIGSEGV << "0xc0000005"
                              << "crashprobe";
        QTest::newRow("fpe") << "fpe" << false << SIGFPE << "0xc0000094"
                             << "crashprobe";
        QTest::newRow("ill") << "ill" << false << SIGILL << "0xc000001d"
                             << "crashprobe";
        QTest::newRow("bus") << "bus" << false << SIGBUS << "0xc0000006"
                             << "crashprobe";
        // abort() raises the signal inside the C library.
        QTest::newRow("abort on a thread") << "abort" << true << SIGABRT << "0x40000015"
                                           << "libc.so";
        QTest::newRow("stack overflow on a thread") << "stack" << true << SIGSEGV << "0xc00000fd"
                                                    << "crashprobe";
    }
    void faultLeavesDumpAndBox()
    {
        QFETCH(QString, kind);
        QFETCH(bool, onThread);
        QFETCH(int, signal);
        QFETCH(QString, code);
        QFETCH(QString, module);

        QTemporaryDir dir;
        QProcess probe;
        probe.setWorkingDirectory(dir.path());
        probe.setProcessChannelMode(QProcess::MergedChannels);
        QStringList args { kind };
        if (onThread)
            args << QStringLiteral("thread");
        args << QStringLiteral(CRASHBOX_BIN) << QStringLiteral("--echo") << QStringLiteral("--auto-close-ms")
             << QStringLiteral("50");
        const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
        probe.start(QStringLiteral(CRASHPROBE_BIN), args);
        QVERIFY(probe.waitForFinished(20000));
        const QString output = QString::fromLocal8Bit(probe.readAll());

        // The process ends by the signal itself.
        QCOMPARE(probe.exitStatus(), QProcess::CrashExit);
        QCOMPARE(probe.exitCode(), signal);

        const QStringList dumps = QDir(dir.path()).entryList({ QStringLiteral("*.dmp") }, QDir::Files);
        QCOMPARE(dumps.size(), 1);
        const QRegularExpression name(QStringLiteral("^(\\d{14})\\.dmp$"));
        const auto match = name.match(dumps.first());
        QVERIFY2(match.hasMatch(), qPrintable(dumps.first()));
        const QDateTime stamp = QDateTime::fromString(match.captured(1), QStringLiteral("yyyyMMddhhmmss"));
        QVERIFY(stamp >= before.addSecs(-1) && stamp <= QDateTime::currentDateTime().addSecs(1));

        QFile dump(dir.filePath(dumps.first()));
        QVERIFY(dump.open(QIODevice::ReadOnly));
        const QString report = QString::fromLatin1(dump.readAll());
        QVERIFY(report.contains(QStringLiteral("signal: %1 ").arg(signal)));
        QVERIFY(report.contains(QStringLiteral("exception code: ") + code + QLatin1Char('\n')));
        QVERIFY(report.contains(QStringLiteral("\nregisters:\n")));
        QVERIFY(report.contains(QStringLiteral("backtrace of the faulting thread:")));
        QVERIFY(report.contains(QStringLiteral("crashprobe")));
        QVERIFY(report.contains(QStringLiteral("memory map:")));
        if (kind == QLatin1String("segv"))
            QVERIFY(report.contains(QStringLiteral("fault address: 0x10\n")));

        // The box names the same code and the faulting instruction.
        const QRegularExpression box(
            QStringLiteral("Crash: Code: (0x[0-9a-f]+), address: (0x[0-9a-f]+) \\[(\\d{14}\\.dmp)\\]"));
        const auto shown = box.match(output);
        QVERIFY2(shown.hasMatch(), qPrintable(output));
        QCOMPARE(shown.captured(1), code);
        QVERIFY(report.contains(QStringLiteral("instruction address: ") + shown.captured(2) + QLatin1Char('\n')));
        QCOMPARE(shown.captured(3), dumps.first());

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

    void unwritableDirectoryStillGivesTheBox()
    {
        // Not even root can create a file in /proc.
        QProcess probe;
        probe.setWorkingDirectory(QStringLiteral("/proc"));
        probe.setProcessChannelMode(QProcess::MergedChannels);
        probe.start(QStringLiteral(CRASHPROBE_BIN),
            { QStringLiteral("segv"), QStringLiteral(CRASHBOX_BIN), QStringLiteral("--echo"),
                QStringLiteral("--auto-close-ms"), QStringLiteral("50") });
        QVERIFY(probe.waitForFinished(20000));
        const QString output = QString::fromLocal8Bit(probe.readAll());
        QVERIFY2(output.contains(QStringLiteral("Crash: Code: 0xc0000005, address: 0x")), qPrintable(output));
        QVERIFY(!output.contains(QLatin1Char('[')));
        QCOMPARE(probe.exitCode(), SIGSEGV);
    }
};

QTEST_GUILESS_MAIN(TestCrashHandler)
#include "tst_crashhandler.moc"

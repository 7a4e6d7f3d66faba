// What the batch dialog and the command-line tool say about a batch: a card's
// Detail text, the totals line and the CSV export's rows.

#include "programming/batchprogrammingthread.h"
#include "programming/batchreport.h"
#include "programming/batchtracker.h"
#include "programming/programmingrun.h"

#include <QtTest>

using Phase = BatchTracker::Phase;
using Thread = BatchProgrammingThread;

Q_DECLARE_METATYPE(BatchTracker::Card)
Q_DECLARE_METATYPE(BatchTracker::Totals)
Q_DECLARE_METATYPE(BatchReport::CsvRow)

namespace {

BatchTracker::Card card(Phase phase, int status = Thread::NotStart, int reason = ProgrammingRun::NoFailure)
{
    BatchTracker::Card c;
    c.phase = phase;
    c.report.status = status;
    c.report.reason = reason;
    c.bytesTotal = 1000;
    c.bytesAcknowledged = 375;
    c.startedMs = 500;
    c.installingMs = 1000;
    return c;
}

} // namespace

class TestBatchTracker : public QObject {
    Q_OBJECT

private slots:
    void detail_data()
    {
        QTest::addColumn<BatchTracker::Card>("card");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("text");
        const auto row = [](const char* name, Phase phase, int status, int reason, int mode = Thread::Program) {
            QTest::newRow(name) << card(phase, status, reason) << mode << name;
        };
        const int none = ProgrammingRun::NoFailure;
        row("waiting", Phase::Waiting, Thread::NotStart, none);
        row("connecting", Phase::Connecting, Thread::NotStart, none);
        // Whole percent, rounded down: never "100%" before the last byte.
        QTest::newRow("sending") << card(Phase::Sending) << int(Thread::Program) << "sending 37%";
        QTest::newRow("installing") << card(Phase::Installing) << int(Thread::Program) << "installing 0:12";
        row("done", Phase::Ended, Thread::Succeeded, none);
        row("version read", Phase::Ended, Thread::Succeeded, none, Thread::ReadVersion);
        row("connect failed", Phase::Ended, Thread::Failed, ProgrammingRun::ConnectFailed);
        row("chunk time-out", Phase::Ended, Thread::Failed, ProgrammingRun::ChunkTimeout);
        row("installation time-out", Phase::Ended, Thread::Failed, ProgrammingRun::InstallationTimeout);
        row("not started", Phase::NotStarted, Thread::NotStart, none);
    }
    void detail()
    {
        QFETCH(BatchTracker::Card, card);
        QFETCH(int, mode);
        QFETCH(QString, text);
        QCOMPARE(BatchTracker::detail(card, mode, 13500), text);
    }

    void totalsLine_data()
    {
        QTest::addColumn<BatchTracker::Totals>("totals");
        QTest::addColumn<QString>("text");
        BatchTracker::Totals running;
        running.succeeded = 3;
        running.failed = 1;
        running.left = 16;
        running.elapsedMs = 42000;
        QTest::newRow("no pace yet") << running
                                     << "Succeeded: 3    Failed: 1    Left: 16    Elapsed: 0:42    Remaining: -";
        running.remainingMs = 190000;
        QTest::newRow("estimate") << running
                                  << "Succeeded: 3    Failed: 1    Left: 16    Elapsed: 0:42    Remaining: about 3:10";
        BatchTracker::Totals finished;
        finished.succeeded = 18;
        finished.failed = 2;
        finished.elapsedMs = 271000;
        finished.finished = true;
        QTest::newRow("finished") << finished << "Batch finished: 18 succeeded, 2 failed, 4:31";
        finished.succeeded = 0;
        finished.failed = 1;
        finished.notStarted = 19;
        finished.halt = BatchPool::Halt::CanaryFailed;
        finished.elapsedMs = 3723000;
        QTest::newRow("canary failed") << finished
                                       << "Batch finished: 0 succeeded, 1 failed, 1:02:03; 19 not started: the first "
                                          "device failed";
    }
    void totalsLine()
    {
        QFETCH(BatchTracker::Totals, totals);
        QFETCH(QString, text);
        QCOMPARE(BatchTracker::totalsText(totals), text);
    }

    void csvRow_data()
    {
        QTest::addColumn<BatchReport::CsvRow>("row");
        QTest::addColumn<QString>("line");
        QTest::newRow("succeeded") << BatchReport::CsvRow { "127.0.0.5", Thread::Succeeded, {}, "v2.5.0 build 7",
            163840, 2, 12.345 } << "127.0.0.5,Succeeded,,v2.5.0 build 7,163840,2,12.3,ab12,Patch,1.4.0";
        QTest::newRow("failed") << BatchReport::CsvRow { "127.0.0.6", Thread::Failed, "chunk time-out", {}, 4096, 3,
            41 } << "127.0.0.6,Failed,chunk time-out,,4096,3,41.0,ab12,Patch,1.4.0";
        QTest::newRow("not started") << BatchReport::CsvRow {
            "127.0.0.7", Thread::NotStart, "not started: failure limit reached", {}, 0, 0, 0
        } << "127.0.0.7,Not Start,not started: failure limit reached,,0,0,0.0,ab12,Patch,1.4.0";
        // The version comes from the card: quoted where it must be, and never
        // taken for a formula by a spreadsheet.
        QTest::newRow("quoted") << BatchReport::CsvRow { "127.0.0.8", Thread::Succeeded, {}, "v1, \"beta\"", 1, 0, 1 }
                                << "127.0.0.8,Succeeded,,\"v1, \"\"beta\"\"\",1,0,1.0,ab12,Patch,1.4.0";
        QTest::newRow("formula") << BatchReport::CsvRow { "127.0.0.9", Thread::Succeeded, {}, "=HYPERLINK(1)", 1, 0, 1 }
                                 << "127.0.0.9,Succeeded,,'=HYPERLINK(1),1,0,1.0,ab12,Patch,1.4.0";
    }
    void csvRow()
    {
        QFETCH(BatchReport::CsvRow, row);
        QFETCH(QString, line);
        const QString csv = QString::fromUtf8(BatchReport::csv({ row }, { "ab12", 2, QStringLiteral("1.4.0") }));
        QCOMPARE(csv,
            QStringLiteral("address,status,reason,version,bytes_sent,resends,seconds,image_sha256,programming_type,"
                           "tool_version\r\n")
                + line + QStringLiteral("\r\n"));
    }
};

QTEST_GUILESS_MAIN(TestBatchTracker)
#include "tst_batchtracker.moc"

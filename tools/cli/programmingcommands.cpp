// version, program, backup and batch: the batch worker's tasks, run through
// the batch dialog's pool (one worker for a single card), and the backup run
// of the programming page on a link of its own.

#include "clicommand.h"
#include "commands.h"
#include "progressline.h"

#include "link/commtcp.h"
#include "programming/backuprun.h"
#include "programming/batchpool.h"
#include "programming/batchprogrammingthread.h"
#include "programming/batchreport.h"
#include "programming/batchtracker.h"
#include "programming/devicelist.h"
#include "programming/firmwarepackage.h"
#include "programming/programmingrun.h"

#include <QDateTime>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QTimer>
#include <QVector>

namespace {

using Cli::bytes;
using Cli::Command;

const QString kInstallTimeout = QStringLiteral("install-timeout");
const QString kSendUnchanged = QStringLiteral("send-unchanged");
// How often `program` tells that the card is still installing.
constexpr int kInstallingLineMs = 10000;

void addReplyTimeoutOption(Command& command)
{
    command.addReplyTimeoutOption(ProgrammingRun::kBatchChunkTimeoutMs / 1000.0);
}

void addInstallTimeoutOption(Command& command)
{
    command.addOption({ kInstallTimeout,
        QStringLiteral("Longest wait from the last chunk to the card's end of programming, in seconds "
                       "(default %1).")
            .arg(ProgrammingRun::kInstallTimeoutMs / 1000),
        QStringLiteral("S"), QString::number(ProgrammingRun::kInstallTimeoutMs / 1000) });
}

void addSendUnchangedOption(Command& command)
{
    command.addOption({ kSendUnchanged,
        QStringLiteral("Send a file that looks like a firmware package but fails its check as it is, header "
                       "included (a plain image that begins with the package magic by chance).") });
}

// Makes the pool's copy of the image; prints why and returns false when it
// cannot, a damaged package included unless --send-unchanged was given.
bool prepareImage(Command& command, BatchPool& pool, const QString& image)
{
    if (pool.prepareImage(image, command.isSet(kSendUnchanged)))
        return true;
    const FirmwarePackage::Check failed = pool.imageCheck();
    if (failed == FirmwarePackage::Check::Passed)
        command.failure(ProgrammingRun::failureMessage(ProgrammingRun::ImageUnreadable));
    else
        command.failure(QStringLiteral("%1 looks like a firmware package, but its %2 check failed; nothing was "
                                       "sent (--send-unchanged sends it as it is)")
                            .arg(image, FirmwarePackage::checkName(failed)));
    return false;
}

using Card = BatchTracker::Card;

// What happened, in more words than the report's fixed reason: the system's
// reason for a failed connect, the wait for a reply that never came.
QString reasonText(const Card& card, int replyTimeoutMs)
{
    switch (card.report.reason) {
    case ProgrammingRun::ConnectFailed: return QStringLiteral("connect failed: %1").arg(card.report.connectError);
    case ProgrammingRun::NoReply: return QStringLiteral("no reply within %1 s").arg(replyTimeoutMs / 1000.0);
    default: return ProgrammingRun::failureText(card.report.reason);
    }
}

QJsonObject toJson(const Card& card, int mode, BatchPool::Halt halt)
{
    QJsonObject o { { QStringLiteral("ip"), card.address },
        { QStringLiteral("status"), BatchReport::statusText(card.report.status) },
        { QStringLiteral("version"), card.report.version },
        { QStringLiteral("seconds"), qRound(card.seconds() * 1000) / 1000.0 } };
    if (mode == BatchProgrammingThread::Program) {
        o.insert(QStringLiteral("bytesSent"), double(card.report.bytesSent));
        o.insert(QStringLiteral("resends"), card.report.resends);
    }
    if (!card.succeeded())
        o.insert(QStringLiteral("reason"), BatchTracker::reason(card, halt));
    return o;
}

// Runs one batch on a pool and waits for its end; the tracker, made on the
// pool beforehand, holds what each card came to.
QVector<Card> runBatch(BatchPool& pool, const BatchTracker& tracker, const QStringList& devices, int mode, int type,
    const BatchPool::Rules& rules = {})
{
    QEventLoop loop;
    QObject::connect(&pool, &BatchPool::batchFinished, &loop, &QEventLoop::quit);
    if (pool.start(devices, mode, type, rules) && pool.isRunning())
        loop.exec();
    return tracker.cards();
}

} // namespace

namespace Commands {

int version(const QStringList& arguments)
{
    Command command(QStringLiteral("version"),
        QStringLiteral("version <ip> [--type app|firmware|patch|root|N] [--timeout S]"),
        QStringLiteral("Reads the version of one program component of the card and prints its version word "
                       "(\"v2.4.1\")."));
    command.addTypeOption();
    addReplyTimeoutOption(command);
    QStringList args;
    int type = 0;
    int timeoutMs = 0;
    if (!command.parse(arguments) || !command.positionals(1, 1, &args) || !command.cardAddress(args[0])
        || !command.programmingType(&type) || !command.seconds(QStringLiteral("timeout"), &timeoutMs))
        return command.exitCode();

    BatchPool pool(1);
    pool.setReplyTimeout(timeoutMs);
    BatchTracker tracker(&pool);
    const Card r = runBatch(pool, tracker, args, BatchProgrammingThread::ReadVersion, type).value(0);
    if (command.json()) {
        QJsonObject o = toJson(r, BatchProgrammingThread::ReadVersion, pool.halt());
        o.insert(QStringLiteral("type"), type);
        Cli::printJson(o);
    }
    if (!r.succeeded())
        return command.failure(r.address + QStringLiteral(": ") + reasonText(r, timeoutMs));
    if (!command.json())
        Cli::out() << r.report.version << '\n' << Qt::flush;
    return Cli::Ok;
}

int program(const QStringList& arguments)
{
    Command command(QStringLiteral("program"),
        QStringLiteral("program <ip> <image> [--type app|firmware|patch|root|N] [--timeout S] [--install-timeout S] "
                       "[--send-unchanged]"),
        QStringLiteral(
            "Programs one program component of the card with an image file or a firmware package (its "
            "payload is sent). Succeeds when the card reports the end of programming. A file that looks like a "
            "package but fails its check is refused unless --send-unchanged is given."));
    command.addTypeOption();
    addReplyTimeoutOption(command);
    addInstallTimeoutOption(command);
    addSendUnchangedOption(command);
    QStringList args;
    int type = 0;
    int installMs = 0;
    int timeoutMs = 0;
    if (!command.parse(arguments) || !command.positionals(2, 2, &args) || !command.cardAddress(args[0])
        || !command.fileExists(args[1], QStringLiteral("image")) || !command.programmingType(&type)
        || !command.seconds(QStringLiteral("timeout"), &timeoutMs) || !command.seconds(kInstallTimeout, &installMs))
        return command.exitCode();

    BatchPool pool(1);
    if (!prepareImage(command, pool, args[1]))
        return Cli::Failed;
    pool.setInstallTimeout(installMs);
    pool.setReplyTimeout(timeoutMs);
    ProgressLine line(args[0]);
    line.setQuiet(command.json());
    BatchTracker tracker(&pool);
    // Installing may take minutes without a word from the card.
    QTimer installTicks;
    int installingMs = 0;
    QObject::connect(&installTicks, &QTimer::timeout, [&] {
        installingMs += kInstallingLineMs;
        line.installing(installingMs / 1000);
    });
    QObject::connect(&tracker, &BatchTracker::cardChanged, [&](int index) {
        const Card& card = tracker.cards()[index];
        if (card.phase == BatchTracker::Phase::Sending) {
            line.update(card.bytesAcknowledged, card.bytesTotal);
        } else if (card.phase == BatchTracker::Phase::Installing && !installTicks.isActive()) {
            line.update(card.bytesTotal, card.bytesTotal);
            line.installing(0);
            installTicks.start(kInstallingLineMs);
        }
    });
    const Card r = runBatch(pool, tracker, { args[0] }, BatchProgrammingThread::Program, type).value(0);
    installTicks.stop();
    line.finish();
    if (command.json()) {
        QJsonObject o = toJson(r, BatchProgrammingThread::Program, pool.halt());
        o.insert(QStringLiteral("bytesTotal"), double(r.bytesTotal));
        Cli::printJson(o);
    }
    if (!r.succeeded()) {
        const QString message = ProgrammingRun::failureMessage(r.report.reason);
        const QString reason = reasonText(r, timeoutMs);
        return command.failure(r.address + QStringLiteral(": ")
            + (message.isEmpty() ? reason : QStringLiteral("%1 (%2)").arg(message, reason)));
    }
    if (!command.json())
        Cli::out() << r.address << ": Programming finish!\n" << Qt::flush;
    return Cli::Ok;
}

int batch(const QStringList& arguments)
{
    Command command(QStringLiteral("batch"),
        QStringLiteral("batch --devices <list.txt|.csv|.xlsx> (--image <file> | --version-only) "
                       "[--type ...] [--jobs N] [--report <file>] [--timeout S] [--install-timeout S] "
                       "[--send-unchanged] [--canary] [--max-failures N]"),
        QStringLiteral("Programs (or reads the version of) every card of a device list, several at a time, as "
                       "the batch programming dialog does. Prints one line per card as it ends; exits 0 only "
                       "when every card succeeded."));
    command.addOption({ QStringLiteral("canary"),
        QStringLiteral("Work on the first card of the list alone, and on the others only if it succeeded.") });
    command.addOption({ QStringLiteral("max-failures"),
        QStringLiteral("Start no further card once N cards have failed (those under way finish)."),
        QStringLiteral("N") });
    command.addOption({ QStringLiteral("devices"),
        QStringLiteral("Device list: one address per line (text, CSV) or in the first used column of a "
                       "workbook's sheet (.xlsx)."),
        QStringLiteral("file") });
    command.addOption({ QStringLiteral("image"), QStringLiteral("Image file or firmware package to program."),
        QStringLiteral("file") });
    command.addOption({ QStringLiteral("version-only"), QStringLiteral("Only read each card's version.") });
    command.addOption({ QStringLiteral("jobs"),
        QStringLiteral("Cards worked on at the same time (default %1, the processor threads).")
            .arg(BatchPool::defaultSize()),
        QStringLiteral("N"), QString::number(BatchPool::defaultSize()) });
    command.addOption({ QStringLiteral("report"),
        QStringLiteral("Write the result report (the dialog's \"Export Result\" format) to file."),
        QStringLiteral("file") });
    command.addTypeOption();
    addReplyTimeoutOption(command);
    addInstallTimeoutOption(command);
    addSendUnchangedOption(command);
    QStringList args;
    int type = 0;
    int jobs = 0;
    int installMs = 0;
    int timeoutMs = 0;
    BatchPool::Rules rules;
    if (!command.parse(arguments) || !command.positionals(0, 0, &args) || !command.programmingType(&type)
        || !command.count(QStringLiteral("jobs"), 1, 1024, &jobs)
        || (command.isSet(QStringLiteral("max-failures"))
            && !command.count(QStringLiteral("max-failures"), 1, 1000000, &rules.maxFailures))
        || !command.seconds(QStringLiteral("timeout"), &timeoutMs) || !command.seconds(kInstallTimeout, &installMs))
        return command.exitCode();
    rules.canary = command.isSet(QStringLiteral("canary"));
    const bool versionOnly = command.isSet(QStringLiteral("version-only"));
    const QString image = command.value(QStringLiteral("image"));
    if (!command.isSet(QStringLiteral("devices")))
        return command.usageError(QStringLiteral("--devices is required"));
    if (versionOnly == command.isSet(QStringLiteral("image")))
        return command.usageError(QStringLiteral("give either --image or --version-only"));
    if (!versionOnly && !command.fileExists(image, QStringLiteral("image")))
        return command.exitCode();
    const QString listFile = command.value(QStringLiteral("devices"));
    if (!command.fileExists(listFile, QStringLiteral("device list")))
        return command.exitCode();
    QStringList devices;
    QString readError;
    if (DeviceList::read(listFile, &devices, &readError) != DeviceList::Result::Ok)
        return command.usageError(
            QStringLiteral("cannot read the device list \"%1\"%2")
                .arg(listFile, readError.isEmpty() ? QString() : QStringLiteral(": ") + readError));
    if (devices.isEmpty())
        return command.usageError(QStringLiteral("the device list \"%1\" holds no card address").arg(listFile));

    const int mode = versionOnly ? BatchProgrammingThread::ReadVersion : BatchProgrammingThread::Program;
    BatchPool pool(jobs);
    pool.setInstallTimeout(installMs);
    pool.setReplyTimeout(timeoutMs);
    if (!versionOnly && !prepareImage(command, pool, image))
        return Cli::Failed;
    const qint64 imageSize = versionOnly ? 0 : QFile(pool.imagePath()).size();

    // With --json the lines go to stderr: stdout holds the document alone.
    QTextStream& lines = command.json() ? Cli::err() : Cli::out();
    const auto printLine = [&lines, &pool, mode](const Card& r) {
        lines << r.address << '\t' << BatchReport::statusText(r.report.status);
        if (r.succeeded() && mode == BatchProgrammingThread::ReadVersion)
            lines << '\t' << r.report.version;
        if (mode == BatchProgrammingThread::Program)
            lines << '\t' << r.report.bytesSent << " bytes\t" << r.report.resends << " resends";
        lines << '\t' << QString::number(r.seconds(), 'f', 1) << " s";
        if (!r.succeeded())
            lines << '\t' << BatchTracker::reason(r, pool.halt());
        lines << '\n' << Qt::flush;
    };
    BatchTracker tracker(&pool);
    QObject::connect(&tracker, &BatchTracker::cardChanged, [&](int index) {
        const Card& card = tracker.cards()[index];
        if (card.phase == BatchTracker::Phase::Ended || card.phase == BatchTracker::Phase::NotStarted)
            printLine(card);
    });
    const QVector<Card> results = runBatch(pool, tracker, devices, mode, type, rules);

    const BatchTracker::Totals totals = tracker.totals();
    QList<BatchReport::Row> rows;
    QJsonArray array;
    for (const Card& r : results) {
        rows.append({ r.address, BatchReport::resultText(r.report.status) });
        array.append(toJson(r, mode, pool.halt()));
    }
    const QString halt = totals.notStarted > 0 ? BatchPool::haltText(pool.halt()) : QString();
    if (command.json()) {
        QJsonObject doc { { QStringLiteral("devices"), array }, { QStringLiteral("succeeded"), totals.succeeded },
            { QStringLiteral("failed"), totals.failed }, { QStringLiteral("notStarted"), totals.notStarted } };
        if (!halt.isEmpty())
            doc.insert(QStringLiteral("notStartedReason"), halt);
        if (!versionOnly)
            doc.insert(QStringLiteral("image"),
                QJsonObject { { QStringLiteral("sha256"), QString::fromLatin1(pool.imageSha256()) },
                    { QStringLiteral("size"), double(imageSize) } });
        Cli::printJson(doc);
    } else {
        Cli::out() << totals.succeeded << " succeeded, " << totals.failed << " failed";
        if (!halt.isEmpty())
            Cli::out() << ", " << totals.notStarted << " not started (" << halt << ")";
        Cli::out() << '\n' << Qt::flush;
    }
    if (command.isSet(QStringLiteral("report"))
        && !BatchReport::write(command.value(QStringLiteral("report")), QDateTime::currentDateTime(), rows))
        return command.failure(QStringLiteral("File cannot open!"));
    return totals.succeeded == results.size() ? Cli::Ok : Cli::Failed;
}

int backup(const QStringList& arguments)
{
    Command command(QStringLiteral("backup"), QStringLiteral("backup <ip> <file> [--type app|firmware|patch|root|N]"),
        QStringLiteral("Backs one program component of the card up into a file. The file appears only once "
                       "every byte has come; a file already there is kept until then."));
    command.addTypeOption();
    command.addReplyTimeoutOption(10);
    QStringList args;
    int type = 0;
    int timeoutMs = 0;
    if (!command.parse(arguments) || !command.positionals(2, 2, &args) || !command.cardAddress(args[0])
        || !command.programmingType(&type) || !command.seconds(QStringLiteral("timeout"), &timeoutMs))
        return command.exitCode();

    if (!command.connectCard(args[0]))
        return Cli::Failed;
    CommTcp& link = command.link();
    BackupRun backup(timeoutMs);
    backup.setAnnounceTimeout(timeoutMs);
    ProgressLine line(args[0]);
    line.setQuiet(command.json());
    QEventLoop loop;
    int result = BackupRun::Failed;
    QObject::connect(&backup, &BackupRun::sendCmd, &link, &CommTcp::send);
    QObject::connect(&link, &CommTcp::gotProgRespond, &backup, &BackupRun::handleReply);
    for (auto lost : { &CommTcp::disconnected, &CommTcp::sendError, &CommTcp::notConnected })
        QObject::connect(&link, lost, &backup, &BackupRun::linkLost);
    QObject::connect(&backup, &BackupRun::sizeAnnounced, [&](qint64 total) {
        line.update(0, total);
        backup.receiveInto(args[1]);
    });
    QObject::connect(
        &backup, &BackupRun::pieceReceived, [&line](qint64 got, qint64 total) { line.update(got, total); });
    QObject::connect(&backup, &BackupRun::finished, [&](int r) {
        result = r;
        loop.quit();
    });
    backup.start(quint8(type));
    loop.exec();
    line.finish();
    const qint64 received = backup.receivedBytes();
    const bool done = result == BackupRun::Finished;
    QString message = BackupRun::resultMessage(result);
    if (result == BackupRun::NoReply || result == BackupRun::LinkLost)
        message += QStringLiteral(" (%1)").arg(Cli::outcomeText(
            result == BackupRun::NoReply ? CardReply::TimedOut : CardReply::ConnectionLost, timeoutMs));
    if (command.json())
        Cli::printJson(QJsonObject { { QStringLiteral("ip"), args[0] }, { QStringLiteral("file"), args[1] },
            { QStringLiteral("type"), type }, { QStringLiteral("bytes"), double(received) },
            { QStringLiteral("succeeded"), done }, { QStringLiteral("message"), message } });
    if (!done)
        return command.failure(args[0] + QStringLiteral(": ") + message);
    if (!command.json())
        Cli::out() << args[1] << ": Backup file finished! (" << received << " bytes)\n" << Qt::flush;
    return Cli::Ok;
}

} // namespace Commands

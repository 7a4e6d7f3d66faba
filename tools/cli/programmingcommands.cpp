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
#include "programming/devicelist.h"
#include "programming/firmwarepackage.h"
#include "programming/programmingrun.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QElapsedTimer>
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

// What one task of a batch came to.
struct TaskResult : BatchProgrammingThread::Report {
    QString ip;
    qint64 bytesTotal = 0;
    double seconds = 0;

    bool succeeded() const { return status == BatchProgrammingThread::Succeeded; }

    // What happened, in more words than the report's fixed reason: the
    // system's reason for a failed connect, the wait for a reply that never
    // came.
    QString reasonText(int replyTimeoutMs) const
    {
        switch (reason) {
        case ProgrammingRun::ConnectFailed: return QStringLiteral("connect failed: %1").arg(connectError);
        case ProgrammingRun::NoReply: return QStringLiteral("no reply within %1 s").arg(replyTimeoutMs / 1000.0);
        default: return ProgrammingRun::failureText(reason);
        }
    }

    QJsonObject toJson(int mode) const
    {
        QJsonObject o { { QStringLiteral("ip"), ip }, { QStringLiteral("status"), BatchReport::statusText(status) },
            { QStringLiteral("version"), version }, { QStringLiteral("seconds"), qRound(seconds * 1000) / 1000.0 } };
        if (mode == BatchProgrammingThread::Program) {
            o.insert(QStringLiteral("bytesSent"), double(bytesSent));
            o.insert(QStringLiteral("resends"), resends);
        }
        if (!succeeded())
            o.insert(QStringLiteral("reason"), ProgrammingRun::failureText(reason));
        return o;
    }
};

// Runs one batch on a pool and waits for its end. `onEnded` sees each task
// as it ends, `progress` each programming update.
class BatchRun {
public:
    BatchRun(BatchPool& pool, const QStringList& devices)
        : m_pool(pool)
        , m_results(devices.size())
        , m_clocks(pool.workers().size())
    {
        for (int i = 0; i < devices.size(); ++i)
            m_results[i].ip = devices[i];
    }

    std::function<void(const TaskResult&)> onEnded;
    std::function<void(const TaskResult&)> progress;
    std::function<void(const TaskResult&)> installing;

    QVector<TaskResult> run(int mode, int type)
    {
        QEventLoop loop;
        QObject context;
        QVector<int> taskOf(m_pool.workers().size(), -1);
        QObject::connect(&m_pool, &BatchPool::taskStarted, &context, [&](int worker, int index) {
            taskOf[worker] = index;
            m_clocks[worker].start();
        });
        QObject::connect(&m_pool, &BatchPool::programmingStarted, &context, [&](int worker, qint64 total) {
            TaskResult& r = m_results[taskOf[worker]];
            r.bytesTotal = total;
            if (progress)
                progress(r);
        });
        QObject::connect(&m_pool, &BatchPool::programmingUpdated, &context, [&](int worker, qint64 written) {
            TaskResult& r = m_results[taskOf[worker]];
            r.bytesSent = written;
            if (progress)
                progress(r);
        });
        QObject::connect(&m_pool, &BatchPool::installationStarted, &context, [&](int worker) {
            if (installing)
                installing(m_results[taskOf[worker]]);
        });
        QObject::connect(&m_pool, &BatchPool::taskFinished, &context, [&](int worker, int index) {
            TaskResult& r = m_results[index];
            static_cast<BatchProgrammingThread::Report&>(r) = m_pool.workers()[worker]->report();
            r.seconds = m_clocks[worker].elapsed() / 1000.0;
            if (onEnded)
                onEnded(r);
        });
        QObject::connect(&m_pool, &BatchPool::batchFinished, &context, [&loop] { loop.quit(); });
        if (m_pool.start(deviceList(), mode, type) && m_pool.isRunning())
            loop.exec();
        return m_results;
    }

private:
    QStringList deviceList() const
    {
        QStringList list;
        for (const TaskResult& r : m_results)
            list.append(r.ip);
        return list;
    }

    BatchPool& m_pool;
    QVector<TaskResult> m_results;
    QVector<QElapsedTimer> m_clocks;
};

// SHA-256 of a file, read in pieces; empty when it cannot be read.
QByteArray sha256(const QString& path)
{
    QFile file(path);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!file.open(QIODevice::ReadOnly) || !hash.addData(&file))
        return QByteArray();
    return hash.result().toHex();
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
    BatchRun run(pool, args);
    const TaskResult r = run.run(BatchProgrammingThread::ReadVersion, type).value(0);
    if (command.json()) {
        QJsonObject o = r.toJson(BatchProgrammingThread::ReadVersion);
        o.insert(QStringLiteral("type"), type);
        Cli::printJson(o);
    }
    if (!r.succeeded())
        return command.failure(r.ip + QStringLiteral(": ") + r.reasonText(timeoutMs));
    if (!command.json())
        Cli::out() << r.version << '\n' << Qt::flush;
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
    BatchRun run(pool, { args[0] });
    run.progress = [&line](const TaskResult& r) { line.update(r.bytesSent, r.bytesTotal); };
    // Installing may take minutes without a word from the card.
    QTimer installTicks;
    int installingMs = 0;
    QObject::connect(&installTicks, &QTimer::timeout, [&] {
        installingMs += kInstallingLineMs;
        line.installing(installingMs / 1000);
    });
    run.installing = [&](const TaskResult&) {
        line.installing(0);
        installTicks.start(kInstallingLineMs);
    };
    const TaskResult r = run.run(BatchProgrammingThread::Program, type).value(0);
    installTicks.stop();
    line.finish();
    if (command.json()) {
        QJsonObject o = r.toJson(BatchProgrammingThread::Program);
        o.insert(QStringLiteral("bytesTotal"), double(r.bytesTotal));
        Cli::printJson(o);
    }
    if (!r.succeeded()) {
        const QString message = ProgrammingRun::failureMessage(r.reason);
        const QString reason = r.reasonText(timeoutMs);
        return command.failure(r.ip + QStringLiteral(": ")
            + (message.isEmpty() ? reason : QStringLiteral("%1 (%2)").arg(message, reason)));
    }
    if (!command.json())
        Cli::out() << r.ip << ": Programming finish!\n" << Qt::flush;
    return Cli::Ok;
}

int batch(const QStringList& arguments)
{
    Command command(QStringLiteral("batch"),
        QStringLiteral("batch --devices <list.txt|.csv|.xlsx> (--image <file> | --version-only) "
                       "[--type ...] [--jobs N] [--report <file>] [--timeout S] [--install-timeout S] "
                       "[--send-unchanged]"),
        QStringLiteral("Programs (or reads the version of) every card of a device list, several at a time, as "
                       "the batch programming dialog does. Prints one line per card as it ends; exits 0 only "
                       "when every card succeeded."));
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
    if (!command.parse(arguments) || !command.positionals(0, 0, &args) || !command.programmingType(&type)
        || !command.count(QStringLiteral("jobs"), 1, 1024, &jobs)
        || !command.seconds(QStringLiteral("timeout"), &timeoutMs) || !command.seconds(kInstallTimeout, &installMs))
        return command.exitCode();
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
    const QString sentImage = pool.imagePath();
    const QByteArray digest = versionOnly ? QByteArray() : sha256(sentImage);
    const qint64 imageSize = versionOnly ? 0 : QFile(sentImage).size();

    // With --json the lines go to stderr: stdout holds the document alone.
    QTextStream& lines = command.json() ? Cli::err() : Cli::out();
    BatchRun run(pool, devices);
    run.onEnded = [&lines, mode](const TaskResult& r) {
        lines << r.ip << '\t' << BatchReport::statusText(r.status);
        if (r.succeeded() && mode == BatchProgrammingThread::ReadVersion)
            lines << '\t' << r.version;
        if (mode == BatchProgrammingThread::Program)
            lines << '\t' << r.bytesSent << " bytes\t" << r.resends << " resends";
        lines << '\t' << QString::number(r.seconds, 'f', 1) << " s";
        if (!r.succeeded())
            lines << '\t' << ProgrammingRun::failureText(r.reason);
        lines << '\n' << Qt::flush;
    };
    const QVector<TaskResult> results = run.run(mode, type);

    int failed = 0;
    QList<BatchReport::Row> rows;
    QJsonArray array;
    for (const TaskResult& r : results) {
        failed += r.succeeded() ? 0 : 1;
        rows.append({ r.ip, BatchReport::resultText(r.status) });
        array.append(r.toJson(mode));
    }
    if (command.json()) {
        QJsonObject doc { { QStringLiteral("devices"), array },
            { QStringLiteral("succeeded"), results.size() - failed }, { QStringLiteral("failed"), failed } };
        if (!versionOnly)
            doc.insert(QStringLiteral("image"),
                QJsonObject { { QStringLiteral("sha256"), QString::fromLatin1(digest) },
                    { QStringLiteral("size"), double(imageSize) } });
        Cli::printJson(doc);
    } else {
        Cli::out() << results.size() - failed << " succeeded, " << failed << " failed\n" << Qt::flush;
    }
    if (command.isSet(QStringLiteral("report"))
        && !BatchReport::write(command.value(QStringLiteral("report")), QDateTime::currentDateTime(), rows))
        return command.failure(QStringLiteral("File cannot open!"));
    return failed == 0 ? Cli::Ok : Cli::Failed;
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

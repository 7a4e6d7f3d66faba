// netquill-cli: the tool's command link without a window, for scripts and
// for a quick look at a card from a terminal.
//
//   netquill-cli version ADDRESS... [--type N]
//   netquill-cli program FILE ADDRESS... [--type N]
//   netquill-cli console ADDRESS COMMAND-LINE
//   netquill-cli reboot ADDRESS
//
// Programming and version reads run the batch worker's task, one card after
// the other; firmware packages are unwrapped first. The exit code is 0 when
// every card succeeded.

#include "link/commandcodes.h"
#include "link/commtcp.h"
#include "link/ipaddresspattern.h"
#include "pages/consoletext.h"
#include "programming/batchprogrammingthread.h"
#include "programming/chunktransfer.h"
#include "programming/firmwarepackage.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

namespace {

QTextStream& out()
{
    static QTextStream s(stdout);
    return s;
}

QTextStream& err()
{
    static QTextStream s(stderr);
    return s;
}

// Runs one worker task on `address` and waits for its end.
bool runTask(BatchProgrammingThread& worker, const QString& address, int index)
{
    QEventLoop loop;
    QObject::connect(&worker, &BatchProgrammingThread::finished, &loop, &QEventLoop::quit);
    qint64 total = 0;
    int lastPercent = -1;
    auto started = QObject::connect(
        &worker, &BatchProgrammingThread::programmingStarted, [&total](qint64 bytes) { total = bytes; });
    auto updated = QObject::connect(&worker, &BatchProgrammingThread::programmingUpdated, [&](qint64 bytes) {
        const int percent = total > 0 ? int(bytes * 100 / total) : 100;
        if (percent / 10 != lastPercent / 10) {
            out() << address << ": " << ChunkTransfer::percentText(bytes, total) << "%\n" << Qt::flush;
            lastPercent = percent;
        }
    });
    worker.setDevice(address, index);
    QTimer::singleShot(0, &worker, [&worker, index] { worker.onTaskStart(index); });
    loop.exec();
    QObject::disconnect(started);
    QObject::disconnect(updated);
    return worker.status() == BatchProgrammingThread::Succeeded;
}

int runTasks(int mode, const QString& image, const QStringList& addresses, int type)
{
    BatchProgrammingThread worker;
    worker.setMode(mode);
    worker.setProgType(type);
    worker.setProgrammingFile(image);
    int failed = 0;
    for (int i = 0; i < addresses.size(); ++i) {
        const bool ok = runTask(worker, addresses.at(i), i);
        if (mode == BatchProgrammingThread::ReadVersion && ok)
            out() << addresses.at(i) << ": " << worker.version() << '\n';
        else
            out() << addresses.at(i) << ": " << (ok ? "Succeeded" : "Failed") << '\n';
        if (!ok)
            ++failed;
    }
    out().flush();
    return failed == 0 ? 0 : 1;
}

// Connects, sends one command and, when `answerCode` is not 0, waits at most
// `waitMs` for the answer, which it prints.
int sendOnce(const QString& address, int cmd, const QByteArray& data, int answerCode, int waitMs)
{
    CommTcp link;
    link.setQuiet(true);
    QString failure;
    QObject::connect(&link, &CommTcp::connectionError, [&failure](const QString& e) { failure = e; });
    link.connectToDevice(address);
    if (!link.isConnected()) {
        err() << address << ": cannot connect: " << failure << '\n';
        return 2;
    }
    QEventLoop loop;
    bool answered = false;
    QObject::connect(&link, &CommTcp::gotRootRespond, [&](int code, const quint8* bytes, int size) {
        if (code != answerCode)
            return;
        out() << ConsoleText::decodeAnswer(bytes, size) << '\n' << Qt::flush;
        answered = true;
        loop.quit();
    });
    QObject::connect(&link, &CommTcp::disconnected, &loop, &QEventLoop::quit);
    QObject::connect(&link, &CommTcp::sendError, &loop, &QEventLoop::quit);
    link.send(cmd, data);
    if (answerCode == 0) {
        link.disconnectFromDevice();
        return 0;
    }
    QTimer::singleShot(waitMs, &loop, &QEventLoop::quit);
    loop.exec();
    link.disconnectFromDevice();
    if (!answered)
        err() << address << ": no answer\n";
    return answered ? 0 : 1;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("netquill-cli"));
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Talks to network-management cards over their command service (TCP port 8712).\n\n"
                       "Commands:\n"
                       "  version ADDRESS...         read the version of a component of each card\n"
                       "  program FILE ADDRESS...    program each card with an image or firmware package\n"
                       "  console ADDRESS LINE       send one console command and print the answer\n"
                       "  reboot ADDRESS             reboot a card"));
    parser.addHelpOption();
    const QCommandLineOption typeOption(QStringLiteral("type"),
        QStringLiteral("Programming type: 0 APP, 1 Firmware, 2 Patch, 3 root (default 1)."), QStringLiteral("N"),
        QStringLiteral("1"));
    const QCommandLineOption waitOption(QStringLiteral("wait-ms"),
        QStringLiteral("How long console waits for the answer (default 3000)."), QStringLiteral("ms"),
        QStringLiteral("3000"));
    parser.addOption(typeOption);
    parser.addOption(waitOption);
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("version, program, console or reboot"));
    parser.process(app);

    QStringList args = parser.positionalArguments();
    const QString command = args.value(0);
    args = args.mid(1);
    bool ok = false;
    const int type = parser.value(typeOption).toInt(&ok);
    if (!ok || type < 0 || type > 3) {
        err() << "netquill-cli: --type wants 0 to 3\n";
        return 2;
    }
    auto checkAddresses = [](const QStringList& addresses) {
        for (const QString& a : addresses) {
            if (!IpAddressPattern::matches(a)) {
                err() << "netquill-cli: not an IPv4 address: " << a << '\n';
                return false;
            }
        }
        if (addresses.isEmpty())
            err() << "netquill-cli: no card address given\n";
        return !addresses.isEmpty();
    };

    if (command == QLatin1String("version")) {
        if (!checkAddresses(args))
            return 2;
        return runTasks(BatchProgrammingThread::ReadVersion, QString(), args, type);
    }
    if (command == QLatin1String("program")) {
        const QString file = args.value(0);
        if (!QFileInfo(file).isFile() || !checkAddresses(args.mid(1))) {
            err() << "netquill-cli: program wants FILE ADDRESS...\n";
            return 2;
        }
        // The cards get the payload of a package, never its header.
        QTemporaryDir dir;
        QString image = file;
        const QString unwrapped = dir.filePath(QStringLiteral("image.bin"));
        if (dir.isValid() && FirmwarePackage(file).extractTo(unwrapped))
            image = unwrapped;
        return runTasks(BatchProgrammingThread::Program, image, args.mid(1), type);
    }
    if (command == QLatin1String("console") && args.size() >= 2 && checkAddresses(args.mid(0, 1)))
        return sendOnce(args.first(), CommandCode::ConsoleCommand,
            ConsoleText::encodeLine(args.mid(1).join(QLatin1Char(' '))), CommandCode::ConsoleAnswer,
            parser.value(waitOption).toInt());
    if (command == QLatin1String("reboot") && args.size() == 1 && checkAddresses(args))
        return sendOnce(args.first(), CommandCode::Reboot, QByteArray(), 0, 0);

    err() << "netquill-cli: unknown or incomplete command; try --help\n";
    return 2;
}

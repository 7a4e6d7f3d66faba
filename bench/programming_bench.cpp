// netquill-bench-programming: how close the programming page comes to the
// limit of the stop-and-wait protocol itself.
//
// One netquill-cardsim process plays two cards on loopback: one that
// acknowledges every chunk at once and one that takes 1 ms per chunk, as a
// card writing flash does. Against each, in the same run, the real page
// (offscreen, in a child process of this program) programs a 16 MiB image,
// and a minimal stop-and-wait client (prepared command-257 frames on a
// blocking socket, nothing else) sends the same number of chunks. Their
// throughputs and the ratio between them tell the page's overhead. Child
// processes also program a 16 MiB and a 128 MiB image to compare the page's
// peak memory, and a timer in the page's GUI thread reports the worst stall
// of its event loop during the transfer.
//
// Prints "name: value unit" lines and ends with the ratios.

#include "link/commandframe.h"
#include "link/commtcp.h"
#include "link/crc16.h"
#include "mainwindow/mainwindow.h"
#include "programming/firmwarepackage.h"
#include "programming/programmingpage.h"
#include "prompts/messagebox.h"
#include "support/simulatorprocess.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int kChunk = 1024;
const char* const kInstantCard = "127.20.251.1";
const char* const kFlashCard = "127.20.251.2";

QTextStream& out()
{
    static QTextStream stream(stdout);
    return stream;
}

qint64 peakRssKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

// ---------------------------------------------------------------- the page

struct PageResult {
    bool ok = false;
    double seconds = 0;
    qint64 chunks = 0;
    qint64 rssKiB = 0;
    double worstStallMs = 0;
};

// Child process: programs `image` into the card at `address` through the
// real page and link, wired by the main window's wiring.
int runPage(const QString& address, const QString& image, bool heartbeatOn)
{
    int argc = 1;
    char name[] = "netquill-bench-programming";
    char* argv[] = { name, nullptr };
    // The offscreen platform says so for every window shown.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& message) {
        if (type != QtDebugMsg && !message.contains(QLatin1String("propagateSizeHints")))
            std::fprintf(stderr, "%s\n", qPrintable(message));
    });
    QApplication app(argc, argv);

    QStringList boxes;
    MessageBox::setResponder([&](const MessageBox::Box& box) {
        boxes.append(box.text);
        return 0;
    });

    CommTcp link;
    ProgrammingPage page;
    MainWindow::wirePages(&link, { &page }, &link);
    page.resize(800, 400);
    page.show();

    link.connectToDevice(address);
    if (!link.isConnected()) {
        std::fprintf(stderr, "cannot connect to %s\n", qPrintable(address));
        return 1;
    }

    const qint64 total = QFileInfo(image).size();
    const qint64 chunks = (total + kChunk - 1) / kChunk;
    qint64 acks = 0;
    QElapsedTimer transfer;
    double seconds = 0;

    // The GUI thread's heartbeat: the longest gap between two ticks, less
    // the tick itself, is the longest the event loop was kept from running.
    QElapsedTimer beat;
    double worstStallMs = 0;
    QTimer heartbeat;
    heartbeat.setTimerType(Qt::PreciseTimer);
    QObject::connect(&heartbeat, &QTimer::timeout, [&] {
        const double gap = beat.nsecsElapsed() / 1e6 - 1.0;
        beat.restart();
        if (transfer.isValid() && seconds == 0)
            worstStallMs = qMax(worstStallMs, gap);
    });

    QObject::connect(&page, &ProgrammingPage::sendCmd, [&](int cmd, const QByteArray&) {
        if (cmd == 257 && !transfer.isValid())
            transfer.start();
    });
    QObject::connect(&link, &CommTcp::gotProgRespond, [&](int cmd, const quint8* data, int size) {
        if (cmd == 257 && size > 0 && data[0] != 0 && ++acks == chunks)
            seconds = transfer.nsecsElapsed() / 1e9;
    });

    QTimer::singleShot(0, [&] {
        beat.start();
        if (heartbeatOn)
            heartbeat.start(1);
        page.findChild<QLineEdit*>(QStringLiteral("leFile"))->setText(image);
        page.findChild<QPushButton*>(QStringLiteral("btnProgramming"))->click();
    });
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!boxes.isEmpty())
            app.quit();
    });
    poll.start(20);
    QTimer::singleShot(10 * 60 * 1000, &app, &QApplication::quit);
    app.exec();

    const bool ok = boxes == QStringList { QStringLiteral("Programming finish!") } && acks == chunks;
    std::printf("ok %d\nseconds %.6f\nchunks %lld\nrss %lld\nstall %.3f\n", ok ? 1 : 0, seconds,
        static_cast<long long>(chunks), static_cast<long long>(peakRssKiB()), worstStallMs);
    if (!ok)
        std::fprintf(stderr, "boxes: %s, acks %lld of %lld\n", qPrintable(boxes.join(QStringLiteral(" | "))),
            static_cast<long long>(acks), static_cast<long long>(chunks));
    return ok ? 0 : 1;
}

// With `heartbeat`, a 1 ms timer measures the event loop's stalls; it wakes
// the GUI thread as often as a 1 ms card does, so throughput runs go without.
PageResult pageRun(const QString& address, const QString& image, bool heartbeat)
{
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(),
        { heartbeat ? QStringLiteral("--page-heartbeat") : QStringLiteral("--page"), address, image });
    PageResult r;
    if (!child.waitForFinished(10 * 60 * 1000) || child.exitCode() != 0)
        return r;
    for (const QByteArray& line : child.readAllStandardOutput().split('\n')) {
        const QList<QByteArray> f = line.split(' ');
        if (f.size() != 2)
            continue;
        if (f[0] == "ok")
            r.ok = f[1] == "1";
        else if (f[0] == "seconds")
            r.seconds = f[1].toDouble();
        else if (f[0] == "chunks")
            r.chunks = f[1].toLongLong();
        else if (f[0] == "rss")
            r.rssKiB = f[1].toLongLong();
        else if (f[0] == "stall")
            r.worstStallMs = f[1].toDouble();
    }
    return r;
}

// -------------------------------------------------------- the baseline

// Reads one whole reply frame; false on a closed connection.
bool readFrame(int fd, QByteArray* frame)
{
    char head[3];
    qint64 got = 0;
    while (got < 3) {
        const ssize_t n = ::read(fd, head + got, size_t(3 - got));
        if (n <= 0)
            return false;
        got += n;
    }
    const int length = (quint8(head[1]) << 8) | quint8(head[2]);
    frame->resize(length + 4);
    std::memcpy(frame->data(), head, 3);
    got = 3;
    while (got < frame->size()) {
        const ssize_t n = ::read(fd, frame->data() + got, size_t(frame->size() - got));
        if (n <= 0)
            return false;
        got += n;
    }
    return true;
}

bool writeAll(int fd, const QByteArray& bytes)
{
    qint64 done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

// The protocol's own limit: prepared frames, one outstanding, nothing else.
double baselineRun(const QString& address, qint64 chunks)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in to {};
    to.sin_family = AF_INET;
    to.sin_port = htons(CommTcp::kCommandPort);
    ::inet_pton(AF_INET, qPrintable(address), &to.sin_addr);
    if (fd < 0 || ::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
        if (fd >= 0)
            ::close(fd);
        return -1;
    }
    const quint32 size = quint32(chunks * kChunk);
    QByteArray start(5, '\0');
    start[0] = 1;
    start[1] = char(size >> 24);
    start[2] = char(size >> 16);
    start[3] = char(size >> 8);
    start[4] = char(size);
    const QByteArray payload(kChunk, '\x5a');
    QVector<QByteArray> frames;
    for (int s = 0; s < 256; ++s)
        frames.append(CommandFrame::build(257, QByteArray(1, char(s)) + payload));

    QByteArray reply;
    double seconds = -1;
    if (writeAll(fd, CommandFrame::build(256, start)) && readFrame(fd, &reply)) {
        QElapsedTimer clock;
        clock.start();
        qint64 i = 0;
        for (; i < chunks; ++i) {
            if (!writeAll(fd, frames.at(int(i & 0xFF))) || !readFrame(fd, &reply) || reply.size() != 7
                || reply.at(5) == 0)
                break;
        }
        if (i == chunks)
            seconds = clock.nsecsElapsed() / 1e9;
    }
    ::close(fd);
    return seconds;
}

// ------------------------------------------------------------- the run

bool writeImage(const QString& path, qint64 bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QByteArray block(1 << 20, Qt::Uninitialized);
    QRandomGenerator generator(42);
    for (qint64 done = 0; done < bytes; done += block.size()) {
        generator.fillRange(reinterpret_cast<quint32*>(block.data()), block.size() / 4);
        // A plain image: never the package magic.
        if (done == 0)
            block[0] = 0;
        if (f.write(block) != block.size())
            return false;
    }
    return true;
}

// A scrambled package with CRC around `image`, written block by block.
bool writePackage(const QString& path, const QString& image)
{
    QFile in(image);
    QFile f(path);
    if (!in.open(QIODevice::ReadOnly) || !f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const quint32 size = quint32(in.size());
    QByteArray header = QByteArray::fromHex("4154000003000000");
    QByteArray length(4, '\0');
    for (int i = 0; i < 4; ++i)
        length[i] = char(quint8(size >> (8 * i)) + 1);
    f.write(header);
    f.write(length);
    quint16 crc = crc16Modbus(length);
    while (!in.atEnd()) {
        QByteArray block = in.read(1 << 20);
        for (char& c : block)
            c = char(quint8(c) + 1);
        crc = crc16Modbus(block, crc);
        f.write(block);
    }
    const char trailer[2] = { char(crc & 0xFF), char(crc >> 8) };
    return f.write(trailer, 2) == 2;
}

QByteArray digest(const QString& path)
{
    QFile f(path);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    return f.open(QIODevice::ReadOnly) && hash.addData(&f) ? hash.result() : QByteArray();
}

void line(const QByteArray& name, double value, const char* unit, int decimals = 2)
{
    out() << name << ": " << QString::number(value, 'f', decimals) << (unit[0] ? " " : "") << unit << '\n';
    out().flush();
}

int runBenchmark(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    const qint64 mib = 1024 * 1024;
    const QString image16 = dir.filePath(QStringLiteral("image16.bin"));
    const QString image128 = dir.filePath(QStringLiteral("image128.bin"));
    if (!writeImage(image16, 16 * mib) || !writeImage(image128, 128 * mib)) {
        std::fprintf(stderr, "cannot write the images\n");
        return 1;
    }

    const QString store = dir.filePath(QStringLiteral("{addr}-{type}.bin"));
    const SimulatorProcess simulator(QCoreApplication::applicationDirPath() + QStringLiteral("/netquill-cardsim"),
        { QStringLiteral("--listen"), QStringLiteral("%1,%2").arg(kInstantCard, kFlashCard), QStringLiteral("--card"),
            QStringLiteral("%1:prog-ack-delay-ms=1").arg(kFlashCard), QStringLiteral("--prog-store"), store,
            QStringLiteral("--prog-install-ms"), QStringLiteral("1"), QStringLiteral("--prog-finish-ms"),
            QStringLiteral("1") },
        2);
    if (!simulator.ready())
        return 1;

    const qint64 chunks16 = 16 * mib / kChunk;
    double worstStall = 0;
    qint64 rss16 = 0;
    struct Pair {
        const char* card;
        const char* label;
        double tool = 1e9;
        double baseline = 1e9;
    };
    Pair pairs[] = { { kInstantCard, "instant_card" }, { kFlashCard, "flash_card_1ms" } };
    const QByteArray expected = digest(image16);
    for (Pair& pair : pairs) {
        // Alternating runs, the better of each kept: the machine is shared.
        const int rounds = pair.card == kInstantCard ? 3 : 2;
        for (int round = 0; round < rounds; ++round) {
            const PageResult page = pageRun(QString::fromLatin1(pair.card), image16, false);
            if (!page.ok || page.chunks != chunks16) {
                std::fprintf(stderr, "the page's run against %s failed\n", pair.card);
                return 1;
            }
            if (digest(dir.filePath(QStringLiteral("%1-0.bin").arg(QString::fromLatin1(pair.card)))) != expected) {
                std::fprintf(stderr, "the card received another image than was sent\n");
                return 1;
            }
            pair.tool = qMin(pair.tool, page.seconds);
            const double baseline = baselineRun(QString::fromLatin1(pair.card), chunks16);
            if (baseline <= 0) {
                std::fprintf(stderr, "the baseline run against %s failed\n", pair.card);
                return 1;
            }
            pair.baseline = qMin(pair.baseline, baseline);
        }
    }
    // Memory and stalls, each image through a page of its own.
    const PageResult small = pageRun(QString::fromLatin1(kInstantCard), image16, true);
    const PageResult big = pageRun(QString::fromLatin1(kInstantCard), image128, true);
    if (!small.ok || !big.ok) {
        std::fprintf(stderr, "a memory run failed\n");
        return 1;
    }
    worstStall = qMax(small.worstStallMs, big.worstStallMs);
    rss16 = small.rssKiB;

    line("image_size", 16, "MiB", 0);
    line("chunks", double(chunks16), "", 0);
    for (const Pair& pair : pairs) {
        const QByteArray name(pair.label);
        line(name + "_tool_throughput", 16.0 / pair.tool, "MiB/s");
        line(name + "_baseline_throughput", 16.0 / pair.baseline, "MiB/s");
        line(name + "_baseline_round_trip", pair.baseline / double(chunks16) * 1e6, "us");
        line(name + "_tool_cost_per_chunk", (pair.tool - pair.baseline) / double(chunks16) * 1e6, "us");
    }
    line("peak_rss_16MiB_image", double(rss16) / 1024.0, "MiB", 1);
    line("peak_rss_128MiB_image", double(big.rssKiB) / 1024.0, "MiB", 1);
    line("gui_worst_stall", worstStall, "ms");

    // Checking and unwrapping a package happens in the GUI thread when a run
    // starts, before the transfer.
    const QString package = dir.filePath(QStringLiteral("package16.bin"));
    double unwrapMs = -1;
    if (writePackage(package, image16)) {
        QElapsedTimer clock;
        clock.start();
        FirmwarePackage unwrap(package);
        const bool ok = unwrap.extractTo(dir.filePath(QStringLiteral("unwrapped.bin")));
        unwrapMs = clock.nsecsElapsed() / 1e6;
        if (!ok || digest(dir.filePath(QStringLiteral("unwrapped.bin"))) != expected)
            unwrapMs = -1;
    }
    line("package_check_and_unwrap_16MiB", unwrapMs, "ms");
    line("peak_rss_ratio_128_to_16", double(big.rssKiB) / double(rss16), "");
    line("throughput_ratio_instant_card", pairs[0].baseline / pairs[0].tool, "");
    line("throughput_ratio_flash_card_1ms", pairs[1].baseline / pairs[1].tool, "");
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc == 4 && (std::strcmp(argv[1], "--page") == 0 || std::strcmp(argv[1], "--page-heartbeat") == 0))
        return runPage(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]),
            std::strcmp(argv[1], "--page-heartbeat") == 0);
    if (argc == 4 && std::strcmp(argv[1], "--baseline") == 0) {
        std::printf("seconds %.6f\n", baselineRun(QString::fromLocal8Bit(argv[2]), std::atoll(argv[3])));
        return 0;
    }
    return runBenchmark(argc, argv);
}

// netquill-bench-batch: how close a batch comes to the ideal of its pool.
//
// One netquill-cardsim process plays 64 cards on loopback, each taking 2 s to
// install an image after its last chunk. The real batch dialog (offscreen,
// with its pool of one worker per processor thread) first programs a 1 MiB
// image into one card, three times, which gives one card's time; then it
// imports the 64 cards from a device list and programs them all in one
// batch. The ideal is ceil(64 / workers) times one card's time: every worker
// busy from the start to the end, nothing lost between tasks. The ratio of
// the ideal to the batch's total time is the figure.
//
// Prints "name: value unit" lines and ends with the ratio.

#include "programming/batchpool.h"
#include "programming/batchprogrammingdialog.h"
#include "prompts/dialogprompt.h"
#include "prompts/messagebox.h"
#include "support/simulatorprocess.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

constexpr int kCards = 64;
constexpr qint64 kImageSize = 1024 * 1024;
constexpr int kInstallMs = 1000; // last chunk to 258
constexpr int kFinishMs = 1000; // 258 to 259
const char* const kFirstCard = "127.50.251.2";

QString cardAddress(int i)
{
    return QStringLiteral("127.50.251.%1").arg(2 + i);
}

void line(const char* name, double value, const char* unit, int decimals = 2)
{
    QTextStream out(stdout);
    out << name << ": " << QString::number(value, 'f', decimals) << (unit[0] ? " " : "") << unit << '\n';
}

bool writeImage(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QByteArray bytes(int(kImageSize), Qt::Uninitialized);
    QRandomGenerator(42).fillRange(reinterpret_cast<quint32*>(bytes.data()), bytes.size() / 4);
    bytes[0] = 0; // a plain image: never the package magic
    return f.write(bytes) == bytes.size();
}

QByteArray digest(const QString& path)
{
    QFile f(path);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    return f.open(QIODevice::ReadOnly) && hash.addData(&f) ? hash.result() : QByteArray();
}

// Presses "Program" and returns the seconds until the batch has ended, or -1.
double runBatch(BatchProgrammingDialog& dialog)
{
    QElapsedTimer clock;
    clock.start();
    dialog.findChild<QPushButton*>(QStringLiteral("btnProgram"))->click();
    if (!dialog.isBatchRunning())
        return -1;
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (!dialog.isBatchRunning())
            loop.quit();
    });
    QTimer::singleShot(10 * 60 * 1000, &loop, &QEventLoop::quit);
    poll.start(2);
    loop.exec();
    return dialog.isBatchRunning() ? -1 : clock.nsecsElapsed() / 1e9;
}

bool allSucceeded(BatchProgrammingDialog& dialog, int rows)
{
    auto* table = dialog.findChild<QTableWidget*>(QStringLiteral("tableWidgetDevice"));
    if (table->rowCount() != rows)
        return false;
    for (int row = 0; row < rows; ++row) {
        if (table->item(row, 3)->data(BatchProgrammingDialog::kStatusRole).toInt() != 2)
            return false;
    }
    return true;
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& message) {
        if (type != QtDebugMsg && !message.contains(QLatin1String("propagateSizeHints")))
            std::fprintf(stderr, "%s\n", qPrintable(message));
    });
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const QString image = dir.filePath(QStringLiteral("image.bin"));
    if (!dir.isValid() || !writeImage(image)) {
        std::fprintf(stderr, "cannot write the image\n");
        return 1;
    }
    QStringList addresses;
    for (int i = 0; i < kCards; ++i)
        addresses.append(cardAddress(i));
    const QString list = dir.filePath(QStringLiteral("cards.txt"));
    {
        QFile f(list);
        if (!f.open(QIODevice::WriteOnly) || f.write(addresses.join(QLatin1Char('\n')).toUtf8()) < 0)
            return 1;
    }

    const SimulatorProcess simulator(QCoreApplication::applicationDirPath() + QStringLiteral("/netquill-cardsim"),
        { QStringLiteral("--listen"), QStringLiteral("%1-%2").arg(addresses.first(), addresses.last()),
            QStringLiteral("--prog-store"), dir.filePath(QStringLiteral("{addr}-{type}.bin")),
            QStringLiteral("--prog-install-ms"), QString::number(kInstallMs), QStringLiteral("--prog-finish-ms"),
            QString::number(kFinishMs) });
    if (!simulator.ready())
        return 1;

    QStringList boxes;
    MessageBox::setResponder([&](const MessageBox::Box& box) {
        boxes.append(box.text);
        return 0;
    });
    QString answer;
    DialogPrompt::setResponder([&](const DialogPrompt::Request&) { return QVariant(answer); });

    BatchProgrammingDialog dialog;
    dialog.resize(800, 400);
    dialog.show();
    dialog.findChild<QLineEdit*>(QStringLiteral("leFile"))->setText(image);
    const int workers = dialog.pool().workers().size();

    // One card's time, three times; the median counts.
    dialog.findChild<QLineEdit*>(QStringLiteral("leIP"))->setText(QString::fromLatin1(kFirstCard));
    dialog.findChild<QPushButton*>(QStringLiteral("btnAdd"))->click();
    QVector<double> single;
    for (int round = 0; round < 3; ++round) {
        const double seconds = runBatch(dialog);
        if (seconds < 0 || !allSucceeded(dialog, 1)) {
            std::fprintf(stderr, "the one-card batch failed: %s\n", qPrintable(boxes.join(QLatin1String(" | "))));
            return 1;
        }
        single.append(seconds);
    }
    std::sort(single.begin(), single.end());
    const double oneCard = single[1];

    answer = list;
    dialog.findChild<QPushButton*>(QStringLiteral("btnImport"))->click();
    const double total = runBatch(dialog);
    if (total < 0 || !allSucceeded(dialog, kCards) || !boxes.isEmpty()) {
        std::fprintf(
            stderr, "the batch of %d cards failed: %s\n", kCards, qPrintable(boxes.join(QLatin1String(" | "))));
        return 1;
    }
    const QByteArray expected = digest(image);
    for (const QString& card : addresses) {
        if (digest(dir.filePath(QStringLiteral("%1-0.bin").arg(card))) != expected) {
            std::fprintf(stderr, "card %s received another image than was sent\n", qPrintable(card));
            return 1;
        }
    }

    const double ideal = std::ceil(double(kCards) / workers) * oneCard;
    line("workers", workers, "", 0);
    line("cards", kCards, "", 0);
    line("image_size", kImageSize, "bytes", 0);
    line("installation_delay", (kInstallMs + kFinishMs) / 1000.0, "s");
    line("one_card_fastest", single.first(), "s", 3);
    line("one_card_median", oneCard, "s", 3);
    line("one_card_slowest", single.last(), "s", 3);
    line("batch_total", total, "s", 3);
    line("batch_ideal", ideal, "s", 3);
    line("batch_ratio", ideal / total, "", 3);
    return 0;
}

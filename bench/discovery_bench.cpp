// The device search page at scale: 1000 simulated cards on the far side of a
// veth answer one search, by multicast and by raw Ethernet. Prints how many
// card rows the page shows and how many of them repeat a card, the time from
// "Refresh" to the last new row and the longest the page's event loop went
// unserved meanwhile.
//
// Runs only inside the namespaces of scripts/netns-harness.sh
// (bench/run-discovery-bench.sh starts it there).

#include "prompts/messagebox.h"
#include "discovery/devsereachpage.h"
#include "support/simulatorprocess.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QNetworkInterface>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>

#include <cstdio>

namespace {

constexpr int kCards = 1000;
constexpr int kSettleAfterLastRowMs = 1500;
constexpr int kGiveUpMs = 20000;

void line(const char* name, double value, const char* unit, int decimals = 2)
{
    std::printf("%s: %.*f %s\n", name, decimals, value, unit);
    std::fflush(stdout);
}

QString env(const char* name)
{
    return QString::fromLocal8Bit(qgetenv(name));
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString cardsNs = env("NETQUILL_NETNS_CARDS");
    const QString toolIf = env("NETQUILL_NETNS_TOOL_IF");
    const QString cardIf = env("NETQUILL_NETNS_CARD_IF");
    if (cardsNs.isEmpty() || toolIf.isEmpty()) {
        std::fprintf(stderr, "run through bench/run-discovery-bench.sh: the search must stay inside namespaces\n");
        return 2;
    }
    MessageBox::setResponder([](const MessageBox::Box&) { return 0; });

    const SimulatorProcess cards(QStringLiteral("ip"),
        { QStringLiteral("netns"), QStringLiteral("exec"), cardsNs,
            QCoreApplication::applicationDirPath() + QStringLiteral("/netquill-discoverysim"),
            QStringLiteral("--interface"), cardIf, QStringLiteral("--cards"), QString::number(kCards),
            QStringLiteral("--address"), QStringLiteral("10.77.1.1"), QStringLiteral("--assign-addresses") });
    if (!cards.ready())
        return 1;
    QElapsedTimer wait;
    wait.start();

    DevSereachPage page;
    page.show();
    auto* tree = page.findChild<QTreeWidget*>();
    auto* combo = page.findChild<QComboBox*>();
    QPushButton* refresh = nullptr;
    for (auto* b : page.findChildren<QPushButton*>())
        refresh = b;
    while (combo->findText(toolIf) < 0 && wait.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    combo->setCurrentIndex(combo->findText(toolIf));

    // How long the event loop went without running a 5 ms timer.
    QElapsedTimer beat;
    qint64 worstStall = 0;
    QTimer watchdog;
    watchdog.setTimerType(Qt::PreciseTimer);
    QObject::connect(&watchdog, &QTimer::timeout, [&] { worstStall = qMax(worstStall, beat.restart() - 5); });

    QElapsedTimer clock;
    int rows = 0;
    qint64 lastRowMs = 0;
    beat.start();
    watchdog.start(5);
    clock.start();
    refresh->click();
    while (clock.elapsed() < kGiveUpMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        if (tree->topLevelItemCount() != rows) {
            rows = tree->topLevelItemCount();
            lastRowMs = clock.elapsed();
        }
        // The three cycles are over and nothing new came for a while.
        if (clock.elapsed() > 3000 && clock.elapsed() - lastRowMs > kSettleAfterLastRowMs)
            break;
    }
    watchdog.stop();
    QStringList hosts;
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        hosts << tree->topLevelItem(i)->text(0);
    hosts.removeDuplicates();

    line("cards", kCards, "", 0);
    line("rows", rows, "", 0);
    line("distinct_card_addresses", hosts.size(), "", 0);
    line("repeated_rows", rows - hosts.size(), "", 0);
    line("refresh_to_last_row", double(lastRowMs), "ms", 0);
    line("worst_event_loop_stall", double(worstStall), "ms", 0);
    line("cards_found_ratio", double(hosts.size()) / kCards, "", 3);
    return 0;
}

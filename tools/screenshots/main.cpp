// netquill-screenshots: pictures of every page of the real window, filled
// from a simulated card, in English or Chinese, for the README and for
// checking the catalogue by eye. Runs offscreen; needs no display.
//
//   netquill-screenshots --language Chinese --out DIR

#include "app/startup.h"
#include "discovery/dialogsetip.h"
#include "mainwindow/mainwindow.h"
#include "programming/batchprogrammingdialog.h"
#include "programming/batchtracker.h"
#include "prompts/messagebox.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QCommandLineParser>
#include <QDialog>
#include <QDir>
#include <QDockWidget>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QProcess>
#include <QSettings>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QTranslator>

#include <functional>

namespace {

const QString kCard = QStringLiteral("127.99.0.1");
// The batch's cards: 127.99.1.1 to .8, .6 without a card behind it.
const QString kBatchCards = QStringLiteral("127.99.1.1-127.99.1.5,127.99.1.7-127.99.1.8");

void settle(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

template <typename T> T* named(QWidget* within, const char* name)
{
    return within->findChild<T*>(QString::fromLatin1(name));
}

void click(QWidget* within, const char* name, int waitMs = 300)
{
    if (auto* b = named<QAbstractButton>(within, name)) {
        b->click();
        settle(waitMs);
    }
}

bool save(QWidget* widget, const QString& path)
{
    return widget->grab().save(path);
}

// Waits, bounded, until `done` holds.
bool settleUntil(const std::function<bool()>& done, int ms)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

QString writeImage(const QString& name, int size)
{
    QDir().mkpath(QStringLiteral("images"));
    QFile file(QStringLiteral("images/") + name);
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = char(i * 7 + i / 251);
    file.open(QIODevice::WriteOnly);
    file.write(bytes);
    return QFileInfo(file).absoluteFilePath();
}

// The batch dialog halfway through a batch of eight cards, three at a time:
// two done, one refused, one without a card, one installing, two sending,
// one waiting.
bool batchMidRun(const QString& out)
{
    BatchProgrammingDialog dialog(nullptr, 3);
    dialog.resize(980, 440);
    dialog.show();
    for (int card = 1; card <= 8; ++card) {
        named<QLineEdit>(&dialog, "leIP")->setText(QStringLiteral("127.99.1.%1").arg(card));
        click(&dialog, "btnAdd", 0);
    }
    named<QLineEdit>(&dialog, "leFile")->setText(writeImage(QStringLiteral("card-v2.5.0-app.bin"), 160 * 1024));
    click(&dialog, "chkStopAfter", 0);
    click(&dialog, "btnProgram", 0);
    // Two seconds into the installation of the fourth card, with the fifth
    // and the seventh sending.
    const BatchTracker& tracker = dialog.tracker();
    const auto phase = [&tracker](int index) {
        return index < tracker.cards().size() ? tracker.cards()[index].phase : BatchTracker::Phase::Waiting;
    };
    const bool shown = settleUntil(
        [&] {
            return phase(3) == BatchTracker::Phase::Installing
                && tracker.elapsedMs() - tracker.cards()[3].installingMs >= 2000
                && phase(4) == BatchTracker::Phase::Sending && phase(6) == BatchTracker::Phase::Sending;
        },
        20000);
    settle(300);
    return shown && save(&dialog, out + QStringLiteral("/batch-midrun.png"));
}

// The programming page while the card installs: its controls and the
// window's Connect/Disconnect disabled, the time beside the status.
bool programmingInstalling(QWidget* window, QWidget* page, const QString& out)
{
    named<QLineEdit>(page, "leFile")
        ->setText(writeImage(QStringLiteral("netcard-firmware-v2.5.0-release.bin"), 48 * 1024));
    click(page, "btnProgramming", 0);
    auto* elapsed = named<QLabel>(page, "labelElapsed");
    return settleUntil([elapsed] { return elapsed->text() == QLatin1String("0:02"); }, 20000)
        && save(window, out + QStringLiteral("/programming-installing.png"));
}

} // namespace

int main(int argc, char* argv[])
{
    // Offscreen unless a platform is given (xvfb-run with QT_QPA_PLATFORM=xcb).
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Pictures of every page of Netquill."));
    parser.addHelpOption();
    const QCommandLineOption languageOption(QStringLiteral("language"), QStringLiteral("English or Chinese."),
        QStringLiteral("language"), QStringLiteral("English"));
    const QCommandLineOption outOption(
        QStringLiteral("out"), QStringLiteral("Folder for the PNG files."), QStringLiteral("dir"), QStringLiteral("."));
    // Presses Refresh: only inside a network namespace of one's own
    // (scripts/netns-harness.sh), never on the machine's real interfaces.
    const QCommandLineOption searchOption(QStringLiteral("search-on"),
        QStringLiteral("Also search for cards on this interface (inside a network namespace only)."),
        QStringLiteral("interface"));
    parser.addOptions({ languageOption, outOption, searchOption });
    parser.process(app);
    const QString out = QDir(parser.value(outOption)).absolutePath();
    QDir().mkpath(out);
    const QString binDir = QCoreApplication::applicationDirPath();

    // The tool's files live in a working directory of its own.
    QTemporaryDir work;
    QDir::setCurrent(work.path());
    QDir().mkpath(QStringLiteral("config"));
    QDir().mkpath(QStringLiteral("translations"));
    QFile::copy(binDir + QStringLiteral("/translations/zh.qm"), QStringLiteral("translations/zh.qm"));
    {
        QSettings s(QString::fromLatin1(MainWindow::kSettingsFile), QSettings::IniFormat);
        s.setValue(QStringLiteral("language"), parser.value(languageOption));
        s.setValue(QStringLiteral("screen/width"), 1000);
        s.setValue(QStringLiteral("screen/height"), 640);
    }

    QProcess card;
    // The card installs for ten minutes: long enough for a picture.
    card.start(binDir + QStringLiteral("/netquill-cardsim"),
        { QStringLiteral("--listen"), kCard, QStringLiteral("--log-rate-ms"), QStringLiteral("100"),
            QStringLiteral("--prog-finish-ms"), QStringLiteral("600000") });
    QProcess batchCards;
    batchCards.start(binDir + QStringLiteral("/netquill-cardsim"),
        { QStringLiteral("--listen"), kBatchCards, QStringLiteral("--prog-install-ms"), QStringLiteral("100"),
            QStringLiteral("--prog-finish-ms"), QStringLiteral("300"), QStringLiteral("--card"),
            QStringLiteral("127.99.1.2:prog-refuse-start"), QStringLiteral("--card"),
            QStringLiteral("127.99.1.4:prog-finish-ms=600000"), QStringLiteral("--card"),
            QStringLiteral("127.99.1.5:prog-ack-delay-ms=60"), QStringLiteral("--card"),
            QStringLiteral("127.99.1.7:prog-ack-delay-ms=40") });
    if (!card.waitForReadyRead(5000) || !batchCards.waitForReadyRead(5000)) {
        qCritical("the card simulator did not start");
        return 1;
    }

    // Boxes are answered at once; the pictures show the pages.
    MessageBox::setResponder(
        [](const MessageBox::Box& box) { return box.kind == MessageBox::Kind::Standard ? int(QMessageBox::Ok) : 0; });

    QSettings settings(QString::fromLatin1(MainWindow::kSettingsFile), QSettings::IniFormat);
    QTranslator translator;
    const int language = StartUp::applyLanguage(settings, translator);
    MainWindow window;
    window.setTranslator(&translator, language);
    window.show();
    settle(200);

    named<QLineEdit>(&window, "ipEdit")->setText(kCard);
    click(&window, "connectButton");
    // Five presses on the status label bring up the console page.
    auto* status = named<QWidget>(&window, "statusLabel");
    for (int i = 0; i < MainWindow::kUnlockPresses; ++i) {
        QMouseEvent press(
            QEvent::MouseButtonPress, QPointF(2, 2), QPointF(2, 2), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(status, &press);
    }

    auto* list = named<QListWidget>(&window, "pageList");
    auto* stack = named<QStackedWidget>(&window, "stackWidget");
    const std::function<void(QWidget*)> fill[] = {
        [](QWidget* p) { click(p, "btnRead"); },
        [](QWidget* p) {
            click(p, "btnDeviceDate");
            click(p, "btnRead");
        },
        [](QWidget* p) { click(p, "btnRead"); },
        [](QWidget* p) {
            click(p, "Refresh");
            click(p, "btnOpen", 1200);
        },
        [](QWidget* p) {
            if (auto* name = p->findChild<QLineEdit*>(QStringLiteral("lePortName")))
                name->setText(QStringLiteral("COM1"));
            click(p, "btnOpen");
            if (auto* data = p->findChild<QLineEdit*>(QStringLiteral("leSendData")))
                data->setText(QStringLiteral("01 03 00 00 00 0A"));
            click(p, "btnSend");
        },
        [](QWidget*) {},
        [](QWidget* p) {
            named<QLineEdit>(p, "leCmd")->setText(QStringLiteral("help"));
            click(p, "btnSendCmd");
        },
    };
    for (int i = 0; i < stack->count() && i < 7; ++i) {
        list->setCurrentRow(i);
        settle(100);
        fill[i](stack->widget(i));
        if (!save(&window, QStringLiteral("%1/page-%2.png").arg(out).arg(i)))
            return 1;
    }

    if (!batchMidRun(out))
        qWarning("the batch did not reach the picture's state");

    if (parser.isSet(searchOption)) {
        list->setCurrentRow(5);
        auto* combo = named<QComboBox>(stack->widget(5), "comboBoxIntf");
        for (int i = 0; i < 40 && combo->findText(parser.value(searchOption)) < 0; ++i)
            settle(50);
        combo->setCurrentIndex(combo->findText(parser.value(searchOption)));
        click(stack->widget(5), "btnRefresh", 3500);
        if (!save(&window, out + QStringLiteral("/search.png")))
            return 1;
    }

    // The journal of all of the above, opened from the Window menu.
    QAction* journal = window.findChild<QAction*>(QStringLiteral("actionJournal"));
    if (!journal)
        return 1;
    journal->trigger();
    window.resize(1000, 800);
    if (auto* dock = window.findChild<QDockWidget*>(QStringLiteral("dockJournal")))
        window.resizeDocks({ dock }, { 380 }, Qt::Vertical);
    settle(300);
    if (!save(&window, out + QStringLiteral("/journal.png")))
        return 1;
    journal->trigger();
    window.resize(1000, 640);
    list->setCurrentRow(0);
    settle(100);
    if (!programmingInstalling(&window, stack->widget(0), out))
        qWarning("the programming run did not reach the installation");

    DialogSetIP setIp;
    setIp.setInterfaces({ QStringLiteral("eth0"), QStringLiteral("eth1") });
    setIp.show();
    settle(100);
    save(&setIp, out + QStringLiteral("/setip.png"));
    for (QProcess* sim : { &card, &batchCards }) {
        sim->terminate();
        sim->waitForFinished(3000);
    }
    return 0;
}

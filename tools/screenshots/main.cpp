// netquill-screenshots: pictures of every page of the real window, filled
// from a simulated card, in English or Chinese, for the README and for
// checking the catalogue by eye. Runs offscreen; needs no display.
//
//   netquill-screenshots --language Chinese --out DIR

#include "app/startup.h"
#include "discovery/dialogsetip.h"
#include "mainwindow/mainwindow.h"
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
    card.start(binDir + QStringLiteral("/netquill-cardsim"),
        { QStringLiteral("--listen"), kCard, QStringLiteral("--log-rate-ms"), QStringLiteral("100") });
    if (!card.waitForReadyRead(5000)) {
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

    // The batch dialog, opened the way the technician opens it (modally).
    list->setCurrentRow(0);
    settle(100);
    QTimer::singleShot(400, [&out] {
        if (QWidget* dialog = QApplication::activeModalWidget()) {
            save(dialog, out + QStringLiteral("/batch.png"));
            dialog->close();
        }
    });
    click(stack->widget(0), "btnBatchProgramming", 600);

    DialogSetIP setIp;
    setIp.setInterfaces({ QStringLiteral("eth0"), QStringLiteral("eth1") });
    setIp.show();
    settle(100);
    save(&setIp, out + QStringLiteral("/setip.png"));
    card.terminate();
    card.waitForFinished(3000);
    return 0;
}

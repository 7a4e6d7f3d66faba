#include "mainwindow.h"

#include "buildinfo.h"
#include "discovery/devsereachpage.h"
#include "iphistory.h"
#include "journal.h"
#include "journalview.h"
#include "link/ipaddresspattern.h"
#include "linknotices.h"
#include "pages/displaylogpage.h"
#include "pages/fixedparampage.h"
#include "pages/pageroot.h"
#include "pages/settingspage.h"
#include "pages/sptestpage.h"
#include "platform/apppaths.h"
#include "platform/version.h"
#include "programming/programmingpage.h"
#include "prompts/dialogprompt.h"
#include "prompts/messagebox.h"
#include "ui_mainwindow.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCompleter>
#include <QDir>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QResizeEvent>
#include <QSettings>
#include <QStackedWidget>
#include <QStringListModel>
#include <QTimer>
#include <QTranslator>

namespace {

const QString kConnectedStatus = QStringLiteral("<font color=#00FF00>");
const QString kDisconnectedStatus = QStringLiteral("<font color=#FF0000>");

using ReplySignal = void (CommTcp::*)(int, const quint8*, int);

// A page's requests into the link, and the link's replies of its codes back.
template <typename Page> void requestsAndReplies(CommTcp* link, Page* page, ReplySignal replies)
{
    if (!page)
        return;
    QObject::connect(page, &Page::sendCmd, link, &CommTcp::send);
    QObject::connect(link, replies, page, &Page::handleRespond);
}

// A page that shows a card's data or awaits its replies forgets them when
// the link closes; one that may await a reply to a request made while no
// card was connected (never sent) forgets it when the next card connects.
template <typename Page> void forgetsTheCard(CommTcp* link, Page* page, bool onConnect)
{
    if (!page)
        return;
    QObject::connect(link, &CommTcp::disconnected, page, &Page::linkChanged);
    if (onConnect)
        QObject::connect(link, &CommTcp::connectedToDevice, page, &Page::linkChanged);
}

} // namespace

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent)
    , m_isConnected(false)
    , m_clickCount(0)
    , ui(std::make_shared<UI_MainWindow>())
    , m_langGroup(new QActionGroup(this))
    , m_clickTimer(new QTimer(this))
    , m_completer(new QCompleter(this))
    , m_historyModel(new QStringListModel(this))
{
    QDir().mkpath(QStringLiteral("config"));
    m_settings = std::make_unique<QSettings>(QString::fromLatin1(kSettingsFile), QSettings::IniFormat);
    DialogPrompt::setFolderMemory(QString::fromLatin1(kSettingsFile));

    ui->setupUi(this);
    m_clickTimer->setSingleShot(true);
    loadSettings();
    initUI();
    initConnections();
}

MainWindow::~MainWindow()
{
    // The pages go before the link they are wired to.
    delete ui->stackWidget;
    DialogPrompt::setFolderMemory(QString());
    m_settings->sync();
}

void MainWindow::loadSettings()
{
    const QStringList groups = m_settings->childGroups();
    if (groups.contains(QStringLiteral("Font"))) {
        QFont font;
        const int size = m_settings->value(QStringLiteral("Font/size")).toInt();
        if (size > 0)
            font.setPointSize(size);
        font.setFamily(m_settings->value(QStringLiteral("Font/family")).toString());
        font.setWeight(m_settings->value(QStringLiteral("Font/bold")).toBool() ? QFont::Bold : QFont::Normal);
        font.setItalic(m_settings->value(QStringLiteral("Font/italic")).toBool());
        QApplication::setFont(font);
    }
    if (groups.contains(QStringLiteral("screen"))) {
        resize(m_settings->value(QStringLiteral("screen/width")).toInt(),
            m_settings->value(QStringLiteral("screen/height")).toInt());
    }
}

void MainWindow::initUI()
{
    m_langGroup->setExclusive(true);
    m_langGroup->addAction(ui->actionEnglish);
    m_langGroup->addAction(ui->actionChinese);

    m_pageProgramming = new ProgrammingPage(ui->stackWidget);
    m_pageSettings = new SettingsPage(ui->stackWidget);
    m_pageFixedParam = new FixedParamPage(ui->stackWidget);
    m_pageDisplayLog = new DisplayLogPage(ui->stackWidget);
    m_pageSPTest = new SPTestPage(ui->stackWidget);
    m_pageDevSearch = new DevSereachPage(ui->stackWidget);
    ui->stackWidget->addWidget(m_pageProgramming);
    ui->stackWidget->addWidget(m_pageSettings);
    ui->stackWidget->addWidget(m_pageFixedParam);
    ui->stackWidget->addWidget(m_pageDisplayLog);
    ui->stackWidget->addWidget(m_pageSPTest);
    ui->stackWidget->addWidget(m_pageDevSearch);

    ui->ipEdit->setValidator(new QRegularExpressionValidator(IpAddressPattern::ipRegExp(), ui->ipEdit));
    m_completer->setCaseSensitivity(Qt::CaseInsensitive);
    ui->ipEdit->setCompleter(m_completer);
    setHistory(IpHistory::read(QString::fromLatin1(IpHistory::kFile)));

    m_journal = new Journal(Journal::kCapacity, this);
    m_journalView = new JournalView(m_journal, this);
    addDockWidget(Qt::BottomDockWidgetArea, m_journalView);
    m_journalView->hide();
    QAction* actionJournal = m_journalView->toggleViewAction();
    actionJournal->setObjectName(QStringLiteral("actionJournal"));
    ui->menuWindow->addAction(actionJournal);

    ui->statusLabel->installEventFilter(this);
    ui->ipEdit->setFocus();
    updateConnectState();
}

// Every connection of the window: its own widgets, the link's state to the
// window, then the pages and the link.
void MainWindow::initConnections()
{
    connect(m_clickTimer, &QTimer::timeout, this, &MainWindow::onTimerTimeout);

    connect(ui->actionReboot, &QAction::triggered, this, &MainWindow::rebootDevice);
    connect(ui->actionFont, &QAction::triggered, this, &MainWindow::setAPPFont);
    connect(ui->actionEnglish, &QAction::triggered, this, &MainWindow::changeLanguage);
    connect(ui->actionChinese, &QAction::triggered, this, &MainWindow::changeLanguage);
    connect(ui->actionAbout, &QAction::triggered, this, &MainWindow::showAbout);

    connect(ui->connectButton, &QPushButton::clicked, this, &MainWindow::connectEvent);
    connect(ui->ipEdit, &QLineEdit::returnPressed, this, [this] {
        if (!m_isConnected && ui->connectButton->isEnabled())
            connectEvent();
    });
    connect(ui->clearHistoryButton, &QPushButton::clicked, this, &MainWindow::clearHistory);
    connect(ui->pageList, &QListWidget::currentRowChanged, ui->stackWidget, &QStackedWidget::setCurrentIndex);

    connect(&m_comm, &CommTcp::connectedToDevice, this, &MainWindow::connectedToDevice);
    connect(&m_comm, &CommTcp::connectionError, this, &MainWindow::connectionError);
    connect(&m_comm, &CommTcp::disconnected, this, &MainWindow::disconnectedFromDeivce);
    m_journal->attach(&m_comm);
    connect(m_pageDevSearch, &DevSereachPage::connectRequested, this, &MainWindow::connectToCard);
    connect(m_pageDevSearch, &DevSereachPage::cardCommandSent, m_journal, &Journal::cardCommandSent);
    connect(m_pageDevSearch, &DevSereachPage::cardResultReceived, m_journal, &Journal::cardResultReceived);

    wirePages(&m_comm,
        { m_pageProgramming, m_pageSettings, m_pageFixedParam, m_pageDisplayLog, m_pageSPTest, nullptr,
            ui->connectButton },
        this);
}

void MainWindow::wirePages(CommTcp* link, const Pages& pages, QObject* noticesOwner)
{
    requestsAndReplies(link, pages.programming, &CommTcp::gotProgRespond);
    requestsAndReplies(link, pages.settings, &CommTcp::gotSettingsRespond);
    requestsAndReplies(link, pages.fixedParams, &CommTcp::gotFixedParamRespond);
    requestsAndReplies(link, pages.log, &CommTcp::gotLogRespond);
    requestsAndReplies(link, pages.serialTest, &CommTcp::gotSPTestRespond);
    requestsAndReplies(link, pages.root, &CommTcp::gotRootRespond);

    // A programming run ends with the link or a failed send.
    if (pages.programming) {
        connect(link, &CommTcp::disconnected, pages.programming, &ProgrammingPage::handleError);
        connect(link, &CommTcp::sendError, pages.programming, &ProgrammingPage::handleError);
        // A run keeps its card: no connecting or disconnecting until it has
        // ended.
        if (QWidget* button = pages.connectButton)
            connect(pages.programming, &ProgrammingPage::busyChanged, button,
                [button](bool busy) { button->setEnabled(!busy); });
    }

    forgetsTheCard(link, pages.settings, false);
    forgetsTheCard(link, pages.fixedParams, false);
    forgetsTheCard(link, pages.log, true);
    forgetsTheCard(link, pages.serialTest, true);

    if (noticesOwner)
        new LinkNotices(link, noticesOwner);
}

void MainWindow::setTranslator(QTranslator* translator, int language)
{
    m_translator = translator;
    if (language == 1)
        ui->actionChinese->setChecked(true);
    else
        ui->actionEnglish->setChecked(true);
}

void MainWindow::setHistory(const QStringList& history)
{
    m_ipHistory = history;
    m_historyModel->setStringList(m_ipHistory);
    m_completer->setModel(m_historyModel);
}

void MainWindow::connectEvent()
{
    if (m_isConnected) {
        m_comm.disconnectFromDevice();
        return;
    }
    const QString ip = ui->ipEdit->text();
    if (ip.isEmpty()) {
        MessageBox::information(nullptr, tr("Tip"), tr("Device IP Address could not be null!"));
        return;
    }
    if (!IpAddressPattern::matches(ip)) {
        MessageBox::information(nullptr, tr("Tip"), tr("Device IP Address format error!"));
        return;
    }
    ui->connectButton->setEnabled(false);
    m_comm.connectToDevice(ip);
}

// A card chosen on the search page: into the connection bar, and connected,
// after the card connected now (if another) has been let go.
void MainWindow::connectToCard(const QString& address)
{
    if (!IpAddressPattern::matches(address) || !ui->connectButton->isEnabled())
        return;
    if (m_isConnected) {
        if (m_comm.address() == address)
            return;
        m_nextCard = address;
        m_comm.disconnectFromDevice();
        return;
    }
    ui->ipEdit->setText(address);
    connectEvent();
}

void MainWindow::connectedToDevice()
{
    const QString ip = ui->ipEdit->text();
    if (!m_ipHistory.contains(ip)) {
        QStringList history = m_ipHistory;
        history.append(ip);
        setHistory(history);
        // Not writable: the entry lives in memory until the program ends.
        IpHistory::write(QString::fromLatin1(IpHistory::kFile), m_ipHistory);
    }
    m_isConnected = true;
    setProperty(DialogPrompt::kCardAddress, ip);
    ui->connectButton->setEnabled(true);
    updateConnectState();
}

void MainWindow::connectionError(QString error)
{
    MessageBox::information(nullptr, tr("Tip"), tr("Connect to device failed, %1!").arg(error));
    ui->connectButton->setEnabled(true);
}

void MainWindow::disconnectedFromDeivce()
{
    m_comm.disconnectFromDevice();
    m_isConnected = false;
    setProperty(DialogPrompt::kCardAddress, QString());
    updateConnectState();
    if (!m_nextCard.isEmpty()) {
        // Not from inside the link's own report of the close.
        QTimer::singleShot(0, this, [this, address = m_nextCard] { connectToCard(address); });
        m_nextCard.clear();
    }
}

void MainWindow::updateConnectState()
{
    // The field names the card the window talks to while connected.
    ui->ipEdit->setReadOnly(m_isConnected);
    if (m_isConnected) {
        ui->connectButton->setText(tr("Disconnect"));
        ui->statusLabel->setText(kConnectedStatus + tr("Connected to device"));
    } else {
        ui->connectButton->setText(tr("Connect"));
        ui->statusLabel->setText(kDisconnectedStatus + tr("Disconnect with device"));
    }
}

void MainWindow::clearHistory()
{
    // The history is emptied in memory even when the file cannot be written.
    IpHistory::write(QString::fromLatin1(IpHistory::kFile), QStringList());
    setHistory(QStringList());
}

void MainWindow::rebootDevice()
{
    const auto answer = MessageBox::standard(this, QMessageBox::Warning, tr("Warning"),
        tr("Are you sure to reboot device?"), QMessageBox::Ok | QMessageBox::No, QMessageBox::No);
    if (answer == QMessageBox::Ok)
        m_comm.send(2);
}

void MainWindow::setAPPFont()
{
    const QFont font = DialogPrompt::font(QApplication::font());
    QApplication::setFont(font);
    m_settings->setValue(QStringLiteral("Font/size"), font.pointSize());
    m_settings->setValue(QStringLiteral("Font/family"), font.family());
    m_settings->setValue(QStringLiteral("Font/bold"), font.weight() > QFont::Medium);
    m_settings->setValue(QStringLiteral("Font/italic"), font.style() != QFont::StyleNormal);
    m_settings->sync();
}

void MainWindow::resizeEvent(QResizeEvent* event)
{
    m_settings->setValue(QStringLiteral("screen/width"), width());
    m_settings->setValue(QStringLiteral("screen/height"), height());
    QMainWindow::resizeEvent(event);
}

void MainWindow::changeLanguage()
{
    const bool chinese = sender() == ui->actionChinese;
    if (chinese) {
        m_settings->setValue(QStringLiteral("language"), QStringLiteral("Chinese"));
        ui->actionChinese->setChecked(true);
        // A catalogue that does not load leaves the texts as they are.
        if (m_translator && m_translator->load(AppPaths::translationFile()))
            QApplication::installTranslator(m_translator);
    } else {
        m_settings->setValue(QStringLiteral("language"), QString());
        ui->actionEnglish->setChecked(true);
        if (m_translator)
            QApplication::removeTranslator(m_translator);
    }
    m_settings->sync();
    updateConnectState();
    ui->retranslateUi(this);
}

void MainWindow::showAbout()
{
    const QString html = QStringLiteral("<html><span style=\"font-weight:bold; font-size:16px\">Netquill v")
        + QStringLiteral(NETQUILL_VERSION) + QStringLiteral("</span><br><br>") + tr("Built on") + QLatin1Char(' ')
        + BuildInfo::date() + QLatin1Char(' ') + BuildInfo::time() + QStringLiteral("<br><br>")
        + tr("This software is used for device programming and settings.") + QStringLiteral("</html>");
    MessageBox::standard(nullptr, QMessageBox::NoIcon, tr("About Netquill"), html, QMessageBox::Ok, QMessageBox::Ok);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ui->statusLabel && event->type() == QEvent::MouseButtonPress && !m_pageRoot) {
        if (m_clickCount == 0)
            m_clickTimer->start(kUnlockWindowMs);
        m_clickCount = m_clickCount + 1;
        if (m_clickCount >= kUnlockPresses) {
            m_clickTimer->stop();
            unlockRootPage();
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::unlockRootPage()
{
    m_pageRoot = new PageRoot(ui->stackWidget);
    ui->stackWidget->addWidget(m_pageRoot);
    ui->pageList->addItem(tr("root"));
    Pages root;
    root.root = m_pageRoot;
    wirePages(&m_comm, root, nullptr);
    m_pageProgramming->addRootProgType();
}

void MainWindow::onTimerTimeout()
{
    m_clickCount = 0;
}

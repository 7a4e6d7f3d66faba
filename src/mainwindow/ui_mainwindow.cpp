#include "ui_mainwindow.h"

#include <QAction>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSplitter>
#include <QStackedWidget>
#include <QStatusBar>
#include <QVBoxLayout>

void UI_MainWindow::setupUi(QMainWindow* window)
{
    window->resize(800, 600);

    centralWidget = new QWidget(window);
    centralWidget->setObjectName(QStringLiteral("centralWidget"));
    centralLayout = new QVBoxLayout(centralWidget);

    connectionBar = new QHBoxLayout();
    ipLabel = new QLabel(centralWidget);
    ipLabel->setObjectName(QStringLiteral("ipLabel"));
    ipEdit = new QLineEdit(centralWidget);
    ipEdit->setObjectName(QStringLiteral("ipEdit"));
    ipEdit->setMinimumWidth(160);
    ipLabel->setBuddy(ipEdit);
    connectButton = new QPushButton(centralWidget);
    connectButton->setObjectName(QStringLiteral("connectButton"));
    connectButton->setDefault(true);
    clearHistoryButton = new QPushButton(centralWidget);
    clearHistoryButton->setObjectName(QStringLiteral("clearHistoryButton"));
    connectionBar->addStretch();
    connectionBar->addWidget(ipLabel);
    connectionBar->addWidget(ipEdit);
    connectionBar->addWidget(connectButton);
    connectionBar->addWidget(clearHistoryButton);
    connectionBar->addStretch();
    centralLayout->addLayout(connectionBar);

    splitter = new QSplitter(Qt::Horizontal, centralWidget);
    splitter->setObjectName(QStringLiteral("splitter"));
    pageList = new QListWidget(splitter);
    pageList->setObjectName(QStringLiteral("pageList"));
    stackWidget = new QStackedWidget(splitter);
    stackWidget->setObjectName(QStringLiteral("stackWidget"));
    splitter->addWidget(pageList);
    splitter->addWidget(stackWidget);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 7);
    splitter->setSizes({ 300, 700 }); // in proportion until the pages give size hints of their own
    centralLayout->addWidget(splitter);
    window->setCentralWidget(centralWidget);

    for (int i = 0; i < kPageCount; ++i)
        pageList->addItem(QString());

    statusLabel = new QLabel(window);
    statusLabel->setObjectName(QStringLiteral("statusLabel"));
    statusLabel->setTextFormat(Qt::RichText);
    window->statusBar()->addWidget(statusLabel);

    menuTool = window->menuBar()->addMenu(QString());
    actionReboot = menuTool->addAction(QString());
    actionReboot->setObjectName(QStringLiteral("actionReboot"));
    menuWindow = window->menuBar()->addMenu(QString());
    actionFont = menuWindow->addAction(QString());
    actionFont->setObjectName(QStringLiteral("actionFont"));
    menuLanguage = menuWindow->addMenu(QString());
    actionEnglish = menuLanguage->addAction(QString());
    actionEnglish->setObjectName(QStringLiteral("actionEnglish"));
    actionEnglish->setCheckable(true);
    actionChinese = menuLanguage->addAction(QString());
    actionChinese->setObjectName(QStringLiteral("actionChinese"));
    actionChinese->setCheckable(true);
    menuHelp = window->menuBar()->addMenu(QString());
    actionAbout = menuHelp->addAction(QString());
    actionAbout->setObjectName(QStringLiteral("actionAbout"));

    retranslateUi(window);
}

void UI_MainWindow::retranslateUi(QMainWindow* window)
{
    window->setWindowTitle(QCoreApplication::translate("MainWindow", "Netquill"));
    menuTool->setTitle(QCoreApplication::translate("MainWindow", "Tool"));
    actionReboot->setText(QCoreApplication::translate("MainWindow", "Reboot Device"));
    menuWindow->setTitle(QCoreApplication::translate("MainWindow", "Window"));
    actionFont->setText(QCoreApplication::translate("MainWindow", "Font"));
    menuLanguage->setTitle(QCoreApplication::translate("MainWindow", "Language"));
    actionEnglish->setText(QCoreApplication::translate("MainWindow", "English"));
    actionChinese->setText(QCoreApplication::translate("MainWindow", "Chinese"));
    menuHelp->setTitle(QCoreApplication::translate("MainWindow", "Help"));
    actionAbout->setText(QCoreApplication::translate("MainWindow", "About"));
    static const char* const pages[kPageCount] = {
        QT_TRANSLATE_NOOP("MainWindow", "Programming"),
        QT_TRANSLATE_NOOP("MainWindow", "Settings"),
        QT_TRANSLATE_NOOP("MainWindow", "Fixed Parameters"),
        QT_TRANSLATE_NOOP("MainWindow", "Display Log"),
        QT_TRANSLATE_NOOP("MainWindow", "Serial Port Test"),
        QT_TRANSLATE_NOOP("MainWindow", "Device Search"),
    };
    for (int i = 0; i < kPageCount; ++i)
        pageList->item(i)->setText(QCoreApplication::translate("MainWindow", pages[i]));
    if (pageList->count() > kPageCount)
        pageList->item(kPageCount)->setText(QCoreApplication::translate("MainWindow", "root"));
    pageList->setAccessibleName(QCoreApplication::translate("MainWindow", "Pages"));
    ipLabel->setText(QCoreApplication::translate("MainWindow", "Device IP:"));
    clearHistoryButton->setText(QCoreApplication::translate("MainWindow", "Clear history"));
}

#pragma once

#include "link/commtcp.h"

#include <QMainWindow>
#include <QStringList>
#include <memory>

class DevSereachPage;
class DisplayLogPage;
class FixedParamPage;
class Journal;
class JournalView;
class PageRoot;
class ProgrammingPage;
class QActionGroup;
class QCompleter;
class QSettings;
class QStringListModel;
class QTimer;
class QTranslator;
class SettingsPage;
class SPTestPage;
struct UI_MainWindow;

// The tool's only top-level window: the connection bar, the page list beside
// the page stack, the status label and the menus. It owns the command link
// and wires every page into it.
class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    static constexpr int kUnlockPresses = 5;
    static constexpr int kUnlockWindowMs = 5000;
    // Language, font and window size; relative to the working directory.
    static constexpr const char* kSettingsFile = "config/settings.ini";

    // The pages that talk to the connected card; a page left null is not wired.
    struct Pages {
        ProgrammingPage* programming = nullptr;
        SettingsPage* settings = nullptr;
        FixedParamPage* fixedParams = nullptr;
        DisplayLogPage* log = nullptr;
        SPTestPage* serialTest = nullptr;
        PageRoot* root = nullptr;
        // The connection bar's Connect/Disconnect: disabled while a
        // programming run keeps the card.
        QWidget* connectButton = nullptr;
    };

    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // Every connection between the link and the pages, made here for the
    // window, the test rigs and the benchmarks alike. With `noticesOwner`,
    // what the link reports is told last, in boxes (a LinkNotices it owns):
    // after the pages have done their part.
    static void wirePages(CommTcp* link, const Pages& pages, QObject* noticesOwner);

    void setTranslator(QTranslator* translator, int language);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private slots:
    void changeLanguage();
    void showAbout();
    void setAPPFont();
    void connectEvent();
    void connectedToDevice();
    void connectionError(QString error);
    void disconnectedFromDeivce();
    void rebootDevice();
    void onTimerTimeout();

private:
    void loadSettings();
    void initUI();
    void initConnections();
    void updateConnectState();
    void clearHistory();
    void unlockRootPage();
    void setHistory(const QStringList& history);
    void connectToCard(const QString& address);

    bool m_isConnected : 8;
    quint32 m_clickCount : 24;
    std::shared_ptr<UI_MainWindow> ui;
    QTranslator* m_translator = nullptr;
    QActionGroup* m_langGroup = nullptr;
    QTimer* m_clickTimer = nullptr;
    QCompleter* m_completer = nullptr;
    QStringListModel* m_historyModel = nullptr;
    ProgrammingPage* m_pageProgramming = nullptr;
    SettingsPage* m_pageSettings = nullptr;
    FixedParamPage* m_pageFixedParam = nullptr;
    DisplayLogPage* m_pageDisplayLog = nullptr;
    SPTestPage* m_pageSPTest = nullptr;
    DevSereachPage* m_pageDevSearch = nullptr;
    PageRoot* m_pageRoot = nullptr;
    QStringList m_ipHistory;
    CommTcp m_comm;
    Journal* m_journal = nullptr;
    JournalView* m_journalView = nullptr;
    QString m_nextCard; // to connect to once the link has closed
    std::unique_ptr<QSettings> m_settings;
};

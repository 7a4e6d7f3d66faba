#pragma once

class QAction;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QListWidget;
class QMainWindow;
class QMenu;
class QPushButton;
class QSplitter;
class QStackedWidget;
class QVBoxLayout;
class QWidget;

// The main window's widgets, created in code. The window owns them through
// their Qt parents; this structure only names them.
struct UI_MainWindow {
    QWidget* centralWidget = nullptr;
    QVBoxLayout* centralLayout = nullptr;
    QHBoxLayout* connectionBar = nullptr;
    QLabel* ipLabel = nullptr;
    QLineEdit* ipEdit = nullptr;
    QPushButton* connectButton = nullptr;
    QPushButton* clearHistoryButton = nullptr;
    QSplitter* splitter = nullptr;
    QListWidget* pageList = nullptr;
    QStackedWidget* stackWidget = nullptr;
    QLabel* statusLabel = nullptr;
    QMenu* menuTool = nullptr;
    QMenu* menuWindow = nullptr;
    QMenu* menuLanguage = nullptr;
    QMenu* menuHelp = nullptr;
    QAction* actionReboot = nullptr;
    QAction* actionFont = nullptr;
    QAction* actionEnglish = nullptr;
    QAction* actionChinese = nullptr;
    QAction* actionAbout = nullptr;

    static constexpr int kPageCount = 6;

    void setupUi(QMainWindow* window);
    // Sets every text of the table of window texts again; the list rows
    // beyond the six pages (the console, once unlocked) keep theirs but "root".
    void retranslateUi(QMainWindow* window);
};

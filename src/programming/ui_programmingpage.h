#pragma once

class QComboBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QVBoxLayout;
class QWidget;

// The programming page's widgets, created in code. The page owns them
// through their Qt parents; this structure only names them.
struct UI_ProgrammingPage {
    QVBoxLayout* verticalLayout = nullptr;
    QHBoxLayout* rowType = nullptr;
    QLabel* labelProgType = nullptr;
    QComboBox* comboBoxProgType = nullptr;
    QPushButton* btnBackup = nullptr;
    QHBoxLayout* rowVersion = nullptr;
    QLabel* labelVersionTitle = nullptr;
    QLabel* labelVersion = nullptr;
    QPushButton* btnRead = nullptr;
    QHBoxLayout* rowFile = nullptr;
    QLabel* labelFile = nullptr;
    QLineEdit* leFile = nullptr;
    QPushButton* btnChoose = nullptr;
    QPushButton* btnProgramming = nullptr;
    QPushButton* btnBatchProgramming = nullptr;
    // Under the path field: the chosen file, whole, and its size.
    QHBoxLayout* rowFileInfo = nullptr;
    QLabel* labelFileInfo = nullptr;
    QHBoxLayout* rowProgress = nullptr;
    QLabel* labelProgress = nullptr;
    QProgressBar* progressBar = nullptr;
    QHBoxLayout* rowStatus = nullptr;
    QLabel* labelStatus = nullptr;
    // Beside the status while the card installs: the time it has taken.
    QLabel* labelElapsed = nullptr;

    // The three programming types every card has; "root" is added once the
    // console page has been unlocked.
    static constexpr int kBaseTypeCount = 3;

    void setupUi(QWidget* page);
    // Sets every text again. The type list is refilled with the three base
    // entries (so "root" goes) and keeps its index when that still exists.
    void retranslateUi(QWidget* page);
};

#pragma once

class QComboBox;
class QDialog;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
class QVBoxLayout;

// The batch programming dialog's widgets, created in code. The dialog owns
// them through their Qt parents; this structure only names them.
struct UI_BatchProgrammingDialog {
    enum Column { ColumnIp = 0, ColumnVersion = 1, ColumnProgress = 2, ColumnStatus = 3, ColumnCount = 4 };

    QVBoxLayout* verticalLayout = nullptr;
    QHBoxLayout* rowTable = nullptr;
    QTableWidget* tableWidgetDevice = nullptr;
    QVBoxLayout* columnButtons = nullptr;
    QComboBox* comboBoxProgType = nullptr;
    QPushButton* btnRefresh = nullptr;
    QPushButton* btnImport = nullptr;
    QPushButton* btnExport = nullptr;
    QPushButton* btnProgram = nullptr;
    QHBoxLayout* rowAddress = nullptr;
    QLabel* labelIP = nullptr;
    QLineEdit* leIP = nullptr;
    QPushButton* btnAdd = nullptr;
    QHBoxLayout* rowFile = nullptr;
    QLabel* labelFile = nullptr;
    QLineEdit* leFile = nullptr;
    QPushButton* btnChoose = nullptr;

    void setupUi(QDialog* dialog);
    // Sets every text again; the type list is rebuilt with its three entries
    // and keeps its selection.
    void retranslateUi(QDialog* dialog);
};

#pragma once

class QCheckBox;
class QComboBox;
class QDialog;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTableWidget;
class QVBoxLayout;

// The batch programming dialog's widgets, created in code. The dialog owns
// them through their Qt parents; this structure only names them.
struct UI_BatchProgrammingDialog {
    // The Detail column comes after the Part's four.
    enum Column {
        ColumnIp = 0,
        ColumnVersion = 1,
        ColumnProgress = 2,
        ColumnStatus = 3,
        ColumnDetail = 4,
        ColumnCount = 5
    };

    QVBoxLayout* verticalLayout = nullptr;
    QHBoxLayout* rowTable = nullptr;
    QVBoxLayout* columnTable = nullptr;
    QTableWidget* tableWidgetDevice = nullptr;
    QLabel* labelTotals = nullptr;
    QVBoxLayout* columnButtons = nullptr;
    QComboBox* comboBoxProgType = nullptr;
    QPushButton* btnRefresh = nullptr;
    QPushButton* btnImport = nullptr;
    QPushButton* btnExport = nullptr;
    QPushButton* btnExportCsv = nullptr;
    QPushButton* btnProgram = nullptr;
    QHBoxLayout* rowAddress = nullptr;
    QLabel* labelIP = nullptr;
    QLineEdit* leIP = nullptr;
    QPushButton* btnAdd = nullptr;
    QHBoxLayout* rowFile = nullptr;
    QLabel* labelFile = nullptr;
    QLineEdit* leFile = nullptr;
    QPushButton* btnChoose = nullptr;
    QHBoxLayout* rowRules = nullptr;
    QCheckBox* chkCanary = nullptr;
    QCheckBox* chkStopAfter = nullptr;
    QSpinBox* spinMaxFailures = nullptr;

    void setupUi(QDialog* dialog);
    // Sets every text again; the type list is rebuilt with its three entries
    // and keeps its selection.
    void retranslateUi(QDialog* dialog);
};

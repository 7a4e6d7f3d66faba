#pragma once

class QHBoxLayout;
class QPushButton;
class QTableWidget;
class QVBoxLayout;
class QWidget;

// The fixed parameters page's widgets, created in code. The page owns them
// through their Qt parents; this structure only names them.
struct UI_FixedParamPage {
    enum Column { ColumnKey, ColumnValue, ColumnCount };

    QVBoxLayout* pageLayout = nullptr;
    QTableWidget* tableWidgetParam = nullptr;
    QHBoxLayout* buttonLayout = nullptr;
    QPushButton* btnBackup = nullptr;
    QPushButton* btnLoad = nullptr;
    QPushButton* btnReset = nullptr;
    QPushButton* btnAdd = nullptr;
    QPushButton* btnRead = nullptr;
    QPushButton* btnWrite = nullptr;

    void setupUi(QWidget* page);
    // The header and the buttons; the keys in the table are the card's and
    // stay as they are.
    void retranslateUi();
};

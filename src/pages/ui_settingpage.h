#pragma once

#include "portrecords.h"

#include <array>

class QCheckBox;
class QGroupBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollArea;
class QTableWidget;
class QVBoxLayout;
class QWidget;

// The settings page's widgets, created in code. The page owns them through
// their Qt parents; this structure only names them.
struct UI_SettingPage {
    QVBoxLayout* pageLayout = nullptr;
    QScrollArea* scrollArea = nullptr;
    QWidget* scrollContent = nullptr;
    QVBoxLayout* scrollLayout = nullptr;

    QGroupBox* groupBoxDate = nullptr;
    QHBoxLayout* dateLayout = nullptr;
    QLabel* labelDate = nullptr;
    QLineEdit* leDate = nullptr;
    QPushButton* btnDeviceDate = nullptr;
    QPushButton* btnSyncDate = nullptr;

    QGroupBox* groupBoxPort = nullptr;
    QVBoxLayout* portLayout = nullptr;
    QTableWidget* tableWidgetPort = nullptr;
    // One per service row, in wire order: SSH, Telnet, HTTP, HTTPS.
    std::array<QCheckBox*, PortRecords::kServiceCount> checkBoxPort {};
    std::array<QLineEdit*, PortRecords::kServiceCount> lePort {};
    QHBoxLayout* portButtonLayout = nullptr;
    QPushButton* btnRead = nullptr;
    QPushButton* btnWrite = nullptr;

    void setupUi(QWidget* page);
    // The port table as tall as its header and rows need, 150 pixels at least.
    void fitPortTable();
    void retranslateUi(QWidget* page);
};

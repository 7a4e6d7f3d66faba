#include "ui_batchprogrammingdialog.h"

#include "link/ipaddresspattern.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

QPushButton* button(QDialog* dialog, const char* name)
{
    auto* b = new QPushButton(dialog);
    b->setObjectName(QString::fromLatin1(name));
    return b;
}

} // namespace

void UI_BatchProgrammingDialog::setupUi(QDialog* dialog)
{
    dialog->resize(800, 400);
    verticalLayout = new QVBoxLayout(dialog);

    rowTable = new QHBoxLayout();
    tableWidgetDevice = new QTableWidget(0, ColumnCount, dialog);
    tableWidgetDevice->setObjectName(QStringLiteral("tableWidgetDevice"));
    tableWidgetDevice->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    tableWidgetDevice->horizontalHeader()->setStretchLastSection(true);
    tableWidgetDevice->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tableWidgetDevice->setSelectionBehavior(QAbstractItemView::SelectRows);
    tableWidgetDevice->setContextMenuPolicy(Qt::CustomContextMenu);
    // A line under the table, not a box: the batch's totals as it runs and
    // when it has finished.
    labelTotals = new QLabel(dialog);
    labelTotals->setObjectName(QStringLiteral("labelTotals"));
    labelTotals->setTextFormat(Qt::PlainText);
    labelTotals->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    columnTable = new QVBoxLayout();
    columnTable->addWidget(tableWidgetDevice);
    columnTable->addWidget(labelTotals);
    rowTable->addLayout(columnTable);

    columnButtons = new QVBoxLayout();
    comboBoxProgType = new QComboBox(dialog);
    comboBoxProgType->setObjectName(QStringLiteral("comboBoxProgType"));
    btnRefresh = button(dialog, "btnRefresh");
    btnImport = button(dialog, "btnImport");
    btnExport = button(dialog, "btnExport");
    btnExportCsv = button(dialog, "btnExportCsv");
    btnProgram = button(dialog, "btnProgram");
    columnButtons->addStretch();
    columnButtons->addWidget(comboBoxProgType);
    columnButtons->addStretch();
    columnButtons->addWidget(btnRefresh);
    columnButtons->addStretch();
    columnButtons->addWidget(btnImport);
    columnButtons->addStretch();
    columnButtons->addWidget(btnExport);
    columnButtons->addWidget(btnExportCsv);
    columnButtons->addStretch();
    columnButtons->addWidget(btnProgram);
    columnButtons->addStretch();
    rowTable->addLayout(columnButtons);
    verticalLayout->addLayout(rowTable);

    rowAddress = new QHBoxLayout();
    labelIP = new QLabel(dialog);
    labelIP->setObjectName(QStringLiteral("labelIP"));
    leIP = new QLineEdit(dialog);
    leIP->setObjectName(QStringLiteral("leIP"));
    leIP->setValidator(new QRegularExpressionValidator(IpAddressPattern::ipRegExp(), leIP));
    labelIP->setBuddy(leIP);
    btnAdd = button(dialog, "btnAdd");
    rowAddress->addWidget(labelIP);
    rowAddress->addWidget(leIP);
    rowAddress->addWidget(btnAdd);
    verticalLayout->addLayout(rowAddress);

    rowFile = new QHBoxLayout();
    labelFile = new QLabel(dialog);
    labelFile->setObjectName(QStringLiteral("labelFile"));
    leFile = new QLineEdit(dialog);
    leFile->setObjectName(QStringLiteral("leFile"));
    labelFile->setBuddy(leFile);
    btnChoose = button(dialog, "btnChoose");
    rowFile->addWidget(labelFile);
    rowFile->addWidget(leFile);
    rowFile->addWidget(btnChoose);
    verticalLayout->addLayout(rowFile);

    // Both off: a batch hands out every device, as it always has.
    rowRules = new QHBoxLayout();
    chkCanary = new QCheckBox(dialog);
    chkCanary->setObjectName(QStringLiteral("chkCanary"));
    chkStopAfter = new QCheckBox(dialog);
    chkStopAfter->setObjectName(QStringLiteral("chkStopAfter"));
    spinMaxFailures = new QSpinBox(dialog);
    spinMaxFailures->setObjectName(QStringLiteral("spinMaxFailures"));
    spinMaxFailures->setRange(1, 9999);
    spinMaxFailures->setValue(3);
    spinMaxFailures->setEnabled(false);
    QObject::connect(chkStopAfter, &QCheckBox::toggled, spinMaxFailures, &QWidget::setEnabled);
    rowRules->addWidget(chkCanary);
    rowRules->addSpacing(24);
    rowRules->addWidget(chkStopAfter);
    rowRules->addWidget(spinMaxFailures);
    rowRules->addStretch();
    verticalLayout->addLayout(rowRules);

    // Enter adds the typed address; nothing that starts a batch is one key
    // press away. Escape closes (hides) the dialog.
    btnAdd->setDefault(true);

    QWidget::setTabOrder(tableWidgetDevice, comboBoxProgType);
    QWidget::setTabOrder(comboBoxProgType, btnRefresh);
    QWidget::setTabOrder(btnRefresh, btnImport);
    QWidget::setTabOrder(btnImport, btnExport);
    QWidget::setTabOrder(btnExport, btnExportCsv);
    QWidget::setTabOrder(btnExportCsv, btnProgram);
    QWidget::setTabOrder(btnProgram, leIP);
    QWidget::setTabOrder(leIP, btnAdd);
    QWidget::setTabOrder(btnAdd, leFile);
    QWidget::setTabOrder(leFile, btnChoose);
    QWidget::setTabOrder(btnChoose, chkCanary);
    QWidget::setTabOrder(chkCanary, chkStopAfter);
    QWidget::setTabOrder(chkStopAfter, spinMaxFailures);

    retranslateUi(dialog);
}

void UI_BatchProgrammingDialog::retranslateUi(QDialog* dialog)
{
    dialog->setWindowTitle(QCoreApplication::translate("BatchProgrammingDialog", "Batch Programming"));
    tableWidgetDevice->setHorizontalHeaderLabels({ QCoreApplication::translate("BatchProgrammingDialog", "IP"),
        QCoreApplication::translate("BatchProgrammingDialog", "Version"),
        QCoreApplication::translate("BatchProgrammingDialog", "Progress"),
        QCoreApplication::translate("BatchProgrammingDialog", "Status"),
        QCoreApplication::translate("BatchProgrammingDialog", "Detail") });
    tableWidgetDevice->setAccessibleName(QCoreApplication::translate("BatchProgrammingDialog", "Device list"));
    comboBoxProgType->setAccessibleName(QCoreApplication::translate("BatchProgrammingDialog", "Programming type"));
    btnRefresh->setText(QCoreApplication::translate("BatchProgrammingDialog", "Refresh Version"));
    btnImport->setText(QCoreApplication::translate("BatchProgrammingDialog", "Import Device"));
    btnExport->setText(QCoreApplication::translate("BatchProgrammingDialog", "Export Result"));
    btnExportCsv->setText(QCoreApplication::translate("BatchProgrammingDialog", "Export CSV"));
    btnProgram->setText(QCoreApplication::translate("BatchProgrammingDialog", "Program"));
    labelIP->setText(QCoreApplication::translate("BatchProgrammingDialog", "Device IP:"));
    btnAdd->setText(QCoreApplication::translate("BatchProgrammingDialog", "Add Device"));
    labelFile->setText(QCoreApplication::translate("BatchProgrammingDialog", "Programming file:"));
    btnChoose->setText(QCoreApplication::translate("BatchProgrammingDialog", "Choose Programming File"));
    chkCanary->setText(QCoreApplication::translate("BatchProgrammingDialog", "Program one device first"));
    chkStopAfter->setText(QCoreApplication::translate("BatchProgrammingDialog", "Stop after"));
    spinMaxFailures->setSuffix(QCoreApplication::translate("BatchProgrammingDialog", " failures"));
    spinMaxFailures->setAccessibleName(
        QCoreApplication::translate("BatchProgrammingDialog", "Failures before the batch stops"));
    labelTotals->setAccessibleName(QCoreApplication::translate("BatchProgrammingDialog", "Batch totals"));

    const int index = comboBoxProgType->currentIndex();
    comboBoxProgType->clear();
    comboBoxProgType->addItem(QCoreApplication::translate("BatchProgrammingDialog", "APP"));
    comboBoxProgType->addItem(QCoreApplication::translate("BatchProgrammingDialog", "Firmware"));
    comboBoxProgType->addItem(QCoreApplication::translate("BatchProgrammingDialog", "Patch"));
    if (index >= 0)
        comboBoxProgType->setCurrentIndex(index);
}

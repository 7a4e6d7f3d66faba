#include "ui_settingpage.h"

#include "cellwidgetaccess.h"
#include "devicedate.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QScrollArea>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

constexpr int kTableHeight = 150;
enum Column { ColumnItem, ColumnEnable, ColumnPort, ColumnCount };

const char* const kServiceNames[PortRecords::kServiceCount] = {
    QT_TRANSLATE_NOOP("SettingsPage", "SSH"),
    QT_TRANSLATE_NOOP("SettingsPage", "Telnet"),
    QT_TRANSLATE_NOOP("SettingsPage", "HTTP"),
    QT_TRANSLATE_NOOP("SettingsPage", "HTTPS"),
};

const char* const kServiceIds[PortRecords::kServiceCount] = { "SSH", "Telnet", "HTTP", "HTTPS" };

} // namespace

void UI_SettingPage::setupUi(QWidget* page)
{
    pageLayout = new QVBoxLayout(page);
    pageLayout->setObjectName(QStringLiteral("pageLayout"));
    scrollArea = new QScrollArea(page);
    scrollArea->setObjectName(QStringLiteral("scrollArea"));
    scrollArea->setWidgetResizable(true);
    scrollContent = new QWidget(scrollArea);
    scrollContent->setObjectName(QStringLiteral("scrollContent"));
    scrollLayout = new QVBoxLayout(scrollContent);
    scrollArea->setWidget(scrollContent);
    pageLayout->addWidget(scrollArea);

    groupBoxDate = new QGroupBox(scrollContent);
    groupBoxDate->setObjectName(QStringLiteral("groupBoxDate"));
    dateLayout = new QHBoxLayout(groupBoxDate);
    labelDate = new QLabel(groupBoxDate);
    labelDate->setObjectName(QStringLiteral("labelDate"));
    leDate = new QLineEdit(groupBoxDate);
    leDate->setObjectName(QStringLiteral("leDate"));
    leDate->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    leDate->setValidator(new QRegularExpressionValidator(QRegularExpression(DeviceDate::pattern()), leDate));
    labelDate->setBuddy(leDate);
    btnDeviceDate = new QPushButton(groupBoxDate);
    btnDeviceDate->setObjectName(QStringLiteral("btnDeviceDate"));
    btnSyncDate = new QPushButton(groupBoxDate);
    btnSyncDate->setObjectName(QStringLiteral("btnSyncDate"));
    dateLayout->addWidget(labelDate);
    dateLayout->addWidget(leDate, 1);
    dateLayout->addWidget(btnDeviceDate);
    dateLayout->addWidget(btnSyncDate);
    scrollLayout->addWidget(groupBoxDate);

    groupBoxPort = new QGroupBox(scrollContent);
    groupBoxPort->setObjectName(QStringLiteral("groupBoxPort"));
    portLayout = new QVBoxLayout(groupBoxPort);
    tableWidgetPort = new QTableWidget(PortRecords::kServiceCount, ColumnCount, groupBoxPort);
    tableWidgetPort->setObjectName(QStringLiteral("tableWidgetPort"));
    tableWidgetPort->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    tableWidgetPort->verticalHeader()->setVisible(false);
    fitPortTable();
    // Tab walks through the check boxes and port fields, not the cells.
    tableWidgetPort->setTabKeyNavigation(false);
    tableWidgetPort->setSelectionMode(QAbstractItemView::NoSelection);
    CellWidgetAccess::expose(tableWidgetPort);
    for (int row = 0; row < PortRecords::kServiceCount; ++row) {
        auto* item = new QTableWidgetItem;
        item->setFlags(item->flags() & ~Qt::ItemIsEditable);
        item->setTextAlignment(Qt::AlignCenter);
        tableWidgetPort->setItem(row, ColumnItem, item);

        const QString id = QString::fromLatin1(kServiceIds[row]);
        // The check box sits centred in its cell.
        auto* holder = new QWidget(tableWidgetPort);
        auto* holderLayout = new QHBoxLayout(holder);
        holderLayout->setContentsMargins(0, 0, 0, 0);
        holderLayout->setAlignment(Qt::AlignCenter);
        QCheckBox* check = new QCheckBox(holder);
        check->setObjectName(QStringLiteral("checkBox") + id);
        check->setChecked(true);
        holderLayout->addWidget(check);
        tableWidgetPort->setCellWidget(row, ColumnEnable, holder);
        checkBoxPort[size_t(row)] = check;

        auto* port = new QLineEdit(tableWidgetPort);
        port->setObjectName(QStringLiteral("lePort") + id);
        port->setStyleSheet(QStringLiteral("border:none"));
        port->setAlignment(Qt::AlignCenter);
        port->setValidator(new QIntValidator(PortRecords::kMinPort, PortRecords::kMaxPort, port));
        tableWidgetPort->setCellWidget(row, ColumnPort, port);
        lePort[size_t(row)] = port;
    }
    portLayout->addWidget(tableWidgetPort);
    portButtonLayout = new QHBoxLayout;
    portButtonLayout->addStretch();
    btnRead = new QPushButton(groupBoxPort);
    btnRead->setObjectName(QStringLiteral("btnRead"));
    btnWrite = new QPushButton(groupBoxPort);
    btnWrite->setObjectName(QStringLiteral("btnWrite"));
    portButtonLayout->addWidget(btnRead);
    portButtonLayout->addWidget(btnWrite);
    portLayout->addLayout(portButtonLayout);
    scrollLayout->addWidget(groupBoxPort);
    scrollLayout->addStretch();

    QWidget* previous = leDate;
    const auto chain = [&previous](QWidget* next) {
        QWidget::setTabOrder(previous, next);
        previous = next;
    };
    chain(btnDeviceDate);
    chain(btnSyncDate);
    for (int row = 0; row < PortRecords::kServiceCount; ++row) {
        chain(checkBoxPort[size_t(row)]);
        chain(lePort[size_t(row)]);
    }
    chain(btnRead);
    chain(btnWrite);

    retranslateUi(page);
}

void UI_SettingPage::retranslateUi(QWidget*)
{
    groupBoxDate->setTitle(QCoreApplication::translate("SettingsPage", "Date settings"));
    labelDate->setText(QCoreApplication::translate("SettingsPage", "Date:"));
    btnDeviceDate->setText(QCoreApplication::translate("SettingsPage", "Device date"));
    btnSyncDate->setText(QCoreApplication::translate("SettingsPage", "Sync date"));

    groupBoxPort->setTitle(QCoreApplication::translate("SettingsPage", "Port settings"));
    tableWidgetPort->setAccessibleName(groupBoxPort->title());
    const QString item = QCoreApplication::translate("SettingsPage", "Item");
    const QString enable = QCoreApplication::translate("SettingsPage", "Enable");
    const QString port = QCoreApplication::translate("SettingsPage", "Port");
    tableWidgetPort->setHorizontalHeaderLabels({ item, enable, port });
    for (int row = 0; row < PortRecords::kServiceCount; ++row) {
        const QString name = QCoreApplication::translate("SettingsPage", kServiceNames[row]);
        tableWidgetPort->item(row, ColumnItem)->setText(name);
        // The cells have no label of their own; a screen reader names them
        // after their row and column.
        checkBoxPort[size_t(row)]->setAccessibleName(name + QLatin1Char(' ') + enable);
        lePort[size_t(row)]->setAccessibleName(name + QLatin1Char(' ') + port);
        lePort[size_t(row)]->setPlaceholderText(QCoreApplication::translate("SettingsPage", "1~65534"));
    }
    btnRead->setText(QCoreApplication::translate("SettingsPage", "Read"));
    btnWrite->setText(QCoreApplication::translate("SettingsPage", "Write"));
}

void UI_SettingPage::fitPortTable()
{
    // 150 pixels hold the header and the four rows in the usual fonts; a
    // taller font (a Chinese one, or a larger size chosen in the font
    // dialog) would hide the last row behind a scroll bar.
    auto* table = tableWidgetPort;
    table->resizeRowsToContents();
    int needed = 2 * table->frameWidth() + table->horizontalHeader()->sizeHint().height();
    for (int row = 0; row < table->rowCount(); ++row)
        needed += table->rowHeight(row);
    table->setFixedHeight(qMax(kTableHeight, needed));
}

#include "dialogsetip.h"

#include "prompts/messagebox.h"
#include "link/ipaddresspattern.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpacerItem>
#include <QVBoxLayout>

void UI_DialogSetIP::setupUi(QDialog* dialog)
{
    dialog->setObjectName(QStringLiteral("DialogSetIP"));
    dialog->resize(300, 180);

    verticalLayout = new QVBoxLayout(dialog);
    verticalLayout->setObjectName(QStringLiteral("verticalLayout"));
    gridLayout = new QGridLayout();
    gridLayout->setObjectName(QStringLiteral("gridLayout"));

    auto addRow = [this, dialog](int row, QLabel*& labelWidget, const char* labelName, QWidget* field) {
        labelWidget = new QLabel(dialog);
        labelWidget->setObjectName(QString::fromLatin1(labelName));
        labelWidget->setBuddy(field);
        gridLayout->addWidget(labelWidget, row, 0);
        gridLayout->addWidget(field, row, 1);
    };
    auto centredEdit = [dialog](const char* name) {
        auto* edit = new QLineEdit(dialog);
        edit->setObjectName(QString::fromLatin1(name));
        edit->setAlignment(Qt::AlignCenter);
        return edit;
    };

    comboBoxIntf = new QComboBox(dialog);
    comboBoxIntf->setObjectName(QStringLiteral("comboBoxIntf"));
    comboBoxIntf->setEditable(false);
    leIP = centredEdit("leIP");
    leNetmask = centredEdit("leNetmask");
    leGateway = centredEdit("leGateway");
    addRow(0, label, "label", comboBoxIntf);
    addRow(1, label_2, "label_2", leIP);
    addRow(2, label_3, "label_3", leNetmask);
    addRow(3, label_4, "label_4", leGateway);
    verticalLayout->addLayout(gridLayout);

    verticalSpacer = new QSpacerItem(20, 40, QSizePolicy::Minimum, QSizePolicy::Expanding);
    verticalLayout->addItem(verticalSpacer);

    horizontalLayout = new QHBoxLayout();
    horizontalLayout->setObjectName(QStringLiteral("horizontalLayout"));
    horizontalSpacer = new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum);
    horizontalLayout->addItem(horizontalSpacer);
    btnSure = new QPushButton(dialog);
    btnSure->setObjectName(QStringLiteral("btnSure"));
    // Return in any field presses "Sure"; Escape rejects, like the close button.
    btnSure->setDefault(true);
    horizontalLayout->addWidget(btnSure);
    verticalLayout->addLayout(horizontalLayout);

    QWidget::setTabOrder(comboBoxIntf, leIP);
    QWidget::setTabOrder(leIP, leNetmask);
    QWidget::setTabOrder(leNetmask, leGateway);
    QWidget::setTabOrder(leGateway, btnSure);

    retranslateUi(dialog);
}

void UI_DialogSetIP::retranslateUi(QDialog* dialog)
{
    dialog->setWindowTitle(QCoreApplication::translate("DialogSetIP", "Set IP Address"));
    label->setText(QCoreApplication::translate("DialogSetIP", "Interface:"));
    label_2->setText(QCoreApplication::translate("DialogSetIP", "IP Address:"));
    label_3->setText(QCoreApplication::translate("DialogSetIP", "Netmask:"));
    label_4->setText(QCoreApplication::translate("DialogSetIP", "Gateway:"));
    leNetmask->setPlaceholderText(QCoreApplication::translate("DialogSetIP", "optional"));
    leGateway->setPlaceholderText(QCoreApplication::translate("DialogSetIP", "optional"));
    btnSure->setText(QCoreApplication::translate("DialogSetIP", "Sure"));
}

DialogSetIP::DialogSetIP(QWidget* parent)
    : QDialog(parent)
    , ui(std::make_unique<UI_DialogSetIP>())
{
    ui->setupUi(this);
    // A title bar with only a close button; the dialog keeps its dialog type,
    // so window managers still treat it as one.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    connect(ui->btnSure, &QPushButton::clicked, this, &DialogSetIP::onBtnSureClicked);
}

DialogSetIP::~DialogSetIP() = default;

void DialogSetIP::setInterfaces(const QStringList& names)
{
    ui->comboBoxIntf->addItems(names);
}

QStringList DialogSetIP::ipSettings() const
{
    return { ui->comboBoxIntf->currentText(), ui->leIP->text(), ui->leNetmask->text(), ui->leGateway->text() };
}

void DialogSetIP::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange)
        ui->retranslateUi(this);
    QDialog::changeEvent(event);
}

void DialogSetIP::onBtnSureClicked()
{
    // Only the first failing check is reported; the texts are taken as they
    // are, so a stray space makes a field invalid.
    const QString ip = ui->leIP->text();
    const QString netmask = ui->leNetmask->text();
    const QString gateway = ui->leGateway->text();
    if (ip.isEmpty() || !IpAddressPattern::matches(ip)) {
        MessageBox::warning(this, tr("Warning"), tr("IP address is invalid!"));
        return;
    }
    if (!netmask.isEmpty() && !IpAddressPattern::matches(netmask)) {
        MessageBox::warning(this, tr("Warning"), tr("Netmask is invalid!"));
        return;
    }
    if (!gateway.isEmpty() && !IpAddressPattern::matches(gateway)) {
        MessageBox::warning(this, tr("Warning"), tr("Gateway is invalid!"));
        return;
    }
    accept();
}

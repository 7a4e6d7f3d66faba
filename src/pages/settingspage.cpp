#include "settingspage.h"

#include "devicedate.h"
#include "link/commandcodes.h"
#include "link/resultbyte.h"
#include "portrecords.h"
#include "prompts/messagebox.h"
#include "ui_settingpage.h"

#include <QCheckBox>
#include <QDateTime>
#include <QEvent>
#include <QLineEdit>
#include <QPushButton>

SettingsPage::SettingsPage(QWidget* parent)
    : QWidget(parent)
    , ui(std::make_shared<UI_SettingPage>())
{
    ui->setupUi(this);
    connect(
        ui->btnDeviceDate, &QPushButton::clicked, this, [this] { emit sendCmd(CommandCode::ReadDate, QByteArray()); });
    connect(ui->btnSyncDate, &QPushButton::clicked, this, &SettingsPage::onBtnSyncDateClicked);
    connect(ui->btnRead, &QPushButton::clicked, this, [this] { emit sendCmd(CommandCode::ReadPorts, QByteArray()); });
    connect(ui->btnWrite, &QPushButton::clicked, this, &SettingsPage::onBtnWriteClicked);
    for (QCheckBox* check : ui->checkBoxPort)
        connect(check, &QCheckBox::toggled, this, &SettingsPage::onCheckBoxPortChecked);
}

SettingsPage::~SettingsPage()
{
    MessageBox::closePending(m_writingBox);
}

void SettingsPage::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange)
        ui->retranslateUi(this);
    if (event->type() == QEvent::LanguageChange || event->type() == QEvent::FontChange)
        ui->fitPortTable();
    QWidget::changeEvent(event);
}

void SettingsPage::onCheckBoxPortChecked(bool checked)
{
    for (int row = 0; row < PortRecords::kServiceCount; ++row) {
        if (ui->checkBoxPort[size_t(row)] == sender())
            ui->lePort[size_t(row)]->setEnabled(checked);
    }
}

void SettingsPage::onBtnSyncDateClicked()
{
    // The card takes the PC's clock; the date field is only for reading.
    emit sendCmd(CommandCode::SetDate, DeviceDate::syncData(QDateTime::currentDateTime()));
}

void SettingsPage::onBtnWriteClicked()
{
    PortRecords::Table rows;
    for (int row = 0; row < PortRecords::kServiceCount; ++row) {
        rows[size_t(row)].enabled = ui->checkBoxPort[size_t(row)]->isChecked();
        rows[size_t(row)].port = PortRecords::portFromText(ui->lePort[size_t(row)]->text());
    }
    // A disabled service keeps its port too: every row must hold a valid one.
    const QByteArray data = PortRecords::encode(rows);
    if (data.isEmpty()) {
        MessageBox::warning(nullptr, tr("Warning"), tr("Port settings error!"));
        return;
    }
    MessageBox::closePending(m_writingBox);
    CardReply* reply = m_requests.expect(CommandCode::WritePorts);
    emit sendCmd(CommandCode::WritePorts, data);
    m_writingBox = MessageBox::openPending(nullptr, QMessageBox::Information, tr("Information"), tr("Writing data..."));
    // The reply closes the box it belongs to, whatever it says.
    connect(reply, &CardReply::finished, this, [box = m_writingBox]() mutable { MessageBox::closePending(box); });
}

void SettingsPage::handleRespond(int cmd, const quint8* data, int size)
{
    m_requests.take(cmd, data, size);
    switch (cmd) {
    case CommandCode::ReadDate: handleReadDate(data, size); break;
    case CommandCode::ReadPorts: handleReadPorts(data, size); break;
    case CommandCode::WritePorts: handleWritePorts(data, size); break;
    default: // code 3 and anything else routed here are not this page's
        break;
    }
}

void SettingsPage::handleReadDate(const quint8* data, int size)
{
    const QString text = DeviceDate::fromReply(data, size);
    if (text.isNull()) {
        MessageBox::information(nullptr, tr("Tip"), tr("Read date failed!"));
        return;
    }
    ui->leDate->setText(text);
}

void SettingsPage::handleReadPorts(const quint8* data, int size)
{
    PortRecords::Table rows;
    if (!PortRecords::decode(data, size, &rows)) {
        MessageBox::information(nullptr, tr("Tip"), tr("Read data failed!"));
        return;
    }
    for (int row = 0; row < PortRecords::kServiceCount; ++row) {
        const PortRecords::Entry& entry = rows[size_t(row)];
        ui->checkBoxPort[size_t(row)]->setChecked(entry.enabled);
        ui->lePort[size_t(row)]->setText(QString::number(entry.port));
        ui->lePort[size_t(row)]->setEnabled(entry.enabled);
    }
    MessageBox::information(this, tr("Information"), tr("Read data finished!"));
}

void SettingsPage::linkChanged()
{
    m_requests.forget();
    ui->leDate->clear();
    // As the page is built: every service checked, no port.
    for (int row = 0; row < PortRecords::kServiceCount; ++row) {
        ui->checkBoxPort[size_t(row)]->setChecked(true);
        ui->lePort[size_t(row)]->clear();
        ui->lePort[size_t(row)]->setEnabled(true);
    }
}

void SettingsPage::handleWritePorts(const quint8* data, int size)
{
    // A reply without its result byte says nothing about the write: it
    // counts as a failure.
    if (ResultByte::succeeded(data, size))
        MessageBox::warning(nullptr, tr("Information"), tr("Operation success!"));
    else
        MessageBox::warning(nullptr, tr("Warning"), tr("Operation failed!"));
}

#include "sptestpage.h"

#include "link/commandcodes.h"
#include "prompts/messagebox.h"
#include "serialframes.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSplitter>
#include <QTextBrowser>
#include <QVBoxLayout>
#include <QValidator>

#include <iterator>

namespace {
// Sent entries in blue #3a5fcd, received ones in green #32cd32.
constexpr quint8 kSentColour[] = { 0x3a, 0x5f, 0xcd };
constexpr quint8 kReceivedColour[] = { 0x32, 0xcd, 0x32 };

// The open request describes the port name with one length byte.
class PortNameValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override
    {
        return SerialFrames::portNameFits(input) ? Acceptable : Invalid;
    }
};

QComboBox* numberList(const int* values, int count, int initial, QWidget* parent)
{
    auto* combo = new QComboBox(parent);
    for (int i = 0; i < count; ++i)
        combo->addItem(QString::number(values[i]));
    combo->setCurrentIndex(initial);
    return combo;
}

} // namespace

// The page's widgets; the page owns them through their Qt parents, this
// structure only names them.
struct UI_SPTestPage {
    QVBoxLayout* layout = nullptr;
    QSplitter* splitter = nullptr;
    QTextBrowser* textBrowserRecord = nullptr;
    QWidget* settingsPanel = nullptr;
    QGridLayout* settingsGrid = nullptr;
    QLabel* labelRS485 = nullptr;
    QCheckBox* checkBoxRS485 = nullptr;
    QLabel* labelPortName = nullptr;
    QLineEdit* lePortName = nullptr;
    QLabel* labelBaudRate = nullptr;
    QComboBox* comboBoxBaudRate = nullptr;
    QLabel* labelDataBits = nullptr;
    QComboBox* comboBoxDataBits = nullptr;
    QLabel* labelFlowControl = nullptr;
    QComboBox* comboBoxFlowControl = nullptr;
    QLabel* labelParity = nullptr;
    QComboBox* comboBoxParity = nullptr;
    QLabel* labelStopBits = nullptr;
    QComboBox* comboBoxStopBits = nullptr;
    QPushButton* btnClear = nullptr;
    QPushButton* btnOpen = nullptr;
    QHBoxLayout* sendRow = nullptr;
    QLineEdit* leSendData = nullptr;
    QRadioButton* rbHex = nullptr;
    QRadioButton* rbASCII = nullptr;
    QRadioButton* rbModbus = nullptr;
    QPushButton* btnSend = nullptr;

    void setupUi(QWidget* page);
};

void UI_SPTestPage::setupUi(QWidget* page)
{
    layout = new QVBoxLayout(page);

    splitter = new QSplitter(Qt::Horizontal, page);
    splitter->setObjectName(QStringLiteral("splitter"));
    splitter->setChildrenCollapsible(false);
    textBrowserRecord = new QTextBrowser(splitter);
    textBrowserRecord->setObjectName(QStringLiteral("textBrowserRecord"));
    textBrowserRecord->setReadOnly(true);
    textBrowserRecord->setOpenLinks(false);
    textBrowserRecord->document()->setMaximumBlockCount(SPTestPage::kMaxRecordEntries);

    settingsPanel = new QWidget(splitter);
    settingsPanel->setObjectName(QStringLiteral("settingsPanel"));
    settingsGrid = new QGridLayout(settingsPanel);

    auto addRow = [this](int row, QLabel*& label, const char* labelName, QWidget* field) {
        label = new QLabel(settingsPanel);
        label->setObjectName(QString::fromLatin1(labelName));
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        label->setBuddy(field);
        settingsGrid->addWidget(label, row, 0);
        settingsGrid->addWidget(field, row, 1);
    };

    checkBoxRS485 = new QCheckBox(settingsPanel);
    checkBoxRS485->setObjectName(QStringLiteral("checkBoxRS485"));
    addRow(0, labelRS485, "labelRS485", checkBoxRS485);

    lePortName = new QLineEdit(settingsPanel);
    lePortName->setObjectName(QStringLiteral("lePortName"));
    lePortName->setMaxLength(SerialFrames::kMaxPortNameBytes);
    lePortName->setValidator(new PortNameValidator(lePortName));
    addRow(1, labelPortName, "labelPortName", lePortName);

    comboBoxBaudRate = numberList(SerialFrames::kBaudRates, int(std::size(SerialFrames::kBaudRates)),
        SerialFrames::kDefaultBaudIndex, settingsPanel);
    comboBoxBaudRate->setObjectName(QStringLiteral("comboBoxBaudRate"));
    addRow(2, labelBaudRate, "labelBaudRate", comboBoxBaudRate);

    comboBoxDataBits = numberList(SerialFrames::kDataBits, int(std::size(SerialFrames::kDataBits)),
        SerialFrames::kDefaultDataBitsIndex, settingsPanel);
    comboBoxDataBits->setObjectName(QStringLiteral("comboBoxDataBits"));
    addRow(3, labelDataBits, "labelDataBits", comboBoxDataBits);

    comboBoxFlowControl = new QComboBox(settingsPanel);
    comboBoxFlowControl->setObjectName(QStringLiteral("comboBoxFlowControl"));
    addRow(4, labelFlowControl, "labelFlowControl", comboBoxFlowControl);

    comboBoxParity = new QComboBox(settingsPanel);
    comboBoxParity->setObjectName(QStringLiteral("comboBoxParity"));
    addRow(5, labelParity, "labelParity", comboBoxParity);

    comboBoxStopBits = numberList(SerialFrames::kStopBits, int(std::size(SerialFrames::kStopBits)), 0, settingsPanel);
    comboBoxStopBits->setObjectName(QStringLiteral("comboBoxStopBits"));
    addRow(6, labelStopBits, "labelStopBits", comboBoxStopBits);

    btnClear = new QPushButton(settingsPanel);
    btnClear->setObjectName(QStringLiteral("btnClear"));
    btnOpen = new QPushButton(settingsPanel);
    btnOpen->setObjectName(QStringLiteral("btnOpen"));
    settingsGrid->addWidget(btnClear, 7, 0);
    settingsGrid->addWidget(btnOpen, 7, 1);
    settingsGrid->setRowStretch(8, 1);

    splitter->addWidget(textBrowserRecord);
    splitter->addWidget(settingsPanel);
    splitter->setStretchFactor(0, 7);
    splitter->setStretchFactor(1, 3);
    layout->addWidget(splitter);

    sendRow = new QHBoxLayout();
    leSendData = new QLineEdit(page);
    leSendData->setObjectName(QStringLiteral("leSendData"));
    rbHex = new QRadioButton(page);
    rbHex->setObjectName(QStringLiteral("rbHex"));
    rbHex->setChecked(true);
    rbASCII = new QRadioButton(page);
    rbASCII->setObjectName(QStringLiteral("rbASCII"));
    rbModbus = new QRadioButton(page);
    rbModbus->setObjectName(QStringLiteral("rbModbus"));
    btnSend = new QPushButton(page);
    btnSend->setObjectName(QStringLiteral("btnSend"));
    sendRow->addWidget(leSendData);
    sendRow->addWidget(rbHex);
    sendRow->addWidget(rbASCII);
    sendRow->addWidget(rbModbus);
    sendRow->addWidget(btnSend);
    layout->addLayout(sendRow);

    QWidget::setTabOrder(checkBoxRS485, lePortName);
    QWidget::setTabOrder(lePortName, comboBoxBaudRate);
    QWidget::setTabOrder(comboBoxBaudRate, comboBoxDataBits);
    QWidget::setTabOrder(comboBoxDataBits, comboBoxFlowControl);
    QWidget::setTabOrder(comboBoxFlowControl, comboBoxParity);
    QWidget::setTabOrder(comboBoxParity, comboBoxStopBits);
    QWidget::setTabOrder(comboBoxStopBits, btnOpen);
    QWidget::setTabOrder(btnOpen, btnClear);
    QWidget::setTabOrder(btnClear, leSendData);
    QWidget::setTabOrder(leSendData, rbHex);
    QWidget::setTabOrder(rbHex, rbASCII);
    QWidget::setTabOrder(rbASCII, rbModbus);
    QWidget::setTabOrder(rbModbus, btnSend);
    QWidget::setTabOrder(btnSend, textBrowserRecord);
}

SPTestPage::SPTestPage(QWidget* parent)
    : QWidget(parent)
    , ui(std::make_unique<UI_SPTestPage>())
{
    ui->setupUi(this);
    retranslateUi();

    connect(ui->btnSend, &QPushButton::clicked, this, &SPTestPage::sendData);
    // Return in the data field sends, as the button does.
    connect(ui->leSendData, &QLineEdit::returnPressed, this, &SPTestPage::sendData);
    connect(ui->btnClear, &QPushButton::clicked, this, &SPTestPage::clearRecord);
    connect(ui->btnOpen, &QPushButton::clicked, this, &SPTestPage::openPortEvent);
    connect(ui->rbHex, &QRadioButton::toggled, this, &SPTestPage::sendTypeChaned);
    connect(ui->rbASCII, &QRadioButton::toggled, this, &SPTestPage::sendTypeChaned);
    connect(ui->rbModbus, &QRadioButton::toggled, this, &SPTestPage::sendTypeChaned);
}

SPTestPage::~SPTestPage() = default;

void SPTestPage::retranslateUi()
{
    ui->labelRS485->setText(tr("RS485:"));
    ui->labelPortName->setText(tr("Port Name:"));
    ui->labelBaudRate->setText(tr("Buad Rate:"));
    ui->labelDataBits->setText(tr("Data Bits:"));
    ui->labelFlowControl->setText(tr("Flow Control:"));
    ui->labelParity->setText(tr("Parity:"));
    ui->labelStopBits->setText(tr("Stop Bits:"));
    ui->btnClear->setText(tr("Clear"));
    ui->rbHex->setText(tr("Hex"));
    ui->rbASCII->setText(tr("ASCII"));
    ui->rbModbus->setText(tr("Modbus"));
    ui->btnSend->setText(tr("Send"));
    // Neither has a label on the page; a screen reader says these names.
    ui->leSendData->setAccessibleName(tr("Data to send"));
    ui->textBrowserRecord->setAccessibleName(tr("Serial record"));

    // The indexes go to the card, so the choice survives the new texts.
    const auto refill = [](QComboBox* combo, const QStringList& texts) {
        const int index = combo->currentIndex();
        combo->clear();
        combo->addItems(texts);
        combo->setCurrentIndex(index < 0 ? 0 : index);
    };
    refill(ui->comboBoxFlowControl, { tr("None"), tr("Hardware"), tr("Software") });
    refill(ui->comboBoxParity, { tr("None"), tr("Even"), tr("Odd") });
    updateOpenButton();
}

void SPTestPage::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslateUi();
    QWidget::changeEvent(event);
}

void SPTestPage::updateOpenButton()
{
    ui->btnOpen->setText(m_portOpen ? tr("Disconnect") : tr("Connect"));
}

void SPTestPage::openPortEvent()
{
    if (m_portOpen) {
        // Closed at once; the card's answer to the close is not awaited.
        m_portOpen = false;
        m_requests.forget();
        updateOpenButton();
        emit sendCmd(CommandCode::OpenSerialPort, QByteArray());
        return;
    }
    SerialFrames::PortSettings settings;
    settings.rs485 = ui->checkBoxRS485->isChecked();
    settings.portName = ui->lePortName->text();
    settings.baudIndex = ui->comboBoxBaudRate->currentIndex();
    settings.dataBitsIndex = ui->comboBoxDataBits->currentIndex();
    settings.flowControlIndex = ui->comboBoxFlowControl->currentIndex();
    settings.parityIndex = ui->comboBoxParity->currentIndex();
    settings.stopBitsIndex = ui->comboBoxStopBits->currentIndex();
    CardReply* reply = m_requests.expect(CommandCode::OpenSerialPort);
    connect(reply, &CardReply::finished, this, [this, reply] {
        if (reply->outcome() != CardReply::Replied) {
            MessageBox::warning(nullptr, tr("Warning"), tr("Open device's serial port failed!"));
            return;
        }
        m_portOpen = true;
        updateOpenButton();
    });
    emit sendCmd(CommandCode::OpenSerialPort, SerialFrames::openRequest(settings));
}

void SPTestPage::sendTypeChaned()
{
    // Both the button that is unchecked and the one that is checked report;
    // the checked one decides.
    const auto* button = qobject_cast<QRadioButton*>(sender());
    if (!button || !button->isChecked())
        return;
    if (button == ui->rbHex)
        m_sendType = SerialFrames::Hex;
    else if (button == ui->rbASCII)
        m_sendType = SerialFrames::Ascii;
    else if (button == ui->rbModbus)
        m_sendType = SerialFrames::Modbus;
}

void SPTestPage::sendData()
{
    if (!m_portOpen) {
        MessageBox::warning(nullptr, tr("Warning"), tr("Port not opened!"));
        return;
    }
    const QString text = ui->leSendData->text();
    if (text.isEmpty())
        return;

    const auto type = SerialFrames::SendType(m_sendType);
    const QByteArray data = SerialFrames::encode(type, text);
    QString entry = SerialFrames::timeStamp(QDateTime::currentDateTime()) + tr("Send: \n");
    entry += type == SerialFrames::Ascii ? text : SerialFrames::hexPayload(data);
    CardReply* reply = m_requests.expect(CommandCode::SerialSend);
    connect(reply, &CardReply::finished, this, [this, reply] {
        if (reply->outcome() == CardReply::Replied)
            return;
        m_portOpen = false;
        m_requests.forget(CommandCode::SerialSend);
        updateOpenButton();
        MessageBox::warning(nullptr, tr("Warning"), tr("Send data to device's serial port failed!"));
    });
    emit sendCmd(CommandCode::SerialSend, data);
    entry += QLatin1Char('\n');
    addEntry(entry, true);
}

void SPTestPage::clearRecord()
{
    ui->textBrowserRecord->clear();
}

void SPTestPage::addEntry(const QString& text, bool sent)
{
    const quint8* c = sent ? kSentColour : kReceivedColour;
    ui->textBrowserRecord->append(SerialFrames::entryHtml(text, c[0], c[1], c[2]));
}

void SPTestPage::linkChanged()
{
    m_portOpen = false;
    m_requests.forget();
    updateOpenButton();
}

void SPTestPage::handleRespond(int cmd, const quint8* data, int size)
{
    if (m_requests.take(cmd, data, size) || cmd != CommandCode::SerialReceived)
        return;
    const QByteArray bytes(reinterpret_cast<const char*>(data), data && size > 0 ? size : 0);
    QString entry = SerialFrames::timeStamp(QDateTime::currentDateTime()) + tr("Receive: \n");
    entry += m_sendType == SerialFrames::Ascii ? QString::fromUtf8(bytes) : SerialFrames::hexPayload(bytes);
    entry += QLatin1Char('\n');
    addEntry(entry, false);
}

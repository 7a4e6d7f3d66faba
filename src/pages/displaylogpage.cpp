#include "displaylogpage.h"

#include "link/commandcodes.h"
#include "loglist.h"
#include "prompts/messagebox.h"

#include <QComboBox>
#include <QEvent>
#include <QFontInfo>
#include <QHBoxLayout>
#include <QPushButton>
#include <QScrollBar>
#include <QTextEdit>
#include <QVBoxLayout>

void UI_DisplayLogPage::setupUi(QWidget* page)
{
    layout = new QVBoxLayout(page);
    topRow = new QHBoxLayout();
    comboBoxLogType = new QComboBox(page);
    comboBoxLogType->setObjectName(QStringLiteral("comboBoxLogType"));
    btnOpen = new QPushButton(page);
    btnOpen->setObjectName(QStringLiteral("btnOpen"));
    btnRefresh = new QPushButton(page);
    btnRefresh->setObjectName(QStringLiteral("Refresh"));
    btnClear = new QPushButton(page);
    btnClear->setObjectName(QStringLiteral("btnClear"));
    topRow->addWidget(comboBoxLogType);
    topRow->addWidget(btnOpen);
    topRow->addWidget(btnRefresh);
    topRow->addStretch();
    topRow->addWidget(btnClear);
    layout->addLayout(topRow);

    textLog = new QTextEdit(page);
    textLog->setObjectName(QStringLiteral("textLog"));
    textLog->setReadOnly(true);
    textLog->document()->setMaximumBlockCount(DisplayLogPage::kMaxParagraphs);
    layout->addWidget(textLog);

    QWidget::setTabOrder(comboBoxLogType, btnOpen);
    QWidget::setTabOrder(btnOpen, btnRefresh);
    QWidget::setTabOrder(btnRefresh, btnClear);
    QWidget::setTabOrder(btnClear, textLog);
}

DisplayLogPage::DisplayLogPage(QWidget* parent)
    : QWidget(parent)
    , ui(std::make_shared<UI_DisplayLogPage>())
{
    ui->setupUi(this);
    retranslateUi();
    connect(ui->btnRefresh, &QPushButton::clicked, this, &DisplayLogPage::refreshLogType);
    connect(ui->btnOpen, &QPushButton::clicked, this, &DisplayLogPage::openLog);
    connect(ui->btnClear, &QPushButton::clicked, this, &DisplayLogPage::clearLog);
}

DisplayLogPage::~DisplayLogPage() = default;

void DisplayLogPage::retranslateUi()
{
    ui->btnOpen->setText(m_isOpen ? tr("Close") : tr("Open"));
    ui->btnRefresh->setText(tr("Refresh log file"));
    ui->btnClear->setText(tr("Clear"));
    // Neither has a label on the page; a screen reader says these names.
    ui->comboBoxLogType->setAccessibleName(tr("Log file"));
    ui->textLog->setAccessibleName(tr("Log text"));
}

void DisplayLogPage::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslateUi();
    QWidget::changeEvent(event);
}

void DisplayLogPage::refreshLogType()
{
    m_logTypes.clear();
    ui->comboBoxLogType->clear();
    m_requests.expect(CommandCode::ListLogs);
    emit sendCmd(CommandCode::ListLogs, QByteArray());
}

void DisplayLogPage::openLog()
{
    QString name;
    if (m_isOpen) {
        // Closed at once; the close request is the open request again.
        m_isOpen = false;
        m_requests.forget(CommandCode::OpenLog);
        ui->btnOpen->setText(tr("Open"));
        name = m_openName;
    } else {
        if (ui->comboBoxLogType->currentIndex() < 0) {
            MessageBox::warning(nullptr, tr("Warning"), tr("Log file error!"));
            return;
        }
        name = ui->comboBoxLogType->currentText();
        CardReply* reply = m_requests.expect(CommandCode::OpenLog);
        connect(reply, &CardReply::finished, this, [this, reply, name] {
            if (reply->outcome() != CardReply::Replied) {
                MessageBox::information(nullptr, tr("Information"), tr("Open log file failed!"));
                return;
            }
            m_isOpen = true;
            m_openName = name;
            ui->btnOpen->setText(tr("Close"));
        });
    }
    QScrollBar* bar = ui->textLog->verticalScrollBar();
    bar->setValue(bar->maximum());
    emit sendCmd(CommandCode::OpenLog, LogList::openRequest(name));
}

void DisplayLogPage::clearLog()
{
    ui->textLog->clear();
}

void DisplayLogPage::handleRespond(int cmd, const quint8* data, int size)
{
    const bool asked = m_requests.take(cmd, data, size);
    switch (cmd) {
    case CommandCode::ListLogs: handleLogList(data, size, asked); return;
    case CommandCode::LogText:
        ui->textLog->append(QString::fromUtf8(reinterpret_cast<const char*>(data), data && size > 0 ? size : 0));
        return;
    default: return;
    }
}

void DisplayLogPage::handleLogList(const quint8* data, int size, bool asked)
{
    const LogList::Entries entries = LogList::parse(data, size);
    // A list without one complete entry offers nothing to open either.
    if (entries.names.isEmpty()) {
        if (!asked)
            return;
        MessageBox::information(nullptr, tr("Information"), tr("No log file is accessible!"));
        return;
    }
    for (const QString& name : entries.names) {
        if (m_logTypes.contains(name))
            continue;
        m_logTypes.append(name);
        ui->comboBoxLogType->addItem(name);
    }
    // Names of no bytes at all would give the list no width.
    if (entries.longest > 0) {
        const QFont font = ui->comboBoxLogType->font();
        const qreal points = font.pointSizeF() > 0 ? font.pointSizeF() : QFontInfo(font).pointSizeF();
        ui->comboBoxLogType->setFixedWidth(LogList::choiceWidth(points, entries.longest));
    }
}

void DisplayLogPage::linkChanged()
{
    m_isOpen = false;
    m_requests.forget();
    m_openName.clear();
    m_logTypes.clear();
    ui->comboBoxLogType->clear();
    ui->textLog->clear();
    ui->btnOpen->setText(tr("Open"));
}

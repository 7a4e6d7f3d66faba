#include "pageroot.h"

#include "consoletext.h"
#include "link/commandcodes.h"

#include <QColor>
#include <QCoreApplication>
#include <QEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QTextBrowser>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QVBoxLayout>

namespace {
const QColor kSentColour(0, 0, 128);
const QColor kAnswerColour(0, 128, 0);

} // namespace

void UI_PageRoot::setupUi(QWidget* PageRoot)
{
    if (PageRoot->objectName().isEmpty())
        PageRoot->setObjectName(QStringLiteral("PageRoot"));
    PageRoot->resize(607, 552);
    verticalLayout = new QVBoxLayout(PageRoot);
    verticalLayout->setObjectName(QStringLiteral("verticalLayout"));
    groupBox = new QGroupBox(PageRoot);
    groupBox->setObjectName(QStringLiteral("groupBox"));
    groupLayout = new QVBoxLayout(groupBox);
    groupLayout->setObjectName(QStringLiteral("groupLayout"));
    textBrowserCmd = new QTextBrowser(groupBox);
    textBrowserCmd->setObjectName(QStringLiteral("textBrowserCmd"));
    textBrowserCmd->setReadOnly(true);
    textBrowserCmd->setOpenLinks(false);
    groupLayout->addWidget(textBrowserCmd);
    horizontalLayout = new QHBoxLayout();
    horizontalLayout->setObjectName(QStringLiteral("horizontalLayout"));
    leCmd = new QLineEdit(groupBox);
    leCmd->setObjectName(QStringLiteral("leCmd"));
    horizontalLayout->addWidget(leCmd);
    btnSendCmd = new QPushButton(groupBox);
    btnSendCmd->setObjectName(QStringLiteral("btnSendCmd"));
    horizontalLayout->addWidget(btnSendCmd);
    groupLayout->addLayout(horizontalLayout);
    verticalLayout->addWidget(groupBox);

    QWidget::setTabOrder(leCmd, btnSendCmd);
    QWidget::setTabOrder(btnSendCmd, textBrowserCmd);
    retranslateUi(PageRoot);
}

void UI_PageRoot::retranslateUi(QWidget* PageRoot)
{
    PageRoot->setWindowTitle(QCoreApplication::translate("PageRoot", "Form"));
    groupBox->setTitle(QCoreApplication::translate("PageRoot", "Send Command"));
    btnSendCmd->setText(QCoreApplication::translate("PageRoot", "Send"));
}

PageRoot::PageRoot(QWidget* parent)
    : QWidget(parent)
    , ui(std::make_unique<UI_PageRoot>())
{
    ui->setupUi(this);
    connect(ui->btnSendCmd, &QPushButton::clicked, this, &PageRoot::onBtnSendCmdClicked);
    connect(ui->leCmd, &QLineEdit::returnPressed, this, &PageRoot::onBtnSendCmdClicked);
}

PageRoot::~PageRoot() = default;

void PageRoot::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange)
        ui->retranslateUi(this);
    QWidget::changeEvent(event);
}

void PageRoot::onBtnSendCmdClicked()
{
    const QString line = ui->leCmd->text();
    if (ConsoleText::isClearCommand(line)) {
        ui->textBrowserCmd->clear();
        return;
    }
    addEntry(tr("Send: ") + line + QStringLiteral("\r\n"), kSentColour);
    // The line stays in the field, so the same command can be sent again.
    emit sendCmd(CommandCode::ConsoleCommand, ConsoleText::encodeLine(line));
}

void PageRoot::handleRespond(int cmd, const quint8* data, int size)
{
    if (cmd != CommandCode::ConsoleAnswer)
        return;
    addEntry(tr("Recv: ") + ConsoleText::decodeAnswer(data, size) + QStringLiteral("\r\n"), kAnswerColour);
}

// Entries always go to the end of the transcript: where the technician has
// clicked or selected text to copy, nothing is inserted or overwritten.
void PageRoot::addEntry(const QString& text, const QColor& colour)
{
    QTextCursor cursor(ui->textBrowserCmd->document());
    cursor.movePosition(QTextCursor::End);
    QTextCharFormat format;
    format.setForeground(colour);
    cursor.insertText(text, format);
    ui->textBrowserCmd->moveCursor(QTextCursor::End);
}

#include "fixedparampage.h"

#include "fixedparams.h"
#include "link/commandcodes.h"
#include "link/resultbyte.h"
#include "platform/apppaths.h"
#include "platform/filechoice.h"
#include "prompts/dialogprompt.h"
#include "prompts/messagebox.h"
#include "ui_fixedparampage.h"

#include <QEvent>
#include <QPushButton>
#include <QTableWidget>

namespace {
const QString kFileFilter = QStringLiteral("(*.ini)");
// Marks the key item of a row that a card's read reply filled.
constexpr int kFromCardRole = Qt::UserRole + 1;

QTableWidgetItem* centredItem(const QString& text)
{
    auto* item = new QTableWidgetItem(text);
    item->setTextAlignment(Qt::AlignCenter);
    return item;
}

} // namespace

FixedParamPage::FixedParamPage(QWidget* parent)
    : QWidget(parent)
    , ui(std::make_unique<UI_FixedParamPage>())
{
    ui->setupUi(this);
    connect(ui->btnBackup, &QPushButton::clicked, this, &FixedParamPage::backupFixedParam);
    connect(ui->btnLoad, &QPushButton::clicked, this, &FixedParamPage::loadFixedParam);
    connect(ui->btnReset, &QPushButton::clicked, this, &FixedParamPage::resetFixedParam);
    connect(ui->btnAdd, &QPushButton::clicked, this, &FixedParamPage::addFixedParam);
    connect(
        ui->btnRead, &QPushButton::clicked, this, [this] { emit sendCmd(CommandCode::ReadFixedParams, QByteArray()); });
    connect(ui->btnWrite, &QPushButton::clicked, this, &FixedParamPage::sendFixedParam);
    connect(ui->tableWidgetParam, &QTableWidget::cellChanged, this, &FixedParamPage::handleCellChangedEvent);
}

FixedParamPage::~FixedParamPage() = default;

void FixedParamPage::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange)
        ui->retranslateUi();
    QWidget::changeEvent(event);
}

void FixedParamPage::handleRespond(int cmd, const quint8* data, int size)
{
    switch (cmd) {
    case CommandCode::ReadFixedParams: handleReadFixed(data, size); break;
    case CommandCode::WriteFixedParams:
        // A reply without its result byte counts as a failure; nothing past
        // the reply's own data is read.
        handleWriteFixed(ResultByte::succeeded(data, size) ? data[0] : 0);
        break;
    default: break;
    }
}

void FixedParamPage::setRow(int row, const QString& key, const QString& value, bool fromCard)
{
    QTableWidgetItem* keyItem = centredItem(key);
    if (fromCard)
        keyItem->setData(kFromCardRole, true);
    // The key goes in first: filling the value cell runs the MAC completion,
    // which looks at the key.
    ui->tableWidgetParam->setItem(row, UI_FixedParamPage::ColumnKey, keyItem);
    ui->tableWidgetParam->setItem(row, UI_FixedParamPage::ColumnValue, centredItem(value));
}

QVector<FixedParams::Row> FixedParamPage::tableRows() const
{
    const QTableWidget* table = ui->tableWidgetParam;
    QVector<FixedParams::Row> rows;
    rows.reserve(table->rowCount());
    for (int row = 0; row < table->rowCount(); ++row) {
        const QTableWidgetItem* key = table->item(row, UI_FixedParamPage::ColumnKey);
        const QTableWidgetItem* value = table->item(row, UI_FixedParamPage::ColumnValue);
        if (!key || !value)
            rows.append(FixedParams::Row { QString(), QString(), false });
        else
            rows.append(FixedParams::Row { key->text(), value->text(), true });
    }
    return rows;
}

void FixedParamPage::handleReadFixed(const quint8* data, int size)
{
    QVector<FixedParams::Row> rows;
    const QByteArray json(reinterpret_cast<const char*>(data), data ? size : 0);
    if (size <= 0 || !FixedParams::parseReadReply(json, &rows)) {
        MessageBox::warning(this, tr("Warning"), tr("Read data failed!"));
        return;
    }
    ui->tableWidgetParam->clearContents();
    ui->tableWidgetParam->setRowCount(rows.size());
    for (int i = 0; i < rows.size(); ++i)
        setRow(i, rows.at(i).key, rows.at(i).value, true);
    MessageBox::information(this, tr("Information"), tr("Read data finished!"));
}

void FixedParamPage::linkChanged()
{
    QTableWidget* table = ui->tableWidgetParam;
    for (int row = table->rowCount() - 1; row >= 0; --row) {
        const QTableWidgetItem* key = table->item(row, UI_FixedParamPage::ColumnKey);
        if (key && key->data(kFromCardRole).toBool())
            table->removeRow(row);
    }
}

void FixedParamPage::sendFixedParam()
{
    if (ui->tableWidgetParam->rowCount() == 0)
        return;
    const FixedParams::WritePlan plan = FixedParams::planWrite(tableRows());
    if (plan.outcome == FixedParams::WritePlan::Invalid) {
        MessageBox::warning(this, tr("Warning"), tr("Invaild settings!"));
        return;
    }
    if (plan.outcome == FixedParams::WritePlan::AskAboutEmpty) {
        const int yes = 0;
        const int no = 1;
        const int answer = MessageBox::custom(this, QMessageBox::Warning, tr("Warning"),
            tr("There is item or value is empty! And these will no be set to device!\nDo you want to "
               "continue?"),
            { tr("Yes"), tr("No") }, yes, no);
        if (answer != yes)
            return;
    }
    emit sendCmd(CommandCode::WriteFixedParams, plan.json);
}

void FixedParamPage::handleWriteFixed(uchar result)
{
    if (result != 0)
        MessageBox::warning(nullptr, tr("Information"), tr("Operation success!"));
    else
        MessageBox::warning(nullptr, tr("Warning"), tr("Operation failed!"));
}

void FixedParamPage::handleCellChangedEvent(int row, int column)
{
    if (column == UI_FixedParamPage::ColumnKey)
        return;
    QTableWidget* table = ui->tableWidgetParam;
    const QTableWidgetItem* key = table->item(row, UI_FixedParamPage::ColumnKey);
    QTableWidgetItem* value = table->item(row, column);
    if (!key || !value)
        return;
    const QString completed = FixedParams::completedValue(key->text(), value->text());
    // Writing the completed text back changes the cell once more; that pass
    // finds it complete and leaves it.
    if (completed != value->text())
        value->setText(completed);
}

void FixedParamPage::resetFixedParam()
{
    QTableWidget* table = ui->tableWidgetParam;
    table->clearContents();
    table->setRowCount(3);
    setRow(0, tr("name"), QString());
    setRow(1, tr("devserial"), QString());
    setRow(2, tr("ethaddr"), QString());
}

void FixedParamPage::addFixedParam()
{
    QTableWidget* table = ui->tableWidgetParam;
    const int row = table->rowCount();
    table->insertRow(row);
    setRow(row, QString(), QString());
    // Typing goes straight into the new row's key.
    table->setCurrentCell(row, UI_FixedParamPage::ColumnKey);
    table->scrollToItem(table->item(row, UI_FixedParamPage::ColumnKey));
    table->setFocus();
}

void FixedParamPage::backupFixedParam()
{
    const QVector<FixedParams::Row> rows = tableRows();
    // Rows without key or value are not saved: a table of only such rows
    // (a fresh "Add" or "Reset") has nothing to back up.
    if (!FixedParams::hasContent(rows)) {
        MessageBox::information(nullptr, tr("Information"), tr("No content to backup!"));
        return;
    }
    const QString path
        = DialogPrompt::saveFileName(this, tr("Save fixed parameter file"), AppPaths::applicationDirectory(),
            kFileFilter, DialogPrompt::kParameters, FileChoice::parameterName(DialogPrompt::cardAddress(this)));
    if (path.isEmpty())
        return;
    // Saying "success" after a failed write would leave the technician
    // without the backup they think they have.
    if (!FixedParams::saveFile(path, rows)) {
        MessageBox::warning(nullptr, tr("Warning"), tr("Save fixed parameter failed!"));
        return;
    }
    MessageBox::information(
        nullptr, tr("Information"), tr("Save fixed parameter success!"), DialogPrompt::savedTo(path));
}

void FixedParamPage::loadFixedParam()
{
    const QString path = DialogPrompt::openFileName(this, tr("Choose fixed parameter file"),
        AppPaths::applicationDirectory(), kFileFilter, DialogPrompt::kParameters);
    if (path.isEmpty())
        return;
    QVector<FixedParams::Row> rows;
    if (!FixedParams::loadFile(path, &rows)) {
        MessageBox::warning(nullptr, tr("Warning"), tr("Load fixed parameter failed!"));
        return;
    }
    QTableWidget* table = ui->tableWidgetParam;
    table->clearContents();
    table->setRowCount(rows.size());
    for (int i = 0; i < rows.size(); ++i)
        setRow(i, rows.at(i).key, rows.at(i).value);
    MessageBox::information(nullptr, tr("Information"), tr("Load fixed parameter success!"));
}

#include "journalview.h"

#include "journal.h"
#include "platform/safesave.h"
#include "prompts/dialogprompt.h"
#include "prompts/messagebox.h"

#include <QAbstractTableModel>
#include <QDateTime>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QVBoxLayout>

class JournalModel : public QAbstractTableModel {
public:
    enum Column { ColTime, ColCard, ColCode, ColDirection, ColMeaning, ColResult, ColumnCount };

    JournalModel(Journal* journal, QObject* parent)
        : QAbstractTableModel(parent)
        , m_journal(journal)
    {
    }

    int rowCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : m_journal->size(); }
    int columnCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : ColumnCount; }

    QVariant data(const QModelIndex& index, int role) const override
    {
        if (!index.isValid() || index.row() >= m_journal->size())
            return QVariant();
        const Journal::Entry& e = m_journal->at(index.row());
        if (role == Qt::ToolTipRole && index.column() == ColTime)
            return Journal::timeText(e, true);
        if (role != Qt::DisplayRole)
            return QVariant();
        switch (index.column()) {
        case ColTime: return Journal::timeText(e, false);
        case ColCard: return e.card;
        case ColCode: return Journal::codeText(e);
        case ColDirection: return Journal::directionText(e);
        case ColMeaning: return Journal::meaning(e);
        case ColResult: return Journal::result(e);
        default: return QVariant();
        }
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
            return QAbstractTableModel::headerData(section, orientation, role);
        switch (section) {
        case ColTime: return Journal::tr("Time");
        case ColCard: return Journal::tr("Card");
        case ColCode: return Journal::tr("Code");
        case ColDirection: return Journal::tr("Direction");
        case ColMeaning: return Journal::tr("Meaning");
        case ColResult: return Journal::tr("Result");
        default: return QVariant();
        }
    }

    void refresh()
    {
        beginResetModel();
        endResetModel();
    }

private:
    Journal* m_journal;
};

JournalView::JournalView(Journal* journal, QWidget* parent)
    : QDockWidget(parent)
    , m_journal(journal)
    , m_model(new JournalModel(journal, this))
{
    setObjectName(QStringLiteral("dockJournal"));
    auto* body = new QWidget(this);
    auto* layout = new QVBoxLayout(body);
    layout->setContentsMargins(4, 4, 4, 4);
    tableJournal = new QTableView(body);
    tableJournal->setObjectName(QStringLiteral("tableJournal"));
    tableJournal->setModel(m_model);
    tableJournal->setSelectionBehavior(QAbstractItemView::SelectRows);
    tableJournal->setWordWrap(false);
    tableJournal->verticalHeader()->hide();
    tableJournal->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    tableJournal->verticalHeader()->setDefaultSectionSize(tableJournal->fontMetrics().height() + 6);
    tableJournal->horizontalHeader()->setStretchLastSection(true);
    tableJournal->setColumnWidth(JournalModel::ColTime, 95);
    tableJournal->setColumnWidth(JournalModel::ColCard, 110);
    tableJournal->setColumnWidth(JournalModel::ColCode, 50);
    tableJournal->setColumnWidth(JournalModel::ColDirection, 80);
    tableJournal->setColumnWidth(JournalModel::ColMeaning, 330);
    layout->addWidget(tableJournal);
    auto* buttons = new QHBoxLayout();
    buttons->addStretch();
    btnSave = new QPushButton(body);
    btnSave->setObjectName(QStringLiteral("btnSave"));
    buttons->addWidget(btnSave);
    layout->addLayout(buttons);
    setWidget(body);
    retranslateUi();

    connect(btnSave, &QPushButton::clicked, this, &JournalView::onBtnSaveClicked);
    connect(journal, &Journal::changed, this, &JournalView::onJournalChanged);
}

void JournalView::retranslateUi()
{
    setWindowTitle(tr("Journal"));
    btnSave->setText(tr("Save"));
    tableJournal->setAccessibleName(tr("Journal"));
    btnSave->setAccessibleName(tr("Save journal"));
}

void JournalView::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange) {
        retranslateUi();
        m_model->refresh();
    }
    QDockWidget::changeEvent(event);
}

void JournalView::onJournalChanged()
{
    // Follows the newest line unless the technician has scrolled back.
    QScrollBar* bar = tableJournal->verticalScrollBar();
    const bool atEnd = bar->value() >= bar->maximum();
    m_model->refresh();
    if (atEnd)
        tableJournal->scrollToBottom();
}

void JournalView::onBtnSaveClicked()
{
    const QString suggested = QStringLiteral("journal_%1.txt")
                                  .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss")));
    const QString path = DialogPrompt::saveFileName(
        this, tr("Save journal"), QDir::currentPath(), tr("Text files (*.txt)"), DialogPrompt::kJournal, suggested);
    if (path.isEmpty())
        return;
    QString error;
    if (!SafeSave::write(path, m_journal->text().toUtf8(), &error)) {
        MessageBox::warning(this, tr("Warning"), tr("The journal could not be saved to %1: %2").arg(path, error));
        return;
    }
    MessageBox::information(this, tr("Information"), tr("Journal saved to %1").arg(path));
}

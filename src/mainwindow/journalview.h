#pragma once

#include <QDockWidget>

class Journal;
class JournalModel;
class QPushButton;
class QTableView;

// The journal of the session, shown as a dock of the main window: one line
// per command, reply or link event, newest at the bottom, and "Save" to keep
// it as a text file. It shows what the Journal holds and decides nothing.
class JournalView : public QDockWidget {
    Q_OBJECT

public:
    JournalView(Journal* journal, QWidget* parent);

protected:
    void changeEvent(QEvent* event) override;

private slots:
    void onBtnSaveClicked();
    void onJournalChanged();

private:
    void retranslateUi();

    Journal* m_journal;
    JournalModel* m_model;
    QTableView* tableJournal;
    QPushButton* btnSave;
};

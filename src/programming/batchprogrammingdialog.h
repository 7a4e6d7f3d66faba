#pragma once

#include <QDialog>
#include <QPoint>
#include <QVector>
#include <memory>

class BatchPool;
class BatchTracker;
struct UI_BatchProgrammingDialog;

// Programs, or reads the version of, a list of cards in one go. The
// technician builds the device list (typing addresses, or importing a text,
// CSV or .xlsx file), chooses an image and a programming type and presses
// "Program" (or "Refresh Version"). The devices are handed out to a pool of
// workers, one thread per processor thread, each working on one card at a
// time; every further device goes to the first worker that becomes free. The
// table shows each card's progress and outcome, and "Export Result" writes
// them as a text report.
//
// Beside the Part's columns, a Detail column shows what each card is doing
// ("sending 37%", "installing 0:12") and why a failed one failed; a line under
// the table counts the batch; "Export CSV" writes every card's figures; and
// the technician may have the first device programmed alone first, or the
// batch stop after a number of failures (BatchPool::Rules).
//
// A batch runs until its last task has ended, with or without the dialog
// shown (closing only hides it). While it runs, the list keeps its order:
// "Program", "Refresh Version", "Import Device" and "Delete" are refused with
// a message; an address added meanwhile joins the batch. A programming batch
// sends its own copy of the image (unwrapped when it is a firmware package),
// made when it starts and removed when it ends, so that nothing that happens
// to the chosen file or to the programming page's temporary image reaches a
// card halfway through the batch.
class BatchProgrammingDialog : public QDialog {
    Q_OBJECT

public:
    // The Status cell carries the task status as an integer in this role.
    static constexpr int kStatusRole = Qt::UserRole + 1;
    // The Detail cell carries the row's index in the last batch's device
    // list in this role; -1 for a row that was not in it.
    static constexpr int kBatchIndexRole = Qt::UserRole + 2;

    // `poolSize` workers; 0 takes one per processor thread.
    explicit BatchProgrammingDialog(QWidget* parent = nullptr, int poolSize = 0);
    ~BatchProgrammingDialog() override;

    // "Not Start", "In Progress", "Succeeded", "Failed" for 0 to 3,
    // translated; an empty string for any other value.
    static QString statusText(int status);

    bool isBatchRunning() const;
    // The image the running programming batch sends; empty otherwise.
    QString batchImagePath() const;

    // The workers and their threads; their time-outs are set there.
    BatchPool& pool() const;
    const BatchTracker& tracker() const;

signals:
    void taskStart(int index);
    void taskStop();

protected:
    void changeEvent(QEvent* event) override;

private slots:
    void onBtnRefreshClicked();
    void onBtnAddClicked();
    void onBtnChooseClicked();
    void onBtnExportClicked();
    void onBtnExportCsvClicked();
    void onBtnImportClicked();
    void onBtnProgramClicked();
    // A worker's task ended; `worker` is its position in the pool.
    void onBatchFinished(int worker);
    void onCustomContextMenuRequested(QPoint pos);
    void onProgrammingStarted(int worker, qint64 bytesTotal);
    void onProgrammingUpdated(int worker, qint64 bytesWritten);

private:
    struct Private;

    void addDevice(const QString& address);
    void importTextList(const QString& path);
    void importWorkbook(const QString& path);
    void deleteRow(int row);
    bool refusedWhileRunning();
    void onCardChanged(int index);
    void showDetail(int row);
    void showTotals();
    void startBatch(int mode);
    int rowOf(const QString& address) const;

    std::unique_ptr<UI_BatchProgrammingDialog> ui;
    std::unique_ptr<Private> d;
};

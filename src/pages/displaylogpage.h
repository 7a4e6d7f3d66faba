#pragma once

#include "link/cardrequests.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <memory>

class QComboBox;
class QHBoxLayout;
class QPushButton;
class QTextEdit;
class QVBoxLayout;

// The page's widgets; the page owns them through their Qt parents, this
// structure only names them.
struct UI_DisplayLogPage {
    QVBoxLayout* layout = nullptr;
    QHBoxLayout* topRow = nullptr;
    QComboBox* comboBoxLogType = nullptr;
    QPushButton* btnOpen = nullptr;
    QPushButton* btnRefresh = nullptr;
    QPushButton* btnClear = nullptr;
    QTextEdit* textLog = nullptr;

    void setupUi(QWidget* page);
};

// Shows the log files of the connected card: the card lists them (code 8),
// one is opened or closed (code 9), and the card then sends its text in
// pieces (code 10), each appended to the view as a new paragraph.
class DisplayLogPage : public QWidget {
    Q_OBJECT

public:
    // The view keeps this many paragraphs; older ones leave at the top.
    static constexpr int kMaxParagraphs = 5000;

    explicit DisplayLogPage(QWidget* parent = nullptr);
    ~DisplayLogPage() override;

    bool isLogOpen() const { return m_isOpen; }

signals:
    void sendCmd(int cmd, QByteArray data);

public slots:
    void handleRespond(int cmd, const quint8* data, int size);
    // The link connected to a card or closed: no file is open, and the list
    // and text of the card before are gone.
    void linkChanged();

protected:
    void changeEvent(QEvent* event) override;

private slots:
    void refreshLogType();
    void openLog();
    void clearLog();

private:
    void retranslateUi();
    void handleLogList(const quint8* data, int size, bool asked);

    std::shared_ptr<UI_DisplayLogPage> ui;
    QStringList m_logTypes; // names already offered, to keep the choice list free of repeats
    // The refreshes and opens not yet answered. Only the answer to a refresh
    // may tell the technician that the card has no log file, so that a card
    // repeating empty lists cannot open a box per frame; a code-9 reply to
    // no open (the card's answer to a close) changes nothing.
    CardRequests m_requests;
    bool m_isOpen = false;
    // The file the card confirmed open; closing names it again, even when
    // the selection has moved on since.
    QString m_openName;
};

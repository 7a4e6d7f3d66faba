#pragma once

#include "link/cardrequests.h"

#include <QByteArray>
#include <QString>
#include <QWidget>
#include <memory>

struct UI_SPTestPage;

// Drives the card's own serial (RS-485) port from the PC: the port's
// settings, opening and closing it through the card (code 11), sending hex,
// text or Modbus RTU frames out of it (code 12), and a time-stamped record of
// what was sent and what the card received on the port (code 13).
class SPTestPage : public QWidget {
    Q_OBJECT

public:
    // The record keeps this many entries; older ones leave at the top, so a
    // card that streams for hours cannot exhaust memory.
    static constexpr int kMaxRecordEntries = 2000;

    explicit SPTestPage(QWidget* parent = nullptr);
    ~SPTestPage() override;

    bool isPortOpen() const { return m_portOpen; }
    int sendType() const { return m_sendType; }

signals:
    void sendCmd(int cmd, QByteArray data);

public slots:
    void handleRespond(int cmd, const quint8* data, int size);
    // The link connected to a card or closed: no card's port is open.
    void linkChanged();

protected:
    void changeEvent(QEvent* event) override;

private slots:
    void sendData();
    void clearRecord();
    void openPortEvent();
    void sendTypeChaned();

private:
    void retranslateUi();
    void updateOpenButton();
    void addEntry(const QString& text, bool sent);

    std::unique_ptr<UI_SPTestPage> ui;
    int m_sendType = 0;
    bool m_portOpen = false;
    // The opens and sends not yet answered. A code-11 reply to no open (the
    // card's answer to a close) leaves the port state alone; a failed send
    // nobody waits for (a card repeating its answer) neither closes the port
    // again nor opens a box.
    CardRequests m_requests;
};

#pragma once

#include "link/cardrequests.h"

#include <QByteArray>
#include <QPointer>
#include <QWidget>
#include <memory>

class QMessageBox;
struct UI_SettingPage;

// The connected card's clock and the ports (and on/off state) of its four
// network services, SSH, Telnet, HTTP and HTTPS. Requests leave through
// sendCmd; the replies of codes 3, 6, 16 and 17 come back to handleRespond.
// The link itself acknowledges a set date (code 7) with its own box.
class SettingsPage : public QWidget {
    Q_OBJECT

public:
    explicit SettingsPage(QWidget* parent = nullptr);
    ~SettingsPage() override;

signals:
    void sendCmd(int cmd, QByteArray data);

public slots:
    void handleRespond(int cmd, const quint8* data, int size);
    // The link connected to a card or closed: the date and ports shown were
    // another card's, or no card's now.
    void linkChanged();

protected:
    void changeEvent(QEvent* event) override;

private slots:
    void onCheckBoxPortChecked(bool checked);
    void onBtnSyncDateClicked();
    void onBtnWriteClicked();

private:
    void handleReadDate(const quint8* data, int size);
    void handleReadPorts(const quint8* data, int size);
    void handleWritePorts(const quint8* data, int size);

    std::shared_ptr<UI_SettingPage> ui;
    // The "Writing data..." box, open while a port write awaits its reply.
    QPointer<QMessageBox> m_writingBox;
    CardRequests m_requests; // the port writes not yet answered
};

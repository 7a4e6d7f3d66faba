#pragma once

#include "cardframe.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <memory>

class CommLinkThread;
class QThread;

// The link-layer service of the cards: card protocol frames on one network
// adapter, with no IP configuration on either side. It is how the search
// page finds cards whose IP settings do not fit the PC's subnet, gives a card
// new IP settings and reboots it.
//
// Lives in the GUI thread; the capture runs in a CommLinkThread it owns.
class CommLink : public QObject {
    Q_OBJECT

public:
    // `openWaitMs`: how long setInterface waits for the device to open.
    explicit CommLink(QObject* parent = nullptr, int openWaitMs = 2000);
    ~CommLink() override;

    // Chooses the adapter by the platform's interface name and its
    // hardware-address text, and (re)starts the capture on it. The same name
    // again leaves a running capture alone; a capture that has ended (it
    // could not start, or the adapter failed) is started again.
    void setInterface(const QString& name, const QString& hardwareAddress);

    // Builds one frame and sends it. An empty destination is the broadcast
    // address. False when nothing went out: no capture is open, or the
    // payload is longer than a frame can carry.
    bool sendCommand(quint32 command, const QString& destination, const QByteArray& payload);

    QString interfaceName() const { return m_name; }
    bool isCapturing() const;
    // Why the capture on the chosen adapter ended or could not start.
    QString captureError() const;
    QThread* captureThread() const;

signals:
    // The JSON text of a network-information frame (code 1).
    void gotNetworkInfo(QByteArray data);
    // The JSON text of a result frame (code 3 or 5).
    void gotResult(QByteArray data);
    // The capture could not start on the adapter, or the adapter failed.
    void captureFailed(QString interfaceName, QString reason);

private:
    void onDataRecv(const QByteArray& frame);

    QString m_name;
    CardFrame::HardwareAddress m_source {};
    std::unique_ptr<CommLinkThread> m_thread;
};

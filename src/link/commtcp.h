#pragma once

#include "commandframe.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTcpSocket>

class QTimer;

// The TCP link to the command service of one card (port 8712). It connects
// and disconnects, frames outgoing commands, reassembles incoming bytes into
// frames and routes each complete reply, by its command code, to the page
// family that owns the code.
//
// The link keeps no request/reply pairing, no time-outs per command and no
// retries; those belong to its users. Everything it does happens in the
// thread that created it, and the reply signals must be received there: their
// data pointer points into the reassembly buffer and is valid only while the
// signal is being delivered.
//
// The link opens no box: it reports what the technician is to be told by
// signals (notConnected, sendError, notice), and whoever owns it decides how
// to tell it (the main window shows the boxes, the batch worker and the
// command-line tool do not). The texts of those reports are the link's own.
class CommTcp : public QObject {
    Q_OBJECT

public:
    static constexpr quint16 kCommandPort = 8712;
    static constexpr int kConnectTimeoutMs = 1000;
    static constexpr int kReassemblyTimeoutMs = 100;

    // What became of a command given to send().
    enum class SendOutcome { Sent, NotConnected, WriteFailed };
    Q_ENUM(SendOutcome)

    explicit CommTcp(QObject* parent = nullptr);
    ~CommTcp() override;

    // Blocks the calling thread for at most one second; answers with
    // connectedToDevice() or connectionError().
    void connectToDevice(const QString& ip);
    // Graceful close; disconnected() follows once the socket has closed.
    void disconnectFromDevice();

    bool isConnected() const;
    // The address given to the last connectToDevice(), connected or not.
    QString address() const { return m_address; }

    // The texts of the link's reports, in its own translation context.
    static QString notConnectedText(); // "Device not connected!"
    static QString sendFailedText(); // "Send command failed!"
    // Codes 4, 5 and 7, which the link answers itself; `succeeded` is false
    // only for a set date the card refused.
    static QString noticeText(int cmd, bool succeeded);
    static QString noticeTitle(bool succeeded); // "Information" or "Warning"
    static QString warningTitle(); // "Warning", for the two send failures

signals:
    void connectedToDevice();
    void connectionError(QString error);
    void disconnected();
    void sendError();
    void gotProgRespond(int cmd, const quint8* data, int size);
    void gotSettingsRespond(int cmd, const quint8* data, int size);
    void gotLogRespond(int cmd, const quint8* data, int size);
    void gotSPTestRespond(int cmd, const quint8* data, int size);
    void gotFixedParamRespond(int cmd, const quint8* data, int size);
    void gotRootRespond(int cmd, const quint8* data, int size);
    // send() was called while no card is connected: nothing was sent.
    void notConnected();
    // The card answered code 4, 5 or 7, which the link answers itself:
    // given once per code for all such replies of one read, so that a card
    // repeating one cannot raise a report per frame. For code 7 `succeeded`
    // is the reply's result byte (a missing byte counts as a refusal); for
    // 4 and 5 it is always true.
    void notice(int cmd, bool succeeded);
    // Every command given to send(), with what became of it; told before
    // notConnected() or sendError(). For a record of the session: the link
    // does not wait for its receivers to keep up.
    void commandSent(int cmd, const QByteArray& data, CommTcp::SendOutcome outcome);
    // Every complete frame from the card, routed or dropped, before it is
    // routed; `data` is valid only during the call, like the reply signals'.
    void frameReceived(int cmd, const quint8* data, int size);

public slots:
    void send(int cmd, QByteArray data = QByteArray());

private slots:
    void onSocketReadyRead();
    void onTimerTimeout();

private:
    void onSocketDisconnected();
    bool write(const QByteArray& frame);
    void dispatchFrame(const quint8* frame, int size);
    void noticeOnce(int cmd, bool succeeded);

    QTcpSocket m_socket;
    QString m_address;
    QTimer* m_recvTimer;
    FrameAssembler m_assembler;
    bool m_dispatching = false;
    // Codes reported by notice() during the current read.
    unsigned m_noticesGiven = 0;
};

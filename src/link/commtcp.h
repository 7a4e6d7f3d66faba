#pragma once

#include "commandframe.h"
#include "usernotice.h"

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
// In quiet mode the link opens no message box at all (a worker thread must
// never open one): the failures it would show are reported by signals only.
class CommTcp : public QObject {
    Q_OBJECT

public:
    static constexpr quint16 kCommandPort = 8712;
    static constexpr int kConnectTimeoutMs = 1000;
    static constexpr int kReassemblyTimeoutMs = 100;

    explicit CommTcp(QObject* parent = nullptr);
    ~CommTcp() override;

    // Blocks the calling thread for at most one second; answers with
    // connectedToDevice() or connectionError().
    void connectToDevice(const QString& ip);
    // Graceful close; disconnected() follows once the socket has closed.
    void disconnectFromDevice();

    bool isConnected() const;

    void setQuiet(bool quiet) { m_quiet = quiet; }
    bool isQuiet() const { return m_quiet; }

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
    // Quiet mode only: send() was called while no card is connected.
    void sendRefused();
    // Quiet mode only: the box the link would have shown.
    void notice(UserNotice::Icon icon, QString title, QString text);

public slots:
    void send(int cmd, QByteArray data = QByteArray());

private slots:
    void onSocketReadyRead();
    void onTimerTimeout();

private:
    void onSocketDisconnected();
    void dispatchFrame(const quint8* frame, int size);
    void tell(UserNotice::Icon icon, const QString& text);
    void tellOnce(int cmd, UserNotice::Icon icon, const QString& text);
    void warn(const QString& text);

    QTcpSocket m_socket;
    QTimer* m_recvTimer;
    FrameAssembler m_assembler;
    bool m_dispatching = false;
    // Codes whose information box was shown during the current read.
    unsigned m_boxesShown = 0;
    bool m_quiet = false;
};

#pragma once

#include <QByteArray>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QFile>
#include <QHostAddress>
#include <QJsonObject>
#include <QObject>
#include <QQueue>
#include <QStringList>
#include <QVector>

#include <array>
#include <functional>

struct pcap;
struct pcap_pkthdr;
class QSocketNotifier;
class QTimer;
class QUdpSocket;

// The discovery side of network-management cards on one network interface:
// the UDP responder on the multicast group 224.0.0.100 port 8888 and the
// link-layer responder of EtherType 0x5441 (search, set IP settings,
// reboot). One process plays one card or many: N cards with consecutive
// addresses (or one shared address) and N hardware addresses.
//
// It sends discovery traffic, so it runs only on the interface named on its
// command line, and only inside a network namespace of its own unless told
// otherwise.
class DiscoverySimulator : public QObject {
    Q_OBJECT

public:
    explicit DiscoverySimulator(QObject* parent = nullptr);
    ~DiscoverySimulator() override;

    bool configure(const QStringList& arguments, QString* error);
    bool start(QString* error);
    void stop();

    bool helpRequested() const { return m_helpRequested; }
    QString helpText() const { return m_parser.helpText(); }
    int cardCount() const { return m_cards.size(); }

    using Mac = std::array<quint8, 6>;

    struct Interface {
        QString name;
        quint32 address = 0;
        quint32 netmask = 0;
        QString gateway;
        Mac mac {};
    };
    struct Card {
        int index = 0;
        QString product;
        QVector<Interface> interfaces; // the first one holds the card's address
        quint32 host() const { return interfaces.first().address; }
    };

    static bool inOwnNetworkNamespace();

private:
    void record(QJsonObject entry);
    void onUdpReadyRead();
    void onCaptureReady();
    static void onPacket(unsigned char* user, const pcap_pkthdr* header, const unsigned char* bytes);
    void handleFrame(const QByteArray& frame);
    void setIp(Card& card, const Mac& requester, const QByteArray& payload);
    void sendFrame(quint32 command, const Mac& destination, const Mac& source, const QByteArray& payload);
    QByteArray udpReply(const Card& card) const;
    QByteArray networkInfo(const Card& card) const;
    void queueDatagram(const QByteArray& data, quint32 source, const QHostAddress& to);
    void flushDatagrams();
    bool runIp(const QStringList& commands);
    void later(int index, std::function<void()> work);
    void after(int delayMs, std::function<void()> work);

    QCommandLineParser m_parser;
    bool m_helpRequested = false;
    QString m_interface;
    bool m_udp = true;
    bool m_raw = true;
    bool m_longForm = true;
    bool m_multicastReply = false;
    bool m_assignAddresses = false;
    bool m_failSetIp = false;
    int m_spreadMs = 0;
    int m_udpDelayMs = 0;
    int m_rawDelayMs = 0;
    Mac m_ownMac {};
    QVector<Card> m_cards;
    QStringList m_assigned; // addresses this process put on the interface

    QFile m_recordFile;
    QElapsedTimer m_clock;

    QUdpSocket* m_udpSocket = nullptr;
    struct Outgoing {
        QByteArray data;
        quint32 source;
        QHostAddress to;
    };
    QQueue<Outgoing> m_outgoing;
    QTimer* m_flushTimer = nullptr;

    pcap* m_capture = nullptr;
    QSocketNotifier* m_captureNotifier = nullptr;
};

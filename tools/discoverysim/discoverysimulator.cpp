#include "discoverysimulator.h"

#include "discovery/cardframe.h"
#include "discovery/discoveryparsers.h"
#include "link/crc16.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkDatagram>
#include <QNetworkInterface>
#include <QProcess>
#include <QSocketNotifier>
#include <QTimer>
#include <QUdpSocket>
#include <QtEndian>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <pcap/pcap.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

namespace {

using CardFrame::kHeaderSize;
constexpr int kMinFrame = 60; // the Ethernet minimum without the frame check sequence
constexpr quint16 kPort = Discovery::kSearchPort;
const QString kGroup = QString::fromLatin1(Discovery::kMulticastGroup);

DiscoverySimulator::Mac macPlus(const DiscoverySimulator::Mac& base, quint64 add)
{
    quint64 v = 0;
    for (quint8 b : base)
        v = (v << 8) | b;
    v += add;
    DiscoverySimulator::Mac out {};
    for (int i = 5; i >= 0; --i) {
        out[size_t(i)] = quint8(v & 0xFF);
        v >>= 8;
    }
    return out;
}

QString macText(const DiscoverySimulator::Mac& mac)
{
    return CardFrame::hardwareAddressText(mac.data());
}

QString dotted(quint32 address)
{
    return QHostAddress(address).toString();
}

} // namespace

DiscoverySimulator::DiscoverySimulator(QObject* parent)
    : QObject(parent)
{
    m_clock.start();
    m_parser.setApplicationDescription(
        QStringLiteral("netquill-discoverysim plays the discovery side of network-management cards on one network\n"
                       "interface: the UDP responder on 224.0.0.100 port 8888 and the link-layer responder of\n"
                       "EtherType 0x5441 (search, set IP settings, reboot). It sends multicast and raw Ethernet\n"
                       "frames, so it runs only on the interface it is given, and only inside a network namespace\n"
                       "of its own (see scripts/netns-harness.sh) unless --outside-namespace is given.\n\n"
                       "Examples:\n"
                       "  netquill-discoverysim --interface vcard\n"
                       "  netquill-discoverysim --interface vcard --cards 500 --address 10.77.1.1 --assign-addresses\n"
                       "  netquill-discoverysim --interface vcard --cards 2 --address-step 0 --udp-form short"));
    m_parser.addHelpOption();
    const struct {
        const char* name;
        const char* valueName;
        const char* description;
    } options[] = {
        { "interface", "name", "The network interface to answer on (required)." },
        { "cards", "n", "Number of cards (default 1)." },
        { "address", "ip", "Address of the first card (default: the interface's own IPv4 address)." },
        { "address-step", "n", "Each further card's address is this much higher (default 1; 0: all share one)." },
        { "netmask", "mask", "Netmask of the cards' first interface (default: the interface's)." },
        { "gateway", "ip", "Gateway of the cards (default none)." },
        { "mac", "mac", "Hardware address of the first card (default 02:4E:51:00:00:01); card i adds i." },
        { "product", "name", "Product name the cards report (default \"NQ-Card 200\")." },
        { "card-interfaces", "names",
            "The cards' interfaces, comma-separated (default eth0); the first holds "
            "the card's address, the others 172.(16+k).x.y/16." },
        { "udp-form", "form", "Interface entries of UDP replies: long (with hardware addresses, default) or short." },
        { "udp-reply", "to", "Send UDP replies to the requester (unicast, default) or to the group (multicast)." },
        { "protocols", "list", "Which responders run: udp,raw (default both)." },
        { "reply-spread-ms", "ms", "Spread the cards' replies over this many ms (default 0: all at once)." },
        { "udp-delay-ms", "ms", "Answer UDP searches this many ms late (default 0)." },
        { "raw-delay-ms", "ms", "Answer link-layer searches this many ms late (default 0)." },
        { "record", "file", "Write every request, command and change as JSON lines to file." },
    };
    for (const auto& o : options)
        m_parser.addOption(
            { QString::fromLatin1(o.name), QString::fromLatin1(o.description), QString::fromLatin1(o.valueName) });
    m_parser.addOption({ QStringLiteral("assign-addresses"),
        QStringLiteral("Put the cards' addresses on the interface (/32) and take them off again at exit; "
                       "a card given a new address moves to it.") });
    m_parser.addOption({ QStringLiteral("fail-set-ip"), QStringLiteral("Answer every set-IP command with failure.") });
    m_parser.addOption({ QStringLiteral("outside-namespace"),
        QStringLiteral("Run even in the machine's own network namespace (a lab network only: the cards "
                       "answer every search and obey every command they get).") });
}

DiscoverySimulator::~DiscoverySimulator()
{
    stop();
}

bool DiscoverySimulator::inOwnNetworkNamespace()
{
    // Only a namespace made with "ip netns add" counts: it is bind-mounted
    // under /run/netns. The machine's own namespace never is, and neither is
    // a container's, whose interfaces are as real as the machine's.
    struct stat self { };
    if (::stat("/proc/self/ns/net", &self) != 0)
        return false;
    for (const char* folder : { "/run/netns", "/var/run/netns" }) {
        const QDir dir(QString::fromLatin1(folder));
        const QStringList names = dir.entryList(QDir::Files | QDir::System | QDir::NoDotAndDotDot);
        for (const QString& name : names) {
            struct stat named { };
            if (::stat(QFile::encodeName(dir.filePath(name)).constData(), &named) == 0 && named.st_ino == self.st_ino
                && named.st_dev == self.st_dev)
                return true;
        }
    }
    return false;
}

bool DiscoverySimulator::configure(const QStringList& arguments, QString* error)
{
    auto fail = [error](const QString& text) {
        if (error)
            *error = text;
        return false;
    };
    if (!m_parser.parse(arguments))
        return fail(m_parser.errorText());
    if (m_parser.isSet(QStringLiteral("help"))) {
        m_helpRequested = true;
        return true;
    }
    m_interface = m_parser.value(QStringLiteral("interface"));
    if (m_interface.isEmpty())
        return fail(QStringLiteral("--interface is required: the simulator answers only where it is told to"));
    const QNetworkInterface iface = QNetworkInterface::interfaceFromName(m_interface);
    if (!iface.isValid())
        return fail(QStringLiteral("no network interface %1").arg(m_interface));
    m_ownMac = CardFrame::hardwareAddressFromText(iface.hardwareAddress());

    const QStringList protocols = m_parser.value(QStringLiteral("protocols")).isEmpty()
        ? QStringList { "udp", "raw" }
        : m_parser.value(QStringLiteral("protocols")).split(QLatin1Char(','));
    m_udp = protocols.contains(QStringLiteral("udp"));
    m_raw = protocols.contains(QStringLiteral("raw"));
    const QString form = m_parser.value(QStringLiteral("udp-form"));
    if (!form.isEmpty() && form != QLatin1String("long") && form != QLatin1String("short"))
        return fail(QStringLiteral("--udp-form is long or short"));
    m_longForm = form != QLatin1String("short");
    const QString replyTo = m_parser.value(QStringLiteral("udp-reply"));
    if (!replyTo.isEmpty() && replyTo != QLatin1String("unicast") && replyTo != QLatin1String("multicast"))
        return fail(QStringLiteral("--udp-reply is unicast or multicast"));
    m_multicastReply = replyTo == QLatin1String("multicast");
    m_assignAddresses = m_parser.isSet(QStringLiteral("assign-addresses"));
    m_failSetIp = m_parser.isSet(QStringLiteral("fail-set-ip"));
    m_spreadMs = m_parser.value(QStringLiteral("reply-spread-ms")).toInt();
    m_udpDelayMs = m_parser.value(QStringLiteral("udp-delay-ms")).toInt();
    m_rawDelayMs = m_parser.value(QStringLiteral("raw-delay-ms")).toInt();

    quint32 first = 0;
    quint32 netmask = 0;
    for (const QNetworkAddressEntry& e : iface.addressEntries()) {
        if (e.ip().protocol() == QAbstractSocket::IPv4Protocol && first == 0) {
            first = e.ip().toIPv4Address();
            netmask = e.netmask().toIPv4Address();
        }
    }
    if (m_parser.isSet(QStringLiteral("address"))) {
        QHostAddress a;
        if (!a.setAddress(m_parser.value(QStringLiteral("address"))) || a.protocol() != QAbstractSocket::IPv4Protocol)
            return fail(QStringLiteral("bad --address"));
        first = a.toIPv4Address();
    }
    if (first == 0)
        return fail(QStringLiteral("%1 has no IPv4 address: give --address").arg(m_interface));
    if (m_parser.isSet(QStringLiteral("netmask")))
        netmask = QHostAddress(m_parser.value(QStringLiteral("netmask"))).toIPv4Address();
    if (netmask == 0)
        netmask = 0xFFFFFF00u;

    bool ok = true;
    const int count = m_parser.isSet(QStringLiteral("cards")) ? m_parser.value(QStringLiteral("cards")).toInt(&ok) : 1;
    if (!ok || count < 1 || count > 65535)
        return fail(QStringLiteral("--cards wants 1 to 65535"));
    const int step = m_parser.isSet(QStringLiteral("address-step"))
        ? m_parser.value(QStringLiteral("address-step")).toInt(&ok)
        : 1;
    if (!ok || step < 0)
        return fail(QStringLiteral("bad --address-step"));
    const QString firstMac = m_parser.isSet(QStringLiteral("mac")) ? m_parser.value(QStringLiteral("mac"))
                                                                   : QStringLiteral("02:4E:51:00:00:01");
    if (!CardFrame::isHardwareAddressText(firstMac))
        return fail(QStringLiteral("bad --mac"));
    const Mac base = CardFrame::hardwareAddressFromText(firstMac);
    const QString product = m_parser.isSet(QStringLiteral("product")) ? m_parser.value(QStringLiteral("product"))
                                                                      : QStringLiteral("NQ-Card 200");
    QStringList names = m_parser.value(QStringLiteral("card-interfaces")).split(QLatin1Char(','), Qt::SkipEmptyParts);
    if (names.isEmpty())
        names = QStringList { QStringLiteral("eth0") };

    m_cards.clear();
    for (int i = 0; i < count; ++i) {
        Card card;
        card.index = i;
        card.product = product;
        for (int k = 0; k < names.size(); ++k) {
            Interface entry;
            entry.name = names.at(k);
            if (k == 0) {
                entry.address = first + quint32(i) * quint32(step);
                entry.netmask = netmask;
                entry.gateway = m_parser.value(QStringLiteral("gateway"));
            } else {
                entry.address = (172u << 24) | (quint32(16 + k) << 16) | quint32(i + 1);
                entry.netmask = 0xFFFF0000u;
            }
            entry.mac = macPlus(base, quint64(i) + (quint64(k) << 16));
            card.interfaces.append(entry);
        }
        m_cards.append(card);
    }
    if (m_parser.isSet(QStringLiteral("record"))) {
        m_recordFile.setFileName(m_parser.value(QStringLiteral("record")));
        if (!m_recordFile.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
            return fail(QStringLiteral("cannot write %1: %2").arg(m_recordFile.fileName(), m_recordFile.errorString()));
    }
    if (!m_parser.isSet(QStringLiteral("outside-namespace")) && !inOwnNetworkNamespace())
        return fail(QStringLiteral("this is the machine's own network namespace: run the simulator inside one of its "
                                   "own (ip netns exec NS ..., see scripts/netns-harness.sh), or give "
                                   "--outside-namespace on a lab network"));
    return true;
}

void DiscoverySimulator::record(QJsonObject entry)
{
    if (!m_recordFile.isOpen())
        return;
    entry.insert(QStringLiteral("t"), m_clock.elapsed());
    m_recordFile.write(QJsonDocument(entry).toJson(QJsonDocument::Compact));
    m_recordFile.write("\n");
    m_recordFile.flush();
}

bool DiscoverySimulator::runIp(const QStringList& commands)
{
    if (commands.isEmpty())
        return true;
    QProcess ip;
    ip.start(QStringLiteral("ip"), { QStringLiteral("-force"), QStringLiteral("-batch"), QStringLiteral("-") });
    if (!ip.waitForStarted(5000))
        return false;
    ip.write(commands.join(QLatin1Char('\n')).toLatin1() + '\n');
    ip.closeWriteChannel();
    return ip.waitForFinished(30000) && ip.exitCode() == 0;
}

bool DiscoverySimulator::start(QString* error)
{
    auto fail = [this, error](const QString& text) {
        stop();
        if (error)
            *error = text;
        return false;
    };
    const QNetworkInterface iface = QNetworkInterface::interfaceFromName(m_interface);

    if (m_assignAddresses) {
        QSet<quint32> present;
        for (const QNetworkAddressEntry& e : iface.addressEntries())
            present.insert(e.ip().toIPv4Address());
        QStringList commands;
        for (const Card& card : m_cards) {
            if (present.contains(card.host()))
                continue;
            present.insert(card.host());
            m_assigned.append(dotted(card.host()));
            commands.append(QStringLiteral("address add %1/32 dev %2").arg(dotted(card.host()), m_interface));
        }
        if (!runIp(commands))
            return fail(QStringLiteral("could not put the cards' addresses on %1").arg(m_interface));
    }

    if (m_udp) {
        m_udpSocket = new QUdpSocket(this);
        if (!m_udpSocket->bind(QHostAddress::AnyIPv4, kPort, QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint))
            return fail(QStringLiteral("UDP port %1: %2").arg(kPort).arg(m_udpSocket->errorString()));
        if (!m_udpSocket->joinMulticastGroup(QHostAddress(kGroup), iface))
            return fail(QStringLiteral("joining %1 on %2: %3").arg(kGroup, m_interface, m_udpSocket->errorString()));
        m_udpSocket->setMulticastInterface(iface);
        m_udpSocket->setSocketOption(QAbstractSocket::MulticastLoopbackOption, 0);
        m_udpSocket->setSocketOption(QAbstractSocket::SendBufferSizeSocketOption, 4 * 1024 * 1024);
        connect(m_udpSocket, &QUdpSocket::readyRead, this, &DiscoverySimulator::onUdpReadyRead);
        m_flushTimer = new QTimer(this);
        m_flushTimer->setSingleShot(true);
        m_flushTimer->setInterval(2);
        connect(m_flushTimer, &QTimer::timeout, this, &DiscoverySimulator::flushDatagrams);
    }

    if (m_raw) {
        char errors[PCAP_ERRBUF_SIZE] = {};
        m_capture = pcap_create(m_interface.toLocal8Bit().constData(), errors);
        if (!m_capture)
            return fail(QString::fromLocal8Bit(errors));
        pcap_set_snaplen(m_capture, 65536);
        pcap_set_promisc(m_capture, 1);
        pcap_set_timeout(m_capture, 1000);
        pcap_set_immediate_mode(m_capture, 1);
        pcap_set_buffer_size(m_capture, 8 * 1024 * 1024);
        if (pcap_activate(m_capture) < 0)
            return fail(QString::fromLocal8Bit(pcap_geterr(m_capture)));
        pcap_setdirection(m_capture, PCAP_D_IN);
        bpf_program program;
        const QByteArray filter = "ether proto " + QByteArray::number(CardFrame::kEtherType);
        if (pcap_compile(m_capture, &program, filter.constData(), 1, PCAP_NETMASK_UNKNOWN) != 0
            || pcap_setfilter(m_capture, &program) != 0)
            return fail(QString::fromLocal8Bit(pcap_geterr(m_capture)));
        pcap_freecode(&program);
        if (pcap_setnonblock(m_capture, 1, errors) != 0)
            return fail(QString::fromLocal8Bit(errors));
        const int fd = pcap_get_selectable_fd(m_capture);
        if (fd < 0)
            return fail(QStringLiteral("no selectable capture descriptor"));
        m_captureNotifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
        connect(m_captureNotifier, &QSocketNotifier::activated, this, &DiscoverySimulator::onCaptureReady);
    }

    QJsonArray macs;
    for (int i = 0; i < qMin(m_cards.size(), 4); ++i)
        macs.append(macText(m_cards.at(i).interfaces.first().mac));
    record({ { QStringLiteral("event"), QStringLiteral("ready") }, { QStringLiteral("cards"), m_cards.size() },
        { QStringLiteral("interface"), m_interface }, { QStringLiteral("udp"), m_udp },
        { QStringLiteral("raw"), m_raw }, { QStringLiteral("first_macs"), macs } });
    return true;
}

void DiscoverySimulator::stop()
{
    delete m_captureNotifier;
    m_captureNotifier = nullptr;
    if (m_capture) {
        pcap_close(m_capture);
        m_capture = nullptr;
    }
    delete m_udpSocket;
    m_udpSocket = nullptr;
    if (!m_assigned.isEmpty()) {
        QStringList commands;
        for (const QString& a : qAsConst(m_assigned))
            commands.append(QStringLiteral("address del %1/32 dev %2").arg(a, m_interface));
        runIp(commands);
        m_assigned.clear();
    }
}

void DiscoverySimulator::later(int index, std::function<void()> work)
{
    if (m_spreadMs <= 0) {
        work();
        return;
    }
    QTimer::singleShot(int((quint64(index) * 7919u) % quint64(m_spreadMs)), this, std::move(work));
}

void DiscoverySimulator::after(int delayMs, std::function<void()> work)
{
    if (delayMs <= 0)
        work();
    else
        QTimer::singleShot(delayMs, this, std::move(work));
}

// ---- UDP ----

QByteArray DiscoverySimulator::udpReply(const Card& card) const
{
    QByteArray reply(Discovery::kMagic, sizeof Discovery::kMagic);
    const QByteArray product = card.product.toUtf8().left(255);
    reply.append(char(product.size()));
    reply.append(product);
    for (const Interface& entry : card.interfaces) {
        const QByteArray name = entry.name.toUtf8().left(255);
        QByteArray e;
        e.append(char(name.size()));
        e.append(name);
        uchar four[4];
        qToBigEndian<quint32>(entry.address, four);
        e.append(reinterpret_cast<const char*>(four), 4);
        qToBigEndian<quint32>(entry.netmask, four);
        e.append(reinterpret_cast<const char*>(four), 4);
        if (m_longForm) {
            uchar two[2];
            qToBigEndian<quint16>(quint16(name.size() + 14), two);
            reply.append(reinterpret_cast<const char*>(two), 2);
            e.append(reinterpret_cast<const char*>(entry.mac.data()), 6);
        }
        reply.append(e);
    }
    return reply;
}

void DiscoverySimulator::onUdpReadyRead()
{
    for (int taken = 0; taken < 1024 && m_udpSocket && m_udpSocket->hasPendingDatagrams(); ++taken) {
        const QNetworkDatagram datagram = m_udpSocket->receiveDatagram();
        const QByteArray data = datagram.data();
        if (data.size() != Discovery::kRequestSize || !Discovery::hasMagic(data))
            continue;
        const QHostAddress from(datagram.senderAddress().toIPv4Address());
        record({ { QStringLiteral("event"), QStringLiteral("udp-request") },
            { QStringLiteral("from"), from.toString() }, { QStringLiteral("port"), datagram.senderPort() },
            { QStringLiteral("data"), QString::fromLatin1(data.toHex()) } });
        const QHostAddress to = m_multicastReply ? QHostAddress(kGroup) : from;
        after(m_udpDelayMs, [this, to] {
            for (int i = 0; i < m_cards.size(); ++i) {
                later(i, [this, i, to] {
                    const Card& card = m_cards.at(i);
                    queueDatagram(udpReply(card), card.host(), to);
                });
            }
        });
    }
}

void DiscoverySimulator::queueDatagram(const QByteArray& data, quint32 source, const QHostAddress& to)
{
    m_outgoing.enqueue({ data, source, to });
    flushDatagrams();
}

void DiscoverySimulator::flushDatagrams()
{
    // Each card answers from its own address. Written with sendmsg and
    // IP_PKTINFO's ipi_spec_dst, which is what Linux takes as the source
    // (QNetworkDatagram::setSender fills in another field).
    while (m_udpSocket && !m_outgoing.isEmpty()) {
        const Outgoing& next = m_outgoing.head();
        sockaddr_in to {};
        to.sin_family = AF_INET;
        to.sin_port = htons(kPort);
        to.sin_addr.s_addr = htonl(next.to.toIPv4Address());
        iovec io { const_cast<char*>(next.data.constData()), size_t(next.data.size()) };
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
        msghdr message {};
        message.msg_name = &to;
        message.msg_namelen = sizeof to;
        message.msg_iov = &io;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        cmsghdr* header = CMSG_FIRSTHDR(&message);
        header->cmsg_level = IPPROTO_IP;
        header->cmsg_type = IP_PKTINFO;
        header->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
        in_pktinfo info {};
        info.ipi_spec_dst.s_addr = htonl(next.source);
        std::memcpy(CMSG_DATA(header), &info, sizeof info);
        if (::sendmsg(int(m_udpSocket->socketDescriptor()), &message, MSG_DONTWAIT) < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == ENOBUFS) {
                m_flushTimer->start();
                return;
            }
            record({ { QStringLiteral("event"), QStringLiteral("udp-send-error") },
                { QStringLiteral("from"), dotted(next.source) },
                { QStringLiteral("error"), QString::fromLocal8Bit(std::strerror(errno)) } });
        }
        m_outgoing.dequeue();
    }
}

// ---- raw Ethernet ----

void DiscoverySimulator::onCaptureReady()
{
    for (int round = 0; round < 64 && m_capture; ++round) {
        if (pcap_dispatch(m_capture, -1, &DiscoverySimulator::onPacket, reinterpret_cast<unsigned char*>(this)) <= 0)
            break;
    }
}

void DiscoverySimulator::onPacket(unsigned char* user, const pcap_pkthdr* header, const unsigned char* bytes)
{
    reinterpret_cast<DiscoverySimulator*>(user)->handleFrame(
        QByteArray(reinterpret_cast<const char*>(bytes), int(header->caplen)));
}

QByteArray DiscoverySimulator::networkInfo(const Card& card) const
{
    QJsonArray interfaces;
    for (const Interface& entry : card.interfaces)
        interfaces.append(QJsonArray { entry.name, dotted(entry.address), dotted(entry.netmask), macText(entry.mac) });
    const QJsonObject info { { QStringLiteral("host"), dotted(card.host()) },
        { QStringLiteral("product"), card.product }, { QStringLiteral("intfInfo"), interfaces } };
    return QJsonDocument(info).toJson(QJsonDocument::Compact);
}

void DiscoverySimulator::sendFrame(
    quint32 command, const Mac& destination, const Mac& source, const QByteArray& payload)
{
    // Like the cards, pad the payload with zeros up to the Ethernet minimum,
    // inside the checksum: the tool takes the text up to its last "}".
    const QByteArray padding(qMax(0, kMinFrame - CardFrame::kOverhead - payload.size()), '\0');
    const QByteArray frame = CardFrame::build(command, source, macText(destination), payload + padding);
    if (pcap_sendpacket(m_capture, reinterpret_cast<const uchar*>(frame.constData()), frame.size()) != 0)
        record({ { QStringLiteral("event"), QStringLiteral("raw-send-error") },
            { QStringLiteral("error"), QString::fromLocal8Bit(pcap_geterr(m_capture)) } });
}

void DiscoverySimulator::handleFrame(const QByteArray& frame)
{
    if (frame.size() < CardFrame::kOverhead)
        return;
    const auto* p = reinterpret_cast<const uchar*>(frame.constData());
    Mac destination {};
    Mac source {};
    std::memcpy(destination.data(), p, 6);
    std::memcpy(source.data(), p + 6, 6);
    const quint32 command = qFromLittleEndian<quint32>(p + 18);
    const quint32 length = qFromLittleEndian<quint32>(p + 22);
    const bool lengthOk = length >= quint32(CardFrame::kOverhead) && length <= quint32(frame.size());
    const int end = lengthOk ? int(length) : frame.size();
    const bool crcOk = crc16Modbus(p, end - 2) == qFromLittleEndian<quint16>(p + end - 2);
    const bool fixedOk = p[12] == 0x54 && p[13] == 0x41 && p[14] == 0 && p[15] == 0 && p[16] == 0 && p[17] == 1;
    const QByteArray payload = frame.mid(kHeaderSize, end - 2 - kHeaderSize);
    const bool broadcast = destination == Mac { 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF };
    record({ { QStringLiteral("event"), QStringLiteral("raw-frame") }, { QStringLiteral("cmd"), qint64(command) },
        { QStringLiteral("dst"), macText(destination) }, { QStringLiteral("src"), macText(source) },
        { QStringLiteral("size"), frame.size() },
        { QStringLiteral("length_ok"), lengthOk && int(length) == frame.size() }, { QStringLiteral("crc_ok"), crcOk },
        { QStringLiteral("fixed_ok"), fixedOk }, { QStringLiteral("payload"), QString::fromUtf8(payload) } });
    if (!crcOk || !fixedOk)
        return;

    QVector<int> targets;
    for (int i = 0; i < m_cards.size(); ++i) {
        if (broadcast) {
            targets.append(i);
            continue;
        }
        for (const Interface& entry : m_cards.at(i).interfaces) {
            if (entry.mac == destination) {
                targets.append(i);
                break;
            }
        }
    }
    if (targets.isEmpty())
        return;
    if (broadcast && command != 0) {
        // Every card obeys a command sent to all of them: the tool must never do this.
        record({ { QStringLiteral("event"), QStringLiteral("broadcast-command") },
            { QStringLiteral("cmd"), qint64(command) } });
    }

    switch (command) {
    case 0:
        after(m_rawDelayMs, [this, targets, source] {
            for (int i : targets) {
                later(i, [this, i, source] {
                    const Card& card = m_cards.at(i);
                    sendFrame(1, source, card.interfaces.first().mac, networkInfo(card));
                });
            }
        });
        break;
    case 2:
        for (int i : targets)
            setIp(m_cards[i], source, payload);
        break;
    case 4:
        for (int i : targets) {
            const Card& card = m_cards.at(i);
            record({ { QStringLiteral("event"), QStringLiteral("reboot") }, { QStringLiteral("card"), i },
                { QStringLiteral("mac"), macText(card.interfaces.first().mac) },
                { QStringLiteral("host"), dotted(card.host()) } });
            sendFrame(5, source, card.interfaces.first().mac, QByteArrayLiteral("{\"result\":true}"));
        }
        break;
    default:
        record(
            { { QStringLiteral("event"), QStringLiteral("unhandled") }, { QStringLiteral("cmd"), qint64(command) } });
        break;
    }
}

void DiscoverySimulator::setIp(Card& card, const Mac& requester, const QByteArray& payload)
{
    const QJsonObject members = QJsonDocument::fromJson(payload).object();
    const QString name = members.value(QStringLiteral("interface")).toString();
    const QString ip = members.value(QStringLiteral("ip")).toString();
    const QString netmask = members.value(QStringLiteral("netmask")).toString();
    const QString gateway = members.value(QStringLiteral("gateway")).toString();
    QHostAddress address;
    const bool ipOk = address.setAddress(ip) && address.protocol() == QAbstractSocket::IPv4Protocol;
    int which = -1;
    for (int k = 0; k < card.interfaces.size(); ++k) {
        if (card.interfaces.at(k).name == name)
            which = k;
    }
    bool applied = false;
    if (!m_failSetIp && ipOk && which >= 0) {
        Interface& entry = card.interfaces[which];
        const quint32 old = entry.address;
        entry.address = address.toIPv4Address();
        if (!netmask.isEmpty())
            entry.netmask = QHostAddress(netmask).toIPv4Address();
        if (!gateway.isEmpty())
            entry.gateway = gateway;
        applied = true;
        if (which == 0 && m_assignAddresses && old != entry.address) {
            QStringList commands;
            if (m_assigned.removeAll(dotted(old)) > 0)
                commands.append(QStringLiteral("address del %1/32 dev %2").arg(dotted(old), m_interface));
            m_assigned.append(dotted(entry.address));
            commands.append(QStringLiteral("address add %1/32 dev %2").arg(dotted(entry.address), m_interface));
            runIp(commands);
        }
    }
    record({ { QStringLiteral("event"), QStringLiteral("set-ip") }, { QStringLiteral("card"), card.index },
        { QStringLiteral("mac"), macText(card.interfaces.first().mac) },
        { QStringLiteral("payload"), QString::fromUtf8(payload) }, { QStringLiteral("members"), members },
        { QStringLiteral("applied"), applied }, { QStringLiteral("host"), dotted(card.host()) } });
    sendFrame(3, requester, card.interfaces.first().mac,
        applied ? QByteArrayLiteral("{\"result\":true}") : QByteArrayLiteral("{\"result\":false}"));
}

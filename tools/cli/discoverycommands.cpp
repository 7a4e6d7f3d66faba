// search, set-ip and reboot: the search page's discovery on one network
// interface, through the tool's link-layer service (CommLink) and its UDP
// search, with the same parsers. set-ip and reboot go to one card's
// hardware address, never to the broadcast address.

#include "clicommand.h"
#include "commands.h"

#include "discovery/cardframe.h"
#include "discovery/commlink.h"
#include "discovery/discoveryparsers.h"
#include "discovery/searchrows.h"
#include "link/ipaddresspattern.h"
#include "pages/fixedparams.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonObject>
#include <QNetworkDatagram>
#include <QNetworkInterface>
#include <QTimer>
#include <QUdpSocket>

namespace {

using Cli::Command;

// The search page's rhythm: three requests one second apart.
constexpr int kSearchCycles = 3;
constexpr int kCycleMs = 1000;
// How long the link-layer capture may take to open.
constexpr int kCaptureOpenMs = 5000;

const QString kInterface = QStringLiteral("interface");

void addInterfaceOption(Command& command)
{
    command.addOption(
        { kInterface, QStringLiteral("The PC's network interface the cards are on."), QStringLiteral("name") });
}

// The interface by its system or human-readable name; a usage error when
// there is none of that name.
bool findInterface(Command& command, QNetworkInterface* found)
{
    if (!command.isSet(kInterface)) {
        command.usageError(QStringLiteral("--interface is required"));
        return false;
    }
    const QString name = command.value(kInterface);
    for (const QNetworkInterface& iface : QNetworkInterface::allInterfaces()) {
        if (iface.name() == name || iface.humanReadableName() == name) {
            *found = iface;
            return true;
        }
    }
    command.usageError(QStringLiteral("there is no network interface \"%1\"").arg(name));
    return false;
}

// Starts the capture on the interface and waits until it runs; the reason
// when it cannot.
bool openCapture(CommLink& link, const QNetworkInterface& iface, QString* reason)
{
    QEventLoop loop;
    bool opened = false;
    *reason = QStringLiteral("the capture did not start within %1 s").arg(kCaptureOpenMs / 1000);
    QObject context;
    QObject::connect(&link, &CommLink::captureOpened, &context, [&] {
        opened = true;
        loop.quit();
    });
    QObject::connect(&link, &CommLink::captureFailed, &context, [&](QString, QString why) {
        *reason = why;
        loop.quit();
    });
    QTimer::singleShot(kCaptureOpenMs, &context, [&loop] { loop.quit(); });
    link.setInterface(iface.name(), iface.hardwareAddress());
    if (!link.isCapturing())
        loop.exec();
    return opened || link.isCapturing();
}

QJsonObject cardJson(const Discovery::CardInfo& card, const QString& localInterface, const QString& via)
{
    QJsonArray interfaces;
    for (const Discovery::CardInterface& entry : card.interfaces)
        interfaces.append(QJsonObject { { QStringLiteral("name"), entry.name }, { QStringLiteral("ip"), entry.address },
            { QStringLiteral("netmask"), entry.netmask }, { QStringLiteral("mac"), entry.hardwareAddress } });
    return QJsonObject { { QStringLiteral("host"), card.host },
        { QStringLiteral("product"), card.productUnknown ? QStringLiteral("Unknown") : card.product },
        { QStringLiteral("mac"), card.cardHardwareAddress }, { QStringLiteral("localInterface"), localInterface },
        { QStringLiteral("via"), via }, { QStringLiteral("interfaces"), interfaces } };
}

void printCard(const Discovery::CardInfo& card)
{
    Cli::out() << card.host << '\t' << (card.productUnknown ? QStringLiteral("Unknown") : card.product) << '\t'
               << (card.cardHardwareAddress.isEmpty() ? QStringLiteral("-") : card.cardHardwareAddress) << '\n';
    for (const Discovery::CardInterface& entry : card.interfaces)
        Cli::out() << "    " << entry.name << '\t' << entry.address << '\t' << entry.netmask << '\t'
                   << entry.hardwareAddress << '\n';
    Cli::out().flush();
}

// set-ip and reboot: one frame to the card's hardware address, then its
// result frame.
int commandCard(Command& command, const QNetworkInterface& iface, const QString& mac, quint32 code,
    const QByteArray& payload, int waitMs)
{
    CommLink link;
    QString reason;
    if (!openCapture(link, iface, &reason))
        return command.failure(QStringLiteral("the link-layer service cannot run on %1: %2").arg(iface.name(), reason));
    QEventLoop loop;
    std::optional<bool> result;
    QObject context;
    QObject::connect(&link, &CommLink::gotResult, &context, [&](QByteArray data) {
        if (const auto r = Discovery::parseResult(data)) {
            result = r;
            loop.quit();
        }
    });
    QTimer::singleShot(waitMs, &context, [&loop] { loop.quit(); });
    if (!link.sendCommand(code, mac, payload))
        return command.failure(QStringLiteral("the command could not be sent on %1").arg(iface.name()));
    loop.exec();
    const QString text = !result
        ? QStringLiteral("no reply within %1 s").arg(waitMs / 1000.0)
        : QStringLiteral("Operation %1!").arg(*result ? QStringLiteral("succeed") : QStringLiteral("failed"));
    if (command.json())
        Cli::printJson(QJsonObject { { QStringLiteral("mac"), mac }, { QStringLiteral("interface"), iface.name() },
            { QStringLiteral("replied"), bool(result) }, { QStringLiteral("succeeded"), result.value_or(false) },
            { QStringLiteral("message"), text } });
    if (!result || !*result)
        return command.failure(mac + QStringLiteral(": ") + text);
    if (!command.json())
        Cli::out() << mac << ": " << text << '\n' << Qt::flush;
    return Cli::Ok;
}

// --mac, checked: six hexadecimal pairs naming one card.
bool cardMac(Command& command, QString* mac)
{
    if (!command.isSet(QStringLiteral("mac"))) {
        command.usageError(QStringLiteral("--mac is required: this command reaches a card only by its hardware "
                                          "address"));
        return false;
    }
    const QString text = command.value(QStringLiteral("mac")).toUpper();
    if (!FixedParams::isMacAddress(text)) {
        command.usageError(QStringLiteral("\"%1\" is not a hardware address (six hexadecimal pairs, "
                                          "00:1A:2B:3C:4D:5E)")
                               .arg(command.value(QStringLiteral("mac"))));
        return false;
    }
    // The broadcast address, or a group address, would reach every card.
    if (!CardFrame::isUnicastHardwareAddressText(text)) {
        command.usageError(QStringLiteral("%1 does not name a single card").arg(text));
        return false;
    }
    *mac = text;
    return true;
}

void addWaitOption(Command& command)
{
    command.addOption({ QStringLiteral("seconds"), QStringLiteral("Longest wait for the card's reply (default 5)."),
        QStringLiteral("S"), QStringLiteral("5") });
}

} // namespace

namespace Commands {

int search(const QStringList& arguments)
{
    Command command(QStringLiteral("search"), QStringLiteral("search --interface <name> [--seconds S]"),
        QStringLiteral("Finds the cards on one network interface, as the search page does: the link-layer "
                       "search (cards whose IP settings do not fit this PC's network too; needs the right to "
                       "capture) and the UDP multicast search, three requests one second apart."));
    addInterfaceOption(command);
    command.addOption({ QStringLiteral("seconds"), QStringLiteral("How long to collect replies (default 3)."),
        QStringLiteral("S"), QStringLiteral("3") });
    QStringList args;
    QNetworkInterface iface;
    int waitMs = 0;
    if (!command.parse(arguments) || !command.positionals(0, 0, &args) || !findInterface(command, &iface)
        || !command.seconds(QStringLiteral("seconds"), &waitMs))
        return command.exitCode();
    if (!Discovery::isUsableInterface(iface.flags()))
        return command.failure(QStringLiteral("%1: Network interface is not accessible!").arg(iface.name()));

    static const QHostAddress group(QString::fromLatin1(Discovery::kMulticastGroup));
    QUdpSocket receiver;
    QUdpSocket sender;
    receiver.bind(
        QHostAddress::AnyIPv4, Discovery::kSearchPort, QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint);
    sender.bind(QHostAddress::AnyIPv4, Discovery::kRequestSourcePort);
    // Our own requests begin like a reply.
    receiver.setSocketOption(QAbstractSocket::MulticastLoopbackOption, 0);
    sender.setSocketOption(QAbstractSocket::MulticastLoopbackOption, 0);
    receiver.joinMulticastGroup(group, iface);
    sender.setMulticastInterface(iface);

    CommLink link;
    QString reason;
    const bool rawSearch = openCapture(link, iface, &reason);
    if (!rawSearch)
        Cli::err() << "netquill-cli: the link-layer search cannot run on " << iface.name() << ": " << reason
                   << "; the UDP search goes on.\n"
                   << Qt::flush;

    quint32 address = 0;
    quint32 netmask = 0;
    for (const QNetworkAddressEntry& entry : iface.addressEntries()) {
        if (entry.ip().protocol() == QAbstractSocket::IPv4Protocol) {
            address = entry.ip().toIPv4Address();
            netmask = entry.netmask().toIPv4Address();
        }
    }

    // A row may still be completed by a later reply: the cards are printed
    // once the search is over.
    Discovery::SearchRows found;
    QStringList via; // the protocols that answered for each row
    auto add = [&](const Discovery::CardInfo& card, bool fromUdp) {
        const QString protocol = fromUdp ? QStringLiteral("udp") : QStringLiteral("link-layer");
        int row = 0;
        switch (found.add(card, fromUdp, &row)) {
        case Discovery::SearchRows::Outcome::Added: via.append(protocol); break;
        case Discovery::SearchRows::Outcome::Completed: via[row] += QLatin1Char('+') + protocol; break;
        case Discovery::SearchRows::Outcome::Repeated: break;
        }
    };
    QObject context;
    QObject::connect(&receiver, &QUdpSocket::readyRead, &context, [&] {
        while (receiver.hasPendingDatagrams()) {
            const QNetworkDatagram datagram = receiver.receiveDatagram();
            if (!datagram.isValid())
                break;
            if (const auto card = Discovery::parseUdpReply(datagram.data(), datagram.senderAddress()))
                add(*card, true);
        }
    });
    QObject::connect(&link, &CommLink::gotNetworkInfo, &context, [&](QByteArray data) {
        if (const auto card = Discovery::parseNetworkInfo(data))
            add(*card, false);
    });

    QEventLoop loop;
    QTimer cycle;
    int cyclesLeft = kSearchCycles;
    auto sendRequests = [&] {
        if (cyclesLeft-- <= 0) {
            cycle.stop();
            return;
        }
        if (rawSearch)
            link.sendCommand(CardFrame::Search, QString(), QByteArray());
        sender.writeDatagram(Discovery::buildRequest(address, netmask), group, Discovery::kSearchPort);
    };
    QObject::connect(&cycle, &QTimer::timeout, &context, sendRequests);
    QTimer::singleShot(waitMs, &context, [&loop] { loop.quit(); });
    sendRequests();
    cycle.start(kCycleMs);
    loop.exec();
    receiver.leaveMulticastGroup(group, iface);

    QJsonArray cards;
    for (int i = 0; i < found.rows().size(); ++i) {
        cards.append(cardJson(found.rows().at(i), iface.name(), via.at(i)));
        if (!command.json())
            printCard(found.rows().at(i));
    }
    if (command.json())
        Cli::printJson(cards);
    return Cli::Ok;
}

int setIp(const QStringList& arguments)
{
    Command command(QStringLiteral("set-ip"),
        QStringLiteral("set-ip --interface <name> --mac <MAC> --ip <A> [--netmask M] [--gateway G] "
                       "[--card-interface NAME]"),
        QStringLiteral("Gives one interface of a card new IP settings over the link-layer service, addressed "
                       "to the card's hardware address (never to every card)."));
    addInterfaceOption(command);
    command.addOption({ QStringLiteral("mac"), QStringLiteral("The card's hardware address."), QStringLiteral("MAC") });
    command.addOption({ QStringLiteral("ip"), QStringLiteral("The new IP address."), QStringLiteral("A") });
    command.addOption(
        { QStringLiteral("netmask"), QStringLiteral("The new netmask (default: none sent)."), QStringLiteral("M") });
    command.addOption(
        { QStringLiteral("gateway"), QStringLiteral("The new gateway (default: none sent)."), QStringLiteral("G") });
    command.addOption({ QStringLiteral("card-interface"),
        QStringLiteral("The card's interface to set, as search lists it (default eth0)."), QStringLiteral("NAME"),
        QStringLiteral("eth0") });
    addWaitOption(command);
    QStringList args;
    QString mac;
    QNetworkInterface iface;
    int waitMs = 0;
    if (!command.parse(arguments) || !command.positionals(0, 0, &args) || !cardMac(command, &mac)
        || !command.seconds(QStringLiteral("seconds"), &waitMs))
        return command.exitCode();
    const QString ip = command.value(QStringLiteral("ip"));
    const QString netmask = command.value(QStringLiteral("netmask"));
    const QString gateway = command.value(QStringLiteral("gateway"));
    // An empty --ip would reach the card as an empty address.
    if (ip.isEmpty())
        return command.usageError(QStringLiteral("--ip is required"));
    for (const QString& address : { ip, netmask, gateway }) {
        if (!address.isEmpty() && !IpAddressPattern::matches(address))
            return command.usageError(QStringLiteral("\"%1\" is not an IPv4 address").arg(address));
    }
    if (command.value(QStringLiteral("card-interface")).isEmpty())
        return command.usageError(QStringLiteral("--card-interface wants a name"));
    if (!findInterface(command, &iface))
        return command.exitCode();
    return commandCard(command, iface, mac, CardFrame::SetIp,
        Discovery::setIpRequest(command.value(QStringLiteral("card-interface")), ip, netmask, gateway), waitMs);
}

int reboot(const QStringList& arguments)
{
    Command command(QStringLiteral("reboot"), QStringLiteral("reboot --interface <name> --mac <MAC>"),
        QStringLiteral("Reboots one card over the link-layer service, addressed to its hardware address (never "
                       "to every card)."));
    addInterfaceOption(command);
    command.addOption({ QStringLiteral("mac"), QStringLiteral("The card's hardware address."), QStringLiteral("MAC") });
    addWaitOption(command);
    QStringList args;
    QString mac;
    QNetworkInterface iface;
    int waitMs = 0;
    if (!command.parse(arguments) || !command.positionals(0, 0, &args) || !cardMac(command, &mac)
        || !command.seconds(QStringLiteral("seconds"), &waitMs) || !findInterface(command, &iface))
        return command.exitCode();
    return commandCard(command, iface, mac, CardFrame::Reboot, QByteArray(), waitMs);
}

} // namespace Commands

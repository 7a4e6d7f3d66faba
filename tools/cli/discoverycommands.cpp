// search, set-ip and reboot: the search page's discovery session on one
// network interface. set-ip and reboot go to one card's hardware address,
// never to the broadcast address.

#include "clicommand.h"
#include "commands.h"

#include "discovery/cardframe.h"
#include "discovery/commlink.h"
#include "discovery/discoverysession.h"
#include "link/ipaddresspattern.h"
#include "pages/fixedparams.h"

#include <QEventLoop>
#include <QJsonArray>
#include <QJsonObject>
#include <QNetworkInterface>
#include <QTimer>

namespace {

using Cli::Command;

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
    DiscoverySession session;
    session.link()->setInterface(iface.name(), iface.hardwareAddress());
    QEventLoop loop;
    std::optional<bool> result;
    QObject::connect(&session, &DiscoverySession::resultReceived, &loop, [&](bool succeeded) {
        result = succeeded;
        loop.quit();
    });
    QTimer::singleShot(waitMs, &loop, &QEventLoop::quit);
    if (!session.sendToCard(code, mac, payload)) {
        const QString reason = session.link()->captureError();
        return command.failure(
            QStringLiteral("the link-layer service cannot run on %1: %2")
                .arg(iface.name(), reason.isEmpty() ? QStringLiteral("no capture is open") : reason));
    }
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

    DiscoverySession session;
    QObject::connect(&session, &DiscoverySession::captureFailed, &session, [&](QString name, QString reason) {
        Cli::err() << "netquill-cli: the link-layer search cannot run on " << name << ": " << reason
                   << "; the UDP search goes on.\n"
                   << Qt::flush;
    });
    // A row may still be completed by a later reply: the cards are printed
    // once the time is over.
    QStringList via; // the protocols that answered for each row
    QObject::connect(&session, &DiscoverySession::cardsFound, &session, [&](int, int count, bool overUdp) {
        while (count-- > 0)
            via.append(overUdp ? QStringLiteral("udp") : QStringLiteral("link-layer"));
    });
    QObject::connect(&session, &DiscoverySession::rowCompleted, &session,
        [&](int row) { via[row] += QStringLiteral("+link-layer"); });
    QEventLoop loop;
    session.search(iface); // returns once the capture runs (or could not start) and the first cycle is out
    QTimer::singleShot(waitMs, &loop, &QEventLoop::quit);
    loop.exec();

    QJsonArray cards;
    for (int i = 0; i < session.cards().size(); ++i) {
        cards.append(cardJson(session.cards().at(i), iface.name(), via.at(i)));
        if (!command.json())
            printCard(session.cards().at(i));
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

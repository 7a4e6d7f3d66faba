#include "searchrows.h"

#include <QHash>
#include <QHostAddress>

namespace Discovery {

SearchRows::Outcome SearchRows::add(const CardInfo& card, bool fromUdp, int* row)
{
    const int incomplete = rowToComplete(card, fromUdp);
    if (incomplete >= 0) {
        CardInfo& shown = m_rows[incomplete];
        shown.cardHardwareAddress = card.cardHardwareAddress;
        shown.carriesHardwareAddresses = true;
        shown.interfaces = card.interfaces;
        if (row)
            *row = incomplete;
        return Outcome::Completed;
    }
    if (repeats(card, fromUdp))
        return Outcome::Repeated;
    m_rows.append(card);
    if (row)
        *row = m_rows.size() - 1;
    return Outcome::Added;
}

int SearchRows::rowToComplete(const CardInfo& card, bool fromUdp) const
{
    if (fromUdp || card.cardHardwareAddress.isEmpty())
        return -1;
    // A row without an address of its own (network information whose host
    // none of its interfaces held) is no card's row to complete.
    for (int i = 0; i < m_rows.size(); ++i) {
        const CardInfo& shown = m_rows.at(i);
        if (shown.cardHardwareAddress.isEmpty() && !shown.cardAddress.isEmpty() && shown.cardAddress == card.host)
            return i;
    }
    return -1;
}

bool SearchRows::repeats(const CardInfo& card, bool fromUdp) const
{
    bool hostListed = false;
    bool hardwareListed = false;
    for (const CardInfo& shown : m_rows) {
        hostListed = hostListed || shown.host == card.host;
        hardwareListed = hardwareListed || shown.cardHardwareAddress == card.cardHardwareAddress;
    }
    if (!hostListed)
        return false;
    if (fromUdp && !card.carriesHardwareAddresses)
        return true;
    return hardwareListed;
}

QVector<quint8> rowMarks(const QVector<CardInfo>& rows, const QVector<Subnet>& subnets)
{
    QHash<QString, int> rowsAt;
    for (const CardInfo& card : rows) {
        if (!card.host.isEmpty())
            ++rowsAt[card.host];
    }
    QVector<quint8> marks(rows.size(), NoMark);
    for (int i = 0; i < rows.size(); ++i) {
        const QString& host = rows.at(i).host;
        if (host.isEmpty())
            continue;
        if (rowsAt.value(host) > 1)
            marks[i] |= DuplicateAddress;
        bool isIpv4 = false;
        const QHostAddress address(host);
        const quint32 ip = address.toIPv4Address(&isIpv4);
        if (!isIpv4 || address.protocol() != QAbstractSocket::IPv4Protocol || subnets.isEmpty())
            continue;
        bool inside = false;
        for (const Subnet& net : subnets)
            inside = inside || (ip & net.netmask) == (net.address & net.netmask);
        if (!inside)
            marks[i] |= OutsideSubnet;
    }
    return marks;
}

} // namespace Discovery

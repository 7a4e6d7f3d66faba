#pragma once

#include "discoveryparsers.h"

#include <QVector>

namespace Discovery {

// The cards one search has found, one row per card, in the order they were
// found. Both protocols' replies go through add(), which decides whether a
// reply is a new card, repeats a row, or completes one:
//
// - A UDP reply repeats a row when its address is listed and either it
//   carries no hardware addresses or its card's hardware address is listed.
// - Network information (link layer) repeats a row when its address is
//   listed and its card's hardware address is listed (an empty one counts).
// - Network information that names its card's hardware address completes
//   the row of its address that has none (a card that answered the UDP
//   search in the short form first): the row takes the hardware address and
//   the interfaces with theirs, so the card is listed once whichever reply
//   comes first.
//
// Addresses and hardware addresses are compared exactly and case-sensitively,
// each against all rows, not as pairs.
class SearchRows {
public:
    enum class Outcome { Added, Completed, Repeated };

    // `row`, when given, receives the index of the row added or completed.
    Outcome add(const CardInfo& card, bool fromUdp, int* row = nullptr);

    const QVector<CardInfo>& rows() const { return m_rows; }
    void clear() { m_rows.clear(); }

private:
    int rowToComplete(const CardInfo& card, bool fromUdp) const;
    bool repeats(const CardInfo& card, bool fromUdp) const;

    QVector<CardInfo> m_rows;
};

// What the search page warns of on a card's row: the two reasons technicians
// most often fail to reach a card they have just found.
enum RowMark : quint8 {
    NoMark = 0,
    // Another row has the same address: at most one of them answers at it.
    DuplicateAddress = 1,
    // The address lies in none of the adapter's IPv4 subnets: this PC cannot
    // reach the card over IP until the card gets settings that fit.
    OutsideSubnet = 2,
};

// An IPv4 subnet of the adapter a search ran on.
struct Subnet {
    quint32 address = 0;
    quint32 netmask = 0;
};

// The marks of `rows`, in step with them. A row whose address is empty or
// not IPv4 text gets neither mark; with no subnet known no row is outside.
QVector<quint8> rowMarks(const QVector<CardInfo>& rows, const QVector<Subnet>& subnets);

} // namespace Discovery

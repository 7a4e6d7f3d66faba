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

} // namespace Discovery

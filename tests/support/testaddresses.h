#pragma once

#include <QString>

// Every test works against simulated cards on loopback addresses of its own,
// so test executables can run in parallel without clashing on port 8712.
// Each executable takes a distinct second octet: 127.<area>.<case>.<card>.
namespace TestAddresses {

inline QString card(int area, int testCase, int cardNumber = 1)
{
    return QStringLiteral("127.%1.%2.%3").arg(area).arg(testCase).arg(cardNumber);
}

// Areas in use (keep them distinct): 10 link, 11 main window, 20 programming
// page, 22 programming and backup runs, 50 batch pool, 51 batch dialog,
// 60 search page, 70 command line, 81 file safety.

} // namespace TestAddresses

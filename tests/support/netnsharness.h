#pragma once

#include <QString>
#include <QtGlobal>

// The namespaces and interfaces scripts/netns-harness.sh made for a test, as
// it hands them over in the environment.
namespace NetnsHarness {

inline QString variable(const char* name)
{
    return QString::fromLocal8Bit(qgetenv(name));
}

inline const QString kToolIf = variable("NETQUILL_NETNS_TOOL_IF");
inline const QString kToolIf2 = variable("NETQUILL_NETNS_TOOL_IF2");
inline const QString kCardIf = variable("NETQUILL_NETNS_CARD_IF");
inline const QString kCardIf2 = variable("NETQUILL_NETNS_CARD_IF2");
inline const QString kCardsNs = variable("NETQUILL_NETNS_CARDS");

} // namespace NetnsHarness

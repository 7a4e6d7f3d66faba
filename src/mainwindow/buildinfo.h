#pragma once

#include <QString>

// When this build of the tool was made, as the compiler reports it:
// "Mar 11 2024" and "17:46:55".
namespace BuildInfo {
QString date();
QString time();
}

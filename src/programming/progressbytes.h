#pragma once

#include <QtGlobal>

class QProgressBar;

namespace ProgressBytes {

// Shows `done` of `maximum` bytes on the bar: counted in bytes while they fit
// the bar's int range, in larger units beyond. Nothing to send (an empty
// image) is all sent: a full bar rather than Qt's busy indicator.
void show(QProgressBar* bar, qint64 done, qint64 maximum);

} // namespace ProgressBytes

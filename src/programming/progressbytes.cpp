#include "progressbytes.h"

#include <QProgressBar>

#include <limits>

namespace ProgressBytes {

void show(QProgressBar* bar, qint64 done, qint64 maximum)
{
    int shift = 0;
    while ((maximum >> shift) > std::numeric_limits<int>::max())
        ++shift;
    const int barMax = maximum > 0 ? int(maximum >> shift) : 1;
    const int barValue = maximum > 0 ? int(qBound<qint64>(0, done, maximum) >> shift) : 1;
    if (bar->maximum() != barMax || bar->minimum() != 0)
        bar->setRange(0, barMax);
    bar->setValue(barValue);
}

} // namespace ProgressBytes

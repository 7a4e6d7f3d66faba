#include "progressline.h"

#include "clicommand.h"
#include "programming/chunktransfer.h"

#include <cstdio>
#include <unistd.h>

namespace {
constexpr int kBarWidth = 40;
}

ProgressLine::ProgressLine(const QString& label)
    : m_label(label)
    , m_terminal(isatty(fileno(stderr)) == 1)
{
}

void ProgressLine::update(qint64 done, qint64 total)
{
    if (m_quiet)
        return;
    const QString percent = ChunkTransfer::percentText(done, total);
    if (m_terminal) {
        const int filled = total > 0 ? int(qMin<qint64>(done, total) * kBarWidth / total) : kBarWidth;
        Cli::err() << '\r' << m_label << " [" << QString(filled, QLatin1Char('#'))
                   << QString(kBarWidth - filled, QLatin1Char('.')) << "] " << percent << "% " << done << '/' << total
                   << " bytes" << Qt::flush;
        m_drawn = true;
        return;
    }
    const int tenth = total > 0 ? int(qMin<qint64>(done, total) * 10 / total) : 10;
    if (tenth == m_lastTenth)
        return;
    m_lastTenth = tenth;
    Cli::err() << m_label << ": " << percent << "%\n" << Qt::flush;
}

void ProgressLine::finish()
{
    if (m_drawn)
        Cli::err() << '\n' << Qt::flush;
    m_drawn = false;
}

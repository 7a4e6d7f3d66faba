#include "progressline.h"

#include "clicommand.h"
#include "programming/programmingrun.h"

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
    m_done = done;
    m_total = total;
    if (m_quiet)
        return;
    if (m_terminal) {
        drawBar(QString());
        return;
    }
    const int tenth = total > 0 ? int(qMin<qint64>(done, total) * 10 / total) : 10;
    if (tenth == m_lastTenth)
        return;
    m_lastTenth = tenth;
    Cli::err() << m_label << ": " << ProgrammingRun::percentText(done, total) << "%\n" << Qt::flush;
}

void ProgressLine::installing(int seconds)
{
    if (m_quiet)
        return;
    const QString text = seconds > 0 ? QStringLiteral("installing, %1 s").arg(seconds) : QStringLiteral("installing");
    if (m_terminal)
        drawBar(QStringLiteral(", ") + text);
    else
        Cli::err() << m_label << ": " << text << '\n' << Qt::flush;
}

void ProgressLine::drawBar(const QString& suffix)
{
    const int filled = m_total > 0 ? int(qMin<qint64>(m_done, m_total) * kBarWidth / m_total) : kBarWidth;
    const QString line
        = QStringLiteral("%1 [%2%3] %4% %5/%6 bytes%7")
              .arg(m_label, QString(filled, QLatin1Char('#')), QString(kBarWidth - filled, QLatin1Char('.')),
                  ProgrammingRun::percentText(m_done, m_total), QString::number(m_done), QString::number(m_total),
                  suffix);
    // Blanks over what a longer line before it left behind.
    Cli::err() << '\r' << line << QString(qMax(0, m_drawnLength - line.size()), QLatin1Char(' ')) << Qt::flush;
    m_drawnLength = line.size();
    m_drawn = true;
}

void ProgressLine::finish()
{
    if (m_drawn)
        Cli::err() << '\n' << Qt::flush;
    m_drawn = false;
    m_drawnLength = 0;
}

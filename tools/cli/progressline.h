#pragma once

#include <QString>
#include <QtGlobal>

// The progress of one transfer on stderr: a bar redrawn in place when stderr
// is a terminal, otherwise one plain line per tenth ("127.0.0.1: 40.00%"),
// so that a log file of a production line stays short. While the card
// installs, the caller tells the time since it began ("installing, 20 s"),
// so that a pipe does not look hung.
class ProgressLine {
public:
    explicit ProgressLine(const QString& label);
    // `quiet`: print nothing (JSON output, where only the document counts).
    void setQuiet(bool quiet) { m_quiet = quiet; }
    void update(qint64 done, qint64 total);
    // The card has been installing for `seconds` (0: it just began).
    void installing(int seconds);
    // Ends the bar's line on a terminal.
    void finish();

private:
    void drawBar(const QString& suffix);

    QString m_label;
    qint64 m_done = 0;
    qint64 m_total = 0;
    int m_lastTenth = -1;
    bool m_terminal = false;
    bool m_drawn = false;
    int m_drawnLength = 0;
    bool m_quiet = false;
};

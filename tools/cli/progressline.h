#pragma once

#include <QString>
#include <QtGlobal>

// The progress of one transfer on stderr: a bar redrawn in place when stderr
// is a terminal, otherwise one plain line per tenth ("127.0.0.1: 40.00%"),
// so that a log file of a production line stays short.
class ProgressLine {
public:
    explicit ProgressLine(const QString& label);
    // `quiet`: print nothing (JSON output, where only the document counts).
    void setQuiet(bool quiet) { m_quiet = quiet; }
    void update(qint64 done, qint64 total);
    // Ends the bar's line on a terminal.
    void finish();

private:
    QString m_label;
    int m_lastTenth = -1;
    bool m_terminal = false;
    bool m_drawn = false;
    bool m_quiet = false;
};

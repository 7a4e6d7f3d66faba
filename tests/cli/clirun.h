#pragma once

#include <QJsonDocument>
#include <QProcess>
#include <QStringList>

// One run of the real netquill-cli, as a script sees it.
struct CliRun {
    int exitCode = -1;
    QString out;
    QString err;

    QJsonDocument json() const { return QJsonDocument::fromJson(out.toUtf8()); }
};

inline CliRun runCli(const QStringList& arguments, int timeoutMs = 60000)
{
    QProcess p;
    p.start(QStringLiteral(CLI_BIN), arguments);
    CliRun run;
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        return run;
    }
    run.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    run.out = QString::fromUtf8(p.readAllStandardOutput());
    run.err = QString::fromUtf8(p.readAllStandardError());
    return run;
}

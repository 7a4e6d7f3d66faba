#pragma once

#include "link/cardreply.h"

#include <QCommandLineParser>
#include <QJsonValue>
#include <QString>
#include <QStringList>
#include <QTextStream>
#include <memory>

class CardRequests;
class CommTcp;

// What every command of netquill-cli shares: its own option parser with
// --help and --json, the exit codes, the checks of addresses, types and
// durations, and the two output streams. Results go to stdout (one JSON
// document with --json); progress and messages go to stderr.
namespace Cli {

enum Exit {
    Ok = 0,
    Failed = 1, // the operation failed: refused, timed out, connection lost
    Usage = 2, // nothing was sent
};

QTextStream& out();
QTextStream& err();

// One JSON document on stdout.
void printJson(const QJsonValue& value);

class Command {
public:
    // `synopsis` follows "netquill-cli " in the usage line.
    Command(const QString& name, const QString& synopsis, const QString& description);
    ~Command();

    QCommandLineParser& parser() { return m_parser; }
    void addOption(const QCommandLineOption& option) { m_parser.addOption(option); }
    // Adds --type (default: firmware).
    void addTypeOption();
    // Adds --timeout S: the longest wait for each reply of the card.
    void addReplyTimeoutOption(double defaultSeconds);

    // Parses the arguments after the command's name. False when the caller
    // must return exitCode(): --help was printed (0), or the arguments are
    // wrong (2, with the usage on stderr).
    bool parse(const QStringList& arguments);
    int exitCode() const { return m_exitCode; }

    // The command's positional arguments; a usage error unless there are
    // between `least` and `most` (-1: any number) of them.
    bool positionals(int least, int most, QStringList* values);

    bool json() const { return m_parser.isSet(QStringLiteral("json")); }
    bool isSet(const QString& option) const { return m_parser.isSet(option); }
    QString value(const QString& option) const { return m_parser.value(option); }

    // Each prints the usage error and sets exitCode() to 2 when it fails.
    bool cardAddress(const QString& text);
    bool programmingType(int* type);
    bool seconds(const QString& option, int* milliseconds);
    bool count(const QString& option, int least, int most, int* value);
    bool fileExists(const QString& path, const QString& what);

    // Connects to the card at `ip` over the tool's command link, each wait
    // for one of its replies bounded by --timeout; false, with the reason
    // printed, when the card cannot be reached.
    bool connectCard(const QString& ip);
    CardRequests& card() { return *m_card; }
    CommTcp& link() { return *m_link; }
    // One request to that card and its reply (see CardRequests::ask). False,
    // with "<ip>: " and `refused` or why no reply came printed, unless the
    // card replied.
    bool ask(int cmd, const QByteArray& data, QByteArrayList* frames, const QString& refused = QString(),
        int replyCmd = 0, int settleMs = 0);
    // Prints "netquill-cli: <ip>: <message>"; returns 1.
    int cardFailure(const QString& message) { return failure(m_ip + QStringLiteral(": ") + message); }

    // Prints the message and the usage on stderr; returns 2.
    int usageError(const QString& message);
    // Prints "netquill-cli: <message>" on stderr; returns 1.
    int failure(const QString& message);

    QString name() const { return m_name; }
    QString helpText() const;

private:
    QCommandLineParser m_parser;
    QString m_name;
    QString m_synopsis;
    int m_exitCode = Ok;
    QString m_ip; // the card connected to
    int m_timeoutMs = 0;
    std::unique_ptr<CommTcp> m_link;
    std::unique_ptr<CardRequests> m_card;
};

// "connection lost" or "no reply within N s" for a reply that did not come.
QString outcomeText(CardReply::Outcome outcome, int timeoutMs);

// A reply's data for the parsers, which read bytes.
inline const quint8* bytes(const QByteArray& data)
{
    return reinterpret_cast<const quint8*>(data.constData());
}

// Programming types by name (app, firmware, patch, root) or number (0 to 255).
bool parseProgrammingType(const QString& text, int* type);

} // namespace Cli

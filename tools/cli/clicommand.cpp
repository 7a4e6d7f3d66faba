#include "clicommand.h"

#include "link/cardrequests.h"
#include "link/commtcp.h"
#include "link/ipaddresspattern.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>

namespace Cli {

QTextStream& out()
{
    static QTextStream s(stdout);
    return s;
}

QTextStream& err()
{
    static QTextStream s(stderr);
    return s;
}

void printJson(const QJsonValue& value)
{
    QJsonDocument doc;
    if (value.isArray())
        doc.setArray(value.toArray());
    else
        doc.setObject(value.toObject());
    out() << doc.toJson(QJsonDocument::Indented) << Qt::flush;
}

Command::Command(const QString& name, const QString& synopsis, const QString& description)
    : m_name(name)
    , m_synopsis(synopsis)
{
    m_parser.setApplicationDescription(description);
    m_parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    m_parser.addOption({ { QStringLiteral("h"), QStringLiteral("help") }, QStringLiteral("Shows this help.") });
    m_parser.addOption({ QStringLiteral("json"), QStringLiteral("Prints the result as one JSON document.") });
}

void Command::addTypeOption()
{
    m_parser.addOption({ QStringLiteral("type"),
        QStringLiteral("Program component: app (0), firmware (1), patch (2), root (3) or its number "
                       "(default firmware)."),
        QStringLiteral("type"), QStringLiteral("firmware") });
}

void Command::addReplyTimeoutOption(double defaultSeconds)
{
    m_parser.addOption({ QStringLiteral("timeout"),
        QStringLiteral("Longest wait for each reply of the card, in seconds (default %1).").arg(defaultSeconds),
        QStringLiteral("S"), QString::number(defaultSeconds) });
}

QString Command::helpText() const
{
    // Qt's help begins with a usage line naming the executable only.
    QString text = m_parser.helpText();
    const int firstLineEnd = text.indexOf(QLatin1Char('\n'));
    text = text.mid(firstLineEnd + 1);
    return QStringLiteral("Usage: netquill-cli %1\n").arg(m_synopsis) + text;
}

bool Command::parse(const QStringList& arguments)
{
    if (!m_parser.parse(QStringList { QStringLiteral("netquill-cli") } + arguments)) {
        usageError(m_parser.errorText());
        return false;
    }
    if (m_parser.isSet(QStringLiteral("help"))) {
        out() << helpText() << Qt::flush;
        m_exitCode = Ok;
        return false;
    }
    return true;
}

bool Command::positionals(int least, int most, QStringList* values)
{
    *values = m_parser.positionalArguments();
    if (values->size() < least) {
        usageError(QStringLiteral("too few arguments"));
        return false;
    }
    if (most >= 0 && values->size() > most) {
        usageError(QStringLiteral("unexpected argument \"%1\"").arg(values->at(most)));
        return false;
    }
    return true;
}

bool Command::cardAddress(const QString& text)
{
    if (IpAddressPattern::matches(text))
        return true;
    usageError(QStringLiteral("\"%1\" is not an IPv4 address").arg(text));
    return false;
}

bool parseProgrammingType(const QString& text, int* type)
{
    static const QStringList names { QStringLiteral("app"), QStringLiteral("firmware"), QStringLiteral("patch"),
        QStringLiteral("root") };
    const int named = names.indexOf(text.toLower());
    if (named >= 0) {
        *type = named;
        return true;
    }
    bool ok = false;
    const int number = text.toInt(&ok, 10);
    // The type travels as one byte.
    if (!ok || number < 0 || number > 255)
        return false;
    *type = number;
    return true;
}

bool Command::programmingType(int* type)
{
    if (parseProgrammingType(m_parser.value(QStringLiteral("type")), type))
        return true;
    usageError(QStringLiteral("--type wants app, firmware, patch, root or a number from 0 to 255"));
    return false;
}

bool Command::seconds(const QString& option, int* milliseconds)
{
    bool ok = false;
    const double value = m_parser.value(option).toDouble(&ok);
    // Up to a day: QTimer counts in int milliseconds.
    if (!ok || !std::isfinite(value) || value <= 0 || value > 86400) {
        usageError(QStringLiteral("--%1 wants a number of seconds above 0").arg(option));
        return false;
    }
    *milliseconds = qMax(1, int(std::lround(value * 1000)));
    return true;
}

bool Command::count(const QString& option, int least, int most, int* value)
{
    bool ok = false;
    const int number = m_parser.value(option).toInt(&ok, 10);
    if (!ok || number < least || number > most) {
        usageError(QStringLiteral("--%1 wants a whole number from %2 to %3").arg(option).arg(least).arg(most));
        return false;
    }
    *value = number;
    return true;
}

bool Command::fileExists(const QString& path, const QString& what)
{
    if (QFileInfo(path).isFile())
        return true;
    usageError(QStringLiteral("%1 \"%2\" does not exist").arg(what, path));
    return false;
}

Command::~Command()
{
    if (m_link)
        m_link->disconnectFromDevice();
}

bool Command::connectCard(const QString& ip)
{
    m_ip = ip;
    m_link = std::make_unique<CommTcp>();
    m_card = std::make_unique<CardRequests>(m_link.get());
    seconds(QStringLiteral("timeout"), &m_timeoutMs);
    m_card->setTimeout(m_timeoutMs);
    QString reason = QStringLiteral("no connection");
    QObject context;
    QObject::connect(
        m_link.get(), &CommTcp::connectionError, &context, [&reason](const QString& error) { reason = error; });
    m_link->connectToDevice(ip);
    if (m_link->isConnected())
        return true;
    cardFailure(QStringLiteral("connect failed: ") + reason);
    return false;
}

bool Command::ask(
    int cmd, const QByteArray& data, QByteArrayList* frames, const QString& refused, int replyCmd, int settleMs)
{
    const auto outcome = m_card->ask(cmd, data, frames, replyCmd, settleMs);
    if (outcome == CardReply::Replied)
        return true;
    cardFailure(outcome == CardReply::Refused ? refused : outcomeText(outcome, m_timeoutMs));
    return false;
}

QString outcomeText(CardReply::Outcome outcome, int timeoutMs)
{
    if (outcome == CardReply::TimedOut)
        return QStringLiteral("no reply within %1 s").arg(timeoutMs / 1000.0);
    return outcome == CardReply::ConnectionLost ? QStringLiteral("connection lost") : QString();
}

int Command::usageError(const QString& message)
{
    err() << "netquill-cli " << m_name << ": " << message << "\n\n" << helpText() << Qt::flush;
    m_exitCode = Usage;
    return Usage;
}

int Command::failure(const QString& message)
{
    err() << "netquill-cli: " << message << '\n' << Qt::flush;
    m_exitCode = Failed;
    return Failed;
}

} // namespace Cli

// date, ports, params and console: the settings, fixed parameters and
// console pages' commands, one request and its reply at a time.

#include "cardexchange.h"
#include "clicommand.h"
#include "commands.h"

#include "link/commandcodes.h"
#include "link/resultbyte.h"
#include "pages/consoletext.h"
#include "pages/devicedate.h"
#include "pages/fixedparams.h"
#include "pages/portrecords.h"

#include <QDateTime>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>

namespace {

using Cli::Command;
using Step = CardExchange::Step;

const char* const kServiceNames[PortRecords::kServiceCount] = { "ssh", "telnet", "http", "https" };

// Connects and runs one exchange; prints the failure and returns false
// unless the handler said Done.
bool ask(Command& command, CardExchange& card, int cmd, const QByteArray& data, const CardExchange::Handler& handler,
    QString* message)
{
    const int timeoutMs = [&command] {
        int ms = 0;
        command.seconds(QStringLiteral("timeout"), &ms);
        return ms;
    }();
    QString error;
    if (!card.connectToCard(&error)) {
        command.failure(QStringLiteral("%1: connect failed: %2").arg(card.ip(), error));
        return false;
    }
    const auto outcome = card.exchange(cmd, data, handler, timeoutMs);
    if (outcome == CardExchange::Outcome::Done)
        return true;
    if (outcome != CardExchange::Outcome::Failed || message->isEmpty())
        *message = (message->isEmpty() ? QString() : *message + QLatin1Char(' '))
            + CardExchange::outcomeText(outcome, timeoutMs);
    command.failure(card.ip() + QStringLiteral(": ") + *message);
    return false;
}

// Checks the address and the timeout; the command's arguments are in `args`.
bool prepare(Command& command, const QStringList& arguments, int least, int most, QStringList* args)
{
    command.addReplyTimeoutOption(5);
    int ms = 0;
    return command.parse(arguments) && command.positionals(least, most, args) && command.cardAddress(args->at(0))
        && command.seconds(QStringLiteral("timeout"), &ms);
}

// "get", or "set" followed by what to write (the third argument).
bool getOrSet(Command& command, const QStringList& args, const QString& what, bool* set)
{
    *set = args[1] == QLatin1String("set");
    if ((*set || args[1] == QLatin1String("get")) && *set == (args.size() == 3))
        return true;
    command.usageError(QStringLiteral("%1 wants get, or set and %2").arg(command.name(), what));
    return false;
}

QJsonObject portsJson(const PortRecords::Table& table)
{
    QJsonObject o;
    for (int i = 0; i < PortRecords::kServiceCount; ++i)
        o.insert(QLatin1String(kServiceNames[i]),
            QJsonObject { { QStringLiteral("enabled"), table[size_t(i)].enabled },
                { QStringLiteral("port"), table[size_t(i)].port } });
    return o;
}

QString portsText(const PortRecords::Table& table)
{
    QStringList parts;
    for (int i = 0; i < PortRecords::kServiceCount; ++i)
        parts.append(QStringLiteral("%1=%2:%3")
                         .arg(QLatin1String(kServiceNames[i]))
                         .arg(table[size_t(i)].enabled ? QStringLiteral("on") : QStringLiteral("off"))
                         .arg(table[size_t(i)].port));
    return parts.join(QLatin1Char(','));
}

// "ssh=on:22,telnet=off:23": the services named, each once; false with the
// reason otherwise.
bool parsePorts(const QString& text, PortRecords::Table* table, bool given[], QString* error)
{
    for (const QString& item : text.split(QLatin1Char(','))) {
        const int eq = item.indexOf(QLatin1Char('='));
        const QString name = item.left(eq).trimmed().toLower();
        const QStringList value = item.mid(eq + 1).split(QLatin1Char(':'));
        int service = -1;
        for (int i = 0; i < PortRecords::kServiceCount; ++i) {
            if (name == QLatin1String(kServiceNames[i]))
                service = i;
        }
        if (eq < 0 || service < 0 || given[service] || value.size() != 2
            || (value[0] != QLatin1String("on") && value[0] != QLatin1String("off"))) {
            *error = QStringLiteral("\"%1\" is not service=on|off:port (services ssh, telnet, http, https, each once)")
                         .arg(item);
            return false;
        }
        bool ok = false;
        const int port = value[1].toInt(&ok, 10);
        if (!ok || !PortRecords::isValidPort(port)) {
            *error = QStringLiteral("Port settings error! (\"%1\": ports %2 to %3)")
                         .arg(item)
                         .arg(PortRecords::kMinPort)
                         .arg(PortRecords::kMaxPort);
            return false;
        }
        (*table)[size_t(service)] = { value[0] == QLatin1String("on"), port };
        given[service] = true;
    }
    return true;
}

// A fixed parameter file: INI with the group "fixed_param", or a JSON object
// of string values.
bool loadParams(const QString& path, QVector<FixedParams::Row>* rows, QString* error)
{
    if (!path.endsWith(QLatin1String(".json"), Qt::CaseInsensitive))
        return FixedParams::loadFile(path, rows, error);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return false;
    }
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (!doc.isObject()) {
        *error = parseError.error == QJsonParseError::NoError ? QStringLiteral("not a JSON object")
                                                              : parseError.errorString();
        return false;
    }
    const QJsonObject object = doc.object();
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (!it.value().isString()) {
            *error = QStringLiteral("the value of \"%1\" is not a string").arg(it.key());
            return false;
        }
        rows->append({ it.key(), it.value().toString(), true });
    }
    return true;
}

} // namespace

namespace Commands {

int date(const QStringList& arguments)
{
    Command command(QStringLiteral("date"), QStringLiteral("date <ip> get|sync"),
        QStringLiteral("Reads the card's clock (get), or sets it to this PC's local time (sync)."));
    QStringList args;
    if (!prepare(command, arguments, 2, 2, &args))
        return command.exitCode();
    const bool sync = args[1] == QLatin1String("sync");
    if (!sync && args[1] != QLatin1String("get"))
        return command.usageError(QStringLiteral("date wants get or sync"));

    CardExchange card(args[0]);
    QString text;
    QString message;
    bool ok = false;
    if (sync) {
        const QDateTime now = QDateTime::currentDateTime();
        text = now.toString(DeviceDate::format());
        // The link itself answers the card's reply with its notice: success,
        // or a warning when the card refused the date.
        ok = ask(
            command, card, CommandCode::SetDate, DeviceDate::syncData(now),
            [&](const CardExchange::Reply& reply) {
                if (reply.cmd != 0)
                    return Step::Wait;
                message = reply.notice;
                return reply.warning ? Step::Failed : Step::Done;
            },
            &message);
    } else {
        ok = ask(
            command, card, CommandCode::ReadDate, QByteArray(),
            [&](const CardExchange::Reply& reply) {
                if (reply.cmd != CommandCode::ReadDate)
                    return Step::Wait;
                text = DeviceDate::fromReply(reply.data, reply.size);
                message = QStringLiteral("Read date failed!");
                return text.isNull() ? Step::Failed : Step::Done;
            },
            &message);
    }
    if (!ok)
        return Cli::Failed;
    if (command.json())
        Cli::printJson(QJsonObject { { QStringLiteral("ip"), args[0] }, { QStringLiteral("date"), text } });
    else if (sync)
        Cli::out() << text << '\n' << message << '\n' << Qt::flush;
    else
        Cli::out() << text << '\n' << Qt::flush;
    return Cli::Ok;
}

int ports(const QStringList& arguments)
{
    Command command(QStringLiteral("ports"),
        QStringLiteral("ports <ip> get | set ssh=on:22,telnet=off:23,http=on:80,https=on:443"),
        QStringLiteral("Reads or writes the card's SSH, Telnet, HTTP and HTTPS services: on or off, and their TCP "
                       "port (1 to 65534). A set that names only some services keeps the others as the card "
                       "has them."));
    QStringList args;
    if (!prepare(command, arguments, 2, 3, &args))
        return command.exitCode();
    bool set = false;
    if (!getOrSet(command, args, QStringLiteral("the services"), &set))
        return command.exitCode();
    PortRecords::Table table;
    bool given[PortRecords::kServiceCount] = {};
    QString error;
    if (set && !parsePorts(args[2], &table, given, &error))
        return command.usageError(error);
    const bool all = std::all_of(std::begin(given), std::end(given), [](bool b) { return b; });

    CardExchange card(args[0]);
    QString message;
    // A read first, unless a set names every service.
    const int first = set && all ? CommandCode::WritePorts : CommandCode::ReadPorts;
    const bool ok = ask(
        command, card, first, set && all ? PortRecords::encode(table) : QByteArray(),
        [&](const CardExchange::Reply& reply) {
            if (reply.cmd == CommandCode::ReadPorts) {
                PortRecords::Table current;
                if (!PortRecords::decode(reply.data, reply.size, &current)) {
                    message = QStringLiteral("Read data failed!");
                    return Step::Failed;
                }
                for (int i = 0; i < PortRecords::kServiceCount; ++i) {
                    if (!given[i])
                        table[size_t(i)] = current[size_t(i)];
                }
                if (!set)
                    return Step::Done;
                const QByteArray data = PortRecords::encode(table);
                if (data.isEmpty()) {
                    message = QStringLiteral("Port settings error!");
                    return Step::Failed;
                }
                card.send(CommandCode::WritePorts, data);
            } else if (reply.cmd == CommandCode::WritePorts) {
                const bool written = ResultByte::succeeded(reply.data, reply.size);
                message = written ? QStringLiteral("Operation success!") : QStringLiteral("Operation failed!");
                return written ? Step::Done : Step::Failed;
            }
            return Step::Wait;
        },
        &message);
    if (!ok)
        return Cli::Failed;
    if (command.json()) {
        QJsonObject o { { QStringLiteral("ip"), args[0] }, { QStringLiteral("ports"), portsJson(table) } };
        Cli::printJson(o);
    } else {
        Cli::out() << portsText(table) << '\n';
        if (set)
            Cli::out() << message << '\n';
        Cli::out().flush();
    }
    return Cli::Ok;
}

int params(const QStringList& arguments)
{
    Command command(QStringLiteral("params"), QStringLiteral("params <ip> get | set <file.ini|file.json>"),
        QStringLiteral("Reads the card's fixed parameters (name, serial number, MAC address, ...), or writes "
                       "them from a file: INI with the group \"fixed_param\" (as the tool saves them) or a "
                       "JSON object of string values."));
    QStringList args;
    if (!prepare(command, arguments, 2, 3, &args))
        return command.exitCode();
    bool set = false;
    if (!getOrSet(command, args, QStringLiteral("a file"), &set))
        return command.exitCode();

    QVector<FixedParams::Row> rows;
    QByteArray json;
    if (set) {
        QString error;
        if (!command.fileExists(args[2], QStringLiteral("parameter file")))
            return command.exitCode();
        if (!loadParams(args[2], &rows, &error))
            return command.usageError(QStringLiteral("Load fixed parameter failed! (%1)").arg(error));
        const FixedParams::WritePlan plan = FixedParams::planWrite(rows);
        if (plan.outcome == FixedParams::WritePlan::Invalid)
            return command.usageError(QStringLiteral("Invaild settings!"));
        if (plan.outcome == FixedParams::WritePlan::AskAboutEmpty)
            Cli::err() << "netquill-cli: There is item or value is empty! And these will no be set to device!\n";
        json = plan.json;
    }

    CardExchange card(args[0]);
    QString message;
    const bool ok = ask(
        command, card, set ? CommandCode::WriteFixedParams : CommandCode::ReadFixedParams, json,
        [&](const CardExchange::Reply& reply) {
            if (!set && reply.cmd == CommandCode::ReadFixedParams) {
                const QByteArray bytes(reinterpret_cast<const char*>(reply.data), reply.size);
                if (!FixedParams::parseReadReply(bytes, &rows)) {
                    message = QStringLiteral("Read data failed!");
                    return Step::Failed;
                }
                return Step::Done;
            }
            if (set && reply.cmd == CommandCode::WriteFixedParams) {
                const bool written = ResultByte::succeeded(reply.data, reply.size);
                message = written ? QStringLiteral("Operation success!") : QStringLiteral("Operation failed!");
                return written ? Step::Done : Step::Failed;
            }
            return Step::Wait;
        },
        &message);
    if (!ok)
        return Cli::Failed;
    if (set) {
        if (command.json())
            Cli::printJson(QJsonObject { { QStringLiteral("ip"), args[0] },
                { QStringLiteral("written"), QJsonDocument::fromJson(json).object() } });
        else
            Cli::out() << message << '\n' << Qt::flush;
        return Cli::Ok;
    }
    if (command.json()) {
        QJsonObject o;
        for (const FixedParams::Row& row : rows)
            o.insert(row.key, row.value);
        Cli::printJson(QJsonObject { { QStringLiteral("ip"), args[0] }, { QStringLiteral("params"), o } });
    } else {
        for (const FixedParams::Row& row : rows)
            Cli::out() << row.key << '=' << row.value << '\n';
        Cli::out().flush();
    }
    return Cli::Ok;
}

int console(const QStringList& arguments)
{
    Command command(QStringLiteral("console"), QStringLiteral("console <ip> <command text>"),
        QStringLiteral("Sends one line to the card's console and prints its answer. The words after the "
                       "address make the line (put \"--\" before a line that begins with \"-\")."));
    QStringList args;
    if (!prepare(command, arguments, 2, -1, &args))
        return command.exitCode();
    const QString line = args.mid(1).join(QLatin1Char(' '));
    CardExchange card(args[0]);
    QString answer;
    QString message;
    bool answered = false;
    const bool ok = ask(
        command, card, CommandCode::ConsoleCommand, ConsoleText::encodeLine(line),
        [&](const CardExchange::Reply& reply) {
            if (reply.cmd != CommandCode::ConsoleAnswer)
                return answered ? Step::Settle : Step::Wait;
            answer += ConsoleText::decodeAnswer(reply.data, reply.size);
            answered = true;
            // A long answer may come in several frames.
            return Step::Settle;
        },
        &message);
    if (!ok)
        return Cli::Failed;
    if (command.json())
        Cli::printJson(QJsonObject { { QStringLiteral("ip"), args[0] }, { QStringLiteral("command"), line },
            { QStringLiteral("answer"), answer } });
    else
        Cli::out() << answer << (answer.endsWith(QLatin1Char('\n')) ? "" : "\n") << Qt::flush;
    return Cli::Ok;
}

} // namespace Commands

// date, ports, params and console: the settings, fixed parameters and
// console pages' commands, one request and its reply at a time.

#include "clicommand.h"
#include "commands.h"

#include "link/commandcodes.h"
#include "link/commtcp.h"
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

using Cli::bytes;
using Cli::Command;

// Further frames of one console answer follow within the link's reassembly time.
constexpr int kSettleMs = 300;

const char* const kServiceNames[PortRecords::kServiceCount] = { "ssh", "telnet", "http", "https" };

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
// of string values (other values count as empty).
bool loadParams(const QString& path, QVector<FixedParams::Row>* rows, QString* error)
{
    if (!path.endsWith(QLatin1String(".json"), Qt::CaseInsensitive))
        return FixedParams::loadFile(path, rows, error);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return false;
    }
    // The object the card's read reply holds.
    if (FixedParams::parseReadReply(file.readAll(), rows))
        return true;
    *error = QStringLiteral("not a JSON object");
    return false;
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

    if (!command.connectCard(args[0]))
        return Cli::Failed;
    QString text;
    if (sync) {
        const QDateTime now = QDateTime::currentDateTime();
        text = now.toString(DeviceDate::format());
        // The link itself answers the card's reply: success, or a refusal.
        if (!command.ask(CommandCode::SetDate, DeviceDate::syncData(now), nullptr,
                CommTcp::noticeText(CommandCode::SetDate, false)))
            return Cli::Failed;
    } else {
        QByteArrayList reply;
        if (!command.ask(CommandCode::ReadDate, QByteArray(), &reply))
            return Cli::Failed;
        text = DeviceDate::fromReply(bytes(reply[0]), reply[0].size());
        if (text.isNull())
            return command.cardFailure(QStringLiteral("Read date failed!"));
    }
    if (command.json())
        Cli::printJson(QJsonObject { { QStringLiteral("ip"), args[0] }, { QStringLiteral("date"), text } });
    else if (sync)
        Cli::out() << text << '\n' << CommTcp::noticeText(CommandCode::SetDate, true) << '\n' << Qt::flush;
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

    if (!command.connectCard(args[0]))
        return Cli::Failed;
    // A read first, unless a set names every service.
    if (!set || !std::all_of(std::begin(given), std::end(given), [](bool b) { return b; })) {
        QByteArrayList reply;
        PortRecords::Table current;
        if (!command.ask(CommandCode::ReadPorts, QByteArray(), &reply))
            return Cli::Failed;
        if (!PortRecords::decode(bytes(reply[0]), reply[0].size(), &current))
            return command.cardFailure(QStringLiteral("Read data failed!"));
        for (int i = 0; i < PortRecords::kServiceCount; ++i) {
            if (!given[i])
                table[size_t(i)] = current[size_t(i)];
        }
    }
    if (set) {
        const QByteArray data = PortRecords::encode(table);
        if (data.isEmpty())
            return command.cardFailure(QStringLiteral("Port settings error!"));
        if (!command.ask(CommandCode::WritePorts, data, nullptr, QStringLiteral("Operation failed!")))
            return Cli::Failed;
    }
    if (command.json()) {
        QJsonObject o { { QStringLiteral("ip"), args[0] }, { QStringLiteral("ports"), portsJson(table) } };
        Cli::printJson(o);
    } else {
        Cli::out() << portsText(table) << '\n';
        if (set)
            Cli::out() << "Operation success!\n";
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

    if (!command.connectCard(args[0]))
        return Cli::Failed;
    if (set) {
        if (!command.ask(CommandCode::WriteFixedParams, json, nullptr, QStringLiteral("Operation failed!")))
            return Cli::Failed;
        if (command.json())
            Cli::printJson(QJsonObject { { QStringLiteral("ip"), args[0] },
                { QStringLiteral("written"), QJsonDocument::fromJson(json).object() } });
        else
            Cli::out() << "Operation success!\n" << Qt::flush;
        return Cli::Ok;
    }
    QByteArrayList reply;
    if (!command.ask(CommandCode::ReadFixedParams, QByteArray(), &reply))
        return Cli::Failed;
    if (!FixedParams::parseReadReply(reply[0], &rows))
        return command.cardFailure(QStringLiteral("Read data failed!"));
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
    QByteArrayList frames;
    // A long answer may come in several frames.
    if (!command.connectCard(args[0])
        || !command.ask(CommandCode::ConsoleCommand, ConsoleText::encodeLine(line), &frames, QString(),
            CommandCode::ConsoleAnswer, kSettleMs))
        return Cli::Failed;
    QString answer;
    for (const QByteArray& frame : frames)
        answer += ConsoleText::decodeAnswer(bytes(frame), frame.size());
    if (command.json())
        Cli::printJson(QJsonObject { { QStringLiteral("ip"), args[0] }, { QStringLiteral("command"), line },
            { QStringLiteral("answer"), answer } });
    else
        Cli::out() << answer << (answer.endsWith(QLatin1Char('\n')) ? "" : "\n") << Qt::flush;
    return Cli::Ok;
}

} // namespace Commands

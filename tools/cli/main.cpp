// netquill-cli: the tool's card operations without a window, for scripts and
// production lines. Each command has its own --help; exit status 0 success,
// 1 the operation failed, 2 a usage error.

#include "platform/version.h"
#include "clicommand.h"
#include "commands.h"

#include <QCoreApplication>

namespace {

struct Entry {
    const char* name;
    int (*run)(const QStringList&);
    const char* synopsis;
};

const Entry kCommands[] = {
    { "version", Commands::version, "version  <ip> [--type app|firmware|patch|root|N]" },
    { "program", Commands::program, "program  <ip> <image> [--type ...] [--install-timeout S]" },
    { "backup", Commands::backup, "backup   <ip> <file> [--type ...]" },
    { "batch", Commands::batch,
        "batch    --devices <list.txt|.csv|.xlsx> (--image <file> | --version-only) [--type ...] [--jobs N] "
        "[--report <file>]" },
    { "search", Commands::search, "search   --interface <name> [--seconds S]" },
    { "set-ip", Commands::setIp,
        "set-ip   --interface <name> --mac <MAC> --ip <A> [--netmask M] [--gateway G] [--card-interface NAME]" },
    { "reboot", Commands::reboot, "reboot   --interface <name> --mac <MAC>" },
    { "date", Commands::date, "date     <ip> get|sync" },
    { "ports", Commands::ports, "ports    <ip> get | set ssh=on:22,telnet=off:23,http=on:80,https=on:443" },
    { "params", Commands::params, "params   <ip> get | set <file.ini|file.json>" },
    { "console", Commands::console, "console  <ip> <command text>" },
};

QString usage()
{
    QString text = QStringLiteral(
        "Usage: netquill-cli <command> [arguments] [--json]\n\n"
        "Works on network-management cards over their command service (TCP port 8712) and, for search,\n"
        "set-ip and reboot, over the link-layer and UDP discovery of one network interface.\n\n"
        "Commands:\n");
    for (const Entry& entry : kCommands)
        text += QStringLiteral("  netquill-cli ") + QLatin1String(entry.synopsis) + QLatin1Char('\n');
    text += QStringLiteral(
        "\n--json prints the result as one JSON document on stdout. \"netquill-cli <command> --help\" tells more;\n"
        "\"netquill-cli --version\" prints the version.\n"
        "Exit status: 0 success, 1 the operation failed, 2 a usage error.\n");
    return text;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("netquill-cli"));
    const QStringList arguments = app.arguments().mid(1);
    const QString name = arguments.value(0);
    if (name == QLatin1String("--help") || name == QLatin1String("-h") || name == QLatin1String("help")) {
        Cli::out() << usage() << Qt::flush;
        return Cli::Ok;
    }
    if (name == QLatin1String("--version") || name == QLatin1String("-v")) {
        Cli::out() << "netquill-cli " << NETQUILL_VERSION << '\n' << Qt::flush;
        return Cli::Ok;
    }
    for (const Entry& entry : kCommands) {
        if (name == QLatin1String(entry.name))
            return entry.run(arguments.mid(1));
    }
    Cli::err() << "netquill-cli: "
               << (name.isEmpty() ? QStringLiteral("no command given")
                                  : QStringLiteral("unknown command \"%1\"").arg(name))
               << "\n\n"
               << usage() << Qt::flush;
    return Cli::Usage;
}

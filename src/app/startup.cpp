#include "startup.h"

#include "platform/version.h"
#include "platform/apppaths.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSettings>
#include <QTextStream>
#include <QTranslator>

namespace StartUp {


int applyLanguage(QSettings& settings, QTranslator& translator)
{
    const QString key = QStringLiteral("language");
    if (!settings.contains(key)) {
        settings.setValue(key, QStringLiteral("English"));
        return 0;
    }
    if (settings.value(key).toString() != QLatin1String("Chinese"))
        return 0;
    if (translator.load(AppPaths::translationFile()))
        QCoreApplication::installTranslator(&translator);
    return 1;
}

int answerCommandLine(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Netquill maintains network-management cards. It finds them on the local network (UDP multicast and a\n"
        "raw-Ethernet search), gives a card new IP settings or reboots it, and, connected to one card over its\n"
        "command service (TCP port 8712), reads and programs its firmware, backs it up, sets its clock and\n"
        "service ports, edits its fixed parameters, follows its logs, drives its RS-485 port and types console\n"
        "commands; it also programs whole lists of cards in parallel."));
    // Not addHelpOption(): its --help-all would print Qt's options, which
    // only the application object made later can read.
    const QCommandLineOption help(
        { QStringLiteral("h"), QStringLiteral("help") }, QStringLiteral("Displays this help."));
    parser.addOption(help);
    const QCommandLineOption version = parser.addVersionOption();
    // Qt's own options (-platform, -style, ...) are the application
    // object's: a parse error here is no error.
    parser.parse(arguments);
    if (!parser.isSet(help) && !parser.isSet(version))
        return -1;

    // The usage line names the program as the manual does, whatever the
    // path it was started by.
    int nameCount = 1;
    char name[] = "netquill";
    char* nameOnly[] = { name, nullptr };
    QCoreApplication app(nameCount, nameOnly);
    QTextStream out(stdout);
    if (parser.isSet(version))
        out << "netquill " << NETQUILL_VERSION << '\n';
    else
        out << parser.helpText();
    return 0;
}

} // namespace StartUp

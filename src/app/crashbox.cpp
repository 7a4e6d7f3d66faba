// netquill-crashbox: the small helper that the crash handler starts after it
// has written the dump. A signal handler cannot open a window, and a crashed
// process cannot be trusted to run an event loop, so the box comes from here.

#include <QApplication>
#include <QCommandLineParser>
#include <QMessageBox>
#include <QSettings>
#include <QTextStream>
#include <QTimer>
#include <QTranslator>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Shows the crash box of Netquill."));
    parser.addHelpOption();
    const QCommandLineOption codeOption(
        QStringLiteral("code"), QStringLiteral("Exception code."), QStringLiteral("hex"));
    const QCommandLineOption addressOption(
        QStringLiteral("address"), QStringLiteral("Faulting instruction address."), QStringLiteral("hex"));
    const QCommandLineOption dumpOption(
        QStringLiteral("dump"), QStringLiteral("The dump written."), QStringLiteral("file"));
    const QCommandLineOption echoOption(QStringLiteral("echo"), QStringLiteral("Also print the box's text."));
    const QCommandLineOption catalogueOption(QStringLiteral("catalogue"),
        QStringLiteral("The Chinese catalogue (default translations/zh.qm)."), QStringLiteral("file"),
        QStringLiteral("translations/zh.qm"));
    const QCommandLineOption autoCloseOption(
        QStringLiteral("auto-close-ms"), QStringLiteral("Close the box by itself after ms."), QStringLiteral("ms"));
    parser.addOptions({ codeOption, addressOption, dumpOption, echoOption, catalogueOption, autoCloseOption });
    parser.process(app);

    // The same language rule as the tool's start-up; the settings are in the
    // working directory the tool handed down.
    QTranslator translator;
    const QSettings settings(QStringLiteral("config/settings.ini"), QSettings::IniFormat);
    if (settings.value(QStringLiteral("language")).toString() == QLatin1String("Chinese")
        && translator.load(parser.value(catalogueOption)))
        app.installTranslator(&translator);

    const QString title = QCoreApplication::translate("CrashHandler", "Crash");
    const QString text = QCoreApplication::translate("CrashHandler", "Code: %1, address: %2")
                             .arg(parser.value(codeOption), parser.value(addressOption));
    if (parser.isSet(echoOption)) {
        QTextStream out(stdout);
        out << title << ": " << text;
        if (parser.isSet(dumpOption))
            out << " [" << parser.value(dumpOption) << "]";
        out << Qt::endl;
    }
    QMessageBox box(QMessageBox::Critical, title, text, QMessageBox::Ok);
    if (parser.isSet(autoCloseOption))
        QTimer::singleShot(parser.value(autoCloseOption).toInt(), &box, &QMessageBox::accept);
    box.exec();
    return 0;
}

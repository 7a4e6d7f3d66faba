#include "app/crashhandler.h"
#include "app/messagebox.h"
#include "app/startup.h"
#include "mainwindow/mainwindow.h"

#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QSettings>
#include <QTranslator>

#include <memory>

int main(int argc, char* argv[])
{
    CrashHandler::install();

    QApplication app(argc, argv);
    app.setWindowIcon(QIcon(QStringLiteral(":/image/talvo-tool.ico")));
    MessageBox::installAsNoticeHandler();

    QDir().mkpath(QStringLiteral("config"));
    QSettings settings(QString::fromLatin1(StartUp::kSettingsFile), QSettings::IniFormat);
    QTranslator translator;
    const int language = StartUp::applyLanguage(settings, translator);

    auto window = std::make_unique<MainWindow>(nullptr);
    window->setTranslator(&translator, language);
    window->show();

    const int exitCode = app.exec();
    window.reset();
    return exitCode;
}

#include "platform/apppaths.h"
#include "app/crashhandler.h"
#include "prompts/messagebox.h"
#include "app/startup.h"
#include "mainwindow/mainwindow.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QIcon>
#include <QSettings>
#include <QTranslator>

#include <memory>

int main(int argc, char* argv[])
{
    // The crash box reads the settings from the working directory it
    // inherits, and the catalogue from where this tool finds its own.
    const QByteArray crashBox = QFile::encodeName(AppPaths::crashBoxPath());
    const QByteArray catalogue = QFile::encodeName(AppPaths::translationFile());
    const char* const crashBoxArgs[] = { "--catalogue", catalogue.constData(), nullptr };
    CrashHandler::install(crashBox.constData(), crashBoxArgs);

    const int answered = StartUp::answerCommandLine(argc, argv);
    if (answered >= 0)
        return answered;

    QApplication app(argc, argv);
    app.setWindowIcon(QIcon(QStringLiteral(":/image/talvo-tool.ico")));

    // The installed tool works in the user's data folder; a build-tree run
    // stays where it was started.
    if (!AppPaths::enterWorkingDirectory()) {
        MessageBox::sure(nullptr, QMessageBox::Critical, QStringLiteral("Netquill"),
            QCoreApplication::translate("StartUp", "Netquill keeps its settings in %1, which cannot be created.")
                .arg(QDir::toNativeSeparators(AppPaths::userDataDirectory())));
        return 1;
    }

    QDir().mkpath(QStringLiteral("config"));
    QSettings settings(QString::fromLatin1(MainWindow::kSettingsFile), QSettings::IniFormat);
    QTranslator translator;
    const int language = StartUp::applyLanguage(settings, translator);

    auto window = std::make_unique<MainWindow>(nullptr);
    window->setTranslator(&translator, language);
    window->show();

    const int exitCode = app.exec();
    window.reset();
    return exitCode;
}

#include "dialogprompt.h"

#include "messagebox.h"
#include "platform/filechoice.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QMenu>
#include <QVariant>

namespace {

DialogPrompt::Responder& responder()
{
    static DialogPrompt::Responder r;
    return r;
}

QString& folderMemory()
{
    static QString file;
    return file;
}

// A file the caller names (the image in its field) is where the dialog
// opens; a folder the caller names is where it opens only the first time.
QString startFolder(const QString& directory, const char* purpose)
{
    if (QFileInfo(directory).isFile())
        return directory;
    return FileChoice::folder(folderMemory(), purpose, directory);
}

} // namespace

QString DialogPrompt::cardAddress(const QWidget* widget)
{
    return widget ? widget->window()->property(kCardAddress).toString() : QString();
}

QString DialogPrompt::openFileName(
    QWidget* parent, const QString& caption, const QString& directory, const QString& filter, const char* purpose)
{
    const Request request { Kind::OpenFile, parent, caption, startFolder(directory, purpose), filter, {}, {},
        QLatin1String(purpose), {} };
    const QString chosen = responder() ? responder()(request).toString()
                                       : QFileDialog::getOpenFileName(parent, caption, request.directory, filter);
    FileChoice::rememberFolder(folderMemory(), purpose, chosen);
    return chosen;
}

QString DialogPrompt::saveFileName(QWidget* parent, const QString& caption, const QString& directory,
    const QString& filter, const char* purpose, const QString& suggestedName)
{
    Request request { Kind::SaveFile, parent, caption, startFolder(directory, purpose), filter, {}, {},
        QLatin1String(purpose), suggestedName };
    // Each round is the technician's: a cancel ends it.
    for (;;) {
        const QString start = request.suggestedName.isEmpty() ? request.directory
                                                              : QDir(request.directory).filePath(request.suggestedName);
        const QString chosen = responder() ? responder()(request).toString()
                                           : QFileDialog::getSaveFileName(parent, caption, start, filter);
        const QString path = FileChoice::withFilterSuffix(chosen, filter);
        // The dialog asked about the name as typed, not the one with the suffix.
        if (path != chosen && QFileInfo::exists(path)
            && MessageBox::standard(parent, QMessageBox::Warning, caption,
                   QCoreApplication::translate("DialogPrompt", "%1 already exists.\nDo you want to replace it?")
                       .arg(QFileInfo(path).fileName()),
                   QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
                != QMessageBox::Yes) {
            request.directory = QFileInfo(path).absolutePath();
            request.suggestedName = QFileInfo(path).fileName();
            continue;
        }
        FileChoice::rememberFolder(folderMemory(), purpose, path);
        return path;
    }
}

void DialogPrompt::setFolderMemory(const QString& settingsFile)
{
    folderMemory() = settingsFile.isEmpty() ? QString() : QFileInfo(settingsFile).absoluteFilePath();
}

QString DialogPrompt::savedTo(const QString& path)
{
    return QCoreApplication::translate("DialogPrompt", "Saved to %1").arg(QDir::toNativeSeparators(path));
}

QFont DialogPrompt::font(const QFont& initial)
{
    if (responder()) {
        const QVariant answer = responder()(Request { Kind::Font, nullptr, {}, {}, {}, initial, {}, {}, {} });
        return answer.canConvert<QFont>() ? answer.value<QFont>() : initial;
    }
    bool ok = false;
    const QFont chosen = QFontDialog::getFont(&ok, initial, nullptr);
    return ok ? chosen : initial;
}

QAction* DialogPrompt::popup(QMenu* menu, const QPoint& globalPos)
{
    if (responder()) {
        Request request { Kind::Menu, menu->parentWidget(), menu->title(), {}, {}, {}, {}, {}, {} };
        for (QAction* action : menu->actions())
            request.menuEntries.append(action->text());
        const QString chosen = responder()(request).toString();
        for (QAction* action : menu->actions()) {
            if (!chosen.isEmpty() && action->text() == chosen) {
                action->trigger();
                return action;
            }
        }
        return nullptr;
    }
    return menu->exec(globalPos);
}

void DialogPrompt::setResponder(Responder r)
{
    responder() = std::move(r);
}

#include "dialogprompt.h"

#include <QAction>
#include <QFileDialog>
#include <QFontDialog>
#include <QMenu>
#include <QVariant>

namespace {

DialogPrompt::Responder& responder()
{
    static DialogPrompt::Responder r;
    return r;
}

} // namespace

QString DialogPrompt::openFileName(
    QWidget* parent, const QString& caption, const QString& directory, const QString& filter)
{
    if (responder())
        return responder()(Request { Kind::OpenFile, parent, caption, directory, filter, {}, {} }).toString();
    return QFileDialog::getOpenFileName(parent, caption, directory, filter);
}

QString DialogPrompt::saveFileName(
    QWidget* parent, const QString& caption, const QString& directory, const QString& filter)
{
    if (responder())
        return responder()(Request { Kind::SaveFile, parent, caption, directory, filter, {}, {} }).toString();
    return QFileDialog::getSaveFileName(parent, caption, directory, filter);
}

QFont DialogPrompt::font(const QFont& initial)
{
    if (responder()) {
        const QVariant answer = responder()(Request { Kind::Font, nullptr, {}, {}, {}, initial, {} });
        return answer.canConvert<QFont>() ? answer.value<QFont>() : initial;
    }
    bool ok = false;
    const QFont chosen = QFontDialog::getFont(&ok, initial, nullptr);
    return ok ? chosen : initial;
}

QAction* DialogPrompt::popup(QMenu* menu, const QPoint& globalPos)
{
    if (responder()) {
        Request request { Kind::Menu, menu->parentWidget(), menu->title(), {}, {}, {}, {} };
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

#include "usernotice.h"

#include <QDebug>

namespace UserNotice {

static Handler& handler()
{
    static Handler h;
    return h;
}

void setHandler(Handler h)
{
    handler() = std::move(h);
}

void show(Icon icon, const QString& title, const QString& text)
{
    if (handler()) {
        handler()(icon, title, text);
        return;
    }
    qWarning().noquote() << (icon == Icon::Warning ? "warning:" : "information:") << title << "-" << text;
}

} // namespace UserNotice

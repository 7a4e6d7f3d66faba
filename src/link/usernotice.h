#pragma once

#include <QMetaType>
#include <QString>
#include <functional>

// How code without widgets (the command link) tells the technician something.
// The GUI installs a handler that opens the message box; the call returns when
// the box has been closed. Without a handler (command-line use) the notice is
// written to the diagnostic output.
namespace UserNotice {

enum class Icon { Information, Warning };

using Handler = std::function<void(Icon icon, const QString& title, const QString& text)>;

void setHandler(Handler handler);
void show(Icon icon, const QString& title, const QString& text);

} // namespace UserNotice

Q_DECLARE_METATYPE(UserNotice::Icon)

#include "messagebox.h"

#include <QCoreApplication>
#include <QPushButton>

namespace {

MessageBox::Responder& responder()
{
    static MessageBox::Responder r;
    return r;
}

} // namespace

QString MessageBox::sureText()
{
    return QCoreApplication::translate("MessageBox", "Sure");
}

void MessageBox::sure(
    QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text, const QString& informativeText)
{
    Box box;
    box.kind = Kind::Sure;
    box.icon = icon;
    box.title = title;
    box.text = text;
    box.informativeText = informativeText;
    box.parent = parent;
    box.buttons = QStringList { sureText() };
    box.defaultIndex = 0;
    box.escapeIndex = 0;
    if (responder()) {
        responder()(box);
        return;
    }
    QMessageBox mb(icon, title, text, QMessageBox::NoButton, parent);
    mb.setInformativeText(informativeText);
    QPushButton* button = mb.addButton(box.buttons.first(), QMessageBox::AcceptRole);
    mb.setDefaultButton(button);
    mb.setEscapeButton(button);
    mb.exec();
}

QMessageBox::StandardButton MessageBox::standard(QWidget* parent, QMessageBox::Icon icon, const QString& title,
    const QString& text, QMessageBox::StandardButtons buttons, QMessageBox::StandardButton defaultButton)
{
    Box box;
    box.kind = Kind::Standard;
    box.icon = icon;
    box.title = title;
    box.text = text;
    box.parent = parent;
    box.standardButtons = buttons;
    box.defaultButton = defaultButton;
    if (responder())
        return QMessageBox::StandardButton(responder()(box));
    QMessageBox mb(icon, title, text, buttons, parent);
    if (defaultButton != QMessageBox::NoButton)
        mb.setDefaultButton(defaultButton);
    return QMessageBox::StandardButton(mb.exec());
}

int MessageBox::custom(QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text,
    const QStringList& buttons, int defaultIndex, int escapeIndex)
{
    Box box;
    box.kind = Kind::Custom;
    box.icon = icon;
    box.title = title;
    box.text = text;
    box.parent = parent;
    box.buttons = buttons;
    box.defaultIndex = defaultIndex;
    box.escapeIndex = escapeIndex;
    if (responder())
        return responder()(box);
    QMessageBox mb(icon, title, text, QMessageBox::NoButton, parent);
    QList<QAbstractButton*> made;
    for (const QString& label : buttons)
        made.append(mb.addButton(label, QMessageBox::ActionRole));
    if (defaultIndex >= 0 && defaultIndex < made.size())
        mb.setDefaultButton(static_cast<QPushButton*>(made.at(defaultIndex)));
    if (escapeIndex >= 0 && escapeIndex < made.size())
        mb.setEscapeButton(made.at(escapeIndex));
    mb.exec();
    const int chosen = made.indexOf(mb.clickedButton());
    return chosen >= 0 ? chosen : escapeIndex;
}

QPointer<QMessageBox> MessageBox::openPending(
    QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text)
{
    Box box;
    box.kind = Kind::Pending;
    box.icon = icon;
    box.title = title;
    box.text = text;
    box.parent = parent;
    box.standardButtons = QMessageBox::Ok;
    auto* mb = new QMessageBox(icon, title, text, QMessageBox::Ok, parent);
    mb->setAttribute(Qt::WA_DeleteOnClose);
    mb->setWindowModality(Qt::ApplicationModal);
    QPointer<QMessageBox> pointer(mb);
    if (responder()) {
        responder()(box);
        return pointer;
    }
    mb->show();
    return pointer;
}

void MessageBox::closePending(QPointer<QMessageBox>& box)
{
    if (box) {
        box->hide();
        box->deleteLater();
    }
    box.clear();
}

void MessageBox::setResponder(Responder r)
{
    responder() = std::move(r);
}

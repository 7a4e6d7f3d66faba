#pragma once

#include <QMessageBox>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <functional>

// The one way the tool opens a message box. Each call builds the box the
// technician is meant to see (icon, title, text, buttons, parent) and runs it.
//
// Tests install a responder: it receives a description of each box and
// returns the button to press, so no test waits on a modal loop and every
// test can read what the technician was told.
class MessageBox {
public:
    enum class Kind {
        Sure, // one custom button "Sure"
        Standard, // standard buttons; the answer is a QMessageBox::StandardButton
        Custom, // custom buttons; the answer is the index of the button pressed
        Pending, // opened without waiting; closed by the program (or the user)
    };

    struct Box {
        Kind kind = Kind::Sure;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QString title;
        QString text;
        QString informativeText; // shown under the text, in a smaller font
        QWidget* parent = nullptr;
        QStringList buttons; // custom button texts, in order
        QMessageBox::StandardButtons standardButtons = QMessageBox::NoButton;
        QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
        int defaultIndex = -1; // custom buttons
        int escapeIndex = -1; // custom buttons
    };

    // Returns the answer for the box: for Standard boxes a StandardButton,
    // for Sure and Custom boxes the index of the button.
    using Responder = std::function<int(const Box& box)>;

    // An information, warning or critical box with one button "Sure".
    static void sure(QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text,
        const QString& informativeText = QString());
    static void information(
        QWidget* parent, const QString& title, const QString& text, const QString& informativeText = QString())
    {
        sure(parent, QMessageBox::Information, title, text, informativeText);
    }
    static void warning(QWidget* parent, const QString& title, const QString& text)
    {
        sure(parent, QMessageBox::Warning, title, text);
    }

    // A box with standard buttons; returns the button chosen (Escape gives
    // the escape button Qt derives from the set, for example No).
    static QMessageBox::StandardButton standard(QWidget* parent, QMessageBox::Icon icon, const QString& title,
        const QString& text, QMessageBox::StandardButtons buttons,
        QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);

    // A box with custom buttons; returns the index of the button pressed
    // (Escape presses the escape button).
    static int custom(QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text,
        const QStringList& buttons, int defaultIndex, int escapeIndex);

    // Opens an application-modal box with an OK button and returns at once;
    // the caller closes it when the awaited reply arrives. The pointer turns
    // null when the box is gone. With a responder installed the box is still
    // created (so the caller's close path runs) but never shown.
    static QPointer<QMessageBox> openPending(
        QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text);

    // Closes a box opened with openPending, if it is still there, and
    // forgets it. (A box that was never shown ignores close().)
    static void closePending(QPointer<QMessageBox>& box);

    static void setResponder(Responder responder);

    // The text of the one custom button of most boxes.
    static QString sureText();
};

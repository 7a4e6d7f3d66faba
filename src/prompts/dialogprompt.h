#pragma once

#include <QFont>
#include <QPoint>
#include <QString>
#include <functional>

class QAction;
class QMenu;
class QWidget;

// The one way the tool asks for a file name, a font or a context-menu choice.
// Like MessageBox, tests install a responder that answers instead of the user.
class DialogPrompt {
public:
    enum class Kind { OpenFile, SaveFile, Font, Menu };

    struct Request {
        Kind kind = Kind::OpenFile;
        QWidget* parent = nullptr;
        QString caption;
        QString directory;
        QString filter;
        QFont font; // Font: the preset font
        QStringList menuEntries; // Menu: the texts of the menu's actions, in order
    };

    // For file requests the answer is the chosen path (empty: cancelled), for
    // Font the chosen font (an invalid variant: cancelled), for Menu the text
    // of the entry chosen (empty: none).
    using Responder = std::function<QVariant(const Request& request)>;

    static QString openFileName(
        QWidget* parent, const QString& caption, const QString& directory, const QString& filter);
    static QString saveFileName(
        QWidget* parent, const QString& caption, const QString& directory, const QString& filter);
    // The font dialog preset with `initial`; a cancelled dialog gives `initial` back.
    static QFont font(const QFont& initial);
    // Runs `menu` modally at `globalPos` and returns the action chosen, or null.
    static QAction* popup(QMenu* menu, const QPoint& globalPos);

    static void setResponder(Responder responder);
};

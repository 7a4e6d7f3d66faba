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
        QString purpose; // file requests: what the file is for (kImage, ...), or empty
        QString suggestedName; // SaveFile: the name offered in `directory`
    };

    // What a file dialog is for; each purpose opens where it was last used.
    static constexpr const char* kImage = "image";
    static constexpr const char* kBackup = "backup";
    static constexpr const char* kParameters = "parameters";
    static constexpr const char* kDeviceList = "device-list";
    static constexpr const char* kBatchReport = "batch-report";
    static constexpr const char* kBatchCsv = "batch-csv";
    static constexpr const char* kJournal = "journal";

    // The main window's property naming the card it is connected to (empty
    // while none is): save dialogs name files after the card.
    static constexpr const char* kCardAddress = "cardAddress";
    static QString cardAddress(const QWidget* widget);

    // For file requests the answer is the chosen path (empty: cancelled), for
    // Font the chosen font (an invalid variant: cancelled), for Menu the text
    // of the entry chosen (empty: none).
    using Responder = std::function<QVariant(const Request& request)>;

    // A file dialog for `purpose` opens in the folder it was last accepted
    // in, while that exists and folders are remembered (setFolderMemory);
    // otherwise, and whenever `directory` names an existing file (which the
    // dialog then selects), in `directory`.
    static QString openFileName(QWidget* parent, const QString& caption, const QString& directory,
        const QString& filter, const char* purpose = nullptr);
    // The same, offering `suggestedName`. A name chosen without the filter's
    // suffix gets it (FileChoice::withFilterSuffix); when a file of that
    // name exists, the technician is asked before it is replaced, and the
    // dialog opens again unless they agree.
    static QString saveFileName(QWidget* parent, const QString& caption, const QString& directory,
        const QString& filter, const char* purpose = nullptr, const QString& suggestedName = QString());
    // Where each purpose's last folder is kept (an INI file, see FileChoice);
    // empty, the default: nothing is remembered.
    static void setFolderMemory(const QString& settingsFile);
    // The informative text of the box that follows a save: "Saved to <path>".
    static QString savedTo(const QString& path);
    // The font dialog preset with `initial`; a cancelled dialog gives `initial` back.
    static QFont font(const QFont& initial);
    // Runs `menu` modally at `globalPos` and returns the action chosen, or null.
    static QAction* popup(QMenu* menu, const QPoint& globalPos);

    static void setResponder(Responder responder);
};

#pragma once

#include <optional>
#include <string>
#include <string_view>

class QPrinter;
class QWidget;

// Every message box and every open, save and print dialog of the program goes through one
// Prompts object; no other code opens a modal box. The program uses QtPrompts; tests install
// FakePrompts (tests/support), which records each box and returns scripted answers.
//
// Captions, texts and filters are the program's Windows-1250 byte strings. Folders and file
// names are file-system byte strings (as the program opens them), not Windows-1250 texts.
class Prompts {
public:
    enum class Icon { None, Information, Warning, Error, Question };
    enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel };
    enum class Answer { Ok, Cancel, Yes, No };

    struct FileDialog {
        std::string caption;           // empty: the dialog's own title
        std::string filter;            // "Text Files (*.txt)"; several joined by ";;"
        std::string defaultExtension;  // "txt" or ".txt", save only; empty: none
        std::string initialFolder;     // where the dialog starts
        std::string fallbackFolder;    // used when initialFolder is no existing folder
        std::string fileName;          // the proposed name, may hold a folder
        bool mustExist = true;         // open only: false accepts the name of a missing file
    };

    virtual ~Prompts() = default;

    // A box owned by owner (may be null) with the given buttons; gives the button pressed.
    // Closing the box without a button gives Cancel, or No when there is no Cancel.
    virtual Answer message(QWidget* owner, Icon icon, std::string_view caption,
                           std::string_view text, Buttons buttons = Buttons::Ok) = 0;
    // A question: message() with Yes/No (or Yes/No/Cancel) buttons.
    Answer ask(QWidget* owner, Icon icon, std::string_view caption, std::string_view text,
               Buttons buttons = Buttons::YesNo);

    // The chosen file, or nothing on Cancel or an empty name.
    std::optional<std::string> openFile(QWidget* owner, FileDialog dialog);
    // As openFile. The dialog never asks before replacing a file. A chosen name without any
    // '.' in its last part gets the default extension.
    std::optional<std::string> saveFile(QWidget* owner, FileDialog dialog);

    // Lets the user choose and set up printer; false on Cancel.
    virtual bool choosePrinter(QWidget* owner, QPrinter& printer) = 0;

    // The rules openFile and saveFile apply around the dialogs, public for their tests.
    static std::string startFolder(const FileDialog& dialog);
    static std::string withDefaultExtension(std::string name, std::string_view extension);

protected:
    // The dialogs themselves. dialog.initialFolder is already an existing folder (or the
    // fallback); an empty result means Cancel.
    virtual std::string showOpenDialog(QWidget* owner, const FileDialog& dialog) = 0;
    virtual std::string showSaveDialog(QWidget* owner, const FileDialog& dialog) = 0;
};

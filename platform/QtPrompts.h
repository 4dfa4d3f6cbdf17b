#pragma once

#include "Prompts.h"

// The program's Prompts: QMessageBox (plain text, the first button the default),
// QFileDialog (never confirms overwriting; describes files by their names, never by reading
// them) and QPrintDialog.
class QtPrompts : public Prompts {
public:
    Answer message(QWidget* owner, Icon icon, std::string_view caption, std::string_view text,
                   Buttons buttons = Buttons::Ok) override;
    bool choosePrinter(QWidget* owner, QPrinter& printer) override;

protected:
    std::string showOpenDialog(QWidget* owner, const FileDialog& dialog) override;
    std::string showSaveDialog(QWidget* owner, const FileDialog& dialog) override;
};

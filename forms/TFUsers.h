#pragma once

#include "ProgramPaths.h"
#include "UserRecord.h"

#include <QWidget>

#include <optional>
#include <string>
#include <vector>

class Clock;
class Prompts;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class StringGridView;
class TForm11;
struct UsersFileRead;

// The accounts window (object "FUsers", "Users and accounts"): an administrator lists,
// adds, changes and deletes the accounts of "users.dat". Every operation reads the file
// whole and every change replaces it whole; the window keeps no state beyond its controls.
// Created hidden after the settings window; a close only hides it.
class TFUsers : public QWidget {
    Q_OBJECT
public:
    TFUsers(TForm11& form11, const ProgramPaths& paths, Prompts& prompts, Clock& clock);

    // The grid's header texts.
    void FormCreate();
    // The list load: at every activation and after each Add/Change.
    void FormActivate();
    // Clears the name, passwords and level, and unticks the rights.
    void FormClose();
    void Grid_usersSelectCell(int col, int row);
    void Butt_addClick();
    void Butt_deleteClick();
    void Butt_endClick();

    void UsersTextsEnglish();
    void UsersTextsItalian();
    void UsersTextsPolish();

    StringGridView* Grid_users;
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Label4;
    QLineEdit* Edit_user;
    QLineEdit* Edit_pass1;
    QLineEdit* Edit_pass2;
    QComboBox* Combo_access;
    QCheckBox* Check_dev;
    QCheckBox* Check_comm;
    QCheckBox* Check_display;
    QCheckBox* Check_require;
    QPushButton* Butt_delete;
    QPushButton* Butt_add;
    QPushButton* Butt_end;

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    std::string usersPath() const;
    void plainBox(const std::string& text);
    void accountErrorBox();
    void fillGrid(const std::vector<UserRecord>& records);
    void fitColumnsToCells();
    void applyLanguageTexts();
    void addOrChange();

    TForm11& form11_;
    ProgramPaths paths_;
    Prompts& prompts_;
    Clock& clock_;
    // The list load's box is shown once until a load succeeds or the window is shown
    // again: closing a modal box activates this window, which would load again.
    bool listBoxShown_ = false;
};

#pragma once

#include "AccountsFile.h"
#include "AppFixture.h"
#include "StringGridView.h"
#include "TFUsers.h"
#include "TForm11.h"
#include "TLogin.h"
#include "UsEnglishLocale.h"
#include "UsersFile.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

#include <optional>
#include <string>
#include <vector>

// The program's windows with the locale pinned to US English and the clock at 2026-03-05,
// so that a new account is dated "3/5/26"; helpers for the accounts window and the login.
class AccountsFixture : public AppFixture {
protected:
    AccountsFixture() { clock.set({2026, 3, 5, 10, 30, 0, 0}); }

    std::string usersPath() const { return paths().filesDir() + "/users.dat"; }
    std::string fileBytes() const { return readFileBytes(usersPath()); }
    std::vector<UserRecord> fileRecords() const { return DecodeUserRecords(fileBytes()); }

    // Types into the accounts window and presses Add/Change.
    // retyped: the second password box, the first one's text when not given.
    void add(const QString& name, const QString& password, const QString& level, UserRights rights = {},
             const std::optional<QString>& retyped = std::nullopt)
    {
        TFUsers& u = users();
        u.Edit_user->setText(name);
        u.Edit_pass1->setText(password);
        u.Edit_pass2->setText(retyped.value_or(password));
        u.Combo_access->setEditText(level);
        u.Check_dev->setChecked(rights.devices);
        u.Check_comm->setChecked(rights.communication);
        u.Check_display->setChecked(rights.display);
        u.Butt_addClick();
    }
    void remove(const QString& name)
    {
        users().Edit_user->setText(name);
        users().Butt_deleteClick();
    }
    // Types into the login and presses Enter; true when the main window opened.
    bool enter(const QString& name, const QString& password)
    {
        login().Edit_username->setText(name);
        login().Edit_pass->setText(password);
        login().Butt_enterClick();
        return !form11().isHidden();
    }
    // The texts of the boxes shown so far, in order.
    std::vector<std::string> boxTexts() const
    {
        std::vector<std::string> texts;
        for (const FakePrompts::Box& b : prompts.boxes)
            texts.push_back(b.text);
        return texts;
    }
    std::string gridRow(int row) { return rowText(users().Grid_users->grid(), row); }
    // What a password box's undo history still holds once the program has cleared it.
    static std::string undone(QLineEdit* edit)
    {
        edit->setEchoMode(QLineEdit::Normal);
        edit->undo();
        const std::string text = edit->text().toStdString();
        edit->setEchoMode(QLineEdit::Password);
        edit->setText(QString());
        return text;
    }

private:
    UsEnglishLocale locale_;
};

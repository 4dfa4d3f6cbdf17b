#include "AccountsFixture.h"
#include "PasswordHash.h"
#include "TelegramBuilder.h"
#include "Text8.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTest>

#include <array>
#include <csignal>
#include <filesystem>
#include <sys/resource.h>

namespace {

namespace fs = std::filesystem;

std::string bytes(const QString& s) { return Text8::fromUnicode(s); }

const TestAccount Admin {"admin", "Secret1", "Administrator"};

using AccountsWindowTest = AccountsFixture;

// --- passwords ---

TEST_F(AccountsWindowTest, NoTypedPasswordCanBeFoundInTheFile)
{
    writeAccountsFile(usersPath(), {Admin});
    start();
    add("bob", "Pw-x7Q9z", "Operator");
    const std::string file = fileBytes();
    ASSERT_EQ(file.size(), 134u);
    for (int key = 0; key < 256; ++key) {
        std::string scrambled = "Pw-x7Q9z";
        for (char& c : scrambled)
            c = static_cast<char>(static_cast<unsigned char>(c) ^ key);
        EXPECT_EQ(file.find(scrambled), std::string::npos) << "key " << key;
    }
    const UserRecord bob = fileRecords().at(1);
    EXPECT_TRUE(bob.hashed());
    EXPECT_EQ(bob.password, HashPassword("Pw-x7Q9z", UserSalt("bob", "3/5/26")));
}

TEST_F(AccountsWindowTest, OnePasswordForTwoNamesGivesTwoFields)
{
    writeAccountsFile(usersPath(), {});
    start();
    add("anna", "same", "Operator");
    add("bert", "same", "Operator");
    const std::vector<UserRecord> records = fileRecords();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_NE(records[0].password, records[1].password);
}

TEST_F(AccountsWindowTest, NoCopyOfTheTypedPasswordsStaysInThePasswordBoxes)
{
    writeAccountsFile(usersPath(), {Admin});
    start();
    TFUsers& u = users();
    QTest::keyClicks(u.Edit_user, "bob");
    QTest::keyClicks(u.Edit_pass1, "Pw-x7Q9z");
    QTest::keyClicks(u.Edit_pass2, "Pw-x7Q9z");
    u.Combo_access->setEditText("Operator");
    u.Butt_add->click();
    ASSERT_EQ(fileRecords().size(), 2u);
    EXPECT_EQ(undone(u.Edit_pass1), "");
    EXPECT_EQ(undone(u.Edit_pass2), "");

    // Closed with passwords typed in.
    QTest::keyClicks(u.Edit_pass1, "Pw-x7Q9z");
    QTest::keyClicks(u.Edit_pass2, "other");
    u.FormClose();
    EXPECT_EQ(undone(u.Edit_pass1), "");
    EXPECT_EQ(undone(u.Edit_pass2), "");
}

TEST_F(AccountsWindowTest, ARecordInTheReversibleFormIsListedButDoesNotLogIn)
{
    UserRecord old;
    old.name = "old";
    old.password = "Secret1";   // kept as plain text
    old.level = "Administrator";
    old.date = "1/1/20";
    old.rights = UserRights::all();
    old.marker = 0x00;
    writeRawFile(usersPath(), accountRecord(Admin) + EncodeUserRecord(old));
    startAtLogin();
    EXPECT_FALSE(enter("old", "Secret1"));
    EXPECT_EQ(boxTexts().back(), "Wrong username or password!");

    users().FormActivate();
    EXPECT_EQ(gridRow(2), "old|Administrator|1/1/20|Yes|Yes|Yes");
    // A change of its name gives it a hashed password.
    add("old", "Secret1", "Administrator", UserRights::all());
    EXPECT_TRUE(fileRecords().at(1).hashed());
    EXPECT_EQ(fileRecords().at(1).date, "1/1/20");
    EXPECT_TRUE(enter("old", "Secret1"));
}

TEST_F(AccountsWindowTest, AWrongPasswordAndOneOfElevenCharactersFail)
{
    writeAccountsFile(usersPath(), {{"ten", "abcdefghij", "Operator"}});
    startAtLogin();
    EXPECT_FALSE(enter("ten", "abcdefghiJ"));
    EXPECT_FALSE(enter("ten", "abcdefghijk"));
    EXPECT_EQ(boxTexts(), std::vector<std::string>(2, "Wrong username or password!"));
    EXPECT_TRUE(enter("ten", "abcdefghij"));
}

// --- the file ---

TEST_F(AccountsWindowTest, APartialTailIsIgnoredAndDroppedAtTheNextWrite)
{
    writeRawFile(usersPath(), accountRecord(Admin) + "xyz");
    start();
    users().FormActivate();
    EXPECT_EQ(users().Grid_users->grid().RowCount(), 3);
    EXPECT_EQ(gridRow(1), "admin|Administrator|3/5/26|Yes|Yes|Yes");
    add("op", "pw", "Operator");
    EXPECT_EQ(fileBytes().size(), 134u);
    EXPECT_EQ(fileRecords().at(1).name, "op");

    for (std::size_t size : {0u, 66u}) {
        writeRawFile(usersPath(), accountRecord(Admin).substr(0, size));
        users().FormActivate();
        EXPECT_EQ(users().Grid_users->grid().RowCount(), 2) << size;
        EXPECT_EQ(gridRow(1), "|||||") << size;
    }
    EXPECT_TRUE(prompts.boxes.empty());
}

TEST_F(AccountsWindowTest, EveryWriteLeavesMode0600)
{
    writeAccountsFile(usersPath(), {Admin});
    fs::permissions(usersPath(), fs::perms(0644));
    ASSERT_EQ(fileMode(usersPath()), 0644);
    start();
    add("op", "pw", "Operator");
    EXPECT_EQ(fileMode(usersPath()), 0600);
    fs::permissions(usersPath(), fs::perms(0644));
    remove("op");
    EXPECT_EQ(fileBytes().size(), 67u);
    EXPECT_EQ(fileMode(usersPath()), 0600);
}

// Lowers the soft file-size limit, with SIGXFSZ ignored, so that a write past it fails
// half-way; both are restored at the end of the scope.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        EXPECT_EQ(::getrlimit(RLIMIT_FSIZE, &old_), 0);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = old_;
        small.rlim_cur = bytes;
        EXPECT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit old_ {};
    void (*oldHandler_)(int) = SIG_DFL;
};

std::vector<std::string> filesIn(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    return names;
}

TEST_F(AccountsWindowTest, AWriteThatFailsHalfWayLeavesTheOldFile)
{
    writeAccountsFile(usersPath(), {Admin});
    const std::string before = fileBytes();
    start();
    {
        const FileSizeLimit limit(100);   // room for the old record, not for two
        add("op", "pw", "Operator");
    }

    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_EQ(prompts.boxes[0].caption, "Account error");
    EXPECT_EQ(prompts.boxes[0].text, "Missing account file!\nContact administrator");
    EXPECT_EQ(prompts.boxes[0].icon, Prompts::Icon::Error);
    EXPECT_EQ(prompts.boxes[0].owner, &users());
    EXPECT_EQ(fileBytes(), before);
    EXPECT_EQ(filesIn(paths().filesDir()), std::vector<std::string> {"users.dat"});
    // The typed account is still there to try again.
    EXPECT_EQ(users().Edit_user->text(), "op");
}

TEST_F(AccountsWindowTest, ADeleteWhoseWriteFailsLeavesTheOldFile)
{
    writeAccountsFile(usersPath(), {Admin, {"op", "pw", "Operator"}, {"set", "pw", "Setup"}});
    const std::string before = fileBytes();
    start();
    users().FormActivate();
    {
        const FileSizeLimit limit(100);   // less than the two records that would stay
        remove("op");
    }
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_EQ(prompts.boxes[0].caption, "Ferolt");
    EXPECT_EQ(prompts.boxes[0].text, "Missing account file!");
    EXPECT_EQ(prompts.boxes[0].icon, Prompts::Icon::None);
    EXPECT_EQ(prompts.boxes[0].owner, &users());
    EXPECT_EQ(fileBytes(), before);
    EXPECT_EQ(filesIn(paths().filesDir()), std::vector<std::string> {"users.dat"});
    // The list still shows what the file holds.
    EXPECT_EQ(gridRow(2), "op|Operator|3/5/26|Yes|Yes|Yes");
}

TEST_F(AccountsWindowTest, AFolderInPlaceOfTheFileGivesEachOperationItsMessage)
{
    fs::create_directories(usersPath());
    start();
    TFUsers& u = users();
    u.FormActivate();
    u.FormActivate();   // as a closing box activates the window again
    EXPECT_EQ(boxTexts(), std::vector<std::string> {"Missing account file"});
    EXPECT_EQ(prompts.boxes[0].caption, "Ferolt");
    EXPECT_EQ(prompts.boxes[0].icon, Prompts::Icon::None);
    EXPECT_EQ(prompts.boxes[0].owner, &u);
    add("op", "pw", "Operator");
    remove("op");
    ASSERT_EQ(prompts.boxes.size(), 3u);
    EXPECT_EQ(prompts.boxes[1].caption, "Account error");
    EXPECT_EQ(prompts.boxes[2].text, "Missing account file!");
    EXPECT_EQ(prompts.boxes[2].icon, Prompts::Icon::None);

    // Shown again, the window tells once more.
    u.show();
    u.hide();
    u.show();
    u.FormActivate();
    EXPECT_EQ(prompts.boxes.size(), 4u);
    EXPECT_EQ(prompts.boxes.back().text, "Missing account file");
    EXPECT_TRUE(fs::is_directory(usersPath()));
}

TEST_F(AccountsWindowTest, ALinkInPlaceOfTheFileIsNeitherReadNorWritten)
{
    // Another program's file outside the folder, which the link would hand over.
    const std::string outside = folder() + "/elsewhere.dat";
    writeAccountsFile(outside, {Admin, {"op", "pw", "Operator"}});
    fs::permissions(outside, fs::perms(0644));
    const std::string before = readFileBytes(outside);
    fs::create_directories(paths().filesDir());
    fs::create_symlink(outside, usersPath());
    start();
    TFUsers& u = users();
    u.FormActivate();
    EXPECT_EQ(gridRow(1), "|||||") << "an account was read through the link";
    add("new", "pw", "Operator");
    add("op", "other", "Setup");
    remove("op");

    EXPECT_EQ(readFileBytes(outside), before);
    EXPECT_EQ(fileMode(outside), 0644);
    EXPECT_TRUE(fs::is_symlink(usersPath()));
    EXPECT_EQ(fs::read_symlink(usersPath()), outside);
    EXPECT_EQ(filesIn(paths().filesDir()), std::vector<std::string> {"users.dat"});
    ASSERT_EQ(boxTexts(), (std::vector<std::string> {"Missing account file",
                                                     "Missing account file!\nContact administrator",
                                                     "Missing account file!\nContact administrator",
                                                     "Missing account file!"}));
    EXPECT_EQ(prompts.boxes[1].caption, "Account error");
    EXPECT_EQ(prompts.boxes[1].icon, Prompts::Icon::Error);
    EXPECT_EQ(prompts.boxes[1].owner, &u);
}

// --- the accounts window ---

TEST_F(AccountsWindowTest, ANewAccountIsWrittenInTheKnownLayout)
{
    writeRawFile(usersPath(), "");
    start();
    TFUsers& u = users();
    EXPECT_EQ(u.objectName(), "FUsers");
    EXPECT_EQ(u.windowTitle(), "Users and accounts");
    EXPECT_EQ(u.size(), QSize(570, 360));
    EXPECT_TRUE(u.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(u.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(u.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(u.isHidden());
    EXPECT_TRUE(u.Check_comm->isHidden() && u.Check_require->isHidden());

    add("admin", "Secret1", "Administrator", UserRights::all());
    const std::string expected = hexBytes("05 C6 C3 CA CE C9 00 00 00 00 00 0A 35 4A 8E 4F"
                                          "53 9C 68 8E 53 C6 0D E6 C3 CA CE C9 CE D4 D3 D5"
                                          "C6 D3 C8 D5 00 00 06 33 2F 35 2F 32 36 00 00 00"
                                          "00 00 00 00 00 00 03 71 37 4D 03 77 39 54 03 72"
                                          "35 58 A5");
    ASSERT_EQ(expected.size(), 67u);
    EXPECT_EQ(fileBytes(), expected);
    EXPECT_EQ(fileMode(usersPath()), 0600);
    EXPECT_EQ(gridRow(1), "admin|Administrator|3/5/26|Yes|Yes|Yes");
    EXPECT_TRUE(u.Edit_user->text().isEmpty() && u.Edit_pass1->text().isEmpty()
                && u.Edit_pass2->text().isEmpty() && u.Combo_access->currentText().isEmpty());
    EXPECT_TRUE(u.Check_dev->isChecked() && u.Check_display->isChecked());   // the boxes keep their state
}

TEST_F(AccountsWindowTest, AChangeKeepsNameAndDateAndTheNewPasswordLogsIn)
{
    writeAccountsFile(usersPath(), {Admin, {"op", "old", "Operator", UserRights::all(), "1/2/25"}});
    startAtLogin();
    add("op", "new", "Setup", {true, false, false});
    const std::vector<UserRecord> records = fileRecords();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[1].name, "op");
    EXPECT_EQ(records[1].date, "1/2/25");
    EXPECT_EQ(records[1].level, "Setup");
    EXPECT_EQ(records[1].rights, (UserRights {true, false, false}));
    EXPECT_EQ(gridRow(2), "op|Setup|1/2/25|Yes|No|No");
    EXPECT_FALSE(enter("op", "old"));
    EXPECT_TRUE(enter("op", "new"));
    EXPECT_TRUE(login().IsSetup);
}

TEST_F(AccountsWindowTest, TheFourInputChecksComeInOrderAndChangeNothing)
{
    writeAccountsFile(usersPath(), {Admin});
    const std::string before = fileBytes();
    start();
    add("", "", "");
    add("op", "", "");
    add("op", "pw", "", {}, QString());
    add("op", "", "", {}, QString("pw"));
    add("op", "pw", "");
    add("op", "pw", "Operator", {}, QString("pW"));
    add(QString::fromUtf8("op\u0416"), "pw", "Operator");
    add("op", QString::fromUtf8("p\U0001F600"), "Operator");
    add("op", "pw", QString::fromUtf8("Oper\u00E0tor"));
    EXPECT_EQ(boxTexts(), (std::vector<std::string> {
                              "Enter username", "Enter password (both fields)", "Enter password (both fields)",
                              "Enter password (both fields)", "Select access level for this user",
                              "Passwords does not match!",
                              "Unsupported character in user name, password or access level",
                              "Unsupported character in user name, password or access level",
                              "Unsupported character in user name, password or access level"}));
    for (const FakePrompts::Box& b : prompts.boxes) {
        EXPECT_EQ(b.caption, "Ferolt");
        EXPECT_EQ(b.icon, Prompts::Icon::None);
        EXPECT_EQ(b.owner, &users());
    }
    EXPECT_EQ(fileBytes(), before);
}

TEST_F(AccountsWindowTest, ALongLevelIsCutAndAnyTextIsStored)
{
    writeAccountsFile(usersPath(), {Admin});
    start();
    add("guest", "pw", "Guest level of twenty");
    EXPECT_EQ(fileRecords().at(1).level, "Guest level of ");
    EXPECT_EQ(gridRow(2), "guest|Guest level of |3/5/26|No|No|No");
}

TEST_F(AccountsWindowTest, DeleteTakesOneRecordAndSparesAdminAndTheLastAdministrator)
{
    const std::string a = accountRecord(Admin);
    const std::string op = accountRecord({"op", "pw", "Operator"});
    const std::string set = accountRecord({"set", "pw", "Setup"});
    writeRawFile(usersPath(), a + op + set);
    start();
    remove("op");
    EXPECT_EQ(fileBytes(), a + set);
    EXPECT_EQ(gridRow(2), "set|Setup|3/5/26|Yes|Yes|Yes");
    EXPECT_EQ(users().Grid_users->grid().RowCount(), 4);

    // "admin", an unknown name, and any name while no Administrator exists: nothing, silently.
    remove("admin");
    remove("nobody");
    EXPECT_EQ(fileBytes(), a + set);
    const std::string guest = accountRecord({"guest", "pw", "administrator"});
    writeRawFile(usersPath(), set + guest);
    remove("set");
    EXPECT_EQ(fileBytes(), set + guest);
    EXPECT_TRUE(prompts.boxes.empty());

    // The only Administrator stays; with two, one can go.
    const std::string boss = accountRecord({"boss", "pw", "Administrator"});
    writeRawFile(usersPath(), set + boss);
    remove("boss");
    add("boss", "pw", "Operator");
    EXPECT_EQ(boxTexts(), (std::vector<std::string> {"The last administrator cannot be deleted",
                                                      "The last administrator must keep the level Administrator"}));
    EXPECT_EQ(fileBytes(), set + boss);
    writeRawFile(usersPath(), set + boss + a);
    remove("boss");
    EXPECT_EQ(fileBytes(), set + a);
}

TEST_F(AccountsWindowTest, DeleteOfANameOutsideTheCodePageDeletesNothing)
{
    // Stored as "?" the typed name would be this record's.
    writeAccountsFile(usersPath(), {Admin, {"op?", "pw", "Operator"}});
    const std::string before = fileBytes();
    start();
    remove(QString::fromUtf8("op\u0416"));
    EXPECT_EQ(fileBytes(), before);
    EXPECT_TRUE(prompts.boxes.empty());
    // The record itself can be deleted.
    remove("op?");
    EXPECT_EQ(fileBytes(), before.substr(0, 67));
}

TEST_F(AccountsWindowTest, TheGridEndsWithAnEmptyRowAndAClickFillsTheFields)
{
    writeAccountsFile(usersPath(), {Admin, {"op", "pw", "Operator", {false, false, true}}});
    start();
    TFUsers& u = users();
    u.FormActivate();
    const StringGrid& g = u.Grid_users->grid();
    EXPECT_EQ(gridRow(0), "User|Access|Date reg.|m-bus|Comm|Display");
    EXPECT_EQ(g.RowCount(), 4);
    EXPECT_EQ(gridRow(3), "|||||");
    // The columns keep their widths, widened where a text would not show whole.
    const QFontMetrics metrics = u.Grid_users->fontMetrics();
    // A cell's text is drawn inside the focus frame's margins and the grid line, and is cut
    // ("Administra...") when wider.
    const int margins = 2 * (u.Grid_users->style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 1) + 1;
    for (int c = 0; c < 6; ++c) {
        EXPECT_GE(u.Grid_users->columnWidth(c), (std::array {64, 88, 97, 106, 64, 64})[c]) << c;
        for (int r = 1; r < g.RowCount(); ++r)
            EXPECT_GE(u.Grid_users->columnWidth(c),
                      metrics.horizontalAdvance(QString::fromLatin1(g.cell(c, r))) + margins)
                << c << "," << r;
    }
    EXPECT_EQ(u.Grid_users->columnWidth(0), 64) << "short names keep the column as it was";

    u.Edit_pass1->setText("typed");
    u.Check_dev->setChecked(true);
    u.Grid_users->grid().selectCell(2, 2);
    EXPECT_EQ(u.Edit_user->text(), "op");
    EXPECT_EQ(u.Combo_access->currentText(), "Operator");
    EXPECT_FALSE(u.Check_dev->isChecked() || u.Check_comm->isChecked());
    EXPECT_TRUE(u.Check_display->isChecked());
    EXPECT_EQ(u.Edit_pass1->text(), "typed");

    // Exit clears the fields and the rights; the window can be shown again.
    form11().Users1Click();
    EXPECT_FALSE(u.isHidden());
    u.Butt_end->click();
    EXPECT_TRUE(u.isHidden());
    EXPECT_TRUE(u.Edit_user->text().isEmpty() && u.Edit_pass1->text().isEmpty());
    EXPECT_FALSE(u.Check_display->isChecked());
}

TEST_F(AccountsWindowTest, ThePolishTextsAreTheSameBytesInBothEncodings)
{
    writeAccountsFile(usersPath(), {Admin});
    start();
    TFUsers& u = users();
    const auto texts = [&] {
        std::vector<std::string> t = {bytes(u.windowTitle())};
        for (QLabel* l : {u.Label2, u.Label3, u.Label4})
            t.push_back(bytes(l->text()));
        for (QCheckBox* c : {u.Check_dev, u.Check_comm, u.Check_display, u.Check_require})
            t.push_back(bytes(c->text()));
        for (QPushButton* b : {u.Butt_add, u.Butt_delete, u.Butt_end})
            t.push_back(bytes(b->text()));
        for (int c = 0; c < 6; ++c)
            t.push_back(u.Grid_users->grid().cell(c, 0));
        return t;
    };
    form11().Italian1Click();
    u.FormActivate();
    EXPECT_EQ(bytes(u.Butt_add->text()), "Aggiungi/Change");
    EXPECT_EQ(u.Grid_users->grid().cell(0, 0), "Utenti");
    form11().Polish1Click();
    form11().EncodingName = "CP 852";
    u.FormActivate();
    const std::vector<std::string> eightBit = texts();
    EXPECT_EQ(bytes(u.Label1->text()), "U\xBFytkownik:");
    form11().EncodingName = "Unicode";
    u.FormActivate();
    EXPECT_EQ(texts(), eightBit);
    EXPECT_EQ(bytes(u.Label1->text()), "Uzytkownik:");
    EXPECT_EQ(eightBit, (std::vector<std::string> {
                            "Konta I u\xBFytkownicy", "Has\xB3o:", "Powt\xF3rz has\xB3o:", "Poziom dost\xEApu:",
                            "Zezw\xF3l na konfiguracj\xEA urz\xB9" "dze\xF1",
                            "Zezw\xF3l na konfiguracj\xEA komunikacji",
                            "Zezw\xF3l na konfiguracj\xEA wy\x9Cwietlacza", "Require login", "Dodaj", "Usu\xF1",
                            "Wyj\x9C" "cie", "Utenti", "Dost\xEAp", "Data rej.", "m-bus", "Comm",
                            "wy\x9Cwietlacza"}));
    EXPECT_EQ(u.Label3->text(), QString::fromUtf8("Powtórz hasło:"));
    form11().English1Click();
    u.FormActivate();
    EXPECT_EQ(bytes(u.Check_dev->text()), "Allow settings devices");
    EXPECT_EQ(u.Grid_users->grid().cell(0, 0), "User");
}

TEST_F(AccountsWindowTest, EveryCaptionFitsItsControlInEveryLanguage)
{
    writeAccountsFile(usersPath(), {Admin});
    start();
    TFUsers& u = users();
    u.show();
    const auto check = [&](const char* language) {
        SCOPED_TRACE(language);
        u.FormActivate();
        for (QWidget* w : u.findChildren<QWidget*>()) {
            if (!w->isVisibleTo(&u) || !(qobject_cast<QLabel*>(w) || qobject_cast<QAbstractButton*>(w)))
                continue;
            if (w->parentWidget() != &u)
                continue;   // parts of the grid and the level box
            const std::string name = w->objectName().toStdString();
            EXPECT_LE(w->sizeHint().width(), w->width()) << name;
            EXPECT_LE(w->geometry().right(), u.width() - 1) << name;
        }
    };
    check("English");
    form11().Italian1Click();
    check("Italian");
    form11().Polish1Click();
    form11().EncodingName = "CP 852";
    check("Polish");
    form11().EncodingName = "Unicode";
    check("Polish, Unicode");
    u.hide();
}

} // namespace

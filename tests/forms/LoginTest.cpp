#include "AccountsFixture.h"
#include "BusAppFixture.h"
#include "MasterFrames.h"
#include "Text8.h"

#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

#include <filesystem>

namespace {

namespace fs = std::filesystem;

std::string bytes(const QString& s) { return Text8::fromUnicode(s); }

const char* const FirstStartText =
    "No account file was found.\nCreate it with this name and password as the first account (Administrator)?";

using LoginTest = AccountsFixture;

bool tabShown(TForm11& f, QWidget* page) { return f.PageControl1->isTabVisible(f.PageControl1->indexOf(page)); }

std::vector<QWidget*> deviceControls(TForm11& f)
{
    return {f.Group_ops, f.Group_advanced, f.Check_broadcast, f.Label_id, f.Label_addr};
}

// --- levels, on the simulated bus ---

class LoginBusTest : public BusAppFixture {
protected:
    std::string usersPath() const { return paths().filesDir() + "/users.dat"; }
    void startAtLoginOnTheBus()
    {
        writeIni("[Com port]\r\nName=COM1\r\nSpeed=2400\r\n[Mbus]\r\nTimeout=300\r\n");
        startAtLogin();
    }
};

TEST_F(LoginBusTest, EachLevelGetsItsMenusAndOnlyTheAdministratorItsHexLog)
{
    struct Case {
        const char* level;
        bool administrator, setup, operatorLevel, users, settings;
    };
    const Case cases[] = {
        {"Operator", false, false, true, false, false},     {"Setup", false, true, false, false, true},
        {"Administrator", true, false, false, true, true},  {"Guest", false, false, true, false, false},
        {"administrator", false, false, true, false, false},
    };
    std::vector<TestAccount> accounts;
    for (const Case& c : cases)
        accounts.push_back({std::string("u") + std::to_string(accounts.size()), "pw", c.level});
    writeAccountsFile(usersPath(), accounts);
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.level);
        startAtLoginOnTheBus();
        TLogin& l = login();
        EXPECT_TRUE(form11().isHidden());
        l.Edit_username->setText(QString::fromStdString(accounts[i].name));
        l.Edit_pass->setText("pw");
        l.Butt_enterClick();
        ASSERT_FALSE(form11().isHidden());
        EXPECT_TRUE(l.isHidden());
        EXPECT_TRUE(l.Edit_pass->text().isEmpty());
        EXPECT_EQ(l.IsAdministrator, c.administrator);
        EXPECT_EQ(l.IsSetup, c.setup);
        EXPECT_EQ(l.IsOperator, c.operatorLevel);
        EXPECT_EQ(form11().Users1->isEnabled(), c.users);
        EXPECT_EQ(form11().Settings1->isEnabled(), c.settings);

        bus->clearLog();
        ASSERT_TRUE(form11().PrepareLink());
        form11().Frames.SendReqUd2(1);
        ASSERT_TRUE(waitBus(1));
        EXPECT_EQ(bus->frames().at(0).bytes, ReqUd2Frame(1, false));
        form11().ReleaseLink();
        EXPECT_EQ(logCount("Sent:10 7B 01 7C 16 "), c.administrator ? 1u : 0u);
    }
    EXPECT_TRUE(prompts.boxes.empty());
}

// --- rights, duplicates, wrong input ---

TEST_F(LoginTest, TheRightsShowOrHideTheDevicesControlsAndTheDisplayTab)
{
    writeAccountsFile(usersPath(), {{"nodev", "pw", "Setup", {false, true, true}},
                                    {"nodisp", "pw", "Setup", {true, true, false}}});
    startAtLogin();
    ASSERT_TRUE(enter("nodev", "pw"));
    TForm11* f = &form11();
    for (QWidget* w : deviceControls(*f))
        EXPECT_TRUE(w->isHidden()) << w->objectName().toStdString();
    EXPECT_TRUE(tabShown(*f, f->TabSheet3));
    EXPECT_FALSE(tabShown(*f, f->TabSheet2));
    EXPECT_EQ(f->PageControl1->currentWidget(), f->TabSheet1);

    startAtLogin();
    ASSERT_TRUE(enter("nodisp", "pw"));
    f = &form11();
    for (QWidget* w : deviceControls(*f))
        EXPECT_FALSE(w->isHidden()) << w->objectName().toStdString();
    EXPECT_FALSE(tabShown(*f, f->TabSheet3));
    EXPECT_FALSE(tabShown(*f, f->TabSheet2));
    EXPECT_TRUE(tabShown(*f, f->TabSheet1) && tabShown(*f, f->TabSheet4));
}

TEST_F(LoginTest, TheDefaultLoginOfTheTestsGivesWhatTheEarlierProgramGave)
{
    start();
    TForm11& f = form11();
    EXPECT_FALSE(f.isHidden());
    EXPECT_TRUE(login().isHidden());
    EXPECT_TRUE(login().IsSetup && !login().IsAdministrator && !login().IsOperator);
    EXPECT_FALSE(f.Users1->isEnabled());
    EXPECT_TRUE(f.Settings1->isEnabled());
    for (QWidget* w : deviceControls(f))
        EXPECT_FALSE(w->isHidden());
    EXPECT_TRUE(tabShown(f, f.TabSheet3));
    // An administrator's Users entry opens the accounts window.
    loginAs("Administrator");
    EXPECT_TRUE(f.Users1->isEnabled());
    f.Users1->trigger();
    EXPECT_FALSE(users().isHidden());
}

TEST_F(LoginTest, TheLastOfTwoMatchingRecordsDecides)
{
    writeAccountsFile(usersPath(), {{"dup", "pw", "Operator"}, {"dup", "pw", "Administrator"},
                                    {"two", "pw", "Operator"}, {"two", "pw", "Setup"}});
    startAtLogin();
    ASSERT_TRUE(enter("dup", "pw"));
    EXPECT_TRUE(login().IsAdministrator && !login().IsOperator);
    EXPECT_TRUE(form11().Users1->isEnabled() && form11().Settings1->isEnabled());
    startAtLogin();
    ASSERT_TRUE(enter("two", "pw"));
    EXPECT_TRUE(login().IsSetup && !login().IsOperator);
    EXPECT_TRUE(form11().Settings1->isEnabled());
    EXPECT_FALSE(form11().Users1->isEnabled());
}

TEST_F(LoginTest, AWrongLoginKeepsTheNameAndClearsThePassword)
{
    writeAccountsFile(usersPath(), {{"admin", "Secret1", "Administrator"}});
    startAtLogin();
    EXPECT_FALSE(enter("Admin", "Secret1"));
    EXPECT_FALSE(enter("admin", "secret1"));
    EXPECT_FALSE(enter(QString::fromUtf8("admin\u0416"), "Secret1"));
    EXPECT_EQ(boxTexts(), std::vector<std::string>(3, "Wrong username or password!"));
    EXPECT_EQ(prompts.boxes[0].caption, "Ferolt");
    EXPECT_EQ(prompts.boxes[0].icon, Prompts::Icon::None);
    EXPECT_EQ(prompts.boxes[0].owner, &login());
    EXPECT_EQ(login().Edit_username->text(), QString::fromUtf8("admin\u0416"));
    EXPECT_TRUE(login().Edit_pass->text().isEmpty());
    EXPECT_TRUE(form11().isHidden());
    EXPECT_FALSE(login().isHidden());
    EXPECT_FALSE(login().IsAdministrator || login().IsSetup || login().IsOperator);
    EXPECT_EQ(quitRequests, 0);
}

TEST_F(LoginTest, ACharacterOutsideTheCodePageMatchesNoAccount)
{
    // Stored as "?" the typed texts would match these records.
    writeAccountsFile(usersPath(), {{"ab?", "pw", "Administrator"}, {"ab", "p?", "Administrator"}});
    startAtLogin();
    EXPECT_FALSE(enter(QString::fromUtf8("ab\u0416"), "pw"));
    EXPECT_FALSE(enter("ab", QString::fromUtf8("p\u0416")));
    EXPECT_EQ(boxTexts(), std::vector<std::string>(2, "Wrong username or password!"));
    for (const FakePrompts::Box& b : prompts.boxes) {
        EXPECT_EQ(b.caption, "Ferolt");
        EXPECT_EQ(b.icon, Prompts::Icon::None);
        EXPECT_EQ(b.owner, &login());
    }
    EXPECT_EQ(login().Edit_username->text(), "ab");
    EXPECT_TRUE(login().Edit_pass->text().isEmpty());
    EXPECT_FALSE(login().IsAdministrator || login().IsSetup || login().IsOperator);
    EXPECT_EQ(quitRequests, 0);
    // The records themselves log in.
    EXPECT_TRUE(enter("ab", "p?"));
    startAtLogin();
    EXPECT_TRUE(enter("ab?", "pw"));
}

TEST_F(LoginTest, NoCopyOfTheTypedPasswordStaysInThePasswordBox)
{
    writeAccountsFile(usersPath(), {{"admin", "Secret1", "Administrator"}});
    startAtLogin();
    TLogin& l = login();
    QTest::keyClicks(l.Edit_username, "admin");
    QTest::keyClicks(l.Edit_pass, "Wrong-1");
    QTest::keyClick(l.Edit_pass, Qt::Key_Return);
    ASSERT_TRUE(form11().isHidden());
    EXPECT_EQ(undone(l.Edit_pass), "");
    QTest::keyClicks(l.Edit_pass, "Secret1");
    QTest::keyClick(l.Edit_pass, Qt::Key_Return);
    ASSERT_FALSE(form11().isHidden());
    EXPECT_EQ(undone(l.Edit_pass), "");

    // Also when the file cannot be read, and at the first start.
    fs::remove(usersPath());
    fs::create_directories(usersPath());
    startAtLogin();
    QTest::keyClicks(login().Edit_pass, "Secret1");
    login().Butt_enterClick();
    EXPECT_EQ(undone(login().Edit_pass), "");
    fs::remove(usersPath());
    startAtLogin();
    prompts.queueAnswer(Prompts::Answer::Yes);
    QTest::keyClicks(login().Edit_pass, "Start-1");
    login().Butt_enterClick();   // no name: nothing is created
    EXPECT_EQ(undone(login().Edit_pass), "");
}

TEST_F(LoginTest, LanguagesComeFromTheSettingsFile)
{
    writeAccountsFile(usersPath(), {{"admin", "Secret1", "Administrator"}});
    writeIni("[Misc]\r\nLanguage=2\r\n");
    startAtLogin();
    EXPECT_EQ(login().windowTitle(), "Accedi Ferolt");
    EXPECT_EQ(login().Label1->text(), "Nome utente:");
    EXPECT_EQ(login().LoginLanguage, 2);

    for (const char* encoding : {"0", "1"}) {
        writeIni(std::string("[Misc]\r\nLanguage=3\r\nEncoding=") + encoding + "\r\n");
        startAtLogin();
        TLogin& l = login();
        EXPECT_EQ(l.LoginEncoding, encoding[0] == '1' ? "Unicode" : "CP 852");
        EXPECT_EQ(l.windowTitle(), "Logowanie Ferolt");
        EXPECT_EQ(bytes(l.Label1->text()), "Nazwa u\xBFytkownika:");
        EXPECT_EQ(bytes(l.Label2->text()), "Has\xB3o:");
    }
    EXPECT_FALSE(enter("admin", "wrong"));
    EXPECT_EQ(boxTexts().back(), "Nieprawid\xB3owa nazwa u\xBFytkownika lub has\xB3o!");

    writeIni("");
    startAtLogin();
    TLogin& l = login();
    EXPECT_EQ(l.windowTitle(), "Login Ferolt");
    EXPECT_EQ(l.size(), QSize(247, 204));
    EXPECT_TRUE(l.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_FALSE(l.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(l.Edit_pass->echoMode(), QLineEdit::Password);
    EXPECT_EQ(l.Butt_enter->text(), "OK");
    EXPECT_FALSE(l.Butt_enter->icon().isNull());
    std::vector<QWidget*> tabOrder;
    for (QWidget* w = l.Edit_username; tabOrder.size() < 4; w = w->nextInFocusChain())
        if (w->focusPolicy() & Qt::TabFocus)
            tabOrder.push_back(w);
    EXPECT_EQ(tabOrder, (std::vector<QWidget*> {l.Edit_username, l.Edit_pass, l.Butt_enter, l.Butt_cancel}));
    // Return in the password box is Enter.
    l.Edit_username->setText("admin");
    l.Edit_pass->setText("Secret1");
    emit l.Edit_pass->returnPressed();
    EXPECT_FALSE(form11().isHidden());
}

// --- the accounts file ---

TEST_F(LoginTest, AFileWithoutAWholeRecordEndsTheProgram)
{
    writeRawFile(usersPath(), std::string(66, 'x'));
    startAtLogin();
    EXPECT_FALSE(enter("admin", "Secret1"));
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_EQ(prompts.boxes[0].caption, "Login fail");
    EXPECT_EQ(prompts.boxes[0].text, "Account file is empty (no valid accounts)!\nContact administrator");
    EXPECT_EQ(prompts.boxes[0].icon, Prompts::Icon::Warning);
    EXPECT_EQ(quitRequests, 1);
}

TEST_F(LoginTest, AnUnreadableFileIsReportedAndTheLoginStays)
{
    fs::create_directories(usersPath());
    startAtLogin();
    EXPECT_FALSE(enter("admin", "Secret1"));
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_EQ(prompts.boxes[0].caption, "Login fail");
    EXPECT_EQ(prompts.boxes[0].text, "Account file error - Is a directory");
    EXPECT_EQ(prompts.boxes[0].icon, Prompts::Icon::Warning);
    EXPECT_EQ(prompts.boxes[0].owner, &login());
    EXPECT_FALSE(login().isHidden());
    EXPECT_EQ(quitRequests, 0);
    // Cancel ends the program.
    login().Butt_cancel->click();
    EXPECT_EQ(quitRequests, 1);
}

// A link in the file's place is refused as a folder is: no account is read through it, and a
// link that leads nowhere starts no first start that would create the file at its target.
TEST_F(LoginTest, ALinkInPlaceOfTheFileIsRefused)
{
    const std::string outside = folder() + "/elsewhere.dat";
    writeAccountsFile(outside, {{"admin", "Secret1", "Administrator"}});
    const std::string before = readFileBytes(outside);
    fs::create_directories(paths().filesDir());
    const std::string missing = folder() + "/nowhere.dat";
    for (const std::string& target : {outside, missing}) {
        SCOPED_TRACE(target);
        fs::remove(usersPath());
        fs::create_symlink(target, usersPath());
        prompts.boxes.clear();
        startAtLogin();
        EXPECT_FALSE(enter("admin", "Secret1"));
        ASSERT_EQ(prompts.boxes.size(), 1u);
        EXPECT_EQ(prompts.boxes[0].caption, "Login fail");
        EXPECT_EQ(prompts.boxes[0].text, "Account file error - Is a symbolic link");
        EXPECT_EQ(prompts.boxes[0].icon, Prompts::Icon::Warning);
        EXPECT_FALSE(login().IsAdministrator);
        EXPECT_FALSE(login().isHidden());
        EXPECT_EQ(quitRequests, 0);
        EXPECT_TRUE(fs::is_symlink(usersPath()));
    }
    EXPECT_EQ(readFileBytes(outside), before);
    EXPECT_FALSE(fs::exists(fs::symlink_status(missing)));
}

// --- the first start ---

TEST_F(LoginTest, TheFirstLoginCreatesTheAdministratorAccount)
{
    startAtLogin();
    prompts.queueAnswer(Prompts::Answer::Yes);
    ASSERT_TRUE(enter("chief", "Start-1"));
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_EQ(prompts.boxes[0].caption, "First start");
    EXPECT_EQ(prompts.boxes[0].text, FirstStartText);
    EXPECT_EQ(prompts.boxes[0].icon, Prompts::Icon::Warning);
    EXPECT_EQ(prompts.boxes[0].buttons, Prompts::Buttons::YesNo);
    EXPECT_EQ(prompts.boxes[0].owner, &login());
    EXPECT_TRUE(login().IsAdministrator);
    EXPECT_TRUE(form11().Users1->isEnabled());
    EXPECT_TRUE(login().isHidden());

    EXPECT_EQ(fileMode(paths().filesDir()), 0700);
    EXPECT_EQ(fileMode(usersPath()), 0600);
    const std::string file = fileBytes();
    ASSERT_EQ(file.size(), 67u);
    const UserRecord r = DecodeUserRecord(file);
    EXPECT_EQ(r.name, "chief");
    EXPECT_EQ(r.level, "Administrator");
    EXPECT_EQ(r.date, "3/5/26");
    EXPECT_EQ(r.rights, UserRights::all());
    EXPECT_TRUE(r.hashed());
    EXPECT_EQ(file.find("Start-1"), std::string::npos);

    // The next run on the same folder logs in with that account, and only with it.
    startAtLogin();
    EXPECT_FALSE(enter("chief", "Start-2"));
    EXPECT_TRUE(enter("chief", "Start-1"));
    EXPECT_TRUE(login().IsAdministrator);
    EXPECT_EQ(fileBytes(), file);
}

TEST_F(LoginTest, AFileCreatedWhileTheFirstStartAsksIsKept)
{
    // Another instance creates the file while the question is open.
    const std::string other = accountRecord({"other", "Other-1", "Administrator"});
    startAtLogin();
    prompts.whileAsking = [&] { writeRawFile(usersPath(), other); };
    prompts.queueAnswer(Prompts::Answer::Yes);
    EXPECT_FALSE(enter("chief", "Start-1"));
    EXPECT_EQ(fileBytes(), other);
    EXPECT_EQ(boxTexts(), (std::vector<std::string> {FirstStartText, "Wrong username or password!"}));
    EXPECT_EQ(prompts.boxes[1].caption, "Ferolt");
    EXPECT_EQ(login().Edit_username->text(), "chief");
    EXPECT_TRUE(login().Edit_pass->text().isEmpty());
    EXPECT_FALSE(login().IsAdministrator || login().IsSetup || login().IsOperator);
    EXPECT_FALSE(login().isHidden());
    EXPECT_EQ(quitRequests, 0);

    // When it holds the typed account, that account logs in with its own level and rights.
    fs::remove(usersPath());
    const std::string chief = accountRecord({"chief", "Start-1", "Operator", {false, false, true}});
    startAtLogin();
    prompts.whileAsking = [&] { writeRawFile(usersPath(), chief); };
    prompts.queueAnswer(Prompts::Answer::Yes);
    EXPECT_TRUE(enter("chief", "Start-1"));
    EXPECT_EQ(fileBytes(), chief);
    EXPECT_TRUE(login().IsOperator);
    EXPECT_FALSE(login().IsAdministrator);
    EXPECT_FALSE(form11().Users1->isEnabled());
    EXPECT_EQ(prompts.boxes.size(), 3u);
}

TEST_F(LoginTest, NoToTheFirstStartEndsTheProgramAndCreatesNothing)
{
    startAtLogin();
    prompts.queueAnswer(Prompts::Answer::No);
    EXPECT_FALSE(enter("chief", "Start-1"));
    ASSERT_EQ(prompts.boxes.size(), 2u);
    EXPECT_EQ(prompts.boxes[1].caption, "Login fail");
    EXPECT_EQ(prompts.boxes[1].text, "Missing account file!\nContact administrator");
    EXPECT_EQ(prompts.boxes[1].icon, Prompts::Icon::Warning);
    EXPECT_EQ(quitRequests, 1);
    EXPECT_FALSE(fs::exists(paths().filesDir()));
}

TEST_F(LoginTest, TheFirstStartChecksTheTypedAccount)
{
    startAtLogin();
    const std::pair<QString, QString> typed[] = {
        {"", "pw"}, {"chief", ""}, {"abcdefghijk", "pw"}, {"chief", "abcdefghijk"},
        {QString::fromUtf8("chi\u0416f"), "pw"}, {"chief", QString::fromUtf8("p\u00E0")}};
    for (const auto& [name, password] : typed) {
        prompts.queueAnswer(Prompts::Answer::Yes);
        EXPECT_FALSE(enter(name, password));
        EXPECT_TRUE(login().Edit_pass->text().isEmpty());
    }
    std::vector<std::string> texts;
    for (std::size_t i = 1; i < prompts.boxes.size(); i += 2) {
        EXPECT_EQ(prompts.boxes[i - 1].caption, "First start");
        EXPECT_EQ(prompts.boxes[i].icon, Prompts::Icon::None);
        texts.push_back(prompts.boxes[i].text);
    }
    EXPECT_EQ(texts, (std::vector<std::string> {
                         "Enter username", "Enter password",
                         "User name and password may have at most 10 characters",
                         "User name and password may have at most 10 characters",
                         "Unsupported character in user name, password or access level",
                         "Unsupported character in user name, password or access level"}));
    EXPECT_FALSE(fs::exists(paths().filesDir()));
    EXPECT_FALSE(login().isHidden());
    EXPECT_EQ(quitRequests, 0);
}

TEST_F(LoginTest, AFileInPlaceOfTheFolderGivesTheAccountErrorBox)
{
    writeRawFile(paths().filesDir(), "not a folder");
    startAtLogin();
    prompts.queueAnswer(Prompts::Answer::Yes);
    EXPECT_FALSE(enter("chief", "Start-1"));
    ASSERT_EQ(prompts.boxes.size(), 2u);
    EXPECT_EQ(prompts.boxes[1].caption, "Account error");
    EXPECT_EQ(prompts.boxes[1].text, "Missing account file!\nContact administrator");
    EXPECT_EQ(prompts.boxes[1].icon, Prompts::Icon::Error);
    EXPECT_EQ(prompts.boxes[1].owner, &login());
    EXPECT_FALSE(login().isHidden());
    EXPECT_EQ(quitRequests, 0);
    EXPECT_EQ(readFileBytes(paths().filesDir()), "not a folder");
    EXPECT_FALSE(login().IsAdministrator);
}

} // namespace

// Every window with a text routine has a text for each of its language-dependent controls in
// each language. The lists of controls are this test's own, written from the windows'
// descriptions, not taken from the program's table.
#include "AccountsFile.h"
#include "AppFixture.h"
#include "StringGridView.h"
#include "TFUsers.h"
#include "TForm11.h"
#include "TLogin.h"
#include "TSettings.h"
#include "Text8.h"

#include <QAbstractButton>
#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QTabWidget>

#include <map>

namespace {

const char* const MainControls[] = {
    "Group_search", "Label6", "Label7", "Butt_find_primary", "Butt_find_id", "Butt_find_all", "Label8",
    "Group_ops", "Group_advanced", "Butt_reset",
    // the 24 "Set" buttons
    "Butt_set_address", "Butt_set_baud", "Butt_set_id", "Butt_modify_liters", "Butt_set_medium", "Butt_set_unit",
    "Butt_CMT", "Butt_CET", "Butt_MET", "Butt_tovek_nn", "Butt_apn", "Butt_phone_number", "Butt_tovek_manip",
    "Butt_tovek2_conip", "Butt_tovek2_op1", "Butt_gprs_pin", "Butt_gprs_user", "Butt_gprs_pass", "Butt_DDT",
    "Butt_OHA", "Butt_TXG", "Butt_RXG", "Butt_DPP", "Butt_tovek_mbus_response",
    "Label13", "Label12", "Label10", "Label33", "Label34", "Label35", "Check_broadcast", "Butt_readall",
    "Butt_readonce", "Butt_clear_grid", "Butt_load_data", "Butt_save_data", "Butt_command_send", "Label4",
    "BitBtn7", "BitBtn6", "BitBtn5",
    // the gateways' page
    "GroupBox1", "Label14", "Label3", "Label19", "Label16", "Label18", "Label27", "Label15", "Label26",
    "Label17", "Label2", "Label9", "Label11", "GroupBox2", "Label29", "Label21", "Label25", "Label30", "Label31",
    "Label20", "Label22", "Label24", "Label23", "Label28", "Butt_gprs_info", "Butt_gprs_stat", "Butt_eth_date",
    "Butt_eth_time", "Butt_eth_main", "Butt_eth_service", "Butt_eth_conn", "Butt_eth_oper", "Butt_tovek2_test",
    // the display's page
    "BitBtn1", "BitBtn2", "BitBtn10", "Butt_pexor_read", "Label32", "Butt_pexor_refresh", "BitBtn11",
    "Butt_pexor_set", "Butt_pexor_delete", "BitBtn15", "BitBtn16", "Check_sort_address", "Check_sort_user",
    "Butt_pexor_delp", "BitBtn18", "GroupBox3", "Butt_pexor_info", "BitBtn8", "BitBtn9", "BitBtn3", "BitBtn4",
    "Butt_pexor_cleartable",
    // the readings page
    "Butt_get_historical", "BitBtn13", "BitBtn17", "Butt_add_hist", "Butt_delete_hist", "Butt_clear_hist",
    "Butt_sort_hist", "Check_sort_hist_address", "Check_sort_hist_user",
    "TabSheet1", "TabSheet2", "TabSheet3", "TabSheet4",
};
const char* const MainMenus[] = {"File1", "Open1", "Save1", "Exit1", "Tools1", "Users1",
                                 "Settings1", "Language1", "Help1", "About1"};
const char* const MainAccents[] = {"Label36", "Label37", "Label38", "Label39"};
const char* const SettingsControls[] = {"GroupBox1", "Label1", "Label2", "Label3",
                                        "Label4", "Label5", "BitBtn2", "BitBtn1"};
const char* const SettingsAccents[] = {"Label6", "Label7"};
const char* const UsersControls[] = {"Label1", "Label2", "Label3", "Label4", "Check_dev", "Check_comm",
                                     "Check_display", "Check_require", "Butt_add", "Butt_delete", "Butt_end"};
const char* const LoginControls[] = {"Label1", "Label2"};
constexpr int MeterHeaders = 10;   // no second-main column, no titles
constexpr int PexorHeaders = 14;
constexpr int ReadingsHeaders = 22;

// Texts the windows keep the same as in English, each with its reason.
const std::map<std::string, const char*> SameInItalian = {
    {"main/TabSheet1", "the page keeps its English caption"},
    {"main/Butt_pexor_delp", "the button keeps its English caption"},
    {"main/File1", "\"File\" is Italian too"},
    {"main/Label36", "a grave accent in every language"},
    {"main/Label37", "a grave accent in every language"},
    {"main/Label38", "a grave accent in every language"},
    {"main/Label39", "a grave accent in every language"},
    {"settings/Label6", "a grave accent in every language"},
    {"settings/Label7", "a grave accent in every language"},
    {"users/Check_require", "the same text in every language"},
    {"users/Label2", "\"Password:\" is Italian too"},
    {"login/Label2", "\"Password:\" is Italian too"},
};
const std::map<std::string, const char*> SameInPolish = {
    {"main/TabSheet1", "the page keeps its English caption"},
    {"main/TabSheet2", "the page keeps its English caption"},
    {"main/Label24", "the label keeps its English caption"},
    {"main/Label36", "a grave accent in every language"},
    {"main/Label37", "a grave accent in every language"},
    {"main/Label38", "a grave accent in every language"},
    {"main/Label39", "a grave accent in every language"},
    {"settings/Label6", "a grave accent in every language"},
    {"settings/Label7", "a grave accent in every language"},
    {"users/Check_require", "the same text in every language"},
};
// The header rows are given texts, many the same in every language: they are checked for
// their count and letters only. The accounts window's Polish header 0 keeps the text it had.

const std::string PolishBytes = "\xB9\xE6\xEA\xB3\xF1\xF3\x9C\x9F\xBF";

std::string bytes(const QString& text) { return Text8::fromUnicode(text); }

class LanguageCompleteness : public AppFixture {
protected:
    using Texts = std::map<std::string, std::string>;   // "window/control" -> text

    // The caption of the one object of that name below the window.
    template <class Window>
    void take(Texts& texts, const char* window, Window& w, const char* name, QTabWidget* pages = nullptr)
    {
        const std::string key = std::string(window) + "/" + name;
        const QList<QObject*> found = w.template findChildren<QObject*>(QString::fromLatin1(name));
        ASSERT_EQ(found.size(), 1) << key;
        QObject* o = found.front();
        std::string text = "<no caption>";
        if (auto* page = qobject_cast<QWidget*>(o); page && pages && pages->indexOf(page) >= 0)
            text = bytes(pages->tabText(pages->indexOf(page)));
        else if (auto* menu = qobject_cast<QMenu*>(o))
            text = bytes(menu->title());
        else if (auto* action = qobject_cast<QAction*>(o))
            text = bytes(action->text());
        else if (auto* box = qobject_cast<QGroupBox*>(o))
            text = bytes(box->title());
        else if (auto* button = qobject_cast<QAbstractButton*>(o))
            text = bytes(button->text());
        else if (auto* label = qobject_cast<QLabel*>(o))
            text = bytes(label->text());
        texts[key] = text;
    }
    void takeHeaders(Texts& texts, const char* key, QWidget& window, const char* grid, int count, bool polishHeader0)
    {
        auto* view = window.findChild<StringGridView*>(grid);
        ASSERT_TRUE(view) << grid;
        ASSERT_EQ(view->grid().ColCount(), count) << grid;
        for (int c = 0; c < count; ++c)
            if (c != 0 || !polishHeader0)
                texts[std::string(key) + "/" + grid + "#" + std::to_string(c)] = view->grid().cell(c, 0);
    }

    // Every text of the four windows in one language, the settings file choosing it.
    Texts all(int language, bool unicode)
    {
        writeIni("[Misc]\r\nLanguage=" + std::to_string(language) + "\r\nEncoding=" + (unicode ? "1" : "0") + "\r\n");
        start();
        Texts t;
        TForm11& f = form11();
        QAction* items[] = {f.English1, f.Italian1, f.Polish1};
        items[language - 1]->trigger();
        for (const char* c : MainControls)
            take(t, "main", f, c, f.PageControl1);
        for (const char* c : MainMenus)
            take(t, "main", f, c);
        for (const char* c : MainAccents)
            take(t, "main", f, c);
        takeHeaders(t, "main", f, "Grid_vantrel", MeterHeaders, false);
        takeHeaders(t, "main", f, "Grid_pexor", PexorHeaders, false);
        takeHeaders(t, "main", f, "Grid_historical", ReadingsHeaders, false);

        settings().FormActivate();
        t["settings/caption"] = bytes(settings().windowTitle());
        for (const char* c : SettingsControls)
            take(t, "settings", settings(), c);
        for (const char* c : SettingsAccents)
            take(t, "settings", settings(), c);

        users().FormActivate();
        t["users/caption"] = bytes(users().windowTitle());
        for (const char* c : UsersControls)
            take(t, "users", users(), c);
        takeHeaders(t, "users", users(), "Grid_users", 6, language == 3);

        t["login/caption"] = bytes(login().windowTitle());
        for (const char* c : LoginControls)
            take(t, "login", login(), c);
        return t;
    }
};

} // namespace

TEST_F(LanguageCompleteness, EveryControlHasItsTextInEachLanguage)
{
    writeAccountsFile(paths().filesDir() + "/users.dat", {{"admin", "pw", "Administrator"}});
    const Texts english = all(1, false);
    ASSERT_FALSE(HasFatalFailure());
    for (const auto& [key, text] : english)
        EXPECT_FALSE(text.empty()) << key;

    const struct {
        int language;
        bool unicode;
        const std::map<std::string, const char*>& same;
    } others[] = {{2, false, SameInItalian}, {3, false, SameInPolish}, {3, true, SameInPolish}};
    for (const auto& o : others) {
        SCOPED_TRACE(std::to_string(o.language) + (o.unicode ? " Unicode" : " CP 852"));
        const Texts texts = all(o.language, o.unicode);
        ASSERT_FALSE(HasFatalFailure());
        for (const auto& [key, text] : texts) {
            EXPECT_FALSE(text.empty()) << key;
            const bool header = key.find('#') != std::string::npos;
            if (o.same.contains(key)) {
                EXPECT_EQ(text, english.at(key)) << key << ": " << o.same.at(key);
            } else if (!header) {
                EXPECT_NE(text, english.at(key)) << key << ": still English";
            }
            for (const char c : text) {
                if (static_cast<unsigned char>(c) < 0x80)
                    continue;
                if (o.language == 2)
                    ADD_FAILURE() << key << ": byte " << int(static_cast<unsigned char>(c)) << " in Italian";
                else if (PolishBytes.find(c) == std::string::npos)
                    ADD_FAILURE() << key << ": byte " << int(static_cast<unsigned char>(c)) << " is no Polish letter";
            }
        }
    }
}

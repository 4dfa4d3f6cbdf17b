// The main window's three languages: switching at run time, the Polish letters in both
// encodings, the meters table laid out anew for the second-main column, and the captions of
// runs in progress.
#include "AccountsFile.h"
#include "BusAppFixture.h"
#include "LanguageTexts.h"
#include "StringGridView.h"
#include "TFUsers.h"
#include "TForm11.h"
#include "TLogin.h"
#include "TSettings.h"
#include "TelegramBuilder.h"
#include "Text8.h"
#include "UpDownEdit.h"

#include <QAction>
#include <QCheckBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <map>

namespace {

using namespace std::chrono_literals;

std::string bytes(const QString& text) { return Text8::fromUnicode(text); }

class Languages : public BusAppFixture {
protected:
    TForm11& f() { return form11(); }
    StringGrid& meters() { return f().Grid_vantrel->grid(); }

    std::string caption(const char* control)
    {
        QWidget* w = f().findChild<QWidget*>(control);
        if (!w)
            return "<missing " + std::string(control) + ">";
        if (auto* box = qobject_cast<QGroupBox*>(w))
            return bytes(box->title());
        if (auto* button = qobject_cast<QAbstractButton*>(w))
            return bytes(button->text());
        if (auto* label = qobject_cast<QLabel*>(w))
            return bytes(label->text());
        return "<no caption>";
    }
    std::string tab(QWidget* page) { return bytes(f().PageControl1->tabText(f().PageControl1->indexOf(page))); }

    // Rows 1 to 3 hold "r<row>c<col>" in the ten columns, then the empty last row.
    void fillRows()
    {
        meters().setRowCount(5);
        for (int r = 1; r <= 3; ++r)
            for (int c = 0; c < 10; ++c)
                meters().setCell(c, r, "r" + std::to_string(r) + "c" + std::to_string(c));
    }
    std::string row(int r) { return rowText(meters(), r); }
    // The titles page applied with the second-main box as given.
    void applyTitles(bool secMain, int count = 0)
    {
        settings().UD_addValues->setValue(count);
        for (int i = 0; i < 9; ++i)
            settings().findChild<QLineEdit*>("Edit" + QString::number(i + 1))->setText("T" + QString::number(i + 1));
        settings().Check_secMain->setChecked(secMain);
        settings().Edit_secMain->setText("Power");
        settings().BitBtn3Click();
    }
    std::vector<std::string> headers()
    {
        std::vector<std::string> h;
        for (int c = 0; c < meters().ColCount(); ++c)
            h.push_back(meters().cell(c, 0));
        return h;
    }
};

const char* const SetButtons[] = {
    "Butt_set_address", "Butt_set_baud", "Butt_set_id", "Butt_modify_liters", "Butt_set_medium", "Butt_set_unit",
    "Butt_CMT", "Butt_CET", "Butt_MET", "Butt_tovek_nn", "Butt_apn", "Butt_phone_number", "Butt_tovek_manip",
    "Butt_tovek2_conip", "Butt_tovek2_op1", "Butt_gprs_pin", "Butt_gprs_user", "Butt_gprs_pass", "Butt_DDT",
    "Butt_OHA", "Butt_TXG", "Butt_RXG", "Butt_DPP", "Butt_tovek_mbus_response"};

struct Expected {
    const char* item;
    int number;
    const char* search;
    const char* set;
    const char* file;
    const char* users8;      // the Users item with "CP 852"
    const char* language8;   // the Language menu with "CP 852"
    const char* about;
    const char* mfr;
    const char* date;
    const char* freeText;
    const char* january;
    const char* tabs[4];
    const char* settingsCaption;
    const char* usersCaption;
};

const Expected English = {"English", 1, "   Search network   ", "Set", "File", "Users", "Language", "About",
                          "Mfr. ", "Date ", "Free text ", "Jan",
                          {"   M-bus devices   ", "   Communication devices   ", "   Local display Pexor   ",
                           "   Get Readings   "},
                          "Settings", "Users and accounts"};
const Expected Italian = {"Italian", 2, "   Scansione Rete   ", "Imposta", "File", "Utenti", "Lingua", "Info",
                          "Produttore ", "Data ", "Testo ", "Gen",
                          {"   M-bus devices   ", "   Comunicazione    ", "   Display Locale Pexor   ",
                           "   Acquisisci letture   "},
                          "Impostazioni", "Utenti e account"};
const Expected Polish = {"Polski", 3, "   Przeszukaj sie\xE6 Mbus   ", "Nadaj", "Plik", "U\xBFytkownicy",
                         "J\xEAzyk", "O programie", "Mfr. ", "Dat\xEA ", "Dowolny tekst ", "Jan",
                         {"   M-bus devices   ", "   Communication devices   ",
                          "   Lokalny wy\x9Cwietlacz Pexor/Zorla   ", "   Pobierz wskazania   "},
                         "Ustawienia", "Konta I u\xBFytkownicy"};

} // namespace

TEST_F(Languages, TheLanguageMenuSwitchesTheMainWindowAtOnceAndTheOtherWindowsAtTheirNextActivation)
{
    writeAccountsFile(paths().filesDir() + "/users.dat", {{"admin", "pw", "Administrator"}});
    startProgram(1);
    loginAs("Administrator");
    fillRows();
    const std::string row1 = row(1);
    QAction* items[] = {f().English1, f().Italian1, f().Polish1};
    const Expected* sequence[] = {&English, &Italian, &Polish, &English};
    const char* previousSettings = "Ferolt -> Settings";
    for (const Expected* e : sequence) {
        SCOPED_TRACE(e->item);
        QAction* item = items[e->number - 1];
        item->trigger();
        EXPECT_EQ(f().LanguageNo, e->number);
        EXPECT_TRUE(item->isChecked());
        for (QAction* other : items)
            EXPECT_EQ(other->isChecked(), other == item);
        EXPECT_EQ(bytes(f().English1->text()), "English");
        EXPECT_EQ(bytes(f().Italian1->text()), "Italian");
        EXPECT_EQ(bytes(f().Polish1->text()), "Polski");

        EXPECT_EQ(caption("Group_search"), e->search);
        for (const char* b : SetButtons)
            EXPECT_EQ(caption(b), e->set) << b;
        EXPECT_EQ(bytes(f().File1->title()), e->file);
        EXPECT_EQ(bytes(f().Users1->text()), e->users8);
        EXPECT_EQ(bytes(f().Language1->title()), e->language8);
        EXPECT_EQ(bytes(f().About1->text()), e->about);
        EXPECT_EQ(meters().cell(2, 0), e->mfr);
        EXPECT_EQ(meters().cell(7, 0), e->date);
        EXPECT_EQ(f().Grid_pexor->grid().cell(9, 0), e->freeText);
        EXPECT_EQ(f().Grid_historical->grid().cell(10, 0), e->january);
        QWidget* pages[] = {f().TabSheet1, f().TabSheet2, f().TabSheet3, f().TabSheet4};
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(tab(pages[i]), e->tabs[i]);
        EXPECT_EQ(row(1), row1);

        // The accent labels: Italian only, each over the last "a" of its base label.
        for (const auto& [accent, base] : {std::pair {f().Label36, f().Label13}, std::pair {f().Label37, f().Label35},
                                           std::pair {f().Label38, f().Label29}, std::pair {f().Label39, f().Label21}}) {
            ASSERT_TRUE(accent && base);
            EXPECT_EQ(accent->isVisibleTo(base->parentWidget()), e == &Italian);
            EXPECT_EQ(accent->parentWidget(), base->parentWidget());
            if (e != &Italian)
                continue;
            const QString text = base->text();
            const QFontMetrics metrics(base->font());
            const int before = metrics.horizontalAdvance(text.left(text.lastIndexOf(u'a')));
            const int centre = accent->geometry().center().x() - base->x();
            EXPECT_GE(centre, before) << base->objectName().toStdString();
            EXPECT_LE(centre, before + metrics.horizontalAdvance(u'a')) << base->objectName().toStdString();
        }

        // The settings window still speaks the language of its last activation until it is
        // activated again.
        EXPECT_EQ(bytes(settings().windowTitle()), previousSettings);
        f().Settings1Click();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&settings()));
        EXPECT_EQ(bytes(settings().windowTitle()), e->settingsCaption);
        previousSettings = e->settingsCaption;
        settings().BitBtn2Click();
        f().Users1Click();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&users()));
        EXPECT_EQ(bytes(users().windowTitle()), e->usersCaption);
        users().close();
    }
}

TEST_F(Languages, ALanguageNumberOutsideOneToThreeShowsEnglish)
{
    for (const char* number : {"0", "7"}) {
        SCOPED_TRACE(number);
        writeIni(std::string("[Misc]\r\nLanguage=") + number + "\r\n");
        start();
        EXPECT_EQ(caption("Group_search"), English.search);
        EXPECT_EQ(bytes(f().File1->title()), "File");
        f().FormActivate();
        EXPECT_EQ(caption("Butt_readonce"), "Read selected");
        EXPECT_EQ(meters().cell(7, 0), "Date ");
    }
}

TEST_F(Languages, PolishLettersAreTheSameBytesInBothEncodingsOutsideTheTwoFormRows)
{
    const std::pair<char16_t, char> letters[] = {{u'ą', '\xB9'}, {u'ć', '\xE6'}, {u'ę', '\xEA'},
                                                 {u'ł', '\xB3'}, {u'ń', '\xF1'}, {u'ó', '\xF3'},
                                                 {u'ś', '\x9C'}, {u'ź', '\x9F'}, {u'ż', '\xBF'}};
    const LanguageTexts& eight = MainWindowTexts(UiLanguage::Polish, "CP 852");
    const LanguageTexts& unicode = MainWindowTexts(UiLanguage::Polish, "Unicode");
    const auto holds = [](const LanguageTexts& texts, char byte) {
        for (const std::vector<ControlText>* list : {&texts.controls, &texts.menus})
            for (const ControlText& c : *list)
                if (c.text.find(byte) != std::string::npos)
                    return true;
        return false;
    };
    // Each letter is its one byte, and the captions of both encodings carry it as that byte.
    for (const auto& [letter, byte] : letters) {
        EXPECT_EQ(PolishLetter(letter), std::string(1, byte));
        EXPECT_TRUE(holds(eight, byte)) << std::hex << int(letter);
        EXPECT_TRUE(holds(unicode, byte)) << std::hex << int(letter);
    }
    EXPECT_EQ(PolishLetter(u'x'), "x");

    // The two-form rows are exactly these; every other text has the same bytes.
    const std::map<std::string, std::pair<std::string, std::string>> twoForms = {
        {"Users1", {"U\xBFytkownicy", "Uzytkownicy"}},
        {"Language1", {"J\xEAzyk", "Jezyk"}},
        {"Butt_eth_main", {"G\xB3\xF3wne dane", "Glowne dane"}},
        {"Label32", {"Ustaw czas od\x9Cwie\xBF" "ania wy\x9Cwietlacza", "Ustaw czas od\x9Cwie\xBF" "ania"}},
        {"Butt_delete_hist", {"Usu\xF1wiersz", "Usu\xF1 wiersz"}},
    };
    std::map<std::string, std::pair<std::string, std::string>> differing;
    const auto compare = [&](const std::vector<ControlText>& a, const std::vector<ControlText>& b) {
        ASSERT_EQ(a.size(), b.size());
        for (std::size_t i = 0; i < a.size(); ++i) {
            ASSERT_EQ(a[i].control, b[i].control);
            if (a[i].text != b[i].text)
                differing[a[i].control] = {a[i].text, b[i].text};
        }
    };
    compare(eight.controls, unicode.controls);
    compare(eight.menus, unicode.menus);
    EXPECT_EQ(differing, twoForms);
    EXPECT_EQ(eight.meterHeaders, unicode.meterHeaders);
    EXPECT_EQ(eight.pexorHeaders, unicode.pexorHeaders);

    for (const char* encoding : {"0", "1"}) {
        SCOPED_TRACE(encoding);
        writeIni(std::string("[Misc]\r\nLanguage=3\r\nEncoding=") + encoding + "\r\n");
        start();
        const bool isUnicode = encoding[0] == '1';
        EXPECT_EQ(f().EncodingName, isUnicode ? "Unicode" : "CP 852");
        EXPECT_EQ(caption("Butt_find_primary"), "Znajd\x9F");
        EXPECT_EQ(caption("Butt_find_id"), "Znajd\x9F");
        EXPECT_EQ(meters().cell(7, 0), std::string("\x44\x61\x74\xEA\x20"));
        EXPECT_EQ(bytes(f().Users1->text()), isUnicode ? "Uzytkownicy" : "U\xBFytkownicy");
        EXPECT_EQ(bytes(f().Language1->title()), isUnicode ? "Jezyk" : "J\xEAzyk");
        EXPECT_EQ(caption("Label32"), isUnicode ? twoForms.at("Label32").second : twoForms.at("Label32").first);
        EXPECT_EQ(caption("Butt_delete_hist"), isUnicode ? "Usu\xF1 wiersz" : "Usu\xF1wiersz");
        EXPECT_EQ(bytes(f().Exit1->text()), "Wyj\x9C" "cie");
        // The letters come as Unicode characters to the widgets.
        EXPECT_EQ(f().Tools1->title(), QString::fromUtf8("Narzędzia"));
    }
    EXPECT_EQ(WriteTableButtonCaption(UiLanguage::Polish, "Unicode"), "Zapisz tabel\xEA w wy\x9Cwietlaczu");
    EXPECT_EQ(WriteTableButtonCaption(UiLanguage::Italian, "CP 852"), "Invia tabella al Display");
    EXPECT_EQ(WriteTableButtonCaption(UiLanguage::English, "CP 852"), "Write table to the display");
}

TEST_F(Languages, TheSecondMainColumnMovesTheCellsOnceAtTheNextActivation)
{
    startProgram(1);
    fillRows();
    applyTitles(true);
    EXPECT_EQ(row(1), "r1c0|r1c1|r1c2|r1c3|r1c4|r1c5|r1c6|r1c7|r1c8|r1c9");   // not before the activation
    f().FormActivate();
    const std::string shifted = "r1c0|r1c1|r1c2|r1c3||r1c4|r1c5|r1c6|r1c7|r1c8|r1c9";
    EXPECT_EQ(row(1), shifted);
    EXPECT_EQ(row(3), "r3c0|r3c1|r3c2|r3c3||r3c4|r3c5|r3c6|r3c7|r3c8|r3c9");
    EXPECT_EQ(row(4), "||||||||||");
    EXPECT_EQ(headers(), (std::vector<std::string> {" ID ", "Addr. ", "Mfr. ", "Value ", "Power", "Unit ",
                                                     "Medium ", "Time ", "Date ", "Status ", "Model "}));
    EXPECT_TRUE(f().TableHasSecMain);
    EXPECT_FALSE(f().SecMainChanged);
    f().FormActivate();
    f().Italian1Click();
    EXPECT_EQ(row(1), shifted);
    EXPECT_EQ(meters().cell(5, 0), "Unita ");

    // Off again: the cells move back and column 4's content is dropped.
    meters().setCell(4, 2, "second");
    applyTitles(false);
    f().FormActivate();
    EXPECT_EQ(row(1), "r1c0|r1c1|r1c2|r1c3|r1c4|r1c5|r1c6|r1c7|r1c8|r1c9");
    EXPECT_EQ(row(2), "r2c0|r2c1|r2c2|r2c3|r2c4|r2c5|r2c6|r2c7|r2c8|r2c9");
    EXPECT_EQ(meters().cell(4, 0), "Unita ");
}

TEST_F(Languages, TwoAppliesBeforeAnActivationLeaveTheTableAsTheSettingSays)
{
    startProgram(1);
    fillRows();
    const std::string original = row(1);
    const std::string shifted = "r1c0|r1c1|r1c2|r1c3||r1c4|r1c5|r1c6|r1c7|r1c8|r1c9";

    // On, then on again: the second Apply sees no change, the table still moves once.
    applyTitles(true);
    applyTitles(true);
    f().FormActivate();
    EXPECT_EQ(row(1), shifted);
    EXPECT_EQ(meters().cell(4, 0), "Power");

    // Off, then on: nothing to move; the unit column stays.
    applyTitles(false);
    applyTitles(true);
    f().FormActivate();
    EXPECT_EQ(row(1), shifted);

    // Off, on, off: nothing moved, no column dropped.
    applyTitles(false);
    f().FormActivate();
    ASSERT_EQ(row(1), original);
    applyTitles(true);
    applyTitles(false);
    f().FormActivate();
    EXPECT_EQ(row(1), original);
    EXPECT_EQ(meters().cell(4, 0), "Unit ");
}

TEST_F(Languages, TitleColumnsFollowTheFixedColumns)
{
    startProgram(1);
    fillRows();
    applyTitles(false, 3);
    f().FormActivate();
    ASSERT_EQ(meters().ColCount(), 13);
    EXPECT_EQ(meters().cell(9, 0), "Model ");
    EXPECT_EQ(meters().cell(10, 0), "T1");
    EXPECT_EQ(meters().cell(11, 0), "T2");
    EXPECT_EQ(meters().cell(12, 0), "T3");
    applyTitles(true, 3);
    f().FormActivate();
    ASSERT_EQ(meters().ColCount(), 14);
    EXPECT_EQ(meters().cell(4, 0), "Power");
    EXPECT_EQ(meters().cell(10, 0), "Model ");
    EXPECT_EQ(meters().cell(11, 0), "T1");
    EXPECT_EQ(meters().cell(13, 0), "T3");
    EXPECT_EQ(meters().cell(10, 1), "r1c9");
}

TEST_F(Languages, AReadBeforeTheReLayWritesTheColumnsTheTableHas)
{
    bus->addMeter(SimMeter(5, "00000005", "EMH", 1, 0x04, hexBytes("0C 06 27 04 00 00")));
    startProgram(0);
    meters().setRowCount(3);
    meters().setCell(1, 1, "5");
    meters().selectRow(1);
    applyTitles(true);
    f().Timer_respond->setInterval(3600 * 1000);   // stepped by hand
    f().Butt_readonce->click();
    ASSERT_TRUE(waitBus(1, 1));
    ASSERT_TRUE(waitForLastReplyOnPort());
    f().Timer_respondTimer();
    EXPECT_EQ(meters().cell(4, 1), "kWh");   // the Unit column of the table as it is
    EXPECT_EQ(meters().ColCount(), 10);
    f().FormActivate();
    EXPECT_EQ(meters().cell(4, 1), "");
    EXPECT_EQ(meters().cell(5, 1), "kWh");
}

TEST_F(Languages, RunsInProgressKeepTheirStopCaptions)
{
    startProgram(0);
    f().UD_address_min->setValue(1);
    f().UD_address_max->setValue(3);
    f().Italian1Click();
    prompts.queueAnswer(Prompts::Answer::No);
    f().Butt_find_primary->click();
    ASSERT_TRUE(f().SearchActive);
    f().Timer_respond->stop();   // the bus stays silent; the search waits
    EXPECT_EQ(caption("Butt_find_primary"), "Stop");
    f().FormActivate();
    f().Polish1Click();
    f().Italian1Click();
    EXPECT_EQ(caption("Butt_find_primary"), "Stop");
    f().Butt_find_primary->click();
    ASSERT_FALSE(f().SearchActive);
    EXPECT_EQ(caption("Butt_find_primary"), "Cerca");
    f().FormActivate();
    EXPECT_EQ(caption("Butt_find_primary"), "Trova");

    // A write of the display's table.
    f().Grid_pexor->grid().setCell(1, 1, "7");
    f().CheckPexorRow(1);
    f().Butt_pexor_set->click();
    ASSERT_TRUE(f().WriteTableActive);
    f().Timer_pexor->stop();
    EXPECT_EQ(caption("Butt_pexor_set"), "Stop writing table in display");
    f().FormActivate();
    f().Polish1Click();
    EXPECT_EQ(caption("Butt_pexor_set"), "Stop writing table in display");
    f().Butt_pexor_set->click();
    ASSERT_FALSE(f().WriteTableActive);
    EXPECT_EQ(caption("Butt_pexor_set"), "Zapisz tabel\xEA w wy\x9Cwietlaczu");
    f().FormActivate();
    EXPECT_EQ(caption("Butt_pexor_set"), "Zapisz tabel\xEA w wy\x9Cwietlaczu");

    // A delete run and a zero run do not stop from that button: it keeps its own caption.
    for (QPushButton* start : {f().Butt_pexor_delete, f().Butt_pexor_delp}) {
        const std::string name = bytes(start->objectName());
        start->click();
        ASSERT_TRUE(f().WriteTableActive) << name;
        f().Timer_pexor->stop();
        f().English1Click();
        EXPECT_EQ(caption("Butt_pexor_set"), "Write table to the display") << name;
        f().Polish1Click();
        EXPECT_EQ(caption("Butt_pexor_set"), "Zapisz tabel\xEA w wy\x9Cwietlaczu") << name;
        for (int tick = 0; tick < 10 && f().WriteTableActive; ++tick)
            f().Timer_pexorTimer();
        ASSERT_FALSE(f().WriteTableActive) << name;
        EXPECT_EQ(caption("Butt_pexor_set"), "Zapisz tabel\xEA w wy\x9Cwietlaczu") << name;
    }
}

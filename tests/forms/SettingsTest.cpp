#include "AppFixture.h"
#include "IniFile.h"
#include "TForm11.h"
#include "TSettings.h"
#include "Text8.h"
#include "UpDownEdit.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <algorithm>
#include <filesystem>
#include <functional>

#include <sys/stat.h>

namespace {

std::string bytes(const QString& s) { return Text8::fromUnicode(s); }

using SettingsTest = AppFixture;

TEST_F(SettingsTest, FirstRunShowsTheDefaultsAndCreatesNoFile)
{
    start();
    TSettings& s = settings();
    EXPECT_EQ(s.objectName(), "Settings");
    EXPECT_EQ(s.windowTitle(), "Ferolt -> Settings");
    EXPECT_FALSE(s.isVisible());
    EXPECT_EQ(s.size(), QSize(700, 425));
    EXPECT_TRUE(s.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_FALSE(s.windowFlags() & Qt::WindowCloseButtonHint);

    EXPECT_EQ(s.Combo_com_name->currentText(), "COM1");
    EXPECT_EQ(s.Combo_com_speed->currentText(), "300");
    EXPECT_EQ(s.Combo_com_parity->currentText(), "Even");
    EXPECT_EQ(s.Edit_export_separator->text(), ";");
    EXPECT_EQ(s.Edit_retry_read->text(), "1");
    EXPECT_EQ(s.Edit_tcp_port->text(), "59615");
    EXPECT_EQ(s.Edit_lanxp_ip->text(), "192.168.1.3");
    EXPECT_EQ(s.Edit_lanxp_port->text(), "10001");
    EXPECT_EQ(s.Edit_eth_timeout->text(), "50");
    EXPECT_EQ(s.EditAddValues->text(), "0");
    const std::pair<QCheckBox*, bool> boxes[] = {
        {s.Check_rts, false},     {s.Check_dtr, false},      {s.Check_ethernet, false},
        {s.Check_xport, false},   {s.Check_tovek_server, false}, {s.Check_5B, false},
        {s.Global_init, false},   {s.Check_MSB, true},       {s.Check_LSB, false},
        {s.Check_open_tcp, true}, {s.Check_autopexor, true}, {s.Check_autombus, false},
        {s.Check_secMain, false}, {s.Check_unicode, false}};
    for (const auto& [box, ticked] : boxes)
        EXPECT_EQ(box->isChecked(), ticked) << box->objectName().toStdString();
    EXPECT_TRUE(s.GroupBox3->isEnabled());
    EXPECT_TRUE(s.GroupBox4->isEnabled());
    EXPECT_FALSE(s.Edit1->isEnabled());
    EXPECT_FALSE(s.Edit_secMain->isEnabled());
    // Names are found below the window: other windows use some of them too.
    EXPECT_EQ(s.findChild<QSpinBox*>("UD_retry_read"), s.UD_retry_read);
    EXPECT_EQ(s.findChild<QLineEdit*>("Edit_retry_read"), s.Edit_retry_read);
    EXPECT_TRUE(s.Edit_retry_read->isReadOnly());
    EXPECT_FALSE(s.Butt_open_port->isVisibleTo(&s));
    EXPECT_EQ(s.Butt_open_port->text(), "Connect to port");
    EXPECT_FALSE(std::filesystem::exists(paths().iniPath()));
}

struct LoadCase {
    const char* file;
    bool ethernet, xport, tovek, autoDisplay, autoMbus, msb, lsb;
};

TEST_F(SettingsTest, TheReadingOrderSettlesContradictionsInTheFile)
{
    const LoadCase cases[] = {
        {"[Misc]\r\nUseEthernet=1\r\nUseLANXP=1\r\n", false, true, false, true, false, true, false},
        {"[Misc]\r\nUseEthernet=1\r\nUseLANXP=1\r\nTovekServer=1\r\n", false, false, true, true,
         false, true, false},
        {"[Misc]\r\nUseEthernet=1\r\nTovekServer=1\r\n", false, false, true, true, false, true, false},
        {"[Ethernet]\r\nAutoDisplay=1\r\nAutoMbus=1\r\n", false, false, false, false, true, true, false},
        {"[Misc]\r\nMSBSearch=1\r\nLSBSearch=1\r\n", false, false, false, true, false, false, true},
        {"[Misc]\r\nMSBSearch=0\r\nLSBSearch=0\r\n", false, false, false, true, false, false, false},
    };
    for (const LoadCase& c : cases) {
        SCOPED_TRACE(c.file);
        writeIni(c.file);
        start();
        TSettings& s = settings();
        EXPECT_EQ(s.Check_ethernet->isChecked(), c.ethernet);
        EXPECT_EQ(s.Check_xport->isChecked(), c.xport);
        EXPECT_EQ(s.Check_tovek_server->isChecked(), c.tovek);
        EXPECT_EQ(s.Check_autopexor->isChecked(), c.autoDisplay);
        EXPECT_EQ(s.Check_autombus->isChecked(), c.autoMbus);
        EXPECT_EQ(s.Check_MSB->isChecked(), c.msb);
        EXPECT_EQ(s.Check_LSB->isChecked(), c.lsb);
    }
    // With both search boxes unticked by the file, setting one to its state runs no rule.
    settings().Check_LSB->setChecked(false);
    EXPECT_FALSE(settings().Check_MSB->isChecked());
    settings().Check_LSB->setChecked(true);
    settings().Check_LSB->setChecked(false);
    EXPECT_TRUE(settings().Check_MSB->isChecked());
}

TEST_F(SettingsTest, LinkBoxesExcludeEachOtherAndEnableTheirGroups)
{
    start();
    TSettings& s = settings();
    struct Step {
        QCheckBox* box;
        bool tick;
        bool xport, tovek, ethernet, group4, group3;
    };
    const Step steps[] = {
        {s.Check_ethernet, true, false, false, true, false, true},
        {s.Check_xport, true, true, false, false, true, false},
        {s.Check_tovek_server, true, false, true, false, true, false},
        // From the gateway server to the display module: its group stays enabled.
        {s.Check_xport, true, true, false, false, true, false},
        {s.Check_xport, false, false, false, false, false, false},
        {s.Check_tovek_server, true, false, true, false, true, false},
        {s.Check_ethernet, true, false, false, true, false, true},
        {s.Check_ethernet, false, false, false, false, false, false},
    };
    for (std::size_t i = 0; i < std::size(steps); ++i) {
        const Step& st = steps[i];
        SCOPED_TRACE(i);
        st.box->setChecked(st.tick);
        EXPECT_EQ(s.Check_xport->isChecked(), st.xport);
        EXPECT_EQ(s.Check_tovek_server->isChecked(), st.tovek);
        EXPECT_EQ(s.Check_ethernet->isChecked(), st.ethernet);
        EXPECT_EQ(s.GroupBox4->isEnabled(), st.group4);
        EXPECT_EQ(s.GroupBox3->isEnabled(), st.group3);
    }

    s.Check_autombus->setChecked(true);
    EXPECT_FALSE(s.Check_autopexor->isChecked());
    s.Check_autombus->setChecked(false);
    EXPECT_FALSE(s.Check_autopexor->isChecked());
    s.Check_LSB->setChecked(true);
    EXPECT_FALSE(s.Check_MSB->isChecked());
    s.Check_secMain->setChecked(true);
    EXPECT_TRUE(s.Edit_secMain->isEnabled());
    s.UD_addValues->setValue(3);
    EXPECT_TRUE(s.Edit3->isEnabled());
    EXPECT_FALSE(s.Edit4->isEnabled());
}

TEST_F(SettingsTest, StoredNumbersOutsideTheirRangeTakeTheNearerEnd)
{
    const struct {
        const char* file;
        int retry, ethTimeout, count;
    } cases[] = {
        {"[Misc]\r\nRetry=12\r\n[LANXP]\r\nEthTimeout=5\r\n[Titles]\r\nCount=12\r\n", 9, 20, 9},
        {"[Misc]\r\nRetry=-3\r\n[LANXP]\r\nEthTimeout=5000\r\n[Titles]\r\nCount=-1\r\n", 0, 999, 0},
        {"[Misc]\r\nRetry=abc\r\n[LANXP]\r\nEthTimeout=0x1F\r\n[Titles]\r\nCount=2x\r\n", 1, 31, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        writeIni(c.file);
        start();
        EXPECT_EQ(settings().UD_retry_read->value(), c.retry);
        EXPECT_EQ(settings().UD_eth_timeout->value(), c.ethTimeout);
        EXPECT_EQ(settings().UD_addValues->value(), c.count);
    }
}

TEST_F(SettingsTest, LimitsAndKeyFiltersJudgeOnlyWhatTheUserInserts)
{
    writeIni("[Titles]\r\nCount=1\r\nTitle1=ABCDEFGHIJKLMNOPQRST\r\n[Ethernet]\r\nport=1234\r\n");
    start();
    TSettings& s = settings();
    EXPECT_EQ(s.Edit1->text(), "ABCDEFGHIJKLMNOPQRST");
    EXPECT_EQ(s.Edit_tcp_port->text(), "1234");
    s.Edit1->end(false);
    QTest::keyClicks(s.Edit1, "xy");
    EXPECT_EQ(s.Edit1->text(), "ABCDEFGHIJKLMNOPQRST");
    QTest::keyClick(s.Edit1, Qt::Key_Backspace);
    EXPECT_EQ(s.Edit1->text(), "ABCDEFGHIJKLMNOPQRS");
    s.Edit1->clear();
    QTest::keyClicks(s.Edit1, "0123456789ABCDEFGH");
    EXPECT_EQ(s.Edit1->text(), "0123456789ABCDE");

    const struct {
        QLineEdit* edit;
        const char* typed;
        const char* shown;
    } cases[] = {
        {s.Edit_lanxp_port, "1a2", "12"},     {s.Edit_tcp_port, "80.8", "808"},
        {s.Edit_net_number, "1.2x.3", "1.2.3"}, {s.Edit_lanxp_ip, "127.0.0.1", "127.0.0.1"},
        {s.Edit_lanxp_port, "1234567", "12345"}, {s.Edit_export_separator, ",;", ","},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        c.edit->clear();
        QTest::keyClicks(c.edit, c.typed);
        EXPECT_EQ(c.edit->text(), c.shown);
    }
    // A paste is an insertion like typing: a character the field does not take refuses it
    // whole, and a replaced selection stays; line breaks are only dropped.
    s.Edit_lanxp_port->setText("10001");
    s.Edit_lanxp_port->setSelection(1, 3);
    s.Edit_lanxp_port->insert("9x9");
    EXPECT_EQ(s.Edit_lanxp_port->text(), "10001");
    EXPECT_EQ(s.Edit_lanxp_port->selectedText(), "000");
    s.Edit_lanxp_port->insert("99\n9");
    EXPECT_EQ(s.Edit_lanxp_port->text(), "19991");
}

TEST_F(SettingsTest, ApplyOnPageOneWritesExactlyItsKeysInPlace)
{
    const std::string before =
        "; hand-made\r\n"
        "[com PORT]\r\nName=COM1\r\nSpeed=300\r\nParity=Even\r\nRTS=0\r\nDTR=0\r\n"
        "\r\n[Misc]\r\nExportSeparator=;\r\nRetry=1\r\nUseEthernet=0\r\nUseLANXP=0\n"
        "TovekServer=0\r\nUse5B=0\r\nGlobalInit=0\r\nMSBSearch=1\r\nLSBSearch=0\r\nEncoding=0\r\n"
        "Dir=C:\\data\\\r\nunknown=keep me\r\n"
        "[Ethernet]\r\nport=1234\r\nAutoOpen=1\r\nAutoDisplay=1\r\nAutoMbus=0\r\n"
        "[LANXP]\r\nIP=127.0.0.1\r\nPort=10001\r\nNetNumber=\r\nEthTimeout=50\r\n"
        "[Titles]\r\nCount=0\r\n[Other]\nx=1";
    writeIni(before);
    start();
    TSettings& s = settings();
    s.Combo_com_name->setEditText("COM3");
    s.Check_5B->setChecked(true);
    s.Check_xport->setChecked(true);
    s.BitBtn1Click();

    std::string expected = before;
    const auto replace = [&](const std::string& from, const std::string& to) {
        const auto at = expected.find(from);
        ASSERT_NE(at, std::string::npos) << from;
        expected.replace(at, from.size(), to);
    };
    replace("Name=COM1", "Name=COM3");
    replace("UseLANXP=0\n", "UseLANXP=1\r\n");
    replace("Use5B=0", "Use5B=1");
    replace("port=1234", "Port=1234");
    EXPECT_EQ(readIni(), expected);
    EXPECT_TRUE(prompts.boxes.empty());
    EXPECT_FALSE(s.isVisible());
}

// A settings file kept elsewhere and linked into the program's folder is read through the
// link, and Apply writes the file the link leads to: the link stays.
TEST_F(SettingsTest, ASettingsFileBehindALinkIsReadAndWrittenThere)
{
    writeIni("[Com port]\r\nName=COM2\r\n[Misc]\r\nRetry=3\r\n");
    const std::string shared = folder() + "/shared.ini";
    std::filesystem::rename(paths().iniPath(), shared);
    std::filesystem::create_symlink(shared, paths().iniPath());
    start();
    TSettings& s = settings();
    EXPECT_EQ(s.Combo_com_name->currentText(), "COM2");
    EXPECT_EQ(s.Edit_retry_read->text(), "3");
    s.Combo_com_name->setEditText("COM3");
    s.BitBtn1Click();
    EXPECT_TRUE(prompts.boxes.empty());
    EXPECT_TRUE(std::filesystem::is_symlink(paths().iniPath()));
    EXPECT_EQ(std::filesystem::read_symlink(paths().iniPath()), shared);
    const std::string text = readIni();
    EXPECT_NE(text.find("Name=COM3\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Retry=3\r\n"), std::string::npos) << text;
}

TEST_F(SettingsTest, AByteOrderMarkHidesNoSectionAndStaysInTheFile)
{
    const std::string bom = "\xEF\xBB\xBF";
    writeIni(bom + "[Misc]\r\nRetry=3\r\nGlobalInit=1\r\nLanguage=2\r\n[Com port]\r\nSpeed=2400\r\n");
    start();
    TSettings& s = settings();
    EXPECT_EQ(s.Edit_retry_read->text(), "3");
    EXPECT_TRUE(s.Global_init->isChecked());
    EXPECT_TRUE(form11().Italian1->isChecked());
    s.BitBtn1Click();
    const std::string text = readIni();
    EXPECT_TRUE(text.starts_with(bom + "[Misc]\r\n")) << text;
    EXPECT_EQ(text.find("[Misc]"), text.rfind("[Misc]")) << text;
    EXPECT_NE(text.find("Retry=3\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Language=2\r\n"), std::string::npos) << text;
    EXPECT_EQ(text.find(bom, 1), std::string::npos) << text;
}

TEST_F(SettingsTest, CancelAndCloseWriteNothing)
{
    // Odd bytes a rewrite would change: LF endings, lower-case names, a missing final line end.
    const std::string before = "[misc]\nretry=3\n;note\r\n[Com port]\r\nName=COM2  \r\n[Titles]\r\nCount=2";
    writeIni(before);
    const std::string file = readIni();
    struct stat st {};
    ASSERT_EQ(::stat(paths().iniPath().c_str(), &st), 0);
    const ino_t inode = st.st_ino;
    start();
    TSettings& s = settings();
    for (QPushButton* button : {s.BitBtn2, s.BitBtn4}) {
        SCOPED_TRACE(button->text().toStdString());
        s.show();
        s.Combo_com_name->setEditText("COM7");
        s.UD_retry_read->setValue(5);
        s.Check_xport->setChecked(true);
        s.UD_addValues->setValue(4);
        s.Edit1->setText("changed");
        button->click();
        EXPECT_FALSE(s.isVisible());
        EXPECT_EQ(readIni(), file);
        ASSERT_EQ(::stat(paths().iniPath().c_str(), &st), 0);
        EXPECT_EQ(st.st_ino, inode) << "the file was replaced";
        // Nothing was reset: the changes are in force until the next activation.
        EXPECT_EQ(s.Combo_com_name->currentText(), "COM7");
        EXPECT_EQ(s.UD_retry_read->value(), 5);
    }
    EXPECT_TRUE(prompts.boxes.empty());
}

TEST_F(SettingsTest, ApplyOnPageTwoKeepsWholeTitlesAndPushesFifteenBytes)
{
    start();
    TSettings& s = settings();
    s.UD_addValues->setValue(2);
    s.Edit1->setText("Energy tariff 1 of 2");
    s.Edit9->setText("Ninth");
    s.Edit_secMain->setText("Second main value");
    s.Check_secMain->setChecked(true);
    s.BitBtn3Click();

    const IniFile ini(paths().iniPath(), FileWriter {});
    EXPECT_EQ(ini.readString("Titles", "Title1", ""), "Energy tariff 1 of 2");
    EXPECT_EQ(ini.readString("Titles", "SecMain", ""), "Second main value");
    EXPECT_EQ(ini.readInteger("Titles", "Count", -1), 2);
    EXPECT_TRUE(ini.readBool("Misc", "SMain", false));
    const std::string text = readIni();
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), std::count(text.begin(), text.end(), '\r'));
    EXPECT_EQ(form11().TitleCount, 2);
    EXPECT_EQ(form11().Titles[0], "Energy tariff 1");
    EXPECT_EQ(form11().Titles[8], "Ninth");
    EXPECT_EQ(form11().Titles[9], "Second main val");
    EXPECT_TRUE(form11().SecMainShown);
    EXPECT_TRUE(form11().SecMainChanged);
    s.BitBtn3Click();
    EXPECT_FALSE(form11().SecMainChanged);
    EXPECT_TRUE(form11().SecMainShown);
}

TEST_F(SettingsTest, AFailedSaveShowsOneBoxLeavesTheFileAndStillPushes)
{
    std::filesystem::create_directory(paths().iniPath());
    start();
    TSettings& s = settings();
    const std::function<void()> applies[] = {
        [&] {
            s.Check_unicode->setChecked(true);
            s.Check_LSB->setChecked(true);
            s.BitBtn1Click();
            EXPECT_EQ(form11().EncodingName, "Unicode");
            EXPECT_TRUE(form11().LsbSearch);
        },
        [&] {
            s.UD_addValues->setValue(4);
            s.BitBtn3Click();
            EXPECT_EQ(form11().TitleCount, 4);
        },
    };
    for (const auto& apply : applies) {
        prompts.boxes.clear();
        s.show();
        apply();
        ASSERT_EQ(prompts.boxes.size(), 1u);
        EXPECT_EQ(prompts.boxes[0].owner, &s);
        EXPECT_EQ(prompts.boxes[0].icon, Prompts::Icon::Warning);
        EXPECT_EQ(prompts.boxes[0].caption, "Saving settings");
        EXPECT_EQ(prompts.boxes[0].text, "Settings will not be saved, no write permission");
        EXPECT_FALSE(s.isVisible());
        EXPECT_TRUE(std::filesystem::is_directory(paths().iniPath()));
        EXPECT_TRUE(std::filesystem::is_empty(paths().iniPath()));
    }
}

TEST_F(SettingsTest, ActivationReloadsTheFileAndShowsTheLanguageOfTheMainWindow)
{
    writeIni("[LANXP]\r\nPort=4001\r\n");
    start();
    TSettings& s = settings();
    s.Edit_lanxp_port->setText("5555");
    form11().Settings1Click();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&s));
    EXPECT_EQ(s.Edit_lanxp_port->text(), "4001");
    EXPECT_EQ(s.windowTitle(), "Settings");

    const std::string polishSpeed = "Pr\xEA" "dko\x9C\xE6";
    const std::string polishParity = "Parzysto\x9C\xE6";
    form11().Polish1Click();
    for (const char* file : {"[Misc]\r\nEncoding=0\r\n", "[Misc]\r\nEncoding=1\r\n"}) {
        writeIni(file);
        s.FormActivate();
        EXPECT_EQ(bytes(s.Label2->text()), polishSpeed) << file;
        EXPECT_EQ(bytes(s.Label3->text()), polishParity) << file;
        EXPECT_EQ(bytes(s.Label5->text()), "Pr\xF3" "by ponowienia") << file;
        EXPECT_FALSE(s.Label6->isVisibleTo(&s));
    }
    EXPECT_EQ(form11().EncodingName, "Unicode");

    form11().Italian1Click();
    s.FormActivate();
    EXPECT_EQ(s.Label2->text(), "Velocita");
    EXPECT_TRUE(s.Label6->isVisibleTo(&s));
    EXPECT_TRUE(s.Label7->isVisibleTo(&s));
    // The accent sits over the last letter of its word.
    const QRect accent = s.Label6->geometry();
    const QFontMetrics metrics(s.Label2->font());
    EXPECT_GE(accent.center().x(), s.Label2->x() + metrics.horizontalAdvance("Velocit"));
    EXPECT_LE(accent.center().x(), s.Label2->x() + metrics.horizontalAdvance("Velocita"));

    form11().English1Click();
    s.FormActivate();
    EXPECT_EQ(s.Label2->text(), "Speed");
    EXPECT_FALSE(s.Label6->isVisibleTo(&s));
}

} // namespace

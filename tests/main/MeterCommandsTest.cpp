// The configuration commands on the simulated bus: each frame byte for byte, what the meter
// model made of it, the read after the write where the command asks for one, the refusals and
// the key filters of the fields.
#include "SecondaryFixture.h"

#include "UpDownEdit.h"

#include <QComboBox>

namespace {

using namespace std::chrono_literals;

const std::string Incorrect = "Incorrect value, nothing sent - ";

class Commands : public SecondaryFixture {
protected:
    void start(std::string_view ini = {})
    {
        startProgram(0, ini);
        byHand();
    }
    // The meter at 5 in row 1, selected.
    void selectMeter5(const char* id = "12345678", const char* mfr = "ABC", const char* value = "")
    {
        setRows({{id, "5"}});
        grid().setCell(2, 1, mfr);
        grid().setCell(3, 1, value);
        grid().selectRow(1);
    }
    // Nothing went out, no exchange runs, no read-out is left waiting.
    void expectNothingSent()
    {
        EXPECT_EQ(bus->frameCount(), 0u);
        EXPECT_FALSE(f().Timer_respond->isActive());
        EXPECT_FALSE(f().ReadAfterWrite);
    }
    std::size_t incorrectLines()
    {
        std::size_t n = 0;
        for (const std::string& l : f().Log.lines())
            n += l.starts_with(Incorrect);
        return n;
    }
};

TEST_F(Commands, SetBaudSwitchesTheMeterWithoutARead)
{
    const std::size_t meter = addMeter("12345678", 5);
    start();
    selectMeter5();
    f().Combo_set_baud->setCurrentText("2400");
    f().Butt_set_baud->click();
    tickAfter(1, 1, &TForm11::Timer_respondTimer);
    EXPECT_EQ(spacedHex(bus->receivedBytes()), "68 03 03 68 53 05 BB 13 16 ");
    EXPECT_FALSE(f().Timer_respond->isActive());
    EXPECT_FALSE(f().PortOpen);

    f().Combo_set_baud->setCurrentText("9600");
    f().Setbaud1->trigger();   // the table's menu item does the same
    tickAfter(2, 2, &TForm11::Timer_respondTimer);
    EXPECT_EQ(spacedHex(bus->frames()[1].bytes), "68 03 03 68 53 05 BD 15 16 ");
    EXPECT_EQ(bus->meter(meter).baud(), 9600u);
    EXPECT_EQ(bus->frameCount(), 2u);   // no read-out after either

    f().Combo_set_baud->setCurrentText("4800");
    f().Butt_set_baud->click();
    EXPECT_EQ(lastLogLine(), "Wrong baud...");
    EXPECT_FALSE(f().PortOpen);
    EXPECT_EQ(bus->frameCount(), 2u);
}

TEST_F(Commands, ResetGoesToTheSelectedMeterOnly)
{
    const std::size_t meter = addMeter("12345678", 5);
    start();
    setRows({{"", ""}});   // no meter selected
    f().Butt_reset->click();
    expectNothingSent();
    EXPECT_TRUE(f().PortOpen);   // readied, as a command without a target leaves it

    selectMeter5();
    f().Butt_reset->click();
    tickAfter(1, 1, &TForm11::Timer_respondTimer);
    EXPECT_EQ(spacedHex(bus->receivedBytes()), "68 03 03 68 73 05 50 C8 16 ");
    EXPECT_EQ(bus->meter(meter).applicationResets(), 1u);
    EXPECT_FALSE(f().PortOpen);
}

TEST_F(Commands, SetIdIsReadBackIntoTheRow)
{
    const std::size_t meter = addMeter("12345678", 5);
    start();
    selectMeter5();
    f().Edit_new_id->setText("8765432");   // seven characters: nothing at all
    f().Butt_set_id->click();
    EXPECT_FALSE(f().PortOpen);
    expectNothingSent();

    f().Edit_new_id->setText("87654321");
    f().Butt_set_id->click();
    tickAfter(1, 1, &TForm11::Timer_respondTimer);   // E5: the read-out follows
    tickAfter(2, 2, &TForm11::Timer_respondTimer);
    EXPECT_EQ(spacedHex(bus->frames()[0].bytes), "68 09 09 68 73 05 51 0C 79 21 43 65 87 9E 16 ");
    EXPECT_TRUE(bus->frames()[1].isReqUd2(5));
    EXPECT_EQ(bus->meter(meter).idText(), "87654321");
    EXPECT_EQ(grid().cell(0, 1), "87654321");
    EXPECT_FALSE(f().Timer_respond->isActive());
    EXPECT_FALSE(f().PortOpen);
}

TEST_F(Commands, SetValueGoesAsBcdOrWithWdxAsABinaryNumber)
{
    addMeter("12345678", 5);
    start();
    selectMeter5();
    f().Butt_modify_litersClick();
    EXPECT_EQ(lastLogLine(), "Liter value is not entered...");
    EXPECT_FALSE(f().PortOpen);

    f().Edit_liter->setText("123");
    f().Butt_modify_liters->click();
    EXPECT_EQ(f().Edit_liter_rel->text(), "123");
    tickAfter(1, 1, &TForm11::Timer_respondTimer);
    tickAfter(2, 2, &TForm11::Timer_respondTimer);
    EXPECT_EQ(spacedHex(bus->frames()[0].bytes), "68 09 09 68 53 05 51 0C 13 23 01 00 00 EC 16 ");
    EXPECT_EQ(grid().cell(3, 1), "0.123");

    f().Check_value_wendix->setChecked(true);
    f().Edit_liter->setText("4567");
    f().Butt_modify_liters->click();
    tickAfter(3, 3, &TForm11::Timer_respondTimer);
    tickAfter(4, 4, &TForm11::Timer_respondTimer);
    EXPECT_EQ(spacedHex(bus->frames()[2].bytes), "68 09 09 68 53 05 51 04 13 D7 11 00 00 A8 16 ");
    EXPECT_EQ(grid().cell(3, 1), "4.567");

    f().Edit_liter->setText("123");
    f().Butt_modify_liters->click();
    tickAfter(5, 5, &TForm11::Timer_respondTimer);
    EXPECT_EQ(spacedHex(bus->frames()[4].bytes), "68 09 09 68 53 05 51 04 13 7B 00 00 00 3B 16 ");
}

TEST_F(Commands, SetMediumCarriesTheSelectedIdOrTheWildcardOnBroadcast)
{
    const std::size_t meter = addMeter("12345678", 5, "0C 06 27 04 00 00", 0x04);
    start();
    selectMeter5();
    f().Butt_set_medium->click();
    EXPECT_EQ(lastLogLine(), "Incomplete data entered to program medium ...");
    EXPECT_FALSE(f().PortOpen);

    f().Combo_medium->setCurrentText("Water");
    f().Butt_set_medium->click();
    tickAfter(1, 1, &TForm11::Timer_respondTimer);
    tickAfter(2, 2, &TForm11::Timer_respondTimer);
    EXPECT_EQ(spacedHex(bus->frames()[0].bytes), "68 0D 0D 68 53 05 51 07 79 78 56 34 12 FF FF FF 07 41 16 ");
    EXPECT_EQ(bus->meter(meter).medium(), 0x07);
    EXPECT_EQ(grid().cell(5, 1), "Water");

    f().Combo_medium->setCurrentText("Gas");
    f().Check_broadcast->setChecked(true);
    f().SetMedium1->trigger();
    tickAfter(3, 3, &TForm11::Timer_respondTimer);
    EXPECT_EQ(spacedHex(bus->frames()[2].bytes), "68 0D 0D 68 53 FE 51 07 79 FF FF FF FF FF FF FF 03 1E 16 ");
    EXPECT_EQ(bus->meter(meter).medium(), 0x03);
}

TEST_F(Commands, SetUnitTakesTheMediumTheTableShows)
{
    addMeter("12345678", 5, "0C 06 27 04 00 00", 0x04);
    start();
    selectMeter5();
    f().Butt_readonce->click();   // the row as the bus has it: "Heat (rt)"
    tickAfter(1, 1, &TForm11::Timer_respondTimer);
    ASSERT_EQ(grid().cell(5, 1), "Heat (rt)");
    f().Combo_unit->setCurrentText("kJ");
    f().Combo_constant->setCurrentText("1");
    f().Butt_set_unit->click();
    tickAfter(2, 2, &TForm11::Timer_respondTimer);
    EXPECT_EQ(spacedHex(bus->frames()[1].bytes), "68 09 09 68 53 05 51 0F 0B 03 04 01 01 CC 16 ");
    tickAfter(3, 3, &TForm11::Timer_respondTimer);   // the read-out after it
    EXPECT_TRUE(bus->frames()[2].isReqUd2(5));

    // With the second main value shown, Medium is column 6.
    f().SecMainShown = true;
    f().TableHasSecMain = f().SecMainShown;   // laid out anew, the cells where they are
    f().SetLanguageEnglish();
    grid().setCell(5, 1, "Water");
    grid().setCell(6, 1, "Heat (rt)");
    f().SetUnit1->trigger();
    tickAfter(4, 4, &TForm11::Timer_respondTimer);
    EXPECT_EQ(spacedHex(bus->frames()[3].bytes), "68 09 09 68 53 05 51 0F 0B 03 04 01 01 CC 16 ");

    f().Combo_unit->setCurrentText("kg");
    f().Timer_respond->stop();
    f().ReleaseLink();
    f().Butt_set_unit->click();
    EXPECT_EQ(lastLogLine(), "Incorrect unit. Allowable units are l,Wh,kJ,N/A...");
    EXPECT_FALSE(f().PortOpen);
}

TEST_F(Commands, TheRelayValueGoesOnlyToARelay)
{
    addMeter("12345678", 5);
    start();
    selectMeter5("12345678", "ABC", "12.5");
    f().Combo_unit->setCurrentText("l");
    f().Combo_constant->setCurrentText("1");
    f().Check_wendix->setChecked(true);
    f().Butt_set_unit->click();
    EXPECT_EQ(lastLogLine(), "This m-bus device is NOT Relay! Skipping...");
    expectNothingSent();
    // The refusal leaves no read-out behind: the next read asks once.
    f().Butt_readonce->click();
    tickAfter(1, 1, &TForm11::Timer_respondTimer);
    EXPECT_FALSE(f().Timer_respond->isActive());
    EXPECT_EQ(frameNames(), std::vector<std::string>({"REQ 5"}));

    bus->clearLog();
    selectMeter5("12345678", "REL", "12.5");
    EXPECT_EQ(f().Edit_liter_rel->text(), "12500");
    f().Butt_set_unit->click();
    tickAfter(1, 1, &TForm11::Timer_respondTimer);
    tickAfter(2, 2, &TForm11::Timer_respondTimer);
    EXPECT_EQ(spacedHex(bus->frames()[0].bytes), "68 09 09 68 53 05 51 0C 13 00 25 01 00 EE 16 ");
    EXPECT_TRUE(bus->frames()[1].isReqUd2(5));
}

TEST_F(Commands, BroadcastSetIdAndSetPrimaryChangeEveryMeter)
{
    const std::size_t a = addMeter("11111111", 5);
    const std::size_t b = addMeter("22222222", 6);
    start();
    selectMeter5();
    f().Check_broadcast->setChecked(true);
    f().Edit_new_id->setText("87654321");
    f().Butt_set_id->click();
    tickAfter(1, 1, &TForm11::Timer_respondTimer);   // both acknowledge: one E5 on the line
    EXPECT_EQ(bus->meter(a).idText(), "87654321");
    EXPECT_EQ(bus->meter(b).idText(), "87654321");
    ASSERT_TRUE(waitBus(2));
    EXPECT_TRUE(bus->frames()[1].isReqUd2(254));
    f().Timer_respond->stop();
    f().ReleaseLink();

    f().UD_new_address->setValue(9);
    f().Butt_set_address->click();
    tickAfter(3, 3, &TForm11::Timer_respondTimer);
    EXPECT_EQ(bus->meter(a).address(), 9);
    EXPECT_EQ(bus->meter(b).address(), 9);
}

TEST_F(Commands, ConversionErrorsAreLoggedAndSendNothing)
{
    addMeter("12345678", 5);
    start();
    selectMeter5("0500023E");
    f().Combo_medium->setCurrentText("Water");
    f().Butt_set_medium->click();
    EXPECT_EQ(lastLogLine(), Incorrect + "'0500023E' is not a valid integer value");
    expectNothingSent();

    setRows({{"", "5"}});   // no ID at all
    f().Butt_set_mediumClick();
    EXPECT_EQ(incorrectLines(), 2u);
    expectNothingSent();

    f().Edit_new_id->setText("1234567A");   // set by the program: no filter
    f().Butt_set_idClick();
    EXPECT_EQ(incorrectLines(), 3u);
    expectNothingSent();

    selectMeter5("12345678", "REL");
    f().Combo_unit->setCurrentText("l");
    f().Check_wendix->setChecked(true);
    for (const char* value : {"", "123456789", "1.2345679E+8"}) {
        SCOPED_TRACE(value);
        f().Edit_liter_rel->setText(value);
        const std::size_t before = incorrectLines();
        f().Butt_set_unitClick();
        EXPECT_EQ(incorrectLines(), before + 1);
        EXPECT_TRUE(lastLogLine().starts_with(Incorrect));
        expectNothingSent();
    }
}

TEST_F(Commands, AnAddressOutsideTheBusIsNoTarget)
{
    addMeter("12345678", 5);
    start();
    setRows({{"12345678", "261"}});
    ASSERT_EQ(f().CurAddr, "261");
    f().Butt_reset->click();
    f().Combo_medium->setCurrentText("Water");
    f().Butt_set_medium->click();
    f().Edit_new_id->setText("87654321");
    f().Butt_set_id->click();
    grid().setCell(2, 1, "REL");
    f().Check_wendix->setChecked(true);
    f().Butt_set_unit->click();
    expectNothingSent();
    EXPECT_EQ(bus->meter(0).idText(), "12345678");
}

TEST_F(Commands, DuringAReadOfAllMetersNoCommandAndNoSearchStarts)
{
    addMeter("12345678", 5);
    start();
    selectMeter5("12345678", "REL", "12.5");
    f().Edit_new_id->setText("87654321");
    f().Edit_liter->setText("123");
    f().Combo_medium->setCurrentText("Water");
    f().Combo_unit->setCurrentText("kJ");
    f().Edit_id->setText("12345678");
    f().Timer_readall->setInterval(3600 * 1000);
    f().Butt_readall->click();
    ASSERT_TRUE(waitBus(1, 1));
    ASSERT_TRUE(f().Timer_readall->isActive());

    f().Butt_find_allClick();
    f().Butt_find_idClick();
    for (void (TForm11::*command)() :
         {&TForm11::Butt_set_baudClick, &TForm11::Butt_resetClick, &TForm11::Butt_set_addressClick,
          &TForm11::Butt_set_idClick, &TForm11::Butt_modify_litersClick, &TForm11::Butt_set_mediumClick,
          &TForm11::Butt_set_unitClick, &TForm11::BitBtn19Click})
        (f().*command)();
    EXPECT_EQ(logCount("Another exchange is running, please wait..."), 10u);
    EXPECT_EQ(f().Edit_id->text(), "12345678");
    EXPECT_TRUE(prompts.boxes.empty());
    EXPECT_FALSE(f().SearchThread);
    EXPECT_FALSE(f().Timer_respond->isActive());
    EXPECT_FALSE(f().Timer_secondary->isActive());
    EXPECT_FALSE(f().ReadAfterWrite);
    EXPECT_FALSE(f().SetAddrPending);
    EXPECT_EQ(f().Edit_liter_rel->text(), "12500");
    // A frame straight on the line comes after anything the refused ones would have sent.
    f().Frames.SendReqUd2(7);
    ASSERT_TRUE(waitBus(2));
    EXPECT_EQ(frameNames(), std::vector<std::string>({"REQ 5", "REQ 7"}));
}

// "Read selected" restarts only a single read of its own: while the reply timer waits for a
// command's acknowledge, the read-out after it or the end of a selection by ID, neither it
// nor "Read Full" sends anything.
TEST_F(Commands, NoReadStartsWhileTheReplyTimerServesAnotherExchange)
{
    const std::string busy = "Another exchange is running, please wait...";
    const std::size_t meter = addMeter("12345678", 5);
    start();
    selectMeter5();
    const auto readsRefused = [&](std::size_t before) {
        f().Butt_readonce->click();
        f().ReadFull1->trigger();
        EXPECT_EQ(logCount(busy), before + 2);
        EXPECT_FALSE(f().Link.FullReportMode);
        EXPECT_TRUE(f().Timer_respond->isActive());
    };

    f().Edit_new_id->setText("87654321");
    f().Butt_set_id->click();
    ASSERT_TRUE(waitBus(1, 1));
    readsRefused(0);   // the acknowledge is awaited
    tickAfter(1, 1, &TForm11::Timer_respondTimer);
    ASSERT_TRUE(waitBus(2, 2));
    readsRefused(2);   // the read-out after the write is awaited
    tickAfter(2, 2, &TForm11::Timer_respondTimer);
    EXPECT_EQ(grid().cell(0, 1), "87654321");
    EXPECT_FALSE(f().Timer_respond->isActive());
    EXPECT_FALSE(f().PortOpen);

    // A selection by ID: its SND_NKE's acknowledge is awaited on the same timer.
    f().Edit_id->setText("87654321");
    f().Butt_find_idClick();
    tickAfter(3, 3, &TForm11::Timer_secondaryTimer);
    tickAfter(4, 4, &TForm11::Timer_secondaryTimer);
    ASSERT_TRUE(f().Timer_respond->isActive());
    ASSERT_TRUE(waitBus(5, 5));
    readsRefused(4);
    tickAfter(5, 5, &TForm11::Timer_respondTimer);
    EXPECT_FALSE(f().linkBusy());

    // A frame straight on the line comes after anything the refused reads would have sent.
    ASSERT_TRUE(f().PrepareLink());
    f().Frames.SendReqUd2(7);
    ASSERT_TRUE(waitBus(6));
    EXPECT_EQ(frameNames(), std::vector<std::string>({"LONG 73/51", "REQ 5", "LONG 53/52", "REQ 253",
                                                      "NKE 253", "REQ 7"}));
    EXPECT_EQ(bus->meter(meter).idText(), "87654321");
}

TEST_F(Commands, ReadSelectedDuringASingleReadAsksAgain)
{
    addMeter("12345678", 5);
    start();
    selectMeter5();
    f().Butt_readonce->click();
    ASSERT_TRUE(waitBus(1, 1));
    f().Butt_readonce->click();   // the first answer is dropped with the link's purge
    ASSERT_TRUE(waitBus(2, 2));
    f().ReadFull1->trigger();
    EXPECT_TRUE(f().Link.FullReportMode);
    tickAfter(3, 3, &TForm11::Timer_respondTimer);
    EXPECT_EQ(logCount("Another exchange is running, please wait..."), 0u);
    EXPECT_EQ(frameNames(), std::vector<std::string>({"REQ 5", "REQ 5", "REQ 5"}));
    EXPECT_EQ(logCount("Respond: " + spacedHex(bus->meter(0).telegram())), 1u);
    EXPECT_FALSE(f().Timer_respond->isActive());
    EXPECT_FALSE(f().PortOpen);
}

TEST_F(Commands, KeyFiltersJudgeOnlyWhatTheUserTypes)
{
    start();
    f().show();
    QTest::keyClicks(f().Edit_liter, "12a3");
    EXPECT_EQ(f().Edit_liter->text(), "123");
    QTest::keyClicks(f().Edit_liter, "456789");
    EXPECT_EQ(f().Edit_liter->text(), "12345678");   // eight characters
    QTest::keyClicks(f().Edit_id, "12Ff");
    EXPECT_EQ(f().Edit_id->text(), "12F");
    QTest::keyClicks(f().Edit_new_id, "9x8");
    EXPECT_EQ(f().Edit_new_id->text(), "98");
    f().Combo_set_baud->lineEdit()->clear();
    QTest::keyClicks(f().Combo_set_baud->lineEdit(), "24b00");
    EXPECT_EQ(f().Combo_set_baud->currentText(), "2400");
    // A sign and a group separator would pass the spin box itself.
    for (UpDownEdit* ud :
         {f().UD_new_address, f().UD_AutoPrimary, f().UD_address_min, f().UD_address_max, f().UD_timeout}) {
        ud->edit()->selectAll();
        QTest::keyClicks(ud->edit(), ud == f().UD_timeout ? "+7,0-0" : "+2-5");
        EXPECT_EQ(ud->edit()->text(), ud == f().UD_timeout ? "700" : "25") << ud->objectName().toStdString();
        EXPECT_EQ(ud->value(), ud == f().UD_timeout ? 700 : 25) << ud->objectName().toStdString();
    }
    f().Edit_liter->setText("12a3");   // the program's own text stays
    EXPECT_EQ(f().Edit_liter->text(), "12a3");

    f().Check_wendix->setChecked(true);
    EXPECT_FALSE(f().Edit_new_id->isEnabled());
    EXPECT_FALSE(f().Butt_set_id->isEnabled());
    f().Check_wendix->setChecked(false);
    EXPECT_TRUE(f().Edit_new_id->isEnabled());
    EXPECT_TRUE(f().Butt_set_id->isEnabled());
}

} // namespace

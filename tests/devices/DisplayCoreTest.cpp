// The display's byte-level pieces: command texts, the reply decoders over the log, the
// address list, the month table and the rules of the write run and the fill.
#include "DisplayCommands.h"
#include "DisplayReplies.h"
#include "DisplayRows.h"
#include "LogModel.h"
#include "StringGrid.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A log of filler lines, then the reply as the program appends it; gives the reply's first line.
std::size_t withReply(LogModel& log, std::string_view reply, std::size_t filler = 4)
{
    for (std::size_t i = 0; i < filler; ++i)
        log.add("filler " + std::to_string(i));
    const std::size_t first = log.count();
    log.add(reply);
    return first;
}

std::vector<std::string> addressesOf(std::string_view reply, bool* found = nullptr, bool* truncated = nullptr)
{
    LogModel log;
    const std::size_t first = withReply(log, reply);
    const AddressList list = ReadAddressList(log, first);
    if (found)
        *found = list.found;
    if (truncated)
        *truncated = list.truncated;
    return list.addresses;
}

using Strings = std::vector<std::string>;

} // namespace

TEST(DisplayCommands, Texts)
{
    EXPECT_EQ(DateCommand(5, 3, 2026), "SET DATE=05/03/26");
    EXPECT_EQ(DateCommand(28, 11, 2031), "SET DATE=28/11/31");
    EXPECT_EQ(DateCommand(1, 1, 99), "SET DATE=01/01/99");   // below 100: as it is
    EXPECT_EQ(TimeCommand(9, 7), "SET TIME=09:07");
    EXPECT_EQ(TimeCommand(23, 59), "SET TIME=23:59");
    EXPECT_EQ(EntryCommand("7"), "SET ENTR=7");
    EXPECT_EQ(DeviceCommand("SET UNIT=", "7", ""), "SET UNIT=7,");
    EXPECT_EQ(DeleteCommand("12"), "DEL ENTR=12");
    EXPECT_EQ(ZeroCommand("12"), "SET DELP=12,0");
    EXPECT_EQ(EntryQuestion(" 7", 2), "GET ENTR= 7,2");
    EXPECT_EQ(TariffQuestion("3", 0), "GET TARR=3,0");
    EXPECT_EQ(HistQuestion("3", 11), "GET HIST=3,11");

    EXPECT_EQ(RefreshCommandFor("4").command, "SET REFR=04");
    EXPECT_EQ(RefreshCommandFor("12").command, "SET REFR=12");
    EXPECT_EQ(RefreshCommandFor("13").action, RefreshCommand::Action::Nothing);
    EXPECT_EQ(RefreshCommandFor("").action, RefreshCommand::Action::Nothing);
    EXPECT_EQ(RefreshCommandFor("x").action, RefreshCommand::Action::WrongValue);
}

TEST(DisplayReplies, ReadsAsInteger)
{
    EXPECT_EQ(ReadsAsInteger("7"), 7);
    EXPECT_EQ(ReadsAsInteger("  -12"), -12);
    EXPECT_EQ(ReadsAsInteger("+0042"), 42);
    EXPECT_EQ(ReadsAsInteger("2147483647"), 2147483647);
    EXPECT_EQ(ReadsAsInteger("-2147483648"), -2147483647 - 1);
    for (const char* bad : {"", " ", "-", "12a", "1 ", "2147483648", "99999999999999999999", "1.5", "\t1"})
        EXPECT_FALSE(ReadsAsInteger(bad)) << bad;
}

TEST(DisplayReplies, WindowEdgesForEachWidth)
{
    for (const std::size_t width : {TotalPulsesWindow, UserNumberWindow, HistValuesWindow}) {
        for (std::size_t fromEnd = 1; fromEnd <= width; ++fromEnd) {
            LogModel log;
            for (int i = 0; i < 10; ++i)
                log.add("x");
            log.add("MARK");
            for (std::size_t i = 1; i < fromEnd; ++i)
                log.add("y");
            const bool found = FindReplyBlock(log, 0, "MARK", width).has_value();
            EXPECT_EQ(found, fromEnd <= width - 1) << "width " << width << ", line " << fromEnd << " from the end";
        }
        // Never at index 1 (nor 0), though inside the window.
        LogModel shortLog;
        shortLog.add("MARK");
        shortLog.add("MARK");
        EXPECT_FALSE(FindReplyBlock(shortLog, 0, "MARK", width));
        shortLog.add("MARK");
        EXPECT_EQ(FindReplyBlock(shortLog, 0, "MARK", width), 2u);
    }
    // A marker just before the current reply's first line is not the reply's.
    LogModel log;
    withReply(log, "Total pulses *1/1\r\nStart: 1 m3");
    const std::size_t first = log.count();
    log.add("Err");
    EXPECT_TRUE(FindReplyBlock(log, 0, "Total pulses", TotalPulsesWindow));
    EXPECT_FALSE(FindReplyBlock(log, first, "Total pulses", TotalPulsesWindow));
    EXPECT_FALSE(DecodeTariff(log, first, "1", 12));
    // A reply start beyond the log finds nothing.
    EXPECT_FALSE(FindReplyBlock(log, log.count() + 5, "Err", TotalPulsesWindow));
}

TEST(DisplayReplies, TotalPulsesUserNumberAndTariffFields)
{
    LogModel log;
    std::size_t first = withReply(log, "Total pulses *10/1\r\nStart: 12.5 m3\r\nTotal: 1234.5\r\n");
    std::optional<TotalPulsesFields> pulses = DecodeTotalPulses(log, first, "3");
    ASSERT_TRUE(pulses);
    EXPECT_EQ(pulses->address, "3");
    EXPECT_EQ(pulses->multDiv, "10/1");
    EXPECT_EQ(pulses->start, "12.5");
    EXPECT_EQ(pulses->unit, "m3");
    EXPECT_EQ(pulses->total, "1234.5");

    // Blanks and a digit: no unit. No '*': no Mult/Div. A sign is dropped.
    first = withReply(log, "Total pulses\r\nStart:  7\r\nTotal: -5\r\n");
    pulses = DecodeTotalPulses(log, first, "3");
    ASSERT_TRUE(pulses);
    EXPECT_EQ(pulses->multDiv, "");
    EXPECT_EQ(pulses->start, "7");
    EXPECT_EQ(pulses->unit, "");
    EXPECT_EQ(pulses->total, "5");

    // The unit keeps every character after the token's blank; a '*' as the last character,
    // and lines of two characters, give nothing.
    first = withReply(log, "Total pulses *\r\nS 3 k Wh \r\n12\r\n");
    pulses = DecodeTotalPulses(log, first, "3");
    ASSERT_TRUE(pulses);
    EXPECT_EQ(pulses->multDiv, "");
    EXPECT_EQ(pulses->unit, "k Wh ");
    EXPECT_EQ(pulses->total, "");

    first = withReply(log, "User #: 0042\r\nText: free text  here");
    std::optional<UserNumberFields> user = DecodeUserNumber(log, first, "3");
    ASSERT_TRUE(user);
    EXPECT_EQ(user->userNumber, "0042");
    EXPECT_EQ(user->freeText, "free text  here");
    // With a final line end the marker is three lines from the end: out of the window.
    first = withReply(log, "User #: 0042\r\nText: t\r\n");
    EXPECT_FALSE(DecodeUserNumber(log, first, "3"));
    first = withReply(log, "User #:\r\nText:x");
    user = DecodeUserNumber(log, first, "3");
    ASSERT_TRUE(user);
    EXPECT_EQ(user->userNumber, "");
    EXPECT_EQ(user->freeText, "");

    first = withReply(log, "Total pulses\r\nStart: 3.5\r\nTotal: 77\r\n");
    const std::optional<TariffFields> tariff = DecodeTariff(log, first, "3", 11);
    ASSERT_TRUE(tariff);
    EXPECT_EQ(tariff->column, 11);
    EXPECT_EQ(tariff->start, "3.5");
    EXPECT_EQ(tariff->value, "77");
}

TEST(DisplayRows, SplitMultDiv)
{
    using Pair = std::pair<std::string, std::string>;
    EXPECT_EQ(SplitMultDiv(""), Pair("1", "1"));
    EXPECT_EQ(SplitMultDiv("10"), Pair("10", "1"));
    EXPECT_EQ(SplitMultDiv("/4"), Pair("1", "4"));
    EXPECT_EQ(SplitMultDiv("/"), Pair("1", "1"));
    EXPECT_EQ(SplitMultDiv("10/1/"), Pair("10/1", "1"));
    EXPECT_EQ(SplitMultDiv("2/5/3"), Pair("2", "5/3"));
    EXPECT_EQ(SplitMultDiv("10/1"), Pair("10", "1"));
}

TEST(DisplayReplies, AddressLists)
{
    bool found = false;
    bool truncated = false;
    EXPECT_EQ(addressesOf("Active devices: 1-3,7,12-10,9\r\n", &found), (Strings {"1", "2", "3", "7", "9"}));
    EXPECT_TRUE(found);
    EXPECT_EQ(addressesOf("Active devices: 4,5,\r\n"), (Strings {"4", "5", ""}));
    EXPECT_EQ(addressesOf("Active devices: 1\r2-3\r 7\r\n"), (Strings {"1", "2", "3", " 7"}));
    // The line form: every later line is an address, as it is.
    EXPECT_EQ(addressesOf("Active devices: \r\n3\r\n8\r\n"), (Strings {"3", "8", ""}));
    {
        // Each form on its own: a list line is no line form, a marker line alone no list.
        LogModel log;
        std::size_t first = withReply(log, "Active devices: \r\n3\r\n");
        EXPECT_FALSE(ReadAddressListForm(log, first).found);
        EXPECT_EQ(ReadAddressLineForm(log, first).addresses, (Strings {"3", ""}));
        first = withReply(log, "Active devices: 4\r\n");
        EXPECT_EQ(ReadAddressListForm(log, first).addresses, Strings {"4"});
        EXPECT_FALSE(ReadAddressLineForm(log, first).found);
    }
    // The clamp.
    const Strings all = addressesOf("Active devices: 1-100000\r\n", &found, &truncated);
    ASSERT_EQ(all.size(), 250u);
    EXPECT_EQ(all.front(), "1");
    EXPECT_EQ(all.back(), "250");
    EXPECT_FALSE(truncated);
    EXPECT_EQ(addressesOf("Active devices: 0-5\r\n"), (Strings {"1", "2", "3", "4", "5"}));
    const Strings high = addressesOf("Active devices: 200-300\r\n");
    ASSERT_EQ(high.size(), 51u);
    EXPECT_EQ(high.front(), "200");
    EXPECT_EQ(high.back(), "250");
    EXPECT_EQ(addressesOf("Active devices: 5-3\r\n", &found), Strings {});
    EXPECT_TRUE(found);
    // More than 250 addresses: the first 250, and truncated.
    EXPECT_EQ(addressesOf("Active devices: 1-250,1-3\r\n", &found, &truncated).size(), 250u);
    EXPECT_TRUE(truncated);

    // No marker in the reply, though an older list is in the log.
    LogModel log;
    withReply(log, "Active devices: 1-3\r\n");
    std::size_t first = log.count();
    log.add("");
    AddressList list = ReadAddressList(log, first);
    EXPECT_FALSE(list.found);
    EXPECT_TRUE(list.addresses.empty());
    first = log.count();
    log.add("Err");
    EXPECT_FALSE(ReadAddressList(log, first).found);
}

TEST(DisplayReplies, MonthToColumnAndHistValues)
{
    const std::vector<std::pair<std::string, int>> names = {
        {"Jan", 10}, {"Feb", 11}, {"Mar", 12}, {"Apr", 13}, {"May", 14}, {"Jun", 15}, {"Jul", 16},
        {"Aug", 17}, {"Sep", 18}, {"Oct", 19}, {"Nov", 20}, {"Noe", 20}, {"Dec", 21},
        {"\xDF\xED\xF3", 10}, {"\xD4\xE5\xE2", 11}, {"\xCC\xE0\xF0", 12}, {"\xC0\xEF\xF0", 13},
        {"\xCC\xE0\xE9", 14}, {"\xDE\xED\xE8", 15}, {"\xDE\xEB\xE8", 16}, {"\xC0\xE2\xE3", 17},
        {"\xD1\xE5\xEF", 18}, {"\xCE\xEA\xF2", 19}, {"\xCD\xEE\xE5", 20}, {"\xC4\xE5\xEA", 21},
        {"Gen", 10}, {"Mag", 14}, {"Giu", 15}, {"Lug", 16}, {"Ago", 17}, {"Set", 18}, {"Ott", 19},
        {"Dic", 21}};
    for (const auto& [name, column] : names)
        EXPECT_EQ(MonthToColumn(name), column) << name;
    for (const char* other : {"", "   ", "jan", "JAN", "Ja", "Janu", "Xyz"})
        EXPECT_EQ(MonthToColumn(other), 0) << other;

    LogModel log;
    std::size_t first = withReply(log, "Hist values: 12 345\r\n05/Mar/24\r\n");
    std::optional<HistCell> cell = DecodeHistValue(log, first, "3");
    ASSERT_TRUE(cell);
    EXPECT_EQ(cell->column, 12);
    EXPECT_EQ(cell->value, "12345");
    EXPECT_EQ(GetHistMonth(log, first, "3"), "Mar");

    first = withReply(log, "Hist values: 9\r\nT1 1\r\nT2 2\r\nT3 3\r\n01/Jun/24\r\n");
    cell = DecodeHistValue(log, first, "3");
    ASSERT_TRUE(cell);
    EXPECT_EQ(cell->column, 15);
    EXPECT_EQ(cell->value, "9");

    first = withReply(log, "Hist values: 1\r\n01/   /24\r\n");
    cell = DecodeHistValue(log, first, "3");
    ASSERT_TRUE(cell);
    EXPECT_EQ(cell->column, 21);
    EXPECT_EQ(GetHistMonth(log, first, "3"), "Dec");

    first = withReply(log, "Hist values: 1\r\n01/Mar/00\r\n");
    EXPECT_FALSE(DecodeHistValue(log, first, "3"));
    EXPECT_EQ(GetHistMonth(log, first, "3"), "");

    first = withReply(log, "Hist values: 4\r\n01/\xCC\xE0\xF0/25\r\n");
    cell = DecodeHistValue(log, first, "3");
    ASSERT_TRUE(cell);
    EXPECT_EQ(cell->column, 12);

    for (const char* none : {"No history\r\n", "Hist values: 1\r\nno date\r\n", "Hist values: 1\r\n01/Foo/24\r\n",
                             "Hist values: 1\r\n01/Mar\r\n"}) {
        first = withReply(log, none);
        EXPECT_FALSE(DecodeHistValue(log, first, "3")) << none;
        EXPECT_EQ(GetHistMonth(log, first, "3"), "") << none;
    }
}

TEST(DisplayReplies, HistDateWithoutPlaceForMonthOrYear)
{
    LogModel log;
    // No '/', nothing after it, the line ending inside the month or before the year; and in
    // the layout with the tariff lines, a date four lines down without '/'.
    for (const char* unreadable :
         {"Hist values: 1\r\n05-Mar-24\r\n", "Hist values: 1\r\nno date\r\n", "Hist values: 1\r\n05/\r\n",
          "Hist values: 1\r\n05/M\r\n", "Hist values: 1\r\n05/Mar\r\n", "Hist values: 1\r\n05/Mar/\r\n",
          "Hist values: 1\r\n05/Mar/",
          "Hist values: 9\r\nT1 1\r\nT2 2\r\nT3 3\r\n01-Jun-24\r\n"}) {
        const std::size_t first = withReply(log, unreadable);
        EXPECT_TRUE(HistDateUnreadable(log, first)) << unreadable;
        EXPECT_FALSE(DecodeHistValue(log, first, "3")) << unreadable;
        EXPECT_EQ(GetHistMonth(log, first, "3"), "") << unreadable;
    }
    // A date that is read, a month of no language, the year "00", no date line, a date line of
    // two characters, the tariff layout cut off before its date, no block.
    for (const char* readable :
         {"Hist values: 1\r\n05/Mar/24\r\n", "Hist values: 1\r\n05/Xyz/24\r\n", "Hist values: 1\r\n05/Mar/00\r\n",
          "Hist values: 1\r\n", "Hist values: 1", "Hist values: 1\r\n05\r\n", "Hist values: 9\r\nT1 1\r\nT2 2\r\n",
          "Hist values: 9\r\nT1 1\r\nT2 2\r\nT3 3\r\n01/Jun/24\r\n", "No history\r\n", "05-Mar-24\r\n"}) {
        const std::size_t first = withReply(log, readable);
        EXPECT_FALSE(HistDateUnreadable(log, first)) << readable;
    }
    // A year cut short by the line's end is still a year: the value is written.
    const std::size_t first = withReply(log, "Hist values: 6\r\n05/Oct/2\r\n");
    EXPECT_FALSE(HistDateUnreadable(log, first));
    const std::optional<HistCell> cell = DecodeHistValue(log, first, "3");
    ASSERT_TRUE(cell);
    EXPECT_EQ(cell->column, 19);
    EXPECT_EQ(cell->value, "6");
}

TEST(DisplayRows, WriteRunUnitsValuesAndTexts)
{
    const std::vector<std::pair<std::string, std::optional<std::string>>> units = {
        {"m3", "2"}, {"m3 ", "2"}, {"kWh", "1"}, {"kJ", "3"}, {"MJ", "4"}, {"", ""},
        {"M3", std::nullopt}, {"kwh", std::nullopt}, {" m3", std::nullopt}};
    for (const auto& [unit, code] : units)
        EXPECT_EQ(UnitCode(unit), code) << '"' << unit << '"';

    struct ValueCase {
        const char* cell;
        const char* sent;
        bool error;
    };
    for (const ValueCase& c : {ValueCase {"", "0", false}, ValueCase {"12,5", "12.5", false},
                               ValueCase {"1,2,3", "0", true}, ValueCase {"12.5.3", "12.5.3", false},
                               ValueCase {"abc", "abc", false}}) {
        const StartValue v = StartValueToSend(c.cell);
        EXPECT_EQ(v.value, c.sent) << c.cell;
        EXPECT_EQ(v.error, c.error) << c.cell;
    }
    const auto [multiplier, divider] = SplitMultDiv("12345/1");
    EXPECT_FALSE(FactorFits(multiplier));
    EXPECT_TRUE(FactorFits(divider));
    EXPECT_TRUE(FactorFits(SplitMultDiv("10/1").first));
    EXPECT_EQ(FreeTextToSend(""), " ");
    EXPECT_EQ(FreeTextToSend("abcdefghijklmnopqrstuvwxy"), "abcdefghijklmnopqrst");
    EXPECT_TRUE(UserNumberFits("0042"));
    EXPECT_FALSE(UserNumberFits("12345"));
    EXPECT_FALSE(UserNumberFits(""));
    EXPECT_EQ(CheckDeviceAddress("250"), AddressCheck::Good);
    EXPECT_EQ(CheckDeviceAddress("007"), AddressCheck::Good);
    EXPECT_EQ(CheckDeviceAddress(""), AddressCheck::Empty);
    for (const char* bad : {"0", "251", "12a", "-1", " 7", "99999999999999"})
        EXPECT_EQ(CheckDeviceAddress(bad), AddressCheck::Bad) << bad;
}

TEST(DisplayRows, FillNumbersAndModels)
{
    EXPECT_EQ(StartMainText("12.34", '.'), "12.3");
    EXPECT_EQ(StartMainText("12345678.9", '.'), "12345678.9");
    EXPECT_EQ(StartMainText("1.2345679E+8", '.'), "123456790.0");
    EXPECT_EQ(StartMainText("12,34", ','), "12,3");
    EXPECT_EQ(StartMainText("abc", '.'), "0");
    EXPECT_EQ(StartMainText("", '.'), "0");
    EXPECT_EQ(StartMainText("inf", '.'), "0");
    EXPECT_EQ(StartCoolingText("abc", '.'), "0.0");
    EXPECT_EQ(StartCoolingText(" 7.25 ", '.'), "7.2");
    EXPECT_EQ(FixedOneDecimal(0.0, ','), "0,0");
    EXPECT_EQ(FixedOneDecimal(1e20, '.'), "100000000000000000000.0");
    EXPECT_EQ(MultDivForModel("TX1"), "1/1");
    EXPECT_EQ(MultDivForModel("TX2"), "10/1");
    EXPECT_EQ(MultDivForModel("tx2"), "0/0");
}

TEST(DisplayRows, SortOrderKeepsRowsWithoutKeyAfterTheSorted)
{
    StringGrid grid(ReadingsColumns, 5);
    const char* addresses[] = {"7", "", "3", "300"};
    for (int r = 1; r <= 4; ++r)
        grid.setCell(1, r, addresses[r - 1]);
    EXPECT_EQ(SortedRowOrder(grid, 1, 250), (std::vector<int> {3, 1, 2, 4}));
    // Equal keys keep their order.
    grid.setRowCount(4);
    for (int r = 1; r <= 3; ++r)
        grid.setCell(5, r, r == 2 ? "5" : "12");
    EXPECT_EQ(SortedRowOrder(grid, 5, 9999), (std::vector<int> {2, 1, 3}));
}

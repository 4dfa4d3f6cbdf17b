#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class LogModel;

// The display's replies, read from the log: every reply is appended to the log first, and a
// decoder finds its block among the last lines by a marker. Only the lines the current reply
// added count (from replyFirst, the index of its first line, on): a block left in the log by
// an earlier question is never taken for the answer to this one.

// Text that reads as an integer: optional blanks in front, an optional sign, decimal digits,
// the value within 32 bits.
std::optional<std::int32_t> ReadsAsInteger(std::string_view text);

// The newest line at or after replyFirst that contains marker, among the last width - 1 lines
// of the log and never line 0 or 1.
inline constexpr std::size_t TotalPulsesWindow = 5;
inline constexpr std::size_t UserNumberWindow = 3;
inline constexpr std::size_t HistValuesWindow = 7;
std::optional<std::size_t> FindReplyBlock(const LogModel& log, std::size_t replyFirst,
                                          std::string_view marker, std::size_t width);

// The run of characters from the line's first decimal digit to the next blank or the end;
// empty without a digit. A sign in front is not part of it.
std::string NumberToken(std::string_view line);

// The reply to "GET ENTR=a,1".
struct TotalPulsesFields {
    std::string address;
    std::string multDiv;
    std::string start;
    std::string unit;
    std::string total;
};
std::optional<TotalPulsesFields> DecodeTotalPulses(const LogModel& log, std::size_t replyFirst,
                                                   std::string_view address);

// The reply to "GET ENTR=a,2".
struct UserNumberFields {
    std::string address;
    std::string userNumber;
    std::string freeText;
};
std::optional<UserNumberFields> DecodeUserNumber(const LogModel& log, std::size_t replyFirst,
                                                 std::string_view address);

// The reply to "GET TARR=a,n"; column 11, 12 or 13 of the display table names the input.
struct TariffFields {
    std::string address;
    int column = 0;
    std::string start;
    std::string value;
};
std::optional<TariffFields> DecodeTariff(const LogModel& log, std::size_t replyFirst,
                                         std::string_view address, int column);

// The reply to "GET ADDR": the addresses in the list form ("Active devices: 1-3,7,9") or in
// the line form ("Active devices: " and then one address a line). found is set when a list
// was found, even one that gave no address. Ranges are taken within 1..250, and no more than
// MaxDisplayRows addresses are taken; truncated tells that some were left out.
inline constexpr std::size_t MaxDisplayRows = 250;
struct AddressList {
    bool found = false;
    bool truncated = false;
    std::vector<std::string> addresses;
};
AddressList ReadAddressList(const LogModel& log, std::size_t replyFirst);
// Its two forms on their own: the list form when the newest marker line holds a list, else
// (found false) the line form.
AddressList ReadAddressListForm(const LogModel& log, std::size_t replyFirst);
AddressList ReadAddressLineForm(const LogModel& log, std::size_t replyFirst);

// The "Hist values" reply to "GET HIST=a,n".
// The month name's column of the readings table (10 Jan .. 21 Dec), or 0. English, Italian
// and the Windows-1251 names, compared byte by byte.
int MonthToColumn(std::string_view month);
struct HistCell {
    std::string address;
    int column = 0;
    std::string value;
};
// The value and the column of the month the reply names; nothing for no block, no date, a
// date without a place for the month or the year (below), the year "00" or an unknown month.
std::optional<HistCell> DecodeHistValue(const LogModel& log, std::size_t replyFirst,
                                        std::string_view address);
// The month name the reply names (three blanks read as "Dec"), or empty in the same cases.
std::string GetHistMonth(const LogModel& log, std::size_t replyFirst, std::string_view address);
// Whether the reply's date line (more than two characters) gives no place to cut the month
// or the year from: it holds no '/', or it ends before the year's first character, five
// after the '/'. A month or year cut short by the line's end is taken as it is; a month of
// no language, the year "00" or a date line of two characters or fewer is not this case
// (such a reply names no month).
bool HistDateUnreadable(const LogModel& log, std::size_t replyFirst);

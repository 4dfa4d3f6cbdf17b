#include "DisplayReplies.h"

#include "LogModel.h"

#include <algorithm>
#include <array>

namespace {

constexpr std::string_view TotalPulsesMarker = "Total pulses";
constexpr std::string_view UserNumberMarker = "User #:";
constexpr std::string_view HistValuesMarker = "Hist values";
constexpr std::string_view AddressMarker = "Active devices: ";
constexpr int HighestAddress = 250;

// Only lines longer than two characters carry a field.
bool parsed(std::string_view line)
{
    return line.size() > 2;
}

// The first c in the line, its last character not counted.
std::size_t findBeforeLast(std::string_view line, char c)
{
    if (line.empty())
        return std::string_view::npos;
    return line.substr(0, line.size() - 1).find(c);
}

// Every character from the second one after the first ':' to the end of the line.
std::string afterColon(std::string_view line)
{
    if (!parsed(line))
        return {};
    const std::size_t colon = findBeforeLast(line, ':');
    if (colon == std::string_view::npos || colon + 2 >= line.size())
        return {};
    return std::string(line.substr(colon + 2));
}

// The characters after the first '*' up to the next blank or the end of the line.
std::string afterStar(std::string_view line)
{
    if (!parsed(line))
        return {};
    const std::size_t star = findBeforeLast(line, '*');
    if (star == std::string_view::npos)
        return {};
    const std::string_view rest = line.substr(star + 1);
    return std::string(rest.substr(0, rest.find(' ')));
}

std::string tokenOf(std::string_view line)
{
    return parsed(line) ? NumberToken(line) : std::string();
}

struct HistBlock {
    std::string value;
    std::string month;
    std::string year;
    bool unreadable = false;
};

std::optional<HistBlock> histBlock(const LogModel& log, std::size_t replyFirst)
{
    if (log.count() == 1)
        return std::nullopt;
    const std::optional<std::size_t> m = FindReplyBlock(log, replyFirst, HistValuesMarker, HistValuesWindow);
    if (!m)
        return std::nullopt;
    HistBlock block;
    const std::string& line = log.line(*m);
    if (parsed(line)) {
        const std::size_t colon = findBeforeLast(line, ':');
        if (colon != std::string::npos)
            for (const char c : std::string_view(line).substr(colon + 1))
                if (c != ' ')
                    block.value += c;
    }
    std::string_view date = log.line(*m + 1);
    if (date.find("T1") != std::string_view::npos)
        date = log.line(*m + 4);
    const std::size_t slash = date.find('/');
    if (date.size() > 2 && slash != std::string_view::npos) {
        block.month = std::string(date.substr(slash + 1, 3));
        if (slash + 5 < date.size())
            block.year = std::string(date.substr(slash + 5, 2));
    }
    // The month and the year are cut 1 and 5 characters after the first '/': a date line
    // without one, or one that ends before the year begins, has no place to cut them from.
    block.unreadable = date.size() > 2 && (slash == std::string_view::npos || slash + 5 >= date.size());
    if (block.month == "   ")
        block.month = "Dec";
    return block;
}

// The block names a month the readings table has, in a year that counts.
bool monthTaken(const HistBlock& block)
{
    return !block.year.empty() && block.year != "00" && MonthToColumn(block.month) != 0;
}

// Adds one address; false once the table is full.
bool take(AddressList& list, std::string address)
{
    if (list.addresses.size() >= MaxDisplayRows) {
        list.truncated = true;
        return false;
    }
    list.addresses.push_back(std::move(address));
    return true;
}

// The list after the marker: items separated by ',', CR or the end, "a-b" a range.
void readListForm(std::string_view text, AddressList& list)
{
    std::string first;
    std::string second;
    bool range = false;
    std::string walk(text);
    walk += '\xFF';
    for (const char c : walk) {
        if (c == '-') {
            range = true;
            continue;
        }
        if (c != ',' && c != '\r' && c != '\xFF') {
            (range ? second : first) += c;
            continue;
        }
        if (!range) {
            if (!take(list, first))
                return;
        } else {
            const std::int32_t from = ReadsAsInteger(first).value_or(-1);
            const std::int32_t to = ReadsAsInteger(second).value_or(-1);
            if (from != -1 && to != -1 && to >= from) {
                for (std::int32_t a = std::max(from, 1); a <= std::min(to, HighestAddress); ++a)
                    if (!take(list, std::to_string(a)))
                        return;
            }
        }
        first.clear();
        second.clear();
        range = false;
    }
}

} // namespace

std::optional<std::int32_t> ReadsAsInteger(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i == text.size())
        return std::nullopt;
    std::int64_t value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9')
            return std::nullopt;
        value = value * 10 + (text[i] - '0');
        if (value > std::int64_t(2147483648))
            return std::nullopt;
    }
    if (negative)
        value = -value;
    if (value > 2147483647 || value < -2147483648LL)
        return std::nullopt;
    return static_cast<std::int32_t>(value);
}

std::optional<std::size_t> FindReplyBlock(const LogModel& log, std::size_t replyFirst, std::string_view marker,
                                          std::size_t width)
{
    const std::size_t count = log.count();
    if (width < 2 || count == 0)
        return std::nullopt;
    std::size_t lowest = count >= width - 1 ? count - (width - 1) : 0;
    lowest = std::max({lowest, std::size_t(2), replyFirst});
    for (std::size_t i = count; i-- > lowest;)
        if (log.line(i).find(marker) != std::string::npos)
            return i;
    return std::nullopt;
}

std::string NumberToken(std::string_view line)
{
    const std::size_t digit = line.find_first_of("0123456789");
    if (digit == std::string_view::npos)
        return {};
    const std::string_view rest = line.substr(digit);
    return std::string(rest.substr(0, rest.find(' ')));
}

std::optional<TotalPulsesFields> DecodeTotalPulses(const LogModel& log, std::size_t replyFirst,
                                                   std::string_view address)
{
    const std::optional<std::size_t> m = FindReplyBlock(log, replyFirst, TotalPulsesMarker, TotalPulsesWindow);
    if (!m)
        return std::nullopt;
    TotalPulsesFields fields;
    fields.address = std::string(address);
    fields.multDiv = afterStar(log.line(*m));
    const std::string_view startLine = log.line(*m + 1);
    if (parsed(startLine)) {
        fields.start = NumberToken(startLine);
        const std::size_t digit = startLine.find_first_of("0123456789");
        if (digit != std::string_view::npos) {
            const std::size_t blank = startLine.find(' ', digit);
            if (blank != std::string_view::npos)
                fields.unit = std::string(startLine.substr(blank + 1));
        }
    }
    fields.total = tokenOf(log.line(*m + 2));
    return fields;
}

std::optional<UserNumberFields> DecodeUserNumber(const LogModel& log, std::size_t replyFirst,
                                                 std::string_view address)
{
    const std::optional<std::size_t> m = FindReplyBlock(log, replyFirst, UserNumberMarker, UserNumberWindow);
    if (!m)
        return std::nullopt;
    UserNumberFields fields;
    fields.address = std::string(address);
    fields.userNumber = afterColon(log.line(*m));
    fields.freeText = afterColon(log.line(*m + 1));
    return fields;
}

std::optional<TariffFields> DecodeTariff(const LogModel& log, std::size_t replyFirst, std::string_view address,
                                         int column)
{
    const std::optional<std::size_t> m = FindReplyBlock(log, replyFirst, TotalPulsesMarker, TotalPulsesWindow);
    if (!m)
        return std::nullopt;
    TariffFields fields;
    fields.address = std::string(address);
    fields.column = column;
    fields.start = tokenOf(log.line(*m + 1));
    fields.value = tokenOf(log.line(*m + 2));
    return fields;
}

AddressList ReadAddressListForm(const LogModel& log, std::size_t replyFirst)
{
    AddressList list;
    const std::size_t count = log.count();
    if (count < 2)
        return list;
    for (std::size_t i = count; i-- > std::min(replyFirst, count);) {
        const std::string& line = log.line(i);
        if (line.find(AddressMarker) == std::string::npos)
            continue;
        if (line.size() > AddressMarker.size()) {
            list.found = true;
            readListForm(std::string_view(line).substr(AddressMarker.size()), list);
        }
        break;
    }
    return list;
}

AddressList ReadAddressLineForm(const LogModel& log, std::size_t replyFirst)
{
    AddressList list;
    const std::size_t count = log.count();
    if (count < 3)
        return list;
    for (std::size_t i = count; i-- > std::min(replyFirst, count);) {
        if (log.line(i) != AddressMarker)
            continue;
        list.found = true;
        for (std::size_t j = i + 1; j < count; ++j)
            if (!take(list, log.line(j)))
                break;
        break;
    }
    return list;
}

AddressList ReadAddressList(const LogModel& log, std::size_t replyFirst)
{
    AddressList list = ReadAddressListForm(log, replyFirst);
    return list.found ? list : ReadAddressLineForm(log, replyFirst);
}

int MonthToColumn(std::string_view month)
{
    struct Names {
        std::string_view english;
        std::string_view russian;
        std::string_view italian;
    };
    static constexpr std::array<Names, 12> months = {{
        {"Jan", "\xDF\xED\xF3", "Gen"},
        {"Feb", "\xD4\xE5\xE2", "Feb"},
        {"Mar", "\xCC\xE0\xF0", "Mar"},
        {"Apr", "\xC0\xEF\xF0", "Apr"},
        {"May", "\xCC\xE0\xE9", "Mag"},
        {"Jun", "\xDE\xED\xE8", "Giu"},
        {"Jul", "\xDE\xEB\xE8", "Lug"},
        {"Aug", "\xC0\xE2\xE3", "Ago"},
        {"Sep", "\xD1\xE5\xEF", "Set"},
        {"Oct", "\xCE\xEA\xF2", "Ott"},
        {"Nov", "\xCD\xEE\xE5", "Nov"},
        {"Dec", "\xC4\xE5\xEA", "Dic"},
    }};
    if (month == "Noe")
        return 20;
    for (std::size_t i = 0; i < months.size(); ++i)
        if (month == months[i].english || month == months[i].russian || month == months[i].italian)
            return static_cast<int>(i) + 10;
    return 0;
}

std::optional<HistCell> DecodeHistValue(const LogModel& log, std::size_t replyFirst, std::string_view address)
{
    const std::optional<HistBlock> block = histBlock(log, replyFirst);
    if (!block || !monthTaken(*block))
        return std::nullopt;
    return HistCell {std::string(address), MonthToColumn(block->month), block->value};
}

std::string GetHistMonth(const LogModel& log, std::size_t replyFirst, std::string_view /*address*/)
{
    const std::optional<HistBlock> block = histBlock(log, replyFirst);
    return block && monthTaken(*block) ? block->month : std::string();
}

bool HistDateUnreadable(const LogModel& log, std::size_t replyFirst)
{
    const std::optional<HistBlock> block = histBlock(log, replyFirst);
    return block && block->unreadable;
}

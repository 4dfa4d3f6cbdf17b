// The display's reply decoders over any log: the block search, the fields of the table
// questions, the address list and the history values, and their writing into the tables.
//
// Input: the first byte chooses where the current reply begins (even: right after the older
// lines, odd: anywhere, even past the end); the rest is split at NUL bytes into texts added to
// the log one by one, the last of them the reply.
// Properties: a block is the newest line holding its marker among the lines that are at or
// after the reply's start, inside the window and past line 1, and nothing outside that is
// ever taken; a field is the text its rule names in its line; the address list holds at most
// 250 addresses, none without a list marker in the reply; a history value names a month of
// the table, and the month the one-month read takes is the one its value is written under;
// a date line is unreadable exactly when it has no '/' or ends before the year, and then
// names no month;
// writing decoded fields changes only the rows of that address and never the row count.
#include "DisplayReplies.h"
#include "DisplayRows.h"
#include "FuzzCheck.h"
#include "LogModel.h"
#include "StringGrid.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace {

std::size_t lowestLine(std::size_t count, std::size_t first, std::size_t width)
{
    const std::size_t window = count >= width - 1 ? count - (width - 1) : 0;
    return std::max({window, std::size_t(2), first});
}

void checkBlock(const LogModel& log, std::size_t first, std::string_view marker, std::size_t width)
{
    const std::optional<std::size_t> found = FindReplyBlock(log, first, marker, width);
    const std::size_t count = log.count();
    const std::size_t lowest = lowestLine(count, first, width);
    std::optional<std::size_t> expected;
    for (std::size_t i = lowest; i < count; ++i)
        if (log.line(i).find(marker) != std::string::npos)
            expected = i;
    FUZZ_CHECK(found == expected);
}

bool isToken(const std::string& token, std::string_view line)
{
    if (token.empty())
        return line.size() <= 2 || line.find_first_of("0123456789") == std::string_view::npos;
    return token[0] >= '0' && token[0] <= '9' && token.find(' ') == std::string::npos
        && line.find(token) != std::string_view::npos;
}

std::optional<std::int32_t> referenceInteger(std::string_view text)
{
    std::size_t i = text.find_first_not_of(' ');
    if (i == std::string_view::npos)
        return std::nullopt;
    bool negative = false;
    if (text[i] == '+' || text[i] == '-')
        negative = text[i++] == '-';
    const std::string_view digits = text.substr(i);
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string_view::npos)
        return std::nullopt;
    const std::string_view significant = digits.substr(std::min(digits.find_first_not_of('0'), digits.size()));
    if (significant.size() > 10)
        return std::nullopt;
    long long value = 0;
    for (const char c : significant)
        value = value * 10 + (c - '0');
    value = negative ? -value : value;
    if (value < -2147483648LL || value > 2147483647LL)
        return std::nullopt;
    return static_cast<std::int32_t>(value);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
    std::vector<std::string_view> texts;
    for (std::size_t start = 0;;) {
        const std::size_t nul = input.find('\0', start);
        texts.push_back(input.substr(start, nul == std::string_view::npos ? std::string_view::npos : nul - start));
        if (nul == std::string_view::npos)
            break;
        start = nul + 1;
    }
    LogModel log;
    for (std::size_t i = 0; i + 1 < texts.size(); ++i)
        log.add(texts[i]);
    std::size_t first = log.count();
    log.add(texts.back());
    if (data[0] & 1)
        first = data[0] % (log.count() + 3);
    const std::string address = "7";

    checkBlock(log, first, "Total pulses", TotalPulsesWindow);
    checkBlock(log, first, "User #:", UserNumberWindow);
    checkBlock(log, first, "Hist values", HistValuesWindow);

    const std::optional<std::size_t> pulsesAt = FindReplyBlock(log, first, "Total pulses", TotalPulsesWindow);
    const std::optional<TotalPulsesFields> pulses = DecodeTotalPulses(log, first, address);
    FUZZ_CHECK(pulses.has_value() == pulsesAt.has_value());
    if (pulses) {
        FUZZ_CHECK(pulses->multDiv.find(' ') == std::string::npos);
        FUZZ_CHECK(isToken(pulses->start, log.line(*pulsesAt + 1)));
        FUZZ_CHECK(isToken(pulses->total, log.line(*pulsesAt + 2)));
        FUZZ_CHECK(log.line(*pulsesAt + 1).ends_with(pulses->unit));
    }
    const std::optional<std::size_t> userAt = FindReplyBlock(log, first, "User #:", UserNumberWindow);
    const std::optional<UserNumberFields> user = DecodeUserNumber(log, first, address);
    FUZZ_CHECK(user.has_value() == userAt.has_value());
    if (user) {
        FUZZ_CHECK(log.line(*userAt).ends_with(user->userNumber));
        FUZZ_CHECK(log.line(*userAt + 1).ends_with(user->freeText));
    }
    const int column = 11 + data[0] % 3;
    const std::optional<TariffFields> tariff = DecodeTariff(log, first, address, column);
    FUZZ_CHECK(tariff.has_value() == pulsesAt.has_value());
    if (tariff) {
        FUZZ_CHECK(isToken(tariff->start, log.line(*pulsesAt + 1)));
        FUZZ_CHECK(isToken(tariff->value, log.line(*pulsesAt + 2)));
    }

    const AddressList list = ReadAddressList(log, first);
    FUZZ_CHECK(list.addresses.size() <= MaxDisplayRows);
    FUZZ_CHECK(!list.truncated || list.addresses.size() == MaxDisplayRows);
    FUZZ_CHECK(list.found || list.addresses.empty());
    if (list.found) {
        bool marked = false;
        for (std::size_t i = first; i < log.count() && !marked; ++i)
            marked = log.line(i).find("Active devices: ") != std::string::npos;
        FUZZ_CHECK(marked);
    }

    const std::optional<HistCell> hist = DecodeHistValue(log, first, address);
    const std::string month = GetHistMonth(log, first, address);
    FUZZ_CHECK(hist.has_value() == !month.empty());
    if (hist) {
        FUZZ_CHECK(hist->column >= 10 && hist->column <= 21);
        FUZZ_CHECK(MonthToColumn(month) == hist->column);
        FUZZ_CHECK(hist->value.find(' ') == std::string::npos);
        FUZZ_CHECK(FindReplyBlock(log, first, "Hist values", HistValuesWindow).has_value());
    }
    // A date line without a place for the month or the year is a reply's, and names nothing.
    const std::optional<std::size_t> histAt = FindReplyBlock(log, first, "Hist values", HistValuesWindow);
    const bool unreadable = HistDateUnreadable(log, first);
    if (histAt) {
        std::string_view date = log.line(*histAt + 1);
        if (date.find("T1") != std::string_view::npos)
            date = log.line(*histAt + 4);
        const std::size_t slash = date.find('/');
        FUZZ_CHECK(unreadable == (date.size() > 2 && (slash == std::string_view::npos || date.size() - slash <= 5)));
    } else {
        FUZZ_CHECK(!unreadable);
    }
    if (unreadable)
        FUZZ_CHECK(!hist && month.empty());

    // The tables as the read fills them: the listed addresses, then the decoded fields.
    StringGrid pexor(PexorColumns, 2);
    StringGrid readings(ReadingsColumns, 2);
    ListAddresses(pexor, readings, list.addresses);
    const int rows = pexor.RowCount();
    FUZZ_CHECK(rows == std::max(2, static_cast<int>(list.addresses.size()) + 1) && readings.RowCount() == rows);
    const StringGrid pexorBefore = pexor;
    const StringGrid readingsBefore = readings;
    if (pulses)
        WriteTotalPulses(pexor, readings, *pulses);
    if (user)
        WriteUserNumber(pexor, readings, *user);
    if (tariff)
        WriteTariff(pexor, readings, *tariff);
    if (hist)
        WriteHistValue(readings, *hist);
    FUZZ_CHECK(pexor.RowCount() == rows && readings.RowCount() == rows);
    for (int r = 1; r < rows; ++r) {
        if (pexor.cell(1, r) == address)
            continue;
        for (int c = 0; c < PexorColumns; ++c)
            FUZZ_CHECK(pexor.cell(c, r) == pexorBefore.cell(c, r));
        for (int c = 0; c < ReadingsColumns; ++c)
            FUZZ_CHECK(readings.cell(c, r) == readingsBefore.cell(c, r));
    }

    for (std::size_t i = 0; i < log.count(); ++i) {
        const std::string& line = log.line(i);
        FUZZ_CHECK(ReadsAsInteger(line) == referenceInteger(line));
        const std::string token = NumberToken(line);
        FUZZ_CHECK(token.empty() ? line.find_first_of("0123456789") == std::string::npos
                                 : isToken(token, line));
    }
    return 0;
}

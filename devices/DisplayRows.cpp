#include "DisplayRows.h"

#include "DisplayReplies.h"
#include "GridCsvFile.h"
#include "StringGrid.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <span>

namespace {

constexpr std::size_t FreeTextLength = 20;
constexpr std::size_t UserNumberLength = 4;

bool isAddress(const StringGrid& grid, int row, const std::string& address)
{
    return grid.cell(1, row) == address;
}

// Every data row of the display table with this address.
template <class Write>
void forAddressRows(const StringGrid& pexor, const std::string& address, Write write)
{
    for (int r = 1; r < pexor.RowCount(); ++r)
        if (isAddress(pexor, r, address))
            write(r);
}

} // namespace

std::optional<double> ReadMeterNumber(std::string_view text, char separator)
{
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return std::nullopt;
    text = text.substr(first, text.find_last_not_of(' ') - first + 1);
    std::string mapped(text);
    std::replace(mapped.begin(), mapped.end(), separator, '.');
    double value = 0;
    const char* end = mapped.data() + mapped.size();
    const auto [ptr, ec] = std::from_chars(mapped.data(), end, value, std::chars_format::general);
    if (ec != std::errc() || ptr != end || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::string FixedOneDecimal(double value, char separator)
{
    char buffer[400];
    const auto [ptr, ec] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 1);
    if (ec != std::errc())
        return "0";
    std::string text(buffer, ptr);
    std::replace(text.begin(), text.end(), '.', separator);
    return text;
}

MeterColumns MeterColumnsFor(bool tableHasSecMain)
{
    return tableHasSecMain ? MeterColumns {5, 10, 4} : MeterColumns {4, 9, -1};
}

std::string StartMainText(std::string_view value, char separator)
{
    const std::optional<double> number = ReadMeterNumber(value, separator);
    return number ? FixedOneDecimal(*number, separator) : std::string("0");
}

std::string StartCoolingText(std::string_view value, char separator)
{
    return FixedOneDecimal(ReadMeterNumber(value, separator).value_or(0.0), separator);
}

std::string MultDivForModel(std::string_view model)
{
    if (model == "TX1")
        return "1/1";
    if (model == "TX2")
        return "10/1";
    return "0/0";
}

bool FillFromMeters(const StringGrid& meters, bool tableHasSecMain, char separator, StringGrid& pexor)
{
    // The meters table ends in an empty row: one display row per meter before it, and one
    // empty row when there is no meter.
    const int wanted = std::max(1, meters.RowCount() - 2);
    const int rows = std::min(wanted, MaxDataRows);
    for (int r = 1; r < pexor.RowCount(); ++r)
        pexor.clearRow(r);
    pexor.setRowCount(rows + 1);
    const MeterColumns columns = MeterColumnsFor(tableHasSecMain);
    const std::string zero = FixedOneDecimal(0.0, separator);
    int userNumber = 1;
    for (int r = 1; r <= rows; ++r) {
        pexor.setCell(0, r, meters.cell(0, r));
        pexor.setCell(1, r, meters.cell(1, r));
        pexor.setCell(2, r, meters.cell(columns.unit, r));
        for (int c : {4, 5, 6})
            pexor.setCell(c, r, zero);
        if (meters.cell(1, r).empty())
            continue;
        pexor.setCell(3, r, StartMainText(meters.cell(3, r), separator));
        pexor.setCell(7, r, MultDivForModel(meters.cell(columns.model, r)));
        if (columns.secondMain >= 0)
            pexor.setCell(6, r, StartCoolingText(meters.cell(columns.secondMain, r), separator));
        pexor.setCell(8, r, std::to_string(userNumber++));
    }
    return wanted > rows;
}

PexorImport PexorImportRows(const std::vector<std::string>& lines, std::string_view separator)
{
    PexorImport import;
    const std::size_t rows = std::min(lines.size(), static_cast<std::size_t>(MaxDataRows));
    import.rows = csvRows(std::span(lines).first(rows), PexorColumns, separator, CsvDisplayFieldSlots);
    import.tooMany = lines.size() > rows;
    return import;
}

std::pair<std::string, std::string> SplitMultDiv(std::string_view cell)
{
    if (cell.empty())
        return {"1", "1"};
    const std::size_t slash = cell.find('/');
    if (slash == std::string_view::npos)
        return {std::string(cell), "1"};
    if (slash == 0)
        return {"1", cell.size() == 1 ? std::string("1") : std::string(cell.substr(1))};
    if (cell.back() == '/')
        return {std::string(cell.substr(0, cell.size() - 1)), "1"};
    return {std::string(cell.substr(0, slash)), std::string(cell.substr(slash + 1))};
}

std::optional<std::string> UnitCode(std::string_view unit)
{
    if (unit == "m3" || unit == "m3 ")
        return "2";
    if (unit == "kWh")
        return "1";
    if (unit == "kJ")
        return "3";
    if (unit == "MJ")
        return "4";
    if (unit.empty())
        return "";
    return std::nullopt;
}

StartValue StartValueToSend(std::string_view cell)
{
    StartValue result;
    if (cell.empty()) {
        result.value = "0";
        return result;
    }
    result.value = std::string(cell);
    const auto commas = std::count(result.value.begin(), result.value.end(), ',');
    std::replace(result.value.begin(), result.value.end(), ',', '.');
    if (commas >= 2) {
        result.value = "0";
        result.error = true;
    }
    return result;
}

std::string FreeTextToSend(std::string_view cell)
{
    if (cell.empty())
        return " ";
    return std::string(cell.substr(0, FreeTextLength));
}

bool UserNumberFits(std::string_view text)
{
    return !text.empty() && text.size() <= UserNumberLength;
}

bool FactorFits(std::string_view text)
{
    return text.size() < 5;
}

AddressCheck CheckDeviceAddress(std::string_view a)
{
    if (a.empty())
        return AddressCheck::Empty;
    int value = 0;
    for (const char c : a) {
        if (c < '0' || c > '9')
            return AddressCheck::Bad;
        value = std::min(value * 10 + (c - '0'), 1000);
    }
    return value >= 1 && value <= MaxDataRows ? AddressCheck::Good : AddressCheck::Bad;
}

void ListAddresses(StringGrid& pexor, StringGrid& readings, const std::vector<std::string>& addresses)
{
    const int rows = std::max(2, static_cast<int>(addresses.size()) + 1);
    pexor.setRowCount(rows);
    readings.setRowCount(rows);
    for (std::size_t i = 0; i < addresses.size(); ++i) {
        pexor.setCell(1, static_cast<int>(i) + 1, addresses[i]);
        readings.setCell(1, static_cast<int>(i) + 1, addresses[i]);
    }
}

void WriteTotalPulses(StringGrid& pexor, StringGrid& readings, const TotalPulsesFields& f)
{
    pexor.setCell(0, 0, " ID ");
    pexor.setCell(1, 0, "Addr. ");
    forAddressRows(pexor, f.address, [&](int r) {
        pexor.setCell(2, r, f.unit);
        pexor.setCell(3, r, f.start);
        pexor.setCell(7, r, f.multDiv);
        pexor.setCell(10, r, f.total);
        readings.setCell(2, r, f.unit);
        readings.setCell(3, r, f.start);
        readings.setCell(4, r, f.multDiv);
        readings.setCell(7, r, f.total);
    });
}

void WriteUserNumber(StringGrid& pexor, StringGrid& readings, const UserNumberFields& f)
{
    forAddressRows(pexor, f.address, [&](int r) {
        pexor.setCell(8, r, f.userNumber);
        pexor.setCell(9, r, f.freeText);
        readings.setCell(5, r, f.userNumber);
        readings.setCell(6, r, f.freeText);
    });
}

void WriteTariff(StringGrid& pexor, StringGrid& readings, const TariffFields& f)
{
    forAddressRows(pexor, f.address, [&](int r) {
        switch (f.column) {
        case 11:
            pexor.setCell(11, r, f.value + " m3");
            pexor.setCell(4, r, f.start);
            readings.setCell(8, r, f.value);
            break;
        case 12:
            pexor.setCell(12, r, f.value + " m3");
            pexor.setCell(5, r, f.start);
            readings.setCell(9, r, f.value);
            break;
        case 13:
            pexor.setCell(13, r, f.value);
            pexor.setCell(6, r, f.start);
            break;
        default:
            break;
        }
    });
}

void WriteHistValue(StringGrid& readings, const HistCell& cell)
{
    for (int r = 1; r < readings.RowCount(); ++r)
        if (isAddress(readings, r, cell.address))
            readings.setCell(cell.column, r, cell.value);
}

bool DropEmptyLastRow(StringGrid& grid)
{
    const int last = grid.RowCount() - 1;
    if (last < 2)
        return false;
    for (int c = 0; c <= 4; ++c)
        if (!grid.cell(c, last).empty())
            return false;
    grid.setRowCount(last);
    return true;
}

std::vector<int> SortedRowOrder(const StringGrid& grid, int keyColumn, int highestKey)
{
    struct Keyed {
        std::int32_t key;
        int row;
    };
    std::vector<Keyed> keyed;
    std::vector<int> rest;
    for (int r = 1; r < grid.RowCount(); ++r) {
        const std::optional<std::int32_t> key = ReadsAsInteger(grid.cell(keyColumn, r));
        if (key && *key >= 1 && *key <= highestKey)
            keyed.push_back({*key, r});
        else
            rest.push_back(r);
    }
    std::stable_sort(keyed.begin(), keyed.end(), [](const Keyed& a, const Keyed& b) { return a.key < b.key; });
    std::vector<int> order;
    order.reserve(keyed.size() + rest.size());
    for (const Keyed& k : keyed)
        order.push_back(k.row);
    order.insert(order.end(), rest.begin(), rest.end());
    return order;
}

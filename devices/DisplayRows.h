#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class StringGrid;
struct TotalPulsesFields;
struct UserNumberFields;
struct TariffFields;
struct HistCell;

// The rows of the display table and of the readings table as the display's commands see
// them: filling from the meters table, the values the write run sends, where the decoded
// replies go, and the sort of the readings.

inline constexpr int PexorColumns = 14;
inline constexpr int ReadingsColumns = 22;
inline constexpr int MaxDataRows = 250;

// --- numbers ---

// A number as the meters table writes it: the separator is the decimal point, the exponent
// form ("1.2345679E+8") is read too; blanks around it are allowed. Nothing for any other text.
std::optional<double> ReadMeterNumber(std::string_view text, char separator);
// Fixed notation with one decimal, separator as the decimal point, no limit on the digits.
std::string FixedOneDecimal(double value, char separator);

// --- the fill from the meters table ---

// Where the meters table keeps what the fill takes; the second-main column moves the rest.
struct MeterColumns {
    int unit;
    int model;
    int secondMain;   // -1 without the second-main column
};
MeterColumns MeterColumnsFor(bool tableHasSecMain);
// The start value of a meter's value cell: fixed with one decimal, or "0" when it is no number.
std::string StartMainText(std::string_view value, char separator);
// The start of cooling from the second main value: fixed with one decimal, 0 when no number.
std::string StartCoolingText(std::string_view value, char separator);
// "1/1" for TX1, "10/1" for TX2, "0/0" for any other model.
std::string MultDivForModel(std::string_view model);

// Fills the display table from the meters table (its empty last row included, as the fill
// counts it), one row a meter, at most MaxDataRows rows. True when meters were left out.
bool FillFromMeters(const StringGrid& meters, bool tableHasSecMain, char separator, StringGrid& pexor);

// The display table's rows from the lines of a CSV file that passed the import's check (at
// most 14 fields a line): 14 cells a row, at most MaxDataRows rows. tooMany: lines were left out.
struct PexorImport {
    std::vector<std::vector<std::string>> rows;
    bool tooMany = false;
};
PexorImport PexorImportRows(const std::vector<std::string>& lines, std::string_view separator);

// --- the write run ---

// The multiplier and the divider of a Mult/Div cell; neither is ever empty.
std::pair<std::string, std::string> SplitMultDiv(std::string_view cell);
// The display's unit code of a unit cell ("2" for "m3" and "m3 ", "1" kWh, "3" kJ, "4" MJ,
// "" for an empty cell), or nothing for any other text; the case must match.
std::optional<std::string> UnitCode(std::string_view unit);
// A start value as it is sent: empty gives "0"; commas become points, and two or more of
// them give "0" and the error flag.
struct StartValue {
    std::string value;
    bool error = false;
};
StartValue StartValueToSend(std::string_view cell);
// The free text as it is sent: a blank for an empty cell, at most 20 characters.
std::string FreeTextToSend(std::string_view cell);
// A user number, multiplier or divider of this length can be sent.
bool UserNumberFits(std::string_view text);
bool FactorFits(std::string_view text);
// The address cell of a ticked row.
enum class AddressCheck { Good, Empty, Bad };
AddressCheck CheckDeviceAddress(std::string_view a);

// --- decoded replies into the tables ---
// The display's active addresses, one a row of both tables from row 1 (at least one data row).
void ListAddresses(StringGrid& pexor, StringGrid& readings, const std::vector<std::string>& addresses);
// Every data row of the display table whose address cell equals the address exactly, and
// the row of the same number in the readings table.
void WriteTotalPulses(StringGrid& pexor, StringGrid& readings, const TotalPulsesFields& fields);
void WriteUserNumber(StringGrid& pexor, StringGrid& readings, const UserNumberFields& fields);
void WriteTariff(StringGrid& pexor, StringGrid& readings, const TariffFields& fields);
// The month's value into the readings table's rows of that address.
void WriteHistValue(StringGrid& readings, const HistCell& cell);

// Takes off the last data row when its columns 0 to 4 are empty and another data row is left.
// True when it did.
bool DropEmptyLastRow(StringGrid& grid);

// --- sorting the readings ---
// The order of the data rows sorted by the key column, ascending and stable for keys 1 to
// highestKey; rows without such a key follow in their old order. Row numbers from 1.
std::vector<int> SortedRowOrder(const StringGrid& grid, int keyColumn, int highestKey);

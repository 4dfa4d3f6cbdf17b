#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The CSV text of a table: one line a row, header row included, every cell followed by the
// separator, CR LF after every line, no quoting. Byte strings throughout: a cell is written and
// read back one byte a character, as the table holds it.

// Limits of the reader.
inline constexpr std::size_t CsvMaxLineLength = 4096;  // characters kept of a line
inline constexpr std::size_t CsvFieldSlots = 21;       // meters: a 21st field makes the file too wide
inline constexpr std::size_t CsvDisplayFieldSlots = 15; // the display table: a 15th one does
inline constexpr std::size_t CsvMaxFieldLength = 50;   // characters kept of a field

// The cells of a table to write: cell(column, row) for columns 0 .. columnCount - 1 and rows
// 0 (the header) .. rowCount - 1.
struct CsvGrid {
    int columnCount = 0;
    int rowCount = 0;
    std::function<std::string(int column, int row)> cell;
};

// A grid over plain rows; the column count is that of the widest row, missing cells are empty.
// The grid refers to rows, which must outlive it.
CsvGrid csvGridFromRows(const std::vector<std::vector<std::string>>& rows);

// The lines of a grid, without line ends: every cell followed by the separator.
std::vector<std::string> csvGridLines(const CsvGrid& grid, std::string_view separator);

// The bytes of a file of lines: every line followed by CR LF.
std::string csvFileBytes(const std::vector<std::string>& lines);

// A file's bytes to its lines: CR LF, a lone CR and a lone LF each end a line, a final line end
// adds no line, and a line keeps at most its first CsvMaxLineLength characters.
std::vector<std::string> csvFileLines(std::string_view bytes);

// The fields of one line. A field exists only where a separator ends it; the characters after
// the last separator are dropped. A separator text that is not one character never matches.
// Every field keeps at most CsvMaxFieldLength characters. Splitting stops when the field of
// slot number `slots` ends (the 21st for the meters): tooMany is then set and fields holds the
// ones before it.
struct CsvFields {
    std::vector<std::string> fields;
    bool tooMany = false;
};
CsvFields csvLineFields(std::string_view line, std::string_view separator,
                        std::size_t slots = CsvFieldSlots);

// The cells of one imported row: field c + 1 in column c for c in 0 .. columnCount - 1,
// columns without a field empty, fields beyond the column count dropped.
std::vector<std::string> csvRowCells(std::string_view line, int columnCount,
                                     std::string_view separator,
                                     std::size_t slots = CsvFieldSlots);

// The rows that the lines of a file give, one a line, the first line included.
std::vector<std::vector<std::string>> csvRows(std::span<const std::string> lines, int columnCount,
                                              std::string_view separator,
                                              std::size_t slots = CsvFieldSlots);

// The whole content of a regular file, or nothing when it cannot be opened or read to its end
// (missing, a folder, a device, a read error).
std::optional<std::string> csvReadFile(const std::string& path);

// The check an import makes of a whole file before it touches the table.
enum class CsvImportStatus {
    Good,         // lines holds the file's lines (none for an empty file)
    WrongFile,    // not readable, or holds a NUL byte (a binary file, a zero-filled tail)
    TooManyData,  // a line has a field in the last slot (the 21st for the meters)
};
struct CsvImportCheck {
    CsvImportStatus status = CsvImportStatus::WrongFile;
    std::vector<std::string> lines;
};
CsvImportCheck csvCheckImport(const std::optional<std::string>& bytes,
                              std::string_view separator, std::size_t slots = CsvFieldSlots);
CsvImportCheck csvCheckImportFile(const std::string& path, std::string_view separator,
                                  std::size_t slots = CsvFieldSlots);

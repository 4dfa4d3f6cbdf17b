// The meters table's CSV import, whatever the file holds: the check of the whole file, its
// lines, the fields of each line and the cells of its row; then the table written back.
//
// Input: the first byte chooses the separator (NUL, CR and LF give an empty separator text,
// 0xFF the two-character text ";;", any other byte itself); the rest is the file.
// Properties: a file is refused as wrong exactly when it holds a NUL byte, and as too wide
// exactly when a line has 21 separators or more; the lines are the file split at CR LF, CR
// and LF, each cut to its limit; a line's fields are the texts that its separators end, each
// cut to its limit; a row's cells are its first fields; and rows of such fields, written as a
// file and imported again, come back cell for cell.
#include "FuzzCheck.h"
#include "GridCsvFile.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

using Rows = std::vector<std::vector<std::string>>;

std::vector<std::string> expectedLines(std::string_view bytes)
{
    std::vector<std::string> lines;
    std::string line;
    bool open = false;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(line.substr(0, CsvMaxLineLength));
            line.clear();
            open = false;
            if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
                ++i;
            continue;
        }
        line.push_back(c);
        open = true;
    }
    if (open)
        lines.push_back(line.substr(0, CsvMaxLineLength));
    return lines;
}

// Every text that a separator ends, uncut; empty for a separator that is not one character.
std::vector<std::string> segments(std::string_view line, std::string_view separator)
{
    std::vector<std::string> out;
    if (separator.size() != 1)
        return out;
    std::size_t start = 0;
    for (std::size_t i = 0; i < line.size(); ++i)
        if (line[i] == separator[0]) {
            out.emplace_back(line.substr(start, i - start));
            start = i + 1;
        }
    return out;
}

void checkLine(const std::string& line, std::string_view separator, int columnCount)
{
    const std::vector<std::string> parts = segments(line, separator);
    const CsvFields fields = csvLineFields(line, separator);
    FUZZ_CHECK(!fields.tooMany);
    FUZZ_CHECK(fields.fields.size() == parts.size());
    for (std::size_t i = 0; i < parts.size(); ++i)
        FUZZ_CHECK(fields.fields[i] == parts[i].substr(0, CsvMaxFieldLength));

    // Fields no longer than the limit rejoin to the line up to its last separator.
    const bool shortFields = std::all_of(parts.begin(), parts.end(),
                                         [](const std::string& p) { return p.size() <= CsvMaxFieldLength; });
    if (separator.size() == 1 && shortFields) {
        std::string joined;
        for (const std::string& f : fields.fields)
            joined += f + std::string(separator);
        FUZZ_CHECK(line.compare(0, joined.size(), joined) == 0);
        FUZZ_CHECK(line.find(separator[0], joined.size()) == std::string::npos);
    }

    const std::vector<std::string> cells = csvRowCells(line, columnCount, separator);
    FUZZ_CHECK(cells.size() == static_cast<std::size_t>(std::max(columnCount, 0)));
    for (std::size_t c = 0; c < cells.size(); ++c)
        FUZZ_CHECK(cells[c] == (c < fields.fields.size() ? fields.fields[c] : std::string()));
}

// Rows written with csvGridLines and csvFileBytes and imported again.
void checkRoundTrip(const Rows& rows, std::string_view separator)
{
    const CsvGrid grid = csvGridFromRows(rows);
    const std::vector<std::string> lines = csvGridLines(grid, separator);
    FUZZ_CHECK(lines.size() == rows.size());
    const std::string file = csvFileBytes(lines);
    const CsvImportCheck back = csvCheckImport(file, separator);
    FUZZ_CHECK(back.status == CsvImportStatus::Good);
    FUZZ_CHECK(back.lines == lines);
    const Rows imported = csvRows(back.lines, grid.columnCount, separator);
    FUZZ_CHECK(imported.size() == rows.size());
    for (std::size_t r = 0; r < rows.size(); ++r) {
        std::vector<std::string> padded = rows[r];
        padded.resize(static_cast<std::size_t>(grid.columnCount));
        FUZZ_CHECK(imported[r] == padded);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    std::string separator;
    const char first = static_cast<char>(data[0]);
    if (data[0] == 0xFF)
        separator = ";;";
    else if (first != '\0' && first != '\r' && first != '\n')
        separator.assign(1, first);
    const std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);

    FUZZ_CHECK(csvCheckImport(std::nullopt, separator).status == CsvImportStatus::WrongFile);
    const CsvImportCheck check = csvCheckImport(bytes, separator);
    const std::vector<std::string> lines = expectedLines(bytes);
    FUZZ_CHECK(csvFileLines(bytes) == lines);
    if (bytes.find('\0') != std::string::npos) {
        FUZZ_CHECK(check.status == CsvImportStatus::WrongFile && check.lines.empty());
        return 0;
    }
    const bool tooWide = std::any_of(lines.begin(), lines.end(), [&](const std::string& line) {
        return segments(line, separator).size() >= CsvFieldSlots;
    });
    if (tooWide) {
        FUZZ_CHECK(check.status == CsvImportStatus::TooManyData && check.lines.empty());
        for (const std::string& line : lines)
            if (segments(line, separator).size() >= CsvFieldSlots)
                FUZZ_CHECK(csvLineFields(line, separator).tooMany
                           && csvLineFields(line, separator).fields.size() == CsvFieldSlots - 1);
        return 0;
    }
    FUZZ_CHECK(check.status == CsvImportStatus::Good && check.lines == lines);

    const int columnCount = static_cast<int>(data[size - 1] % 24) - 1;   // -1 to 22
    Rows rows;
    for (const std::string& line : lines) {
        checkLine(line, separator, columnCount);
        rows.push_back(csvLineFields(line, separator).fields);
    }
    FUZZ_CHECK(csvRows(lines, columnCount, separator).size() == lines.size());
    checkRoundTrip(rows, separator);
    return 0;
}

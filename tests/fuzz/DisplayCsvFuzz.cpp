// The display table's CSV import, whatever the file holds: the check of the whole file with
// the display's field limit, then the rows the table takes.
//
// Input: the first byte chooses the separator (as in the meters' CSV target: NUL, CR and LF
// give an empty separator text, any other byte itself); the rest is the file.
// Properties: a file is refused as wrong exactly when it holds a NUL byte, and as too wide
// exactly when a line has 15 separators or more; a good file gives one row of 14 cells for
// each of its first 250 lines, each cell the field of its column cut to 50 characters or
// empty, and tooMany exactly when lines were left out.
#include "DisplayRows.h"
#include "FuzzCheck.h"
#include "GridCsvFile.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const char first = static_cast<char>(data[0]);
    const std::string separator = first == '\0' || first == '\r' || first == '\n' ? std::string() : std::string(1, first);
    const std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    const CsvImportCheck check = csvCheckImport(bytes, separator, CsvDisplayFieldSlots);
    if (bytes.find('\0') != std::string::npos) {
        FUZZ_CHECK(check.status == CsvImportStatus::WrongFile);
        return 0;
    }
    const std::vector<std::string> lines = csvFileLines(bytes);
    const bool wide = separator.size() == 1 && std::any_of(lines.begin(), lines.end(), [&](const std::string& l) {
                          return std::count(l.begin(), l.end(), separator[0]) >= 15;
                      });
    FUZZ_CHECK(check.status == (wide ? CsvImportStatus::TooManyData : CsvImportStatus::Good));
    if (wide)
        return 0;
    FUZZ_CHECK(check.lines == lines);
    const PexorImport import = PexorImportRows(check.lines, separator);
    FUZZ_CHECK(import.rows.size() == std::min<std::size_t>(lines.size(), MaxDataRows));
    FUZZ_CHECK(import.tooMany == (lines.size() > MaxDataRows));
    for (std::size_t k = 0; k < import.rows.size(); ++k) {
        const std::vector<std::string>& cells = import.rows[k];
        FUZZ_CHECK(cells.size() == static_cast<std::size_t>(PexorColumns));
        const CsvFields fields = csvLineFields(lines[k], separator, CsvDisplayFieldSlots);
        FUZZ_CHECK(!fields.tooMany && fields.fields.size() < 15);
        for (std::size_t c = 0; c < cells.size(); ++c) {
            FUZZ_CHECK(cells[c].size() <= CsvMaxFieldLength);
            FUZZ_CHECK(cells[c] == (c < fields.fields.size() ? fields.fields[c] : std::string()));
        }
    }
    return 0;
}

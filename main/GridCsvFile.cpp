#include "GridCsvFile.h"

#include <algorithm>
#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A character ends a field only when the separator text is exactly that character.
bool isSeparator(char c, std::string_view separator)
{
    return separator.size() == 1 && separator[0] == c;
}

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

} // namespace

CsvGrid csvGridFromRows(const std::vector<std::vector<std::string>>& rows)
{
    CsvGrid grid;
    grid.rowCount = static_cast<int>(rows.size());
    for (const auto& row : rows)
        grid.columnCount = std::max(grid.columnCount, static_cast<int>(row.size()));
    grid.cell = [&rows](int column, int row) -> std::string {
        const auto& cells = rows[static_cast<std::size_t>(row)];
        return static_cast<std::size_t>(column) < cells.size()
                   ? cells[static_cast<std::size_t>(column)]
                   : std::string();
    };
    return grid;
}

std::vector<std::string> csvGridLines(const CsvGrid& grid, std::string_view separator)
{
    std::vector<std::string> lines;
    lines.reserve(static_cast<std::size_t>(std::max(grid.rowCount, 0)));
    for (int r = 0; r < grid.rowCount; ++r) {
        std::string line;
        for (int c = 0; c < grid.columnCount; ++c) {
            line += grid.cell(c, r);
            line += separator;
        }
        lines.push_back(std::move(line));
    }
    return lines;
}

std::string csvFileBytes(const std::vector<std::string>& lines)
{
    std::size_t size = 0;
    for (const auto& line : lines)
        size += line.size() + 2;
    std::string bytes;
    bytes.reserve(size);
    for (const auto& line : lines) {
        bytes += line;
        bytes += "\r\n";
    }
    return bytes;
}

std::vector<std::string> csvFileLines(std::string_view bytes)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    const std::size_t size = bytes.size();
    while (start < size) {
        std::size_t end = start;
        while (end < size && bytes[end] != '\r' && bytes[end] != '\n')
            ++end;
        lines.emplace_back(bytes.substr(start, std::min(end - start, CsvMaxLineLength)));
        if (end == size)
            break;
        // CR LF is one line end; a lone CR or LF is one too.
        start = end + ((bytes[end] == '\r' && end + 1 < size && bytes[end + 1] == '\n') ? 2 : 1);
    }
    return lines;
}

CsvFields csvLineFields(std::string_view line, std::string_view separator, std::size_t slots)
{
    CsvFields result;
    std::size_t fieldStart = 0;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (!isSeparator(line[i], separator))
            continue;
        if (result.fields.size() + 1 >= slots) {
            result.tooMany = true;
            return result;
        }
        result.fields.emplace_back(
            line.substr(fieldStart, std::min(i - fieldStart, CsvMaxFieldLength)));
        fieldStart = i + 1;
    }
    return result;
}

std::vector<std::string> csvRowCells(std::string_view line, int columnCount,
                                     std::string_view separator, std::size_t slots)
{
    CsvFields split = csvLineFields(line, separator, slots);
    std::vector<std::string> cells(static_cast<std::size_t>(std::max(columnCount, 0)));
    const std::size_t filled = std::min(cells.size(), split.fields.size());
    for (std::size_t c = 0; c < filled; ++c)
        cells[c] = std::move(split.fields[c]);
    return cells;
}

std::vector<std::vector<std::string>> csvRows(std::span<const std::string> lines, int columnCount,
                                              std::string_view separator, std::size_t slots)
{
    std::vector<std::vector<std::string>> rows;
    rows.reserve(lines.size());
    for (const auto& line : lines)
        rows.push_back(csvRowCells(line, columnCount, separator, slots));
    return rows;
}

std::optional<std::string> csvReadFile(const std::string& path)
{
    // O_NONBLOCK: opening a FIFO must not wait for a writer; only regular files are read.
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (fd.get() < 0)
        return std::nullopt;
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(st.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd.get(), buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return std::nullopt;
        }
        if (got == 0)
            break;
        bytes.append(buffer, static_cast<std::size_t>(got));
    }
    return bytes;
}

CsvImportCheck csvCheckImport(const std::optional<std::string>& bytes,
                              std::string_view separator, std::size_t slots)
{
    CsvImportCheck check;
    if (!bytes || bytes->find('\0') != std::string::npos) {
        check.status = CsvImportStatus::WrongFile;
        return check;
    }
    check.lines = csvFileLines(*bytes);
    for (const auto& line : check.lines) {
        if (csvLineFields(line, separator, slots).tooMany) {
            check.status = CsvImportStatus::TooManyData;
            check.lines.clear();
            return check;
        }
    }
    check.status = CsvImportStatus::Good;
    return check;
}

CsvImportCheck csvCheckImportFile(const std::string& path, std::string_view separator,
                                  std::size_t slots)
{
    return csvCheckImport(csvReadFile(path), separator, slots);
}

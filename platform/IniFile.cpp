#include "IniFile.h"

#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::string_view kLineEnd = "\r\n";

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trimmed(std::string_view s)
{
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool sameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lowerAscii(a[i]) != lowerAscii(b[i]))
            return false;
    return true;
}

// The section name of a header line "[name]", or nothing for any other line.
std::optional<std::string_view> sectionName(std::string_view line)
{
    const std::string_view t = trimmed(line);
    if (t.empty() || t.front() != '[')
        return std::nullopt;
    const std::size_t close = t.find(']');
    if (close == std::string_view::npos)
        return std::nullopt;
    return trimmed(t.substr(1, close - 1));
}

bool isComment(std::string_view line)
{
    const std::string_view t = trimmed(line);
    return !t.empty() && t.front() == ';';
}

// For a key line "name=value": the position of its first '='.
std::optional<std::size_t> keySeparator(std::string_view line)
{
    if (isComment(line) || sectionName(line))
        return std::nullopt;
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos)
        return std::nullopt;
    return eq;
}

// CR and LF would split the file into new lines: they are written as blanks.
std::string oneLine(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        if (c == '\r' || c == '\n')
            c = ' ';
    return out;
}

std::optional<int> parseInteger(std::string_view value)
{
    std::string_view v = trimmed(value);
    if (v.size() > 2 && v[0] == '0' && (v[1] == 'x' || v[1] == 'X')) {
        const std::string_view digits = v.substr(2);
        std::uint64_t n = 0;
        const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), n, 16);
        if (ec != std::errc() || end != digits.data() + digits.size() || n > INT_MAX)
            return std::nullopt;
        return static_cast<int>(n);
    }
    bool negative = false;
    if (!v.empty() && (v.front() == '+' || v.front() == '-')) {
        negative = v.front() == '-';
        v.remove_prefix(1);
    }
    if (v.empty() || v.front() < '0' || v.front() > '9')
        return std::nullopt;   // from_chars would also take a second sign
    std::int64_t n = 0;
    const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), n, 10);
    if (ec != std::errc() || end != v.data() + v.size())
        return std::nullopt;
    if (negative)
        n = -n;
    if (n < INT_MIN || n > INT_MAX)
        return std::nullopt;
    return static_cast<int>(n);
}

// The byte-order mark some editors put before the first line.
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// Reads the whole file. A missing file is no error: it reads as empty. Only a regular file is
// read: the open does not wait (a FIFO without a writer would block it), and a FIFO, device or
// folder at the path is a file that could not be read.
bool readWholeFile(const std::string& path, std::string& text, std::string& error)
{
    text.clear();
    error.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return true;
        error = path + ": " + std::strerror(errno);
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        error = path + ": " + std::strerror(errno);
        ::close(fd);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        error = path + ": not a regular file";
        ::close(fd);
        return false;
    }
    char buf[8192];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n > 0) {
            text.append(buf, static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            error = path + ": " + std::strerror(errno);
            text.clear();
        }
        break;
    }
    ::close(fd);
    return error.empty();
}

} // namespace

IniFile::IniFile(std::string path, FileWriter writer) : path_(std::move(path)), writer_(std::move(writer))
{
    std::string text;
    readWholeFile(path_, text, readError_);
    parse(text);
}

IniFile IniFile::fromText(std::string_view text, std::string path, FileWriter writer)
{
    IniFile ini;
    ini.path_ = std::move(path);
    ini.writer_ = std::move(writer);
    ini.parse(text);
    return ini;
}

void IniFile::parse(std::string_view text)
{
    lines_.clear();
    bom_.clear();
    // A leading byte-order mark is no part of the first line (it would hide a section
    // header there); it is kept and written back in its place.
    if (text.substr(0, kUtf8Bom.size()) == kUtf8Bom) {
        bom_ = kUtf8Bom;
        text.remove_prefix(kUtf8Bom.size());
    }
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t lf = text.find('\n', start);
        if (lf == std::string_view::npos) {
            lines_.push_back({std::string(text.substr(start)), {}});
            break;
        }
        std::size_t end = lf;
        if (end > start && text[end - 1] == '\r')
            --end;
        lines_.push_back({std::string(text.substr(start, end - start)),
                          std::string(text.substr(end, lf + 1 - end))});
        start = lf + 1;
    }
}

std::optional<IniFile::Range> IniFile::findSection(std::string_view section) const
{
    const std::string_view wanted = trimmed(section);
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const auto name = sectionName(lines_[i].text);
        if (!name || !sameName(*name, wanted))
            continue;
        std::size_t last = i + 1;
        while (last < lines_.size() && !sectionName(lines_[last].text))
            ++last;
        return Range{i, i + 1, last};
    }
    return std::nullopt;
}

std::optional<std::size_t> IniFile::findKey(const Range& range, std::string_view key) const
{
    const std::string_view wanted = trimmed(key);
    for (std::size_t i = range.first; i < range.last; ++i) {
        const std::string_view line = lines_[i].text;
        const auto eq = keySeparator(line);
        if (eq && sameName(trimmed(line.substr(0, *eq)), wanted))
            return i;
    }
    return std::nullopt;
}

const IniFile::Line* IniFile::findKeyLine(std::string_view section, std::string_view key) const
{
    const auto range = findSection(section);
    if (!range)
        return nullptr;
    const auto index = findKey(*range, key);
    return index ? &lines_[*index] : nullptr;
}

std::string IniFile::readString(std::string_view section, std::string_view key,
                                std::string_view defaultValue) const
{
    const Line* line = findKeyLine(section, key);
    if (!line)
        return std::string(defaultValue);
    const std::string_view text = line->text;
    return std::string(trimmed(text.substr(*keySeparator(text) + 1)));
}

int IniFile::readInteger(std::string_view section, std::string_view key, int defaultValue) const
{
    const Line* line = findKeyLine(section, key);
    if (!line)
        return defaultValue;
    const std::string_view text = line->text;
    return parseInteger(text.substr(*keySeparator(text) + 1)).value_or(defaultValue);
}

bool IniFile::readBool(std::string_view section, std::string_view key, bool defaultValue) const
{
    return readInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void IniFile::ensureFinalLineEnd()
{
    if (!lines_.empty() && lines_.back().end.empty())
        lines_.back().end = std::string(kLineEnd);
}

void IniFile::writeString(std::string_view section, std::string_view key, std::string_view value)
{
    const std::string keyLine = oneLine(trimmed(key)) + "=" + oneLine(value);
    const auto range = findSection(section);
    if (!range) {
        ensureFinalLineEnd();
        lines_.push_back({"[" + oneLine(trimmed(section)) + "]", std::string(kLineEnd)});
        lines_.push_back({keyLine, std::string(kLineEnd)});
        return;
    }
    if (const auto index = findKey(*range, key)) {
        lines_[*index] = {keyLine, std::string(kLineEnd)};
        return;
    }
    std::size_t after = range->header;
    for (std::size_t i = range->first; i < range->last; ++i)
        if (keySeparator(lines_[i].text))
            after = i;
    if (lines_[after].end.empty())   // only the file's last line lacks a line end
        lines_[after].end = std::string(kLineEnd);
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(after + 1),
                  Line{keyLine, std::string(kLineEnd)});
}

void IniFile::writeInteger(std::string_view section, std::string_view key, int value)
{
    writeString(section, key, std::to_string(value));
}

void IniFile::writeBool(std::string_view section, std::string_view key, bool value)
{
    writeString(section, key, value ? "1" : "0");
}

std::string IniFile::text() const
{
    std::string out = bom_;
    for (const Line& line : lines_) {
        out += line.text;
        out += line.end;
    }
    return out;
}

WriteResult IniFile::save() const
{
    if (!readError_.empty())
        return {false, "not overwritten, it could not be read: " + readError_};
    if (!writer_)
        return {false, path_ + ": no writer"};
    return writer_(path_, text());
}

// The settings file, whatever it holds: read, then one key written as the program writes it.
//
// Input: section NUL key NUL value NUL file text; with fewer than three NUL bytes the whole
// input is the file text and the key is Language of [Misc], written as "2".
// Properties: the text of a file read and not changed is the file, byte for byte; a value
// read is the key line's text after '=', trimmed, and an integer reads as the number it
// spells; a key written reads back as written (trimmed, CR and LF as blanks), also as an
// integer, also after a second key was written; and a write changes only its own line: it
// replaces the key's line, or inserts one line in the key's section, or appends the section
// and the key, and keeps every other line byte for byte (the last line gains a CR LF when a
// line follows it); a leading UTF-8 byte-order mark is no part of the first line, is kept in
// front, and changes nothing else.
#include "FuzzCheck.h"
#include "IniFile.h"

#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

struct Line {
    std::string text, end;
    bool operator==(const Line&) const = default;
};
using Lines = std::vector<Line>;

// Lines as the file has them: each ends at LF, with a CR before it as part of its end.
Lines linesOf(std::string_view text)
{
    Lines lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t lf = text.find('\n', start);
        if (lf == std::string_view::npos) {
            lines.push_back({std::string(text.substr(start)), ""});
            break;
        }
        const bool cr = lf > start && text[lf - 1] == '\r';
        lines.push_back({std::string(text.substr(start, lf - start - (cr ? 1 : 0))), cr ? "\r\n" : "\n"});
        start = lf + 1;
    }
    return lines;
}

std::string_view trimmed(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

std::string oneLine(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        if (c == '\r' || c == '\n')
            c = ' ';
    return out;
}

// Names as the program writes them: none of the characters that make a line a header, a
// comment or a key line of its own.
bool plainName(std::string_view name, std::string_view forbidden)
{
    return name.find_first_of(forbidden) == std::string_view::npos;
}

// The number a value spells: decimal with an optional sign, or 0x hex, in the int range.
std::optional<int> integerOf(std::string_view value)
{
    const std::string v(trimmed(value));
    if (v.empty())
        return std::nullopt;
    const bool hex = v.size() > 2 && v[0] == '0' && (v[1] == 'x' || v[1] == 'X');
    const std::string digits = hex ? v.substr(2) : (v[0] == '+' || v[0] == '-') ? v.substr(1) : v;
    if (digits.empty())
        return std::nullopt;
    for (char c : digits)
        if (!(c >= '0' && c <= '9') && !(hex && ((c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'))))
            return std::nullopt;
    // Saturates at the largest value, which is out of range all the same.
    const unsigned long long magnitude = std::strtoull(digits.c_str(), nullptr, hex ? 16 : 10);
    const long long n = (!hex && v[0] == '-') ? -static_cast<long long>(magnitude) : static_cast<long long>(magnitude);
    if (magnitude > static_cast<unsigned long long>(LLONG_MAX) || n < INT_MIN || n > INT_MAX)
        return std::nullopt;
    return static_cast<int>(n);
}

Lines withFinalLineEnd(Lines lines)
{
    if (!lines.empty() && lines.back().end.empty())
        lines.back().end = "\r\n";
    return lines;
}

// A write of keyLine changed only what it may change, given whether the key was there.
void checkOneLineChanged(const Lines& before, const Lines& after, const Line& keyLine, const Line& header,
                         bool keyExisted)
{
    if (keyExisted) {
        FUZZ_CHECK(after.size() == before.size());
        std::size_t changed = 0;
        for (std::size_t i = 0; i < after.size(); ++i)
            if (!(after[i] == before[i])) {
                FUZZ_CHECK(after[i] == keyLine);
                ++changed;
            }
        FUZZ_CHECK(changed <= 1);
        return;
    }
    if (after.size() == before.size() + 2 && after[after.size() - 2] == header && after.back() == keyLine) {
        const Lines kept(after.begin(), after.end() - 2);
        FUZZ_CHECK(kept == withFinalLineEnd(before));
        return;
    }
    FUZZ_CHECK(after.size() == before.size() + 1);
    for (std::size_t i = 0; i < after.size(); ++i) {
        if (!(after[i] == keyLine))
            continue;
        Lines kept = after;
        kept.erase(kept.begin() + static_cast<std::ptrdiff_t>(i));
        // Only a line inserted behind the last line gives that line a line end.
        if (kept == before || (i == before.size() && kept == withFinalLineEnd(before)))
            return;
    }
    FUZZ_CHECK(!"the write inserted no key line or changed another line");
}

// Whether the key is there: only a missing key gives each default back.
bool hasKey(const IniFile& ini, std::string_view section, std::string_view key)
{
    return ini.readString(section, key, "a") == ini.readString(section, key, "b");
}

void checkReads(const IniFile& ini, std::string_view section, std::string_view key)
{
    const bool found = hasKey(ini, section, key);
    const std::string value = ini.readString(section, key, "a");
    FUZZ_CHECK(value == std::string(trimmed(value)));
    const std::optional<int> number = found ? integerOf(value) : std::nullopt;
    FUZZ_CHECK(ini.readInteger(section, key, -7) == number.value_or(-7));
    FUZZ_CHECK(ini.readInteger(section, key, 12345) == number.value_or(12345));
    FUZZ_CHECK(ini.readBool(section, key, true) == (number ? *number != 0 : true));
}

// What a read and a write of the key give; checks each step on the way.
struct Outcome {
    std::string before, afterWrites;
    bool operator==(const Outcome&) const = default;
};

Outcome readAndWrite(std::string_view text, std::string_view section, std::string_view key,
                     std::string_view value, int number)
{
    IniFile ini = IniFile::fromText(text);
    FUZZ_CHECK(ini.text() == text);
    checkReads(ini, section, key);
    checkReads(ini, key, section);
    Outcome outcome {ini.readString(section, key, "a") + "|" + ini.readString(section, key, "b"), {}};
    if (!plainName(section, "[]\r\n") || !plainName(key, "[]=;\r\n"))
        return outcome;

    // A leading byte-order mark stays where it is, before the first line.
    const std::string_view bom = "\xEF\xBB\xBF";
    const bool hasBom = text.substr(0, bom.size()) == bom;
    const Lines before = linesOf(hasBom ? text.substr(bom.size()) : text);
    const bool keyExisted = hasKey(ini, section, key);
    ini.writeString(section, key, value);
    const std::string written = ini.text();
    FUZZ_CHECK(!hasBom || written.compare(0, bom.size(), bom) == 0);
    const Line keyLine {std::string(trimmed(key)) + "=" + oneLine(value), "\r\n"};
    const Line header {"[" + std::string(trimmed(section)) + "]", "\r\n"};
    checkOneLineChanged(before, linesOf(std::string_view(written).substr(hasBom ? bom.size() : 0)), keyLine,
                        header, keyExisted);
    const std::string expected(trimmed(oneLine(value)));
    FUZZ_CHECK(hasKey(ini, section, key) && ini.readString(section, key, "") == expected);
    checkReads(ini, section, key);
    // Case does not matter in names.
    std::string upperKey(key);
    for (char& ch : upperKey)
        if (ch >= 'a' && ch <= 'z')
            ch = static_cast<char>(ch - 'a' + 'A');
    FUZZ_CHECK(hasKey(ini, section, upperKey) && ini.readString(section, upperKey, "") == expected);

    // A second key of the section leaves the first as written; an integer reads back.
    const std::string other = std::string(trimmed(key)) + "2";
    ini.writeInteger(section, other, number);
    FUZZ_CHECK(ini.readInteger(section, other, number ^ 1) == number);
    FUZZ_CHECK(ini.readString(section, key, "") == expected);

    // What was written is what a new read of the text finds.
    const IniFile reread = IniFile::fromText(ini.text());
    FUZZ_CHECK(reread.text() == ini.text());
    FUZZ_CHECK(reread.readString(section, key, "") == expected);
    FUZZ_CHECK(reread.readInteger(section, other, number ^ 1) == number);
    outcome.afterWrites = ini.text();
    return outcome;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    std::string_view section = "Misc", key = "Language", value = "2", text = input;
    const std::size_t a = input.find('\0');
    const std::size_t b = a == std::string_view::npos ? a : input.find('\0', a + 1);
    const std::size_t c = b == std::string_view::npos ? b : input.find('\0', b + 1);
    if (c != std::string_view::npos) {
        section = input.substr(0, a);
        key = input.substr(a + 1, b - a - 1);
        value = input.substr(b + 1, c - b - 1);
        text = input.substr(c + 1);
    }
    const int number = static_cast<int>(size * 2654435761u);
    const Outcome plain = readAndWrite(text, section, key, value, number);

    // The same file saved with a byte-order mark reads the same and is written the same,
    // the mark kept in front.
    const std::string bom = "\xEF\xBB\xBF";
    if (text.substr(0, bom.size()) != bom) {
        Outcome marked = readAndWrite(bom + std::string(text), section, key, value, number);
        FUZZ_CHECK(marked.before == plain.before);
        FUZZ_CHECK(marked.afterWrites.empty() == plain.afterWrites.empty());
        if (!plain.afterWrites.empty())
            FUZZ_CHECK(marked.afterWrites == bom + plain.afterWrites);
    }
    return 0;
}

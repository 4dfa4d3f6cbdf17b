// The hex-text helpers and the number format of decoded values, on any bytes.
//
// Properties: every byte's two hex digits read back as the byte, in order or reversed, with
// or without blanks; HexStrToInt takes exactly the texts that start with eight hex digits and
// gives their 32-bit value; a typed hex command is refused with the first failing check's line
// or gives the bytes of its tokens, as a plain model reads them; FormatFixed writes the value correctly rounded to its precision or
// decimals, in the documented shape.
#include "ConversionError.h"
#include "FixedFormat.h"
#include "FuzzCheck.h"
#include "HexCommand.h"
#include "HexText.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace {

int digitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;   // the writers give upper case only
}

// Two upper-case digits a byte, every `stride` characters from the start.
std::string readBack(std::string_view text, std::size_t stride)
{
    std::string bytes;
    for (std::size_t i = 0; i + 1 < text.size(); i += stride) {
        const int hi = digitValue(text[i]), lo = digitValue(text[i + 1]);
        FUZZ_CHECK(hi >= 0 && lo >= 0);
        bytes.push_back(static_cast<char>(hi * 16 + lo));
    }
    return bytes;
}

void checkHexText(std::string_view bytes)
{
    const std::string spaced = SpacedHex(bytes);
    FUZZ_CHECK(spaced.size() == 3 * bytes.size());
    for (std::size_t i = 2; i < spaced.size(); i += 3)
        FUZZ_CHECK(spaced[i] == ' ');
    FUZZ_CHECK(readBack(spaced, 3) == bytes);

    const std::string digits = HexDigits(bytes);
    FUZZ_CHECK(digits.size() == 2 * bytes.size() && readBack(digits, 2) == bytes);
    const std::string reversed = HexDigitsReversed(bytes);
    FUZZ_CHECK(reversed.size() == digits.size());
    FUZZ_CHECK(readBack(reversed, 2) == std::string(bytes.rbegin(), bytes.rend()));

    const std::size_t half = bytes.size() / 2;
    FUZZ_CHECK(Concat({bytes.substr(0, half), "", bytes.substr(half)}) == bytes);

    for (unsigned c = 0; c < 256; c += 1 + (bytes.empty() ? 0 : static_cast<unsigned char>(bytes[0]) % 7)) {
        const char ch = static_cast<char>(c);
        const int lower = (ch >= 'a' && ch <= 'f') ? ch - 'a' + 10 : digitValue(ch);
        FUZZ_CHECK(HexDigitValue(ch) == lower);
    }
}

void checkHexStrToInt(std::string_view text)
{
    bool good = text.size() >= 8;
    std::uint32_t expected = 0;
    for (std::size_t i = 0; good && i < 8; ++i) {
        const char c = text[i];
        const int v = (c >= 'a' && c <= 'f') ? c - 'a' + 10 : digitValue(c);
        good = v >= 0;
        expected = expected * 16 + static_cast<std::uint32_t>(v < 0 ? 0 : v);
    }
    try {
        const std::int32_t value = HexStrToInt(text);
        FUZZ_CHECK(good && static_cast<std::uint32_t>(value) == expected);
    } catch (const ConversionError& e) {
        FUZZ_CHECK(!good && e.text() == text);
    }
    // Four bytes written as digits read back as their big-endian value.
    if (text.size() >= 4) {
        const std::string four(text.substr(0, 4));
        std::uint32_t bigEndian = 0;
        for (char c : four)
            bigEndian = bigEndian << 8 | static_cast<unsigned char>(c);
        FUZZ_CHECK(static_cast<std::uint32_t>(HexStrToInt(HexDigits(four))) == bigEndian);
    }
}

// The shape of FormatFixed's text: [-]digits[<sep>digits], exactly `decimals` digits after the
// separator, or [-]d[<sep>digits]E+n with no trailing zero after the separator.
bool isExponentForm(const std::string& s)
{
    return s.find("E+") != std::string::npos;
}

long double readNumber(std::string s, char separator)
{
    for (char& c : s)
        if (c == separator)
            c = '.';
    char* end = nullptr;
    const long double v = std::strtold(s.c_str(), &end);
    FUZZ_CHECK(end == s.c_str() + s.size());
    return v;
}

// Digits from the first non-zero one to the last non-zero one, before any exponent.
int significantDigits(const std::string& s, char separator)
{
    std::string digits;
    for (char c : s.substr(0, s.find('E'))) {
        if (c >= '0' && c <= '9')
            digits.push_back(c);
        else
            FUZZ_CHECK(c == '-' || c == separator);
    }
    const std::size_t first = digits.find_first_not_of('0');
    if (first == std::string::npos)
        return 0;
    return static_cast<int>(digits.find_last_not_of('0') - first + 1);
}

void checkShape(const std::string& s, int decimals, char separator)
{
    std::size_t i = s[0] == '-' ? 1 : 0;
    const std::size_t intStart = i;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9')
        ++i;
    FUZZ_CHECK(i > intStart);
    if (isExponentForm(s)) {
        FUZZ_CHECK(i == intStart + 1 && s[intStart] != '0');
        if (s[i] == separator) {
            const std::size_t fracStart = ++i;
            while (s[i] >= '0' && s[i] <= '9')
                ++i;
            FUZZ_CHECK(i > fracStart && s[i - 1] != '0');
        }
        FUZZ_CHECK(s.compare(i, 2, "E+") == 0);
        i += 2;
        const std::size_t expStart = i;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9')
            ++i;
        FUZZ_CHECK(i == s.size() && i > expStart);
        return;
    }
    FUZZ_CHECK(i - intStart == 1 || s[intStart] != '0');   // no leading zero
    if (decimals == 0) {
        FUZZ_CHECK(i == s.size());
        return;
    }
    FUZZ_CHECK(i < s.size() && s[i] == separator);
    ++i;
    FUZZ_CHECK(s.size() - i == static_cast<std::size_t>(decimals));
    for (; i < s.size(); ++i)
        FUZZ_CHECK(s[i] >= '0' && s[i] <= '9');
}

// The format as its description states it, through the C library's correctly rounded
// printf: rounded to `precision` significant digits or to `decimals` decimals, whichever is
// coarser; exponent form when the rounded integer part has more than `precision` digits.
std::string expectedFixed(long double value, int precision, int decimals, char separator)
{
    const long double magnitude = std::fabs(value);
    char buf[256];
    std::snprintf(buf, sizeof buf, "%.*Le", precision - 1, magnitude);
    const std::string sci = buf;
    const std::size_t e = sci.find('e');
    const int exponent = std::atoi(sci.c_str() + e + 1);
    std::string out;
    if (exponent + 1 > precision) {
        std::string mantissa = sci.substr(0, e);
        if (mantissa.find('.') != std::string::npos) {
            mantissa.erase(mantissa.find_last_not_of('0') + 1);
            if (mantissa.back() == '.')
                mantissa.pop_back();
        }
        out = mantissa + "E+" + std::to_string(exponent);
    } else {
        const int kept = std::min(decimals, precision - 1 - exponent);
        std::snprintf(buf, sizeof buf, "%.*Lf", kept, magnitude);
        out = buf;
        if (kept == 0 && decimals > 0)
            out.push_back('.');
        out.append(static_cast<std::size_t>(decimals - kept), '0');
    }
    for (char& c : out)
        if (c == '.')
            c = separator;
    if (value < 0 && out.find_first_of("123456789") < out.find('E'))
        out.insert(0, "-");
    return out;
}

void checkFormatFixed(long double value, int precision, int decimals, char separator)
{
    const std::string s = FormatFixed(value, precision, decimals, separator);
    FUZZ_CHECK(s == FormatFixed(value, precision, decimals, separator));
    if (std::isnan(value)) {
        FUZZ_CHECK(s == "NaN");
        return;
    }
    if (std::isinf(value)) {
        FUZZ_CHECK(s == (value < 0 ? "-INF" : "INF"));
        return;
    }
    FUZZ_CHECK(!s.empty());
    checkShape(s, decimals, separator);
    FUZZ_CHECK(significantDigits(s, separator) <= precision);
    FUZZ_CHECK(s == expectedFixed(value, precision, decimals, separator));
    // A minus sign only for a negative value that does not round to zero.
    const long double back = readNumber(s, separator);
    FUZZ_CHECK((s[0] == '-') == (value < 0 && back != 0));
}

template <typename T>
T take(const std::uint8_t*& p, std::size_t& left)
{
    T v {};
    const std::size_t n = left < sizeof v ? left : sizeof v;
    std::memcpy(&v, p, n);
    p += n;
    left -= n;
    return v;
}

// The custom command typed in hex, against a model: the text's checks in their order, then
// one byte a blank-separated token of one or two digits.
void checkHexCommand(std::string_view text)
{
    const HexCommand got = ParseHexCommand(text);
    std::string error;
    std::string bytes;
    if (text.size() == 1) {
        error = "Wrong custom hex command, 2 symbols at least...";
    } else if (std::any_of(text.begin(), text.end(), [](char c) { return c != ' ' && digitValue(c) < 0; })) {
        error = "Wrong custom hex command, 0..F uppercase allowed";
    } else {
        std::string token;
        const std::string padded = std::string(text) + ' ';
        for (const char c : padded) {
            if (c != ' ') {
                token.push_back(c);
                continue;
            }
            if (token.size() > 2) {
                error = "Wrong custom hex command, 2 hex digits per byte...";
                bytes.clear();
                break;
            }
            if (!token.empty())
                bytes.push_back(static_cast<char>(token.size() == 1 ? digitValue(token[0])
                                                                    : digitValue(token[0]) * 16 + digitValue(token[1])));
            token.clear();
        }
    }
    FUZZ_CHECK(got.error == error);
    FUZZ_CHECK(got.bytes == bytes);
    if (error.empty() && !bytes.empty())
        FUZZ_CHECK(ParseHexCommand(SpacedHex(bytes)).bytes == bytes);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    checkHexText(bytes);
    checkHexStrToInt(bytes);
    checkHexCommand(bytes);

    // The number: a double's bits, or an integer scaled by a power of ten as the record values
    // are; precision 1 to 24, decimals 0 to 24.
    const std::uint8_t* p = data;
    std::size_t left = size;
    const auto shape = take<std::uint8_t>(p, left);
    const int precision = 1 + take<std::uint8_t>(p, left) % 24;
    const int decimals = take<std::uint8_t>(p, left) % 25;
    const char separator = shape & 1 ? ',' : '.';
    long double value;
    if (shape & 2) {
        value = static_cast<long double>(take<double>(p, left));
    } else {
        const auto integer = take<std::int64_t>(p, left);
        const int power = static_cast<int>(take<std::uint8_t>(p, left) % 13) - 6;
        value = static_cast<long double>(integer) * std::pow(10.0L, power);
    }
    checkFormatFixed(value, precision, decimals, separator);
    return 0;
}

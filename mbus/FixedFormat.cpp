#include "FixedFormat.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace {

void appendZeros(std::string& out, int n)
{
    out.append(static_cast<std::size_t>(n > 0 ? n : 0), '0');
}

std::string zero(int decimals, char separator)
{
    std::string out = "0";
    if (decimals > 0) {
        out.push_back(separator);
        appendZeros(out, decimals);
    }
    return out;
}

} // namespace

std::string FormatFixed(long double value, int precision, int decimals, char separator)
{
    if (precision < 1)
        precision = 1;
    if (decimals < 0)
        decimals = 0;
    if (!std::isfinite(value))
        return std::isnan(value) ? "NaN" : (value < 0 ? "-INF" : "INF");
    if (value == 0)
        return zero(decimals, separator);

    // The leading significant digits and the decimal exponent after rounding to precision.
    char sci[64];
    const auto s = std::to_chars(sci, sci + sizeof sci, value, std::chars_format::scientific,
                                 precision - 1);
    const char* e = static_cast<const char*>(std::memchr(sci, 'e', static_cast<std::size_t>(s.ptr - sci)));
    int exponent = 0;
    std::from_chars(e + (e[1] == '+' ? 2 : 1), s.ptr, exponent);
    const bool negative = sci[0] == '-';

    if (exponent + 1 > precision) {
        std::string out;
        if (negative)
            out.push_back('-');
        const char* digits = sci + (negative ? 1 : 0);
        out.push_back(digits[0]);
        if (digits[1] == '.') {
            const char* fracBegin = digits + 2;
            const char* fracEnd = e;
            while (fracEnd > fracBegin && fracEnd[-1] == '0')
                --fracEnd;
            if (fracEnd > fracBegin) {
                out.push_back(separator);
                out.append(fracBegin, fracEnd);
            }
        }
        out.append("E+");
        char exp[8];
        const auto x = std::to_chars(exp, exp + sizeof exp, exponent);
        out.append(exp, x.ptr);
        return out;
    }

    const int kept = decimals < precision - 1 - exponent ? decimals : precision - 1 - exponent;
    char fixed[96];
    const auto f = std::to_chars(fixed, fixed + sizeof fixed, value, std::chars_format::fixed, kept);
    std::string out(fixed, f.ptr);
    bool allZero = true;
    for (char& c : out) {
        if (c == '.')
            c = separator;
        else if (c >= '1' && c <= '9')
            allZero = false;
    }
    if (kept < decimals) {
        if (kept == 0)
            out.push_back(separator);
        appendZeros(out, decimals - kept);
    }
    if (allZero && out[0] == '-')
        out.erase(0, 1);
    return out;
}

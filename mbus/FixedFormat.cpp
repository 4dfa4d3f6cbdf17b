#include "FixedFormat.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
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

// Exact rounding of |value| < 2^63 with integer arithmetic: the long double is M x 2^E with
// a 64-bit M, so |value| x 10^k is (M x 10^k) / 2^-E, rounded to nearest, ties to even (as the
// standard conversions round). Gives false when the value needs the general path.
bool formatSmall(long double value, int precision, int decimals, char separator, std::string& out)
{
    static constexpr std::uint64_t kPow10[19] = {
        1ULL, 10ULL, 100ULL, 1000ULL, 10000ULL, 100000ULL, 1000000ULL, 10000000ULL,
        100000000ULL, 1000000000ULL, 10000000000ULL, 100000000000ULL, 1000000000000ULL,
        10000000000000ULL, 100000000000000ULL, 1000000000000000ULL, 10000000000000000ULL,
        100000000000000000ULL, 1000000000000000000ULL};
    const bool negative = value < 0;
    const long double magnitude = negative ? -value : value;
    if (!(magnitude < 9.2233720368547758e18L) || decimals > 18 || decimals >= precision)
        return false;
    int e2 = 0;
    const long double fraction = std::frexp(magnitude, &e2);
    const auto m = static_cast<std::uint64_t>(std::ldexp(fraction, 64));
    const int shift = 64 - e2; // magnitude = m / 2^shift, shift > 0 here

    auto digitCount = [&](std::uint64_t v) {
        int n = 0;
        while (n < 19 && v >= kPow10[n])
            ++n;
        return n;
    };
    auto roundAt = [&](int k) {
        const unsigned __int128 n = static_cast<unsigned __int128>(m) * kPow10[k];
        if (shift >= 128)
            return static_cast<unsigned __int128>(0);
        unsigned __int128 q = n >> shift;
        const unsigned __int128 rem = n - (q << shift);
        const unsigned __int128 half = static_cast<unsigned __int128>(1) << (shift - 1);
        if (rem > half || (rem == half && (q & 1)))
            ++q;
        return q;
    };

    const std::uint64_t whole = shift >= 64 ? 0 : m >> shift;
    const int integerDigits = digitCount(whole);
    if (integerDigits > precision)
        return false;
    int kept = integerDigits == 0 ? decimals : std::min(decimals, precision - integerDigits);
    unsigned __int128 rounded = roundAt(kept);
    auto integerPart = static_cast<std::uint64_t>(rounded / kPow10[kept]);
    const int roundedDigits = digitCount(integerPart);
    if (roundedDigits > integerDigits && integerDigits > 0) {
        // Rounding carried into a new digit: one significant digit fewer after the point.
        if (roundedDigits > precision)
            return false;
        const int fewer = std::min(decimals, precision - roundedDigits);
        if (fewer != kept) {
            kept = fewer;
            rounded = roundAt(kept);
            integerPart = static_cast<std::uint64_t>(rounded / kPow10[kept]);
        }
    }
    const auto fractionPart = static_cast<std::uint64_t>(rounded % kPow10[kept]);

    char buf[64];
    char* p = buf;
    if (negative && rounded != 0)
        *p++ = '-';
    p = std::to_chars(p, buf + 24, integerPart).ptr;
    if (decimals > 0) {
        *p++ = separator;
        char* fracEnd = p + kept;
        std::uint64_t f = fractionPart;
        for (char* q = fracEnd; q > p;) {
            *--q = static_cast<char>('0' + f % 10);
            f /= 10;
        }
        p = fracEnd;
        for (int i = kept; i < decimals; ++i)
            *p++ = '0';
    }
    out.assign(buf, p);
    return true;
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
    std::string small;
    if (formatSmall(value, precision, decimals, separator, small))
        return small;

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

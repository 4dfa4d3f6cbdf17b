// The number format of decoded values: significant digits, decimals, exponent form, separator.
#include "FixedFormat.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cstring>
#include <random>

namespace {

struct FixedCase {
    long double value;
    int precision;
    int decimals;
    const char* text;
};

TEST(FormatFixedNumbers, RoundsToSignificantDigitsThenPadsDecimals)
{
    const FixedCase cases[] = {
        {12345 * static_cast<long double>(0.001), 13, 3, "12.345"},
        {12345.6787109375L, 9, 5, "12345.67870"}, // a plain "%.5f" would give ...871
        {123456.789L, 8, 3, "123456.790"},
        {1234567.891L, 8, 3, "1234567.900"},
        {12345678.0L, 8, 3, "12345678.000"},
        {1234567890.1234L, 13, 3, "1234567890.123"},
        {123456789012.345L, 13, 3, "123456789012.300"},
        {9.9996L, 8, 3, "10.000"},
        {0.0004L, 8, 3, "0.000"},
        {0.0006L, 8, 3, "0.001"},
        {1.5L, 8, 0, "2"},
        {99999999.0L, 8, 0, "99999999"},
        {10000000000.0L, 13, 3, "10000000000.000"},
        {0.0L, 8, 3, "0.000"},
        {0.0L, 8, 0, "0"},
        {-5.0L, 13, 3, "-5.000"},
        {-0.0001L, 8, 3, "0.000"},
        {-123.4567L, 8, 3, "-123.457"},
        {5.9e-39L, 9, 5, "0.00000"},
        // exact ties round to the even digit
        {0.015625L, 9, 5, "0.01562"},
        {0.046875L, 9, 5, "0.04688"},
        {2.5L, 8, 0, "2"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FormatFixed(c.value, c.precision, c.decimals, '.'), c.text)
            << static_cast<double>(c.value) << " P" << c.precision << " D" << c.decimals;
}

TEST(FormatFixedNumbers, ExponentFormWhenTheIntegerPartIsTooLong)
{
    const FixedCase cases[] = {
        {123456789.0L, 8, 0, "1.2345679E+8"},
        {-123456789.0L, 8, 0, "-1.2345679E+8"},
        {100000000.0L, 8, 0, "1E+8"},
        {99999999.6L, 8, 3, "1E+8"}, // rounding to eight digits reaches nine
        {4294967295.0L, 8, 3, "4.2949673E+9"},
        {3.4028234663852886e38L, 9, 5, "3.40282347E+38"},
        {1.2e15L, 13, 3, "1.2E+15"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FormatFixed(c.value, c.precision, c.decimals, '.'), c.text)
            << static_cast<double>(c.value);
}

TEST(FormatFixedNumbers, UsesTheGivenSeparator)
{
    EXPECT_EQ(FormatFixed(12.345L, 13, 3, ','), "12,345");
    EXPECT_EQ(FormatFixed(123456789.0L, 8, 0, ','), "1,2345679E+8");
    EXPECT_EQ(FormatFixed(7.0L, 8, 0, ','), "7");
}

// The same format from the standard conversions: significant digits first (for the exponent),
// then the decimals that remain.
std::string viaStandardConversions(long double v, int precision, int decimals)
{
    char sci[64];
    const auto s = std::to_chars(sci, sci + sizeof sci, v, std::chars_format::scientific, precision - 1);
    const char* e = static_cast<const char*>(std::memchr(sci, 'e', static_cast<std::size_t>(s.ptr - sci)));
    int exponent = 0;
    std::from_chars(e + (e[1] == '+' ? 2 : 1), s.ptr, exponent);
    if (exponent + 1 > precision)
        return {}; // exponent form, not compared here
    const int kept = std::min(decimals, precision - 1 - exponent);
    char fixed[96];
    const auto f = std::to_chars(fixed, fixed + sizeof fixed, v, std::chars_format::fixed, kept);
    std::string out(fixed, f.ptr);
    if (kept < decimals)
        out += (kept == 0 ? "." : "") + std::string(static_cast<std::size_t>(decimals - kept), '0');
    if (out.find_first_of("123456789") == std::string::npos && out[0] == '-')
        out.erase(0, 1);
    return out;
}

TEST(FormatFixedNumbers, AgreesWithTheStandardConversionsOverDecodedValues)
{
    // Integers of the data fields times the multipliers of the VIF tables, in the formats the
    // decoder uses, short of the exponent form.
    std::mt19937_64 random(77);
    const double multipliers[] = {1e-6, 1e-5, 1e-4, 1e-3, 1e-2, 1e-1, 1.0, 1e1, 1e2, 1e3, 1e4, 0.1, 0.001};
    const struct {
        int precision, decimals;
        long long range;
    } formats[] = {{8, 3, 255}, {8, 3, 65535}, {11, 3, 16777215}, {13, 3, 2147483648LL},
                   {13, 3, 140737488355328LL}, {15, 3, 999999999999LL}, {8, 0, 99999999}, {9, 5, 16777216}};
    int compared = 0;
    for (const auto& fmt : formats) {
        std::uniform_int_distribution<long long> value(-fmt.range, fmt.range);
        for (double m : multipliers) {
            for (int i = 0; i < 400; ++i) {
                const long double v = static_cast<long double>(value(random)) * static_cast<long double>(m);
                const std::string expected = viaStandardConversions(v, fmt.precision, fmt.decimals);
                if (expected.empty())
                    continue;
                ASSERT_EQ(FormatFixed(v, fmt.precision, fmt.decimals, '.'), expected)
                    << static_cast<double>(v) << " P" << fmt.precision << " D" << fmt.decimals;
                ++compared;
            }
        }
    }
    EXPECT_GT(compared, 30000);
}

} // namespace

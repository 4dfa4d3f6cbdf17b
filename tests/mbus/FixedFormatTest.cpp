// The number format of decoded values: significant digits, decimals, exponent form, separator.
#include "FixedFormat.h"

#include <gtest/gtest.h>

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

} // namespace

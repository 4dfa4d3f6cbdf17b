// The conversions the meters page makes of table cells.
#include "ReadingTexts.h"

#include <gtest/gtest.h>

namespace {

TEST(ReadingTexts, AddressCellsNameOnlyTheAddressesOfTheBus)
{
    const struct {
        const char* text;
        int number;
    } cases[] = {
        {"5", 5}, {"0", 0}, {"255", 255}, {"007", 7},
        // the frame keeps the low eight bits: these must not reach a meter
        {"261", -1}, {"256", -1}, {"300", -1}, {"-1", -1}, {"1000", -1},
        {"", -1}, {"abc", -1}, {" 5", -1}, {"5 ", -1}, {"+5", -1}, {"0x05", -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MeterAddressNumber(c.text), c.number) << '"' << c.text << '"';
}

TEST(ReadingTexts, RelayValueIsTheValueInThousandthsOrZero)
{
    const struct {
        const char* cell;
        char separator;
        const char* relay;
    } cases[] = {
        {"12.5", '.', "12500"},
        {"427.000", '.', "427000"},
        {"0.0004", '.', "0"},
        {"-1.5", '.', "-1500"},
        {"12,5", ',', "12500"},
        {"12.5", ',', "0"},          // another separator than the locale's
        {"123456.789", '.', "1.2345679E+8"},  // beyond eight integer digits
        {"abc", '.', "0"},
        {"", '.', "0"},
        {"1e500", '.', "0"},
        {"nan", '.', "0"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(RelayValueText(c.cell, c.separator), c.relay) << '"' << c.cell << '"';
}

} // namespace

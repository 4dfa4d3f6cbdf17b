#include "FrameCodes.h"

#include <array>
#include <utility>

namespace {

// The combo box's names, then the medium texts of decoded telegrams that the meters table
// shows (a row read from the bus must give its own medium, not 0F).
constexpr std::array<std::pair<std::string_view, std::uint8_t>, 23> kMedia{{
    {"Oil", 0x01},
    {"Electricity", 0x02},
    {"Gas", 0x03},
    {"Heat meter", 0x04},
    {"Steam", 0x05},
    {"Hot water", 0x06},
    {"Water", 0x07},
    {"H.C.A", 0x08},
    {"Cold meter", 0x0B},
    {"Cold water", 0x16},
    {"Pressure", 0x18},
    {"Other", 0x00},
    {"Heat (rt)", 0x04},
    {"Heat C.A.", 0x08},
    {"Compr. Air", 0x09},
    {"Cooling, rt", 0x0A},
    {"Cooling, ft", 0x0B},
    {"Heat (ft)", 0x0C},
    {"H/C load meter", 0x0D},
    {"Bus/System", 0x0E},
    {"Unknown", 0x0F},
    {"Dual water", 0x17},
    {"A/D converter", 0x19},
}};

constexpr std::array<std::string_view, 8> kMultipliers{
    "0.001", "0.01", "0.1", "1", "10", "100", "1000", "10000"};

} // namespace

std::uint8_t MediumCode(std::string_view name)
{
    for (const auto& [text, code] : kMedia)
        if (text == name)
            return code;
    return 0x0F;
}

std::uint8_t UnitVifCode(std::string_view multiplier, std::string_view unit)
{
    std::uint8_t base;
    if (unit == "N/A")
        return 0x6E;
    if (unit == "Wh")
        base = 0x00;
    else if (unit == "kJ")
        base = 0x08;
    else if (unit == "l")
        base = 0x10;
    else
        return 0x00;
    for (std::size_t n = 0; n < kMultipliers.size(); ++n)
        if (kMultipliers[n] == multiplier)
            return static_cast<std::uint8_t>(base + n);
    return 0x00;
}

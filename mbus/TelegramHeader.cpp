#include "TelegramHeader.h"

#include "HexText.h"

#include <stdexcept>

namespace {

constexpr std::size_t kHeaderEnd = 19;

void requireHeader(std::string_view reply)
{
    if (reply.size() < kHeaderEnd)
        throw std::invalid_argument("reply shorter than the telegram header");
}

unsigned byteAt(std::string_view reply, std::size_t i)
{
    requireHeader(reply);
    return static_cast<unsigned char>(reply[i]);
}

const char* mediumName(unsigned code)
{
    switch (code) {
    case 0x00: return "Other";
    case 0x01: return "Oil";
    case 0x02: return "Electricity";
    case 0x03: return "Gas";
    case 0x04: return "Heat (rt)";
    case 0x05: return "Steam";
    case 0x06: return "Hot water";
    case 0x07: return "Water";
    case 0x08: return "Heat C.A.";
    case 0x09: return "Compr. Air";
    case 0x0A: return "Cooling, rt";
    case 0x0B: return "Cooling, ft";
    case 0x0C: return "Heat (ft)";
    case 0x0D: return "H/C load meter";
    case 0x0E: return "Bus/System";
    case 0x16: return "Cold water";
    case 0x17: return "Dual water";
    case 0x18: return "Pressure";
    case 0x19: return "A/D converter";
    default: return "Unknown";
    }
}

const char* mainUnitOf(unsigned code)
{
    switch (code) {
    case 0x02: // electricity, the heat and cooling meters
    case 0x04:
    case 0x0A:
    case 0x0B:
    case 0x0C:
    case 0x0D:
        return "kWh";
    case 0x01: // the liquids and gas
    case 0x03:
    case 0x06:
    case 0x07:
    case 0x16:
    case 0x17:
        return "m3";
    case 0x18:
        return "mbar";
    default:
        return "N/A";
    }
}

} // namespace

std::string GetTelegramId(std::string_view reply)
{
    requireHeader(reply);
    return HexDigitsReversed(reply.substr(7, 4));
}

std::string GetManufacturerCode(std::string_view reply)
{
    const unsigned value = byteAt(reply, 12) * 256u + byteAt(reply, 11);
    return {static_cast<char>(64 + value / 1024), static_cast<char>(64 + (value / 32) % 32),
            static_cast<char>(64 + value % 32)};
}

MediumInfo GetMediumText(std::string_view reply)
{
    const unsigned code = byteAt(reply, 14);
    const std::string main = mainUnitOf(code);
    MediumInfo info;
    info.medium = mediumName(code);
    if (main == "kWh")
        info.units = {"kWh", "kJ", "kJ"};
    else
        info.units = {main, main, main};
    return info;
}

int GetAccessNumber(std::string_view reply)
{
    return static_cast<int>(byteAt(reply, 15));
}

std::string GetStatusText(std::string_view reply, bool fullReportMode)
{
    const unsigned status = byteAt(reply, 16);
    char text[8] = {'0', 'x'};
    if (fullReportMode) {
        writeHexByte(text + 2, static_cast<unsigned char>(status));
        return {text, 4};
    }
    static constexpr char kLetters[] = "QBMOTV";
    std::size_t n = 0;
    for (int bit = 7; bit >= 2; --bit)
        if (status & (1u << bit))
            text[n++] = kLetters[7 - bit];
    return {text, n};
}

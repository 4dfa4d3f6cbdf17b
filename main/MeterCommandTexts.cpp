#include "MeterCommandTexts.h"

std::optional<std::uint8_t> BaudRateCi(std::string_view text)
{
    if (text == "300")
        return 0xB8;
    if (text == "2400")
        return 0xBB;
    if (text == "9600")
        return 0xBD;
    return std::nullopt;
}

bool IsSettableUnit(std::string_view text)
{
    return text == "l" || text == "Wh" || text == "kJ" || text == "N/A";
}

std::string CounterValueText(std::string_view text)
{
    std::string value(text);
    if (value.size() < 8)
        value.insert(0, 8 - value.size(), '0');
    return value;
}

std::string RelayValueField(std::string_view text)
{
    if (text.empty() || text.size() > 8)
        return {};
    return CounterValueText(text);
}

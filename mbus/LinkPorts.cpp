#include "LinkPorts.h"

namespace {

struct Number {
    bool isNumber = false;
    bool inRange = false;   // 0..65535
    std::uint32_t value = 0;
};

Number numberOf(std::string_view text)
{
    Number n;
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        negative = text[i++] == '-';
    if (i == text.size())
        return n;
    std::uint32_t value = 0;
    bool big = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c < '0' || c > '9')
            return n;
        if (!big) {
            value = value * 10 + static_cast<std::uint32_t>(c - '0');
            big = value > 65535;   // a long digit string stays out of range, never overflows
        }
    }
    n.isNumber = true;
    n.inRange = !big && (!negative || value == 0);
    n.value = value;
    return n;
}

} // namespace

std::optional<std::uint16_t> ListenPortOf(std::string_view text)
{
    const Number n = numberOf(text);
    if (!n.isNumber)
        return GatewayPort;
    if (!n.inRange)
        return std::nullopt;
    return static_cast<std::uint16_t>(n.value);
}

std::optional<std::uint16_t> ClientPortOf(std::string_view text, std::uint16_t emptyDefault)
{
    if (text.empty())
        return emptyDefault;
    const Number n = numberOf(text);
    if (!n.isNumber || !n.inRange || n.value == 0)
        return std::nullopt;
    return static_cast<std::uint16_t>(n.value);
}

#include "GatewayCommands.h"

#include "DisplayCommands.h"

#include <span>

namespace {

std::optional<int> codeOf(std::string_view text, std::span<const std::string_view> names)
{
    for (std::size_t i = 0; i < names.size(); ++i)
        if (text == names[i])
            return static_cast<int>(i);
    return std::nullopt;
}

GatewayRequest refuse(const char* text) { return {text, {}}; }

GatewayRequest send(std::string command) { return {{}, std::move(command)}; }

} // namespace

std::string GatewaySetCommand(std::string_view key, std::string_view value)
{
    std::string text = "SET ";
    text += key;
    text += '=';
    text += value;
    return text;
}

std::optional<int> SpeedCode(std::string_view text)
{
    return codeOf(text, GatewaySpeedNames);
}

std::optional<int> ParityCode(std::string_view text)
{
    return codeOf(text, GatewayParityNames);
}

std::string GatewayDateCommand(int day, int month, int year)
{
    return GatewaySetCommand("DATE", TwoDigits(day) + "," + TwoDigits(month) + "," + TwoDigits(CommandYear(year)));
}

std::string GatewayTimeCommand(int hour, int minute)
{
    return GatewaySetCommand("TIME", TwoDigits(hour) + "," + TwoDigits(minute));
}

bool QuotableValue(std::string_view value)
{
    for (const char c : value) {
        const auto b = static_cast<unsigned char>(c);
        if (b == '"' || b < 0x20 || b == 0x7F)
            return false;
    }
    return true;
}

GatewayRequest SerialPortRequest(std::string_view speed, std::string_view parity)
{
    const std::optional<int> s = SpeedCode(speed);
    if (!s)
        return refuse("Wrong speed, skipping...");
    const std::optional<int> p = ParityCode(parity);
    if (!p)
        return refuse("Wrong parity, skipping...");
    return send(GatewaySetCommand("COM2", std::to_string(*s) + "," + std::to_string(*p)));
}

GatewayRequest DueDateRequest(std::optional<int> day, std::optional<int> hour, std::optional<int> minute)
{
    if (!day || !hour || !minute)
        return refuse("Wrong readout time, skipping...");
    return send(GatewaySetCommand("DUED", TwoDigits(*day) + "/" + TwoDigits(*hour) + "/" + TwoDigits(*minute)));
}

GatewayRequest TwoDigitRequest(std::string_view key, std::optional<int> value, int largest)
{
    if (!value || *value > largest)
        return {};
    return send(GatewaySetCommand(key, TwoDigits(*value)));
}

GatewayRequest QuotedRequest(std::string_view key, std::string_view value, bool zeroDeletes)
{
    if (value.empty())
        return {};
    if (!QuotableValue(value))
        return refuse(GatewayWrongValue);
    if (zeroDeletes && value == "0")
        return send(GatewaySetCommand(key, "0"));
    return send(GatewaySetCommand(key, "\"" + std::string(value) + "\""));
}

GatewayRequest PinRequest(std::string_view value)
{
    if (value.size() != 4)
        return refuse("PIN must be 4 digits, skipping...");
    return send(GatewaySetCommand("PINC", value));
}

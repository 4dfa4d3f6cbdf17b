#include "SioPortName.h"

#include <charconv>
#include <system_error>

namespace {

char upperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// n of "COMn", the letters in any case: decimal digits without a leading zero, from 1 to the
// largest int.
std::optional<int> comNumber(std::string_view name)
{
    constexpr std::string_view prefix = "COM";
    if (name.size() <= prefix.size())
        return std::nullopt;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (upperAscii(name[i]) != prefix[i])
            return std::nullopt;
    const std::string_view digits = name.substr(prefix.size());
    if (digits.front() == '0')
        return std::nullopt;
    int n = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), n);
    if (ec != std::errc() || end != digits.data() + digits.size() || n < 1)
        return std::nullopt;
    return n;
}

} // namespace

std::optional<std::string> ResolveSerialPortName(std::string_view name,
                                                 const std::filesystem::path& portsFolder)
{
    if (!name.empty() && name.front() == '/')
        return std::string(name);
    const std::optional<int> n = comNumber(name);
    if (!n)
        return std::nullopt;
    if (!portsFolder.empty()) {
        // Port names are case-blind, as on Windows: "com1" is the link COM1.
        const std::filesystem::path link = portsFolder / ("COM" + std::to_string(*n));
        std::error_code ec;
        // A link that leads nowhere still names the port the user chose: opening it then
        // reports the missing device instead of silently taking a serial port of the machine.
        if (std::filesystem::exists(std::filesystem::symlink_status(link, ec)))
            return link.string();
    }
    return "/dev/ttyS" + std::to_string(*n - 1);
}

std::string SioFormatDeviceName(std::string_view deviceName, int portNum)
{
    std::string out(deviceName);
    const std::size_t at = out.find("%d");
    if (at != std::string::npos)
        out.replace(at, 2, std::to_string(portNum));
    return out;
}

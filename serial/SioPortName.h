#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

// The device path for a port name: "COMn" (n from 1, the letters in any case, so "com1" is
// COM1) is the link <portsFolder>/COMn when that link exists, else /dev/ttyS<n-1>; a name
// starting with "/" is a path and used as it is; anything else names no device. An empty
// portsFolder has no links.
std::optional<std::string> ResolveSerialPortName(std::string_view name,
                                                 const std::filesystem::path& portsFolder);

// deviceName with its first "%d" replaced by portNum in decimal; nothing else is replaced.
std::string SioFormatDeviceName(std::string_view deviceName, int portNum);

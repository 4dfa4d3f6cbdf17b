#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

// The port a link's port text gives. A number is an optional sign and decimal digits.

// The gateways' port: the listening socket's default and the gateway server's.
inline constexpr std::uint16_t GatewayPort = 59615;

// The listening socket: 59615 when the text is not a number; none, so that the open fails,
// for a number outside 0..65535 (0 lets the system choose).
std::optional<std::uint16_t> ListenPortOf(std::string_view text);
// A client socket: emptyDefault for an empty text; none for a text that is not a number or
// a number outside 1..65535.
std::optional<std::uint16_t> ClientPortOf(std::string_view text, std::uint16_t emptyDefault);

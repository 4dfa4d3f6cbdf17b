#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The inputs of the meter configuration commands as their frames take them. No Qt types.

// The CI of the baud-rate switch for "300", "2400" or "9600"; nothing for any other text.
std::optional<std::uint8_t> BaudRateCi(std::string_view text);

// One of the units the unit command writes: "l", "Wh", "kJ", "N/A".
bool IsSettableUnit(std::string_view text);

// A counter value as the frame takes it: padded on the left with "0" to eight characters; a
// longer text is left as it is (and refused by the frame builder).
std::string CounterValueText(std::string_view text);

// The relay value likewise; an empty text or one of more than eight characters gives an empty
// text, which the frame builder refuses.
std::string RelayValueField(std::string_view text);

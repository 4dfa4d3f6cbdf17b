#pragma once

#include <cstdint>
#include <string_view>

// Medium name to the medium byte of the set-medium and set-unit frames. The names are
// compared exactly (case matters): the medium combo box's choices and the medium texts the
// telegram decoder writes into the meters table; any other text gives 0F.
std::uint8_t MediumCode(std::string_view name);

// Multiplier and unit texts of the unit combo boxes to the primary VIF byte: "Wh", "kJ" and "l"
// for the multipliers "0.001" to "10000", "N/A" the dimensionless 6E; anything else 00.
std::uint8_t UnitVifCode(std::string_view multiplier, std::string_view unit);

#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The texts of the meters page that depend on the ticked Language item, the fixed values its
// exchanges use, and the conversions its commands make of table cells. No Qt types.

enum class UiLanguage { English, Italian, Polish };

// The address every meter takes a command to.
inline constexpr int Broadcast = 254;
// A meter's one-byte acknowledge.
inline const std::string Acknowledge("\xE5", 1);
// The ID that matches every meter: "Find" with it starts the wildcard search.
inline const std::string WildcardId = "FFFFFFFF";
// A selection takes the ID and address cells up to this many characters.
inline constexpr std::size_t SelectionWidth = 8;

// The primary search button's caption while a search runs.
inline constexpr char SearchStopCaption[] = "Stop";
// The primary search button's caption when no search runs ("Find", "Cerca", "Znajd" + 0x9F).
std::string FindButtonCaption(UiLanguage language);

struct Question {
    std::string caption;
    std::string text;
};
// The question before a primary search; the Polish texts are fixed Windows-1250 bytes.
Question ClearTableQuestion(UiLanguage language);

// A primary address text as the number a frame is sent to: decimal digits naming 0 to 255,
// else -1 (nothing is sent). The frame keeps only the low eight bits of an address, so "261"
// must not become meter 5.
int MeterAddressNumber(std::string_view text);

// The relay value of a meter's Value cell: the number times 1000 in fixed notation without
// decimals, precision 8 (the exponent form beyond eight integer digits), or "0" when the cell
// is no number. separator is the decimal separator of the user's locale.
std::string RelayValueText(std::string_view valueCell, char separator);

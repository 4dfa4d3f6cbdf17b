#pragma once

#include "ReplyDecoder.h"

#include <array>
#include <string>
#include <vector>

// What a meter's row shows of a decoded reply, chosen from its record table by unit and by a
// few fixed DIF/VIF patterns.
struct MeterValues {
    static constexpr int TitleSlots = 9;
    static constexpr std::size_t TitleWidth = 15;

    std::string mainValue;
    std::string mainUnit;
    std::string model;      // "TX1"/"TX2" of a "QVX" water meter, else empty
    std::string secondMain; // only the value; its unit is not shown
    // value + " " + unit of the title records, cut to TitleWidth; slots past TitleCount empty.
    std::array<std::string, TitleSlots> titles;
};

// The choice over the records in table order (the trailing empty row may be included).
// titleCount is clamped to 0..TitleSlots; the second main value is looked for only with
// secMainShown.
MeterValues ChooseMeterValues(const ReplyHeader& header, const std::vector<RecordRow>& records,
                              int titleCount, bool secMainShown);

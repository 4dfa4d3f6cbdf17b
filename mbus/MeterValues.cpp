#include "MeterValues.h"

#include <algorithm>
#include <string_view>

namespace {

// The units a title value can come in.
constexpr std::string_view TitleUnits[] = {"m3",   "kWh", "MWh",    "mbar",   "kW",
                                           "MW",   "l/h", "deg. C", "deg. K", "W"};

bool isExpectedUnit(const ReplyHeader& h, const std::string& unit)
{
    return std::find(h.expectedUnits.begin(), h.expectedUnits.end(), unit) != h.expectedUnits.end();
}

bool isTitleUnit(std::string_view unit)
{
    return std::find(std::begin(TitleUnits), std::end(TitleUnits), unit) != std::end(TitleUnits);
}

const std::string& cellOf(const RecordRow& row, RecordColumn col) { return row.cells[col]; }

void chooseMainValue(const ReplyHeader& h, const std::vector<RecordRow>& records, MeterValues& out)
{
    const bool qvx = h.manufacturer == "QVX";
    const bool axi = h.manufacturer == "AXI";
    const bool waterMeter = h.expectedUnits[0] == "m3";
    for (const RecordRow& row : records) {
        if (!isExpectedUnit(h, cellOf(row, ColUnit)))
            continue;
        out.mainValue = cellOf(row, ColValue);
        out.mainUnit = cellOf(row, ColUnit);
        if (cellOf(row, ColDif) == "84 40 " && (qvx || axi))
            return;
        if (qvx && waterMeter)
            out.model = cellOf(row, ColDescription);
        // "AXI" meters list their main value last.
        if (!axi)
            return;
    }
}

void chooseSecondMain(const ReplyHeader& h, const std::vector<RecordRow>& records, MeterValues& out)
{
    const bool qvxOrAxi = h.manufacturer == "QVX" || h.manufacturer == "AXI";
    if (!qvxOrAxi && h.manufacturer != "LUG")
        return;
    for (const RecordRow& row : records) {
        const std::string& unit = cellOf(row, ColUnit);
        const bool storedMain = unit == h.expectedUnits[0] && cellOf(row, ColDif) == "84 80 40 " && qvxOrAxi;
        const bool expected = isExpectedUnit(h, unit);
        const bool vife3C = expected && cellOf(row, ColVif) == "86" && cellOf(row, ColVife) == "3C ";
        const bool tariff = expected && cellOf(row, ColDif) == "8C 20 " && cellOf(row, ColVif) == "06";
        if (storedMain || vife3C || tariff) {
            out.secondMain = cellOf(row, ColValue);
            return;
        }
    }
}

void chooseTitles(const ReplyHeader& h, const std::vector<RecordRow>& records, int titleCount,
                  MeterValues& out)
{
    std::size_t start = 0;
    for (int slot = 0; slot < titleCount; ++slot) {
        for (std::size_t r = start; r < records.size(); ++r) {
            const std::string& unit = cellOf(records[r], ColUnit);
            if (unit == h.expectedUnits[0] || !isTitleUnit(unit))
                continue;
            out.titles[static_cast<std::size_t>(slot)] =
                (cellOf(records[r], ColValue) + " " + unit).substr(0, MeterValues::TitleWidth);
            start = r + 1;
            break;
        }
    }
}

} // namespace

MeterValues ChooseMeterValues(const ReplyHeader& header, const std::vector<RecordRow>& records,
                              int titleCount, bool secMainShown)
{
    MeterValues out;
    chooseMainValue(header, records, out);
    if (secMainShown)
        chooseSecondMain(header, records, out);
    chooseTitles(header, records, std::clamp(titleCount, 0, MeterValues::TitleSlots), out);
    if (header.manufacturer != "QVX")
        out.model.clear();
    return out;
}

#include "MeterRowUpdate.h"

#include "LogModel.h"
#include "MeterValues.h"
#include "StringGrid.h"

#include <exception>

namespace {

constexpr std::size_t SelectionWidth = 8;

std::string cut8(const std::string& text) { return text.substr(0, SelectionWidth); }

// The cells of a meter's row: ID, address, manufacturer, value, [second main value,] unit,
// medium, time, date, status, model, then one cell per title.
std::vector<std::string> meterCells(const ReplyHeader& h, const MeterValues& v, const DecodedAt& at,
                                    int titleCount, bool secMainShown)
{
    std::vector<std::string> cells = {h.id, std::to_string(h.primaryAddress), h.manufacturer, v.mainValue};
    if (secMainShown)
        cells.push_back(v.secondMain);
    cells.insert(cells.end(), {v.mainUnit, h.medium, at.time, at.date, h.status, v.model});
    for (int i = 0; i < titleCount && i < MeterValues::TitleSlots; ++i)
        cells.push_back(v.titles[static_cast<std::size_t>(i)]);
    return cells;
}

} // namespace

void WalkRecordLines(const MeterReplyState& state, std::vector<std::string>* lines)
{
    if (!lines)
        return;
    for (const RecordRow& row : state.GridFullTelegram) {
        std::string line = row.reportLine();
        if (!line.empty())
            lines->push_back(std::move(line));
    }
}

int CurrentDeviceRow(const StringGrid& grid, std::string_view curId, std::string_view curAddr)
{
    int byAddress = 0;
    for (int row = grid.RowCount() - 1; row >= 1; --row) {
        if (grid.cell(1, row) != curAddr)
            continue;
        if (grid.cell(0, row) == curId)
            return row;
        if (byAddress == 0)
            byAddress = row;
    }
    return byAddress;
}

MeterRowUpdate::MeterRowUpdate(MeterRowOwner& owner, StringGrid& grid, LogModel& log, RecordWalk walk)
    : owner_(owner), grid_(grid), log_(log), walk_(walk ? std::move(walk) : RecordWalk(WalkRecordLines))
{
}

void MeterRowUpdate::afterValidReply(MeterReplyState& state, bool fullReportMode)
{
    if (fullReportMode)
        writeReport(state);
    else
        writeTable(state);
}

void MeterRowUpdate::writeReport(const MeterReplyState& state)
{
    const ReplyHeader& h = state.header;
    owner_.addReportLine("ID:" + h.id + ", Mfr: " + h.manufacturer + ", Main medium: " + h.medium);
    owner_.addReportLine("Access counter: " + std::to_string(h.accessNumber) + ", Status: " + h.status +
                         ", Model: ");
    std::vector<std::string> lines;
    bool failed = false;
    try {
        walk_(state, &lines);
    } catch (const std::exception&) {
        failed = true;
    }
    // The lines of the records decoded before a failure stay in the report.
    for (const std::string& line : lines)
        owner_.addReportLine(line);
    if (failed) {
        owner_.clearFullReportMode();
        owner_.addReportLine("Exception decoding all values!!!");
        log_.add("Exception decoding all values!!!");
    }
    const DecodedAt at = owner_.decodedAt();
    owner_.addReportLine("Decoded at " + at.time + ", " + at.date);
    owner_.addReportLine("");
    owner_.showReport();
    owner_.clearFullReportMode();
}

void MeterRowUpdate::writeTable(const MeterReplyState& state)
{
    try {
        walk_(state, nullptr);
    } catch (const std::exception& e) {
        log_.add(std::string("Exception decoding telegram - ") + e.what());
        return;
    }
    const ReplyHeader& h = state.header;
    const int titleCount = owner_.TitleCount();
    const bool secMainShown = owner_.SecMainShown();
    const MeterValues values = ChooseMeterValues(h, state.GridFullTelegram, titleCount, secMainShown);
    const std::vector<std::string> cells = meterCells(h, values, owner_.decodedAt(), titleCount, secMainShown);

    if (owner_.SearchActive()) {
        appendRow(cells);
        return;
    }
    if (owner_.MatchById()) {
        if (!rewriteRows(cells, [&](int row) { return grid_.cell(0, row) == cells[0]; }))
            appendRow(cells);
        return;
    }
    // Rows of this address that hold this meter's ID are its own; other meters may share the
    // address after reads by ID and keep their rows. Without such a row the meter's ID has
    // changed, and every row of the address takes the reply.
    const auto sameAddress = [&](int row) { return grid_.cell(1, row) == cells[1]; };
    if (!rewriteRows(cells, [&](int row) { return sameAddress(row) && grid_.cell(0, row) == cells[0]; }))
        rewriteRows(cells, sameAddress);
}

bool MeterRowUpdate::rewriteRows(const std::vector<std::string>& cells, const std::function<bool(int)>& take)
{
    bool any = false;
    for (int row = 1; row < grid_.RowCount(); ++row) {
        if (!take(row))
            continue;
        writeRow(row, cells);
        any = true;
    }
    return any;
}

void MeterRowUpdate::writeRow(int row, const std::vector<std::string>& cells)
{
    for (int col = 0; col < grid_.ColCount(); ++col)
        grid_.setCell(col, row, col < static_cast<int>(cells.size()) ? cells[static_cast<std::size_t>(col)] : "");
    owner_.setCurrentDevice(cut8(cells[0]), cut8(cells[1]));
    owner_.ShowCurrentDevice();
}

void MeterRowUpdate::appendRow(const std::vector<std::string>& cells)
{
    // The table ends with one empty row, which the reply fills; a new empty row follows it.
    if (grid_.RowCount() < 2)
        grid_.setRowCount(2);
    writeRow(grid_.RowCount() - 1, cells);
    grid_.setRowCount(grid_.RowCount() + 1);
}

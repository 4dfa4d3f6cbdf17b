// A meter's reply, whatever its bytes: the frame check, the header and the record walk, then
// the meter-row update of the meters table and the detailed report.
//
// Properties: decoding reads only the reply (the input's own heap block) and gives the same
// result every time; the reply is valid exactly when it passes the frame checks, with one
// failure line per failed check; the log starts with the reply's bytes; a valid reply writes
// the meter's row (appended while searching, only the rows of its ID or address otherwise)
// and a report of its records; an invalid one leaves table, report and state alone.
#include "FuzzCheck.h"
#include "HexText.h"
#include "LogModel.h"
#include "MeterReply.h"
#include "MeterRowUpdate.h"
#include "ReplyDecoder.h"
#include "StringGrid.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace {

bool sameRows(const std::vector<RecordRow>& a, const std::vector<RecordRow>& b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i].cells != b[i].cells || a[i].functionText != b[i].functionText || a[i].dif != b[i].dif
            || a[i].manufacturerData != b[i].manufacturerData)
            return false;
    return true;
}

bool sameHeader(const ReplyHeader& a, const ReplyHeader& b)
{
    return a.primaryAddress == b.primaryAddress && a.id == b.id && a.manufacturer == b.manufacturer
           && a.medium == b.medium && a.expectedUnits == b.expectedUnits && a.accessNumber == b.accessNumber
           && a.status == b.status;
}

bool same(const DecodedReply& a, const DecodedReply& b)
{
    return a.valid == b.valid && a.failures == b.failures && sameHeader(a.header, b.header)
           && sameRows(a.records, b.records);
}

// The frame checks, written out once more: sum of bytes 4 to n-3, stop byte, n = L + 6.
std::vector<std::string> expectedFailures(std::string_view r)
{
    std::vector<std::string> failures;
    if (r.size() < 8)
        return failures;
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(r[i]); };
    unsigned sum = 0;
    for (std::size_t i = 4; i + 2 < r.size(); ++i)
        sum += byte(i);
    if ((sum & 0xFF) != byte(r.size() - 2))
        failures.emplace_back("Wrong CRC");
    if (byte(r.size() - 1) != 0x16)
        failures.emplace_back("Wrong STOP byte");
    if (r.size() != byte(1) + 6u)
        failures.emplace_back("Wrong length in the header");
    return failures;
}

bool isUpperHex(const std::string& s)
{
    for (char c : s)
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F')))
            return false;
    return true;
}

struct Owner : MeterRowOwner {
    bool searching = false, byId = false, secMain = false, fullReport = true;
    int titles = 0, shown = 0, reportShown = 0;
    std::string curId = "old", curAddr = "256";
    std::vector<std::string> report;

    bool SearchActive() const override { return searching; }
    bool MatchById() const override { return byId; }
    int TitleCount() const override { return titles; }
    bool SecMainShown() const override { return secMain; }
    void setCurrentDevice(const std::string& id, const std::string& addr) override
    {
        FUZZ_CHECK(id.size() <= 8 && addr.size() <= 8);
        curId = id;
        curAddr = addr;
    }
    void ShowCurrentDevice() override { ++shown; }
    void addReportLine(const std::string& line) override { report.push_back(line); }
    void showReport() override { ++reportShown; }
    void clearFullReportMode() override { fullReport = false; }
    DecodedAt decodedAt() override { return {"10:15:30", "03.02.2026"}; }
};

enum class Mode { Searching, ById, ByAddress, Report };

struct Run {
    Owner owner;
    StringGrid grid{12, 2};
    LogModel log;
    MeterReplyState state;
    bool valid = false;
};

// A table that holds the meter's ID at two addresses, its address with another ID, and an
// unrelated meter, so every rule of the update has rows to take and rows to leave alone.
void fillTable(StringGrid& grid, const ReplyHeader& h)
{
    const std::string addr = std::to_string(h.primaryAddress);
    const std::vector<std::pair<std::string, std::string>> rows = {
        {h.id, addr}, {h.id, "251"}, {"99999999", addr}, {"88888888", "252"}};
    grid.setRowCount(static_cast<int>(rows.size()) + 2);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const int r = static_cast<int>(i) + 1;
        grid.setCell(0, r, rows[i].first);
        grid.setCell(1, r, rows[i].second);
        for (int c = 2; c < grid.ColCount(); ++c)
            grid.setCell(c, r, "old");
    }
}

std::vector<std::vector<std::string>> cellsOf(const StringGrid& g)
{
    std::vector<std::vector<std::string>> rows;
    for (int r = 0; r < g.RowCount(); ++r) {
        std::vector<std::string> row;
        for (int c = 0; c < g.ColCount(); ++c)
            row.push_back(g.cell(c, r));
        rows.push_back(std::move(row));
    }
    return rows;
}

// The data rows that take a reply, by the rule of each mode.
std::vector<std::size_t> takingRows(const std::vector<std::vector<std::string>>& rows, Mode mode,
                                    const ReplyHeader& h)
{
    const std::string addr = std::to_string(h.primaryAddress);
    std::vector<std::size_t> taken;
    if (mode == Mode::Searching)
        return {rows.size() - 1};
    for (std::size_t r = 1; r < rows.size(); ++r)
        if (rows[r][0] == h.id && (mode == Mode::ById || rows[r][1] == addr))
            taken.push_back(r);
    if (taken.empty() && mode == Mode::ByAddress)
        for (std::size_t r = 1; r < rows.size(); ++r)
            if (rows[r][1] == addr)
                taken.push_back(r);
    return taken;
}

void runUpdate(Run& run, const std::string& reply, Mode mode, const DecodedReply& decoded, char separator,
               std::uint8_t flags)
{
    run.owner.searching = mode == Mode::Searching;
    run.owner.byId = mode == Mode::ById;
    run.owner.secMain = flags & 1;
    run.owner.titles = (flags >> 1) % 11;   // 10 asks for more titles than there are slots
    if (decoded.valid)
        fillTable(run.grid, decoded.header);
    const auto before = cellsOf(run.grid);
    MeterRowUpdate update(run.owner, run.grid, run.log);
    run.valid = ProcessMeterReply(run.log, reply, mode == Mode::Report, separator, run.state, &update);
    FUZZ_CHECK(run.valid == decoded.valid);
    FUZZ_CHECK(run.log.count() >= 1 + decoded.failures.size());
    FUZZ_CHECK(run.log.line(0) == "Respond: " + SpacedHex(reply));
    for (std::size_t i = 0; i < decoded.failures.size(); ++i)
        FUZZ_CHECK(run.log.line(1 + i) == decoded.failures[i]);

    const auto after = cellsOf(run.grid);
    if (!run.valid) {
        FUZZ_CHECK(after == before && run.owner.report.empty() && run.owner.shown == 0);
        FUZZ_CHECK(run.state.GridFullTelegram.empty());
        FUZZ_CHECK(run.log.count() == 1 + decoded.failures.size());
        return;
    }
    FUZZ_CHECK(sameHeader(run.state.header, decoded.header));
    std::vector<RecordRow> records = run.state.GridFullTelegram;
    FUZZ_CHECK(!records.empty() && records.back().cells == RecordRow().cells);
    records.pop_back();
    FUZZ_CHECK(sameRows(records, decoded.records));
    FUZZ_CHECK(run.log.count() == 1);

    const ReplyHeader& h = decoded.header;
    const std::string addr = std::to_string(h.primaryAddress);
    if (mode == Mode::Report) {
        // Two header lines, one line per record, the time and an empty line.
        FUZZ_CHECK(after == before);
        FUZZ_CHECK(run.owner.reportShown == 1 && !run.owner.fullReport);
        const std::vector<std::string>& lines = run.owner.report;
        FUZZ_CHECK(lines.size() == decoded.records.size() + 4);
        FUZZ_CHECK(lines[0] == "ID:" + h.id + ", Mfr: " + h.manufacturer + ", Main medium: " + h.medium);
        for (std::size_t i = 0; i < decoded.records.size(); ++i)
            FUZZ_CHECK(lines[2 + i] == decoded.records[i].reportLine() && !lines[2 + i].empty());
        FUZZ_CHECK(lines[lines.size() - 2] == "Decoded at 10:15:30, 03.02.2026" && lines.back().empty());
        return;
    }
    FUZZ_CHECK(run.owner.report.empty());
    const std::vector<std::size_t> taken = takingRows(before, mode, h);
    FUZZ_CHECK(after.size() == before.size() + (mode == Mode::Searching ? 1 : 0));
    const std::size_t status = run.owner.secMain ? 9 : 8;
    for (std::size_t r = 0; r < after.size(); ++r) {
        const bool isTaken = std::find(taken.begin(), taken.end(), r) != taken.end();
        if (!isTaken) {
            FUZZ_CHECK(r >= before.size() ? after[r] == std::vector<std::string>(12) : after[r] == before[r]);
            continue;
        }
        FUZZ_CHECK(after[r][0] == h.id && after[r][1] == addr && after[r][2] == h.manufacturer);
        FUZZ_CHECK(after[r][status - 2] == "10:15:30" && after[r][status] == h.status);
    }
    FUZZ_CHECK(run.owner.shown == static_cast<int>(taken.size()));
    FUZZ_CHECK(run.owner.curId == h.id.substr(0, 8) && run.owner.curAddr == addr.substr(0, 8));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The decoder sees the input's own block, so a read past the reply is a sanitizer report.
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const DecodedReply table = DecodeReply(bytes, false, '.');
    FUZZ_CHECK(same(table, DecodeReply(bytes, false, '.')));
    FUZZ_CHECK(table.failures == expectedFailures(bytes));
    FUZZ_CHECK(table.valid == (size >= 21 && table.failures.empty()));
    if (!table.valid)
        FUZZ_CHECK(table.records.empty() && table.header.id.empty());

    const DecodedReply report = DecodeReply(bytes, true, ',');
    FUZZ_CHECK(report.valid == table.valid && report.failures == table.failures);
    if (table.valid) {
        const ReplyHeader& h = table.header;
        FUZZ_CHECK(h.primaryAddress == data[5] && h.accessNumber == data[15]);
        FUZZ_CHECK(h.id.size() == 8 && isUpperHex(h.id) && h.manufacturer.size() == 3);
        FUZZ_CHECK(report.header.status == "0x" + HexDigits(bytes.substr(16, 1)));
        FUZZ_CHECK(report.records.size() == table.records.size());
        for (std::size_t i = 0; i < table.records.size(); ++i) {
            const RecordRow& row = table.records[i];
            FUZZ_CHECK(row.cells[ColNumber] == std::to_string(i + 1));
            FUZZ_CHECK(row.cells[ColDif].size() % 3 == 0);
            FUZZ_CHECK(row.manufacturerData || !row.cells[ColDif].empty());
            // The separator changes the value text only.
            for (std::size_t c = 0; c < RecordColumnCount; ++c)
                if (c != ColValue)
                    FUZZ_CHECK(row.cells[c] == report.records[i].cells[c]);
            if (row.manufacturerData)
                FUZZ_CHECK(i + 1 == table.records.size());
        }
    }

    const std::string reply(bytes);
    const std::uint8_t flags = size > 0 ? data[size / 2] : 0;
    for (Mode mode : {Mode::Searching, Mode::ById, Mode::ByAddress, Mode::Report}) {
        Run run;
        if (mode == Mode::Report)
            runUpdate(run, reply, mode, report, ',', flags);
        else
            runUpdate(run, reply, mode, table, '.', flags);
    }
    return 0;
}

#pragma once

#include "MeterReply.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

class LogModel;
class StringGrid;

// The time and date a reply was decoded at, as the meters table and the report show them.
struct DecodedAt {
    std::string time; // the locale's long time format, without a time zone
    std::string date; // the locale's short date format
};

// What the meter-row update needs of the main window, which owns the table's flags, the
// selected meter and the report window.
class MeterRowOwner {
public:
    virtual ~MeterRowOwner() = default;

    virtual bool SearchActive() const = 0;
    virtual bool MatchById() const = 0;
    virtual int TitleCount() const = 0;
    virtual bool SecMainShown() const = 0;

    // CurId and CurAddr, each at most 8 characters.
    virtual void setCurrentDevice(const std::string& curId, const std::string& curAddr) = 0;
    virtual void ShowCurrentDevice() = 0;

    // A line of the detailed report, and making the report window visible.
    virtual void addReportLine(const std::string& line) = 0;
    virtual void showReport() = 0;
    virtual void clearFullReportMode() = 0;

    // Read once per reply, so every cell of it shows the same moment.
    virtual DecodedAt decodedAt() = 0;
};

// Goes through the decoded records, adding each one's report line to lines when lines is
// given. The records are decoded before this step, so the program's walk raises nothing; what
// a walk raises is reported as a failed decoding.
using RecordWalk = std::function<void(const MeterReplyState&, std::vector<std::string>* lines)>;
void WalkRecordLines(const MeterReplyState& state, std::vector<std::string>* lines);

// The table row that shows curId/curAddr: the last data row whose ID (column 0) and address
// (column 1) both match, else the last whose address matches, else 0 for none.
int CurrentDeviceRow(const StringGrid& grid, std::string_view curId, std::string_view curAddr);

// What a valid reply does: in report mode the whole report goes to the report window; else the
// meter's row of Grid_vantrel is written (appended while searching; with MatchById every row
// of its ID, appended when there is none; otherwise the rows of its address, only those of its
// ID when there are such) and the selection follows it.
class MeterRowUpdate : public MeterReplyStep {
public:
    MeterRowUpdate(MeterRowOwner& owner, StringGrid& grid, LogModel& log,
                   RecordWalk walk = WalkRecordLines);

    void afterValidReply(MeterReplyState& state, bool fullReportMode) override;

private:
    void writeReport(const MeterReplyState& state);
    void writeTable(const MeterReplyState& state);
    // Rewrites every data row that take() accepts; false when there was none.
    bool rewriteRows(const std::vector<std::string>& cells, const std::function<bool(int)>& take);
    void writeRow(int row, const std::vector<std::string>& cells);
    void appendRow(const std::vector<std::string>& cells);

    MeterRowOwner& owner_;
    StringGrid& grid_;
    LogModel& log_;
    RecordWalk walk_;
};

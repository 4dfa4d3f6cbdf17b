#pragma once

#include "ReplyDecoder.h"

#include <string>
#include <vector>

class LogModel;

// What the last valid reply left behind: its header values and the record table, which the
// meter-row update and the detailed report read.
struct MeterReplyState {
    ReplyHeader header;
    // One row per record in telegram order, then one empty row.
    std::vector<RecordRow> GridFullTelegram;
};

// The step that follows a valid reply: the report, or the update of the meters table.
class MeterReplyStep {
public:
    virtual ~MeterReplyStep() = default;
    // Called after state holds the reply's header and records.
    virtual void afterValidReply(MeterReplyState& state, bool fullReportMode) = 0;
};

// Logs "Respond: " and the reply's bytes (two upper-case hex digits and a blank each), then
// every failure line; for a valid reply keeps its header and records in state and runs
// next. An invalid reply leaves state as it was. Gives whether the reply was valid.
bool ProcessMeterReply(LogModel& log, const std::string& reply, bool fullReportMode,
                       char decimalSeparator, MeterReplyState& state,
                       MeterReplyStep* next = nullptr);

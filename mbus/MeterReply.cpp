#include "MeterReply.h"

#include "HexText.h"
#include "LogModel.h"

bool ProcessMeterReply(LogModel& log, const std::string& reply, bool fullReportMode,
                       char decimalSeparator, MeterReplyState& state, MeterReplyStep* next)
{
    log.add("Respond: " + SpacedHex(reply));
    DecodedReply decoded = DecodeReply(reply, fullReportMode, decimalSeparator);
    for (const std::string& failure : decoded.failures)
        log.add(failure);
    if (!decoded.valid)
        return false;

    state.header = std::move(decoded.header);
    state.GridFullTelegram = std::move(decoded.records);
    state.GridFullTelegram.emplace_back();
    if (next)
        next->afterValidReply(state, fullReportMode);
    return true;
}

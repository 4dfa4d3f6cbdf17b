#pragma once

#include "LinkControls.h"
#include "LinkState.h"
#include "SendPath.h"

#include <string>

class LogModel;
class TSioComm;

// The send path every frame builder ends with: the frame goes to the link the settings
// window's boxes choose at this moment. A gateway box sends through the gateway links (the
// listening socket, the gateway-server client), the display box through the display's
// Ethernet module, and with none of them ticked the serial port takes it. A link that is not
// ready drops the frame without a message.
//
// On the serial port a frame is logged as "Sent:" and its bytes in hex only when it was
// written and an administrator is logged in; a failed write on an open port is logged as
// "Can not write to COM port - " + operation + target. A closed port takes nothing and logs
// nothing. Errors never leave send().
class LinkSendPath : public SendPath {
public:
    LinkSendPath(const LinkControls& controls, LinkState& link, TSioComm& comm, LogModel& log)
        : controls_(controls), link_(link), comm_(comm), log_(log)
    {
    }

    void send(const std::string& frame, FrameBuilder builder, const std::string& target,
              const std::string& operation) override;

    // The secondary search's select frames, on the same routes: never a "Sent:" line, and a
    // failed serial write logs "Can not write to COM port - searching by secondary...".
    // A failure on the display module's route reaches the caller.
    void sendSearchFrame(const std::string& frame);

private:
    void sendToGateways(const std::string& frame, FrameBuilder builder);
    void sendToDisplayOrSerial(const std::string& frame, const std::string& target,
                               const std::string& operation);
    void sendToSerial(const std::string& frame, const std::string& target,
                      const std::string& operation);
    // Writes on an open port; logs failureText when the write fails. Gives whether it was written.
    bool writeSerial(const std::string& frame, const std::string& failureText);

    const LinkControls& controls_;
    LinkState& link_;
    TSioComm& comm_;
    LogModel& log_;
};

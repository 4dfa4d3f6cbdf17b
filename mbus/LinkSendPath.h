#pragma once

#include "LinkControls.h"
#include "LinkSockets.h"
#include "LinkState.h"
#include "SendPath.h"

#include <cstdint>
#include <string>

class LogModel;
class TSioComm;

// The send path every frame builder ends with: the frame goes to the link the settings
// window's boxes choose at this moment. A gateway box sends through the gateway links (the
// listening socket, the gateway-server client), the display box through the display's
// Ethernet module, and with none of them ticked the serial port takes it. A link that is not
// ready drops the frame without a message.
//
// On the gateway links the frame goes wrapped in a gateway packet and PacketNo counts it; a
// send that fails is logged with the route's text + " - " + the reason, and changes neither
// PacketNo nor a link flag.
//
// On the serial port a frame is logged as "Sent:" and its bytes in hex only when it was
// written and an administrator is logged in; a failed write on an open port is logged as
// "Can not write to COM port - " + operation + target. A closed port takes nothing and logs
// nothing. Errors never leave send().
class LinkSendPath : public SendPath {
public:
    LinkSendPath(const LinkControls& controls, LinkState& link, TSioComm& comm, LogModel& log,
                 LinkSockets& sockets)
        : controls_(controls), link_(link), comm_(comm), log_(log), sockets_(sockets)
    {
    }

    void send(const std::string& frame, FrameBuilder builder, const std::string& target,
              const std::string& operation) override;

    // The secondary search's select frames, on the same routes: never a "Sent:" line, and a
    // failed serial write logs "Can not write to COM port - searching by secondary...".
    // On the display module's route a write the socket refuses is dropped without a message,
    // as for every frame there: the search then finds no answer.
    void sendSearchFrame(const std::string& frame);
    // A text command for a gateway or the display on the gateway link that is chosen: wrapped
    // in a text packet to the gateway server (whose network number is read from the settings
    // first), bare to the gateway on the listening socket. Changes no link flag. True when
    // the text went out.
    bool sendPexorCommand(const std::string& text);
    // A text wrapped in a text packet with the network number as it stands, on a gateway link
    // the caller has found ready: the reply text is cleared, then the packet goes and PacketNo
    // counts it. A text longer than a packet carries sends nothing and leaves the reply text.
    // A failed send is logged as errorText + " - " + the reason. True when the packet went out.
    bool sendTextPacket(NetLink link, const std::string& text, const char* errorText);

private:
    using Wrap = void (*)(std::string& payload, const NetNumberBytes& net, std::int32_t packetNo);

    void sendToGateways(const std::string& frame, FrameBuilder builder);
    void sendToDisplayOrSerial(const std::string& frame, const std::string& target,
                               const std::string& operation);
    void sendToSerial(const std::string& frame, const std::string& target,
                      const std::string& operation);
    // Writes on an open port; logs failureText when the write fails. Gives whether it was written.
    bool writeSerial(const std::string& frame, const std::string& failureText);
    // To the gateway server: clears the reply text, reads the network number from the settings
    // (an invalid one leaves it as it was), wraps the payload and sends it counted.
    bool sendToServer(const std::string& payload, Wrap wrap, const char* errorText);
    // Sends on a gateway link and counts the packet in PacketNo; a failure is logged as
    // errorText + " - " + the reason and counts nothing.
    bool sendCounted(NetLink link, const std::string& packet, const char* errorText);

    const LinkControls& controls_;
    LinkState& link_;
    TSioComm& comm_;
    LogModel& log_;
    LinkSockets& sockets_;
};

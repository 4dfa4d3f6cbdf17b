#include "LinkSendPath.h"

#include "EthPacket.h"
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

void LinkSendPath::sendToGateways(const std::string& frame, FrameBuilder builder)
{
    // SND_NKE and the primary-address change have their own error texts, and on the
    // listening link clear the reply text after their send rather than before it.
    const bool ownRoute = builder == FrameBuilder::SndNke || builder == FrameBuilder::SetPrimary;
    const char* errorText = builder == FrameBuilder::SndNke       ? "Socket exception during changing baud"
                          : builder == FrameBuilder::SetPrimary ? "Socket exception during secondary set"
                                                                : "Socket exception during normal read";
    if (controls_.EthernetTicked()) {
        std::string packet = frame;
        WrapMbusTelegram(packet, link_.NetNumber, link_.PacketNo);
        if (!packet.empty() && link_.ListenOpen && link_.ClientOnListen) {
            if (!ownRoute)
                link_.EthReplyText.clear();
            if (!sendCounted(NetLink::Listening, packet, errorText))
                return;
            if (ownRoute)
                link_.EthReplyText.clear();
        }
    }
    if (controls_.TovekServerTicked() && link_.TovekClientConnected)
        sendToServer(frame, &WrapMbusTelegram, errorText);
}

bool LinkSendPath::sendPexorCommand(const std::string& text)
{
    const char* const errorText = "Socket exception during setting Pexor parameters";
    if (controls_.TovekServerTicked())
        return sendToServer(text, &WrapTextCommand, errorText);
    // A gateway on the listening socket takes text commands bare; they count all the same.
    if (text.empty())
        return false;
    link_.EthReplyText.clear();
    return sendCounted(NetLink::Listening, text, errorText);
}

bool LinkSendPath::sendTextPacket(NetLink link, const std::string& text, const char* errorText)
{
    std::string packet = text;
    WrapTextCommand(packet, link_.NetNumber, link_.PacketNo);
    if (packet.empty())
        return false;
    link_.EthReplyText.clear();
    return sendCounted(link, packet, errorText);
}

bool LinkSendPath::sendToServer(const std::string& payload, Wrap wrap, const char* errorText)
{
    link_.EthReplyText.clear();
    ParseNetNumber(controls_.NetNumberText(), link_.NetNumber);   // invalid: the number stays
    std::string packet = payload;
    wrap(packet, link_.NetNumber, link_.PacketNo);
    return !packet.empty() && sendCounted(NetLink::TovekServer, packet, errorText);
}

bool LinkSendPath::sendCounted(NetLink link, const std::string& packet, const char* errorText)
{
    std::string error;
    if (!sockets_.sendOn(link, packet, error)) {
        log_.add(Concat({errorText, " - ", error}));
        return false;
    }
    ++link_.PacketNo;
    return true;
}

void LinkSendPath::sendToDisplayOrSerial(const std::string& frame, const std::string& target,
                                         const std::string& operation)
{
    if (controls_.XportTicked()) {
        link_.LanxpReplyText.clear();
        if (link_.LanxpConnected) {
            // Raw on the module's socket. A write the socket refuses has no reply to wait
            // for; the exchange finds none and ends as for a silent meter.
            std::string error;
            sockets_.sendOn(NetLink::Xport, frame, error);
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

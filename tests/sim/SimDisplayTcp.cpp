#include "SimDisplayTcp.h"

namespace {

SimTextResponder responder(SimDisplay& display, std::size_t maxReply)
{
    return [&display, maxReply](std::string_view text, std::chrono::steady_clock::time_point received) {
        SimDisplayReply r = display.handle(text, received, maxReply);
        SimTextAnswer a {r.bytes, r.delay, r.split, r.drop, {}};
        a.sent = [&display, r](int part, std::chrono::steady_clock::time_point t) {
            if (part < 0)
                display.recordHangUp(t, "connection dropped");
            else if (part == 0)
                display.recordReply(r.bytes, t);
            else
                display.recordReply(part == 1 ? r.firstPart() : r.secondPart(), t,
                                    part == 1 ? "first part" : "second part");
        };
        return a;
    };
}

} // namespace

void simAttachDisplay(SimDisplayModule& module, SimDisplay& display)
{
    module.setTextResponder(responder(display, std::string::npos));
}

void simAttachDisplay(SimGateway& gateway, SimDisplay& display)
{
    gateway.setTextResponder(responder(display, simeth::maxReplyText));
}

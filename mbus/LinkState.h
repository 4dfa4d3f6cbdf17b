#pragma once

#include "EthPacket.h"

#include <cstdint>
#include <string>

// The state of the network links and their reply texts, one object held by the main window
// and touched on the user-interface thread only. The socket events set and clear the flags;
// the senders and the request timers use the texts.
struct LinkState {
    bool ListenOpen = false;            // the listening socket is open
    bool ClientOnListen = false;        // a gateway is connected to it
    bool LanxpConnected = false;        // the display's Ethernet module is connected
    bool TovekClientConnected = false;  // the gateway-server client is connected
    std::string EthReplyText;           // text of the last good gateway reply packet
    std::string LanxpReplyText;         // bytes received from the display's module
    std::int32_t PacketNo = 1;          // number of the next gateway packet
    NetNumberBytes NetNumber {};        // the gateway's network number, 0.0.0.0 at the start
    bool FullReportMode = false;        // the next decoded reply goes to the detailed report
};

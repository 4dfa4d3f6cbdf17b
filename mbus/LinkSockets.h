#pragma once

#include <string>

// The three TCP links as the send path reaches them. The main window implements it with its
// sockets; tests fake it.
enum class NetLink {
    Listening,     // connection 0 of the listening socket: a gateway that called in
    TovekServer,   // the gateway-server client
    Xport,         // the display's Ethernet module
};

class LinkSockets {
public:
    virtual ~LinkSockets() = default;
    // Writes bytes on the link. False, with the reason in error, when the socket is not
    // connected ("not connected") or the write fails (the socket's error text).
    virtual bool sendOn(NetLink link, const std::string& bytes, std::string& error) = 0;
};

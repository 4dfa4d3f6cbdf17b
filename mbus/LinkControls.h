#pragma once

#include <string>

// The live controls the send path reads at every frame: the settings window's three link
// boxes and network number, and the logged-in user's level. The main window implements it.
class LinkControls {
public:
    virtual ~LinkControls() = default;
    virtual bool EthernetTicked() const = 0;     // Check_ethernet: a gateway on the listening socket
    virtual bool TovekServerTicked() const = 0;  // Check_tovek_server: the gateway-server client
    virtual bool XportTicked() const = 0;        // Check_xport: the display's Ethernet module
    virtual std::string NetNumberText() const = 0;   // Edit_net_number
    virtual bool IsAdministrator() const = 0;
};

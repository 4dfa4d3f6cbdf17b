#pragma once

#include "AppFixture.h"

#include <QLocale>

#include <cstddef>
#include <string>
#include <string_view>

class StringGrid;

// The program's windows for the display's tests: the locale pinned to US English, a fixed
// clock, and a settings file that chooses the display's link (the serial port COM1, the
// display's Ethernet module, a gateway server, or gateways calling in) with the given port
// on 127.0.0.1. Every display wait lasts the test's short response time-out.
//
//     startDisplay(DisplayLink::Serial);
//     form11().Butt_pexor_readClick();
class DisplayAppFixture : public AppFixture {
protected:
    static constexpr int Timeout = 150;
    enum class DisplayLink { Serial, Module, GatewayServer, CallingIn };

    DisplayAppFixture();
    ~DisplayAppFixture() override;

    // port: the simulator's TCP port (the module or the gateway server), or the port the
    // program listens on for gateways that call in. autoDisplay: "Auto Read Display".
    // extraMisc: more lines of the [Misc] section ("Key=value\r\n").
    void startDisplay(DisplayLink link = DisplayLink::Serial, int retries = 1, int port = 0,
                      bool autoDisplay = false, std::string_view extraMisc = {});

    StringGrid& pexor();
    StringGrid& readings();
    // A row of a table, its cells joined by "|".
    static std::string rowText(const StringGrid& grid, int row);
    // How many log lines equal text, and whether one does.
    std::size_t logCount(const std::string& text);
    bool logged(const std::string& text) { return logCount(text) > 0; }

private:
    QLocale oldLocale_;
};

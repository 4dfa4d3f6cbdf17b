#pragma once

#include "AppFixture.h"
#include "PeerWaits.h"
#include "SimDisplay.h"
#include "SimDisplayModule.h"
#include "SimDisplayPty.h"
#include "SimGateway.h"
#include "SlowBuild.h"
#include "UsEnglishLocale.h"

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

class StringGrid;

// The simulated display and the transport that carries it; they outlive the program's
// windows (a base is destroyed last).
struct DisplaySims {
    SimDisplay display;
    std::unique_ptr<DisplayPtySimulator> pty;
    std::unique_ptr<SimDisplayModule> module;
    std::unique_ptr<SimGateway> gateway;
};

// The program's windows for the display's tests: the locale pinned to US English, a fixed
// clock, and a settings file that chooses the display's link (the serial port COM1, the
// display's Ethernet module, a gateway server, or gateways calling in) with the given port
// on 127.0.0.1. Every display wait lasts the test's short response time-out; with startOn, a
// blocking read's wait for each reply follows the display's account of the command instead
// (see PeerWaits).
//
//     display.setEntry(3, {});
//     startOn(DisplayLink::Serial);            // the display simulator on ports/COM1
//     form11().Butt_pexor_readClick();
class DisplayAppFixture : protected DisplaySims, public AppFixture {
public:
    enum class DisplayLink { Serial, Module, GatewayServer, CallingIn };
    enum class Await { Reply, Command, Nothing };

protected:
    static constexpr int Timeout = 250 * SlowBuildFactor;

    DisplayAppFixture();

    // port: the simulator's TCP port (the module or the gateway server), or the port the
    // program listens on for gateways that call in. autoDisplay: "Auto Read Display".
    // extraMisc: more lines of the [Misc] section ("Key=value\r\n").
    void startDisplay(DisplayLink link = DisplayLink::Serial, int retries = 1, int port = 0,
                      bool autoDisplay = false, std::string_view extraMisc = {});

    // The display simulator on the link (a pty of its own linked as ports/COM1, the display's
    // Ethernet module, a gateway server, a gateway that has called in), then the program.
    void startOn(DisplayLink link, int retries = 1, bool autoDisplay = false, std::string_view extraMisc = {});
    // A run of the write machine stepped by hand: beginRun() before the start, then its ticks,
    // each once the display has heard every command the run has sent (Await::Command) and its
    // last reply has reached the link (Await::Reply), or at once (Await::Nothing).
    void beginRun();
    void tickPexor(Await await = Await::Reply);
    // Ticks until the run ends; gives the ticks, or -1 when it has not ended after maxTicks.
    int runPexor(int maxTicks = 200, Await await = Await::Reply);
    PeerWaits peer;

    // The commands the display has received, oldest first.
    std::vector<std::string> commands() { return display.commands(); }
    // The link the run used is released.
    bool released();

    StringGrid& pexor();
    StringGrid& readings();

private:
    UsEnglishLocale locale_;
    std::size_t sendBase_ = 0;         // the program's sends and the display's commands at beginRun
    std::size_t commandBase_ = 0;
    std::size_t sentAtLastTick_ = 0;   // the run's sends before its last tick
};

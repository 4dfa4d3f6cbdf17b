#pragma once

#include "AppFixture.h"
#include "BusHolder.h"
#include "PeerWaits.h"
#include "UsEnglishLocale.h"

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

// The program's windows with simulated meters on ports/COM1, the locale pinned to US English
// and a fixed clock. The settings file chooses COM1 at 2400 baud, the given retries and a
// response time-out of 300 ms. The wait that only waits for the bus (the wildcard search's)
// follows the bus's account of each frame (see PeerWaits).
//
//     bus->addMeter(SimMeter(5, "00000005", "EMH", 1, 0x04, hexBytes("0C 06 27 04 00 00")));
//     startProgram(2);
//     form11().Butt_readonceClick();
//     form11().Timer_respond->stop();          // stepped by hand
//     ASSERT_TRUE(waitBus(1, 1));
//     form11().Timer_respondTimer();
class BusAppFixture : protected BusHolder, public AppFixture {
protected:
    static constexpr int Timeout = 300;

    BusAppFixture();

    // The settings file startProgram writes: COM1 at 2400 baud, the retries, misc's lines in
    // [Misc], the response time-out, then the further sections.
    static std::string busIni(int retries, std::string_view misc = {}, std::string_view sections = {});
    // extraIni is appended to the settings file (further sections).
    void startProgram(int retries, std::string_view extraIni = {});

    PeerWaits peer;

    // Waits until the bus has received `frames` frames and written `replies` replies since
    // its log was last cleared.
    bool waitBus(std::size_t frames, std::size_t replies = 0,
                 std::chrono::milliseconds timeout = std::chrono::seconds(10));
    // A pseudo-terminal hands written bytes on a little later: waits until the bus's last
    // reply is in the program's port queue. False when the bus has written none.
    bool waitForLastReplyOnPort();

    // The frames received, as "REQ 5", "NKE 254", "LONG 53/52" (C/CI), in order.
    std::vector<std::string> frameNames() const;
    // A row of the meters table, its cells joined by "|".
    std::string gridRow(int row);

private:
    UsEnglishLocale locale_;
};

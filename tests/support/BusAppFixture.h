#pragma once

#include "AppFixture.h"
#include "BusSimulator.h"
#include "PeerWaits.h"

#include <QLocale>

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

// The program's windows with simulated meters on ports/COM1, the locale pinned to US English
// and a fixed clock. The settings file chooses COM1 at 2400 baud, the given retries and a
// response time-out of 300 ms. The waits that only wait for the bus (the wildcard search's,
// the global reset's) follow the bus's account of each frame (see PeerWaits).
//
//     bus->addMeter(SimMeter(5, "00000005", "EMH", 1, 0x04, hexBytes("0C 06 27 04 00 00")));
//     startProgram(2);
//     form11().Butt_readonceClick();
//     form11().Timer_respond->stop();          // stepped by hand
//     ASSERT_TRUE(waitBus(1, 1));
//     form11().Timer_respondTimer();
// Holds the bus, so that it outlives the program's windows (a base is destroyed last).
struct BusHolder {
    std::unique_ptr<BusSimulator> bus;
};

class BusAppFixture : protected BusHolder, public AppFixture {
protected:
    static constexpr int Timeout = 300;

    BusAppFixture();
    ~BusAppFixture() override;

    // extraIni is appended to the settings file (further sections).
    void startProgram(int retries, std::string_view extraIni = {});

    PeerWaits peer;

    // Waits until the bus has received `frames` frames and written `replies` replies since
    // its log was last cleared.
    bool waitBus(std::size_t frames, std::size_t replies = 0,
                 std::chrono::milliseconds timeout = std::chrono::seconds(10));

    // The frames received, as "REQ 5", "NKE 254", "LONG 53/52" (C/CI), in order.
    std::vector<std::string> frameNames() const;
    // A row of the meters table, its cells joined by "|".
    std::string gridRow(int row);
    // How many log lines equal text.
    std::size_t logCount(const std::string& text);

private:
    QLocale oldLocale_;
};

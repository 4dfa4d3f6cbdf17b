#pragma once

#include "TForm11.h"

#include <chrono>
#include <memory>
#include <string>
#include <vector>

class BusSimulator;
class SimDisplay;
class SimDisplayModule;
class SimGateway;

// Ends the program's waits that only wait for a peer (the wildcard search's after each frame,
// a display read's for each reply) by the simulated peer's account of the frame or command,
// whatever the machine's load: its answers have reached the program's side of the link, or it
// gave none. An answer the simulator gives later than the response time-out
// is not waited for: the wait then lasts its time-out, as in the program.
//
//     PeerWaits peer;
//     peer.follow(form11(), *bus);   // before the search starts
class PeerWaits {
public:
    using Clock = std::chrono::steady_clock;
    struct Sent {
        std::string frame;
        Clock::time_point before; // taken before the write
    };

    PeerWaits();

    // The meters on ports/COM1, a gateway (either mode), the display's Ethernet module.
    void follow(TForm11& form, const BusSimulator& bus);
    void follow(TForm11& form, const SimGateway& gateway);
    void follow(TForm11& form, const SimDisplayModule& module);
    // The display on its own line (ports/COM1), behind its Ethernet module, behind a gateway.
    void follow(TForm11& form, const SimDisplay& display);
    void follow(TForm11& form, const SimDisplay& display, const SimDisplayModule& module);
    void follow(TForm11& form, const SimDisplay& display, const SimGateway& gateway);
    // Only notes the frames: the waits last their time, as in the program.
    void record(TForm11& form);

    // The frames the program reported, oldest first (window's thread).
    const std::vector<Sent>& sent() const;
    // When the program reported `frame` first; Clock::time_point::max() if never.
    Clock::time_point firstSent(const std::string& frame) const;

private:
    struct State;
    void install(TForm11& form, std::function<bool(const Sent&)> done);

    std::shared_ptr<State> state_;
};

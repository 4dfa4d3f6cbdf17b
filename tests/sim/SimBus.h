#pragma once

#include "SimMeter.h"

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// What the bus gives back after one frame: the bytes that reach the master at one moment.
struct SimAnswer {
    std::chrono::milliseconds delay {0}; // after the frame
    std::string bytes;                   // one meter's answer, or what a collision made of several
    std::size_t meters = 0;              // how many meters answered at that moment
};

struct SimOutcome {
    std::string what;                    // the frame in words and what came of it
    std::vector<SimAnswer> answers;      // earliest first
};

// The meters on one bus and how they answer a master's frame (no threads, no I/O).
//
// Addresses: 255 reaches every meter and none answers; 254 reaches every meter and all
// answer; 253 reaches the meters selected by secondary address; any other address the
// meters that have it. Frames:
//   SND_NKE (10 40 A): E5; to 253 it also deselects.
//   REQ_UD2 (10 7B A, 10 5B A): the RSP_UD telegram.
//   SND_UD (68 .. 53/73 A CI): CI 52 to 253 selects the meters that match (ID nibble F and
//     bytes FF are wildcards) and deselects the others, the matching ones answer E5; CI 51
//     records, CI 50 application reset and CI B8-BF baud rates change the model; every
//     SND_UD is answered E5, those it does not model are only described.
// Meters that answer at the same moment collide (see simCollide).
class SimBus {
public:
    std::size_t addMeter(SimMeter meter);
    std::size_t size() const { return meters_.size(); }
    SimMeter& meter(std::size_t index) { return meters_.at(index); }
    const SimMeter& meter(std::size_t index) const { return meters_.at(index); }

    // Handles one frame that passed the frame checks.
    SimOutcome handle(std::string_view frame);

private:
    std::vector<std::size_t> reached(unsigned address) const;

    std::vector<SimMeter> meters_;
};

// The bytes a master sees when several meters send at once: the byte-wise AND of their
// answers up to the longest (a missing byte counts as FF, the idle line). Should the result
// pass a master's reply checks, its sum is damaged, so a collision of telegrams is always
// seen as one. One answer comes through unchanged; two E5 give E5.
std::string simCollide(const std::vector<std::string>& answers);

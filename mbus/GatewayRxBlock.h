#pragma once

#include "EthPacket.h"

#include <array>
#include <cstddef>
#include <string_view>

// Assembles the 300-byte reply packets of one gateway link from the reads of its socket. Each
// read (at most 300 bytes) is one step: bytes that would take the block past 300 are
// discarded with the block ("Wrong byte count in the telegram, " + the count it would have
// reached), a full block is checked and emptied.
class GatewayRxBlock {
public:
    struct Step {
        bool checked = false;   // a full block was checked
        // Its result when checked; else only the overshoot line, if any, in reply.lines.
        EthReplyCheck reply;
    };

    // One read of the socket; more than 300 bytes count as one overshooting read.
    Step add(std::string_view bytes);
    // Empties the block (a connection begins or ends, a read error on the listening link).
    void clear();

    std::size_t count() const { return count_; }

private:
    std::array<char, EthPacketSize> block_ {};
    std::size_t count_ = 0;
};

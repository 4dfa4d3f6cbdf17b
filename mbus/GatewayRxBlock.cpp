#include "GatewayRxBlock.h"

#include <algorithm>
#include <string>

GatewayRxBlock::Step GatewayRxBlock::add(std::string_view bytes)
{
    Step step;
    if (bytes.empty())
        return step;
    if (bytes.size() > EthPacketSize - count_) {
        const std::size_t reached = count_ + bytes.size();
        clear();
        step.reply.lines.push_back("Wrong byte count in the telegram, " + std::to_string(reached));
        return step;
    }
    std::copy(bytes.begin(), bytes.end(), block_.begin() + static_cast<std::ptrdiff_t>(count_));
    count_ += bytes.size();
    if (count_ == EthPacketSize) {
        step.reply = CheckEthReply(std::string_view(block_.data(), block_.size()));
        step.checked = true;
        clear();
    }
    return step;
}

void GatewayRxBlock::clear()
{
    // The bytes stay: a block is checked only once reads have filled it again.
    count_ = 0;
}

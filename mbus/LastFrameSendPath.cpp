#include "LastFrameSendPath.h"

void LastFrameSendPath::send(const std::string& frame, FrameBuilder builder, const std::string& target,
                             const std::string& operation)
{
    any_ = true;
    builder_ = builder;
    target_ = target;
    next_.send(frame, builder, target, operation);
}

bool LastFrameSendPath::lastWasSndNkeTo(int address) const
{
    return any_ && builder_ == FrameBuilder::SndNke && target_ == std::to_string(address);
}

#pragma once

#include "SendPath.h"

#include <string>

// A send path in front of another: every frame goes on unchanged, and the builder and target
// of the last one are kept. A request timer asks it whether an acknowledge it sees answers an
// SND_NKE (which is then followed by REQ_UD2) or some other frame.
class LastFrameSendPath : public SendPath {
public:
    explicit LastFrameSendPath(SendPath& next) : next_(next) {}

    void send(const std::string& frame, FrameBuilder builder, const std::string& target,
              const std::string& operation) override;

    // The last frame handed on was an SND_NKE to this address.
    bool lastWasSndNkeTo(int address) const;
    // The last frame handed on came from this builder.
    bool lastWas(FrameBuilder builder) const { return any_ && builder_ == builder; }

private:
    SendPath& next_;
    bool any_ = false;
    FrameBuilder builder_ = FrameBuilder::ReqUd2;
    std::string target_;
};

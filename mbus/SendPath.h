#pragma once

#include <string>

// The eleven frame builders, so that the send path knows which one handed it a frame.
enum class FrameBuilder {
    ReqUd2,
    SndNke,
    ApplicationReset,
    SetBaud,
    SetPrimary,
    SetId,
    SetLiters,
    SetValueVif,
    SelectById,
    SetMedium,
    SetUnit,
};

// The text a builder's failed write names after "Can not write to COM port - " ("reading
// device " for ReqUd2, ...); the target follows it.
const char* OperationWord(FrameBuilder builder);

// Where a finished frame goes: the serial port, a gateway packet or the display's module.
// target is the address in decimal (the ID text for SelectById); operation is the builder's
// operation word.
class SendPath {
public:
    virtual ~SendPath() = default;
    virtual void send(const std::string& frame, FrameBuilder builder, const std::string& target,
                      const std::string& operation) = 0;
};

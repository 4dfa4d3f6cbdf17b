#pragma once

// The two settings check boxes the frame builders consult. They are read at every call, so
// a change in the settings window takes effect with the next frame.
class FrameSettings {
public:
    virtual ~FrameSettings() = default;
    // REQ_UD2 goes out with C field 5B (FCB clear) instead of 7B.
    virtual bool Check_5B() const = 0;
    // The counter value of SendSetLiters goes out as a 32-bit binary number instead of BCD.
    virtual bool Check_value_wendix() const = 0;
};

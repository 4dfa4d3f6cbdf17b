#pragma once

#include "FrameSettings.h"
#include "SendPath.h"

#include <cstdint>
#include <string>

// The frames the program sends as bus master. Each pure function gives the frame bytes or
// throws ConversionError for a bad ID or value text; nothing else can fail.
//
// Short frame: 10 C A CS 16. Long frame: 68 L L 68 C A CI data CS 16, CS the 8-bit sum from C
// to the last data byte. A is the low eight bits of the address argument.

std::string ShortFrame(std::uint8_t c, int a);
std::string LongFrame(std::uint8_t c, int a, std::uint8_t ci, const std::string& data);

// Eight digits d1..d8 (d1 most significant) to the four bytes (d7 d8) (d5 d6) (d3 d4) (d1 d2).
// Only "0" to "9" are digits, and "F" as the nibble F when allowF is set; any other character
// or a text of other than eight characters throws ConversionError.
std::string BcdIdBytes(const std::string& text, bool allowF = false);

std::string ReqUd2Frame(int a, bool check5B);
std::string SndNkeFrame(int a);
std::string ApplicationResetFrame(int a);
std::string SetBaudFrame(int a, std::uint8_t ci);
std::string SetPrimaryFrame(int a, int newAddress);
std::string SetIdFrame(int a, const std::string& id);
// binary: DIF 04 and the value as a 32-bit little-endian integer; else DIF 0C and 8 BCD digits.
std::string SetLitersFrame(int a, const std::string& value, bool binary);
std::string SetValueVifFrame(int a, const std::string& value, std::uint8_t vif);
std::string SelectByIdFrame(const std::string& id);
std::string SetMediumFrame(int a, std::uint8_t medium, const std::string& id);
std::string SetUnitFrame(int a, std::uint8_t medium, std::uint8_t vif);

// The eleven builders: each forms its frame and hands it to the send path with its target
// and operation word. A bad text stops a builder before anything is sent: SendSelectById
// then returns quietly, the others let the ConversionError reach the caller.
class MasterFrames {
public:
    MasterFrames(SendPath& path, const FrameSettings& settings) : path_(path), settings_(settings) {}

    void SendReqUd2(int a);
    void SendSndNke(int a);
    void SendApplicationReset(int a);
    void SendSetBaud(int a, std::uint8_t ci);
    void SendSetPrimary(int a, int newAddress);
    void SendSetId(int a, const std::string& id);
    void SendSetLiters(int a, const std::string& value);
    void SendSetValueVif(int a, const std::string& value, std::uint8_t vif);
    void SendSelectById(const std::string& id);
    void SendSetMedium(int a, std::uint8_t medium, const std::string& id);
    void SendSetUnit(int a, std::uint8_t medium, std::uint8_t vif);

private:
    void hand(const std::string& frame, FrameBuilder builder, const std::string& target);

    SendPath& path_;
    const FrameSettings& settings_;
};

#include "MasterFrames.h"

#include "ConversionError.h"
#include "FrameBytes.h"

#include <charconv>
#include <cstdint>
#include <limits>

namespace {

std::uint8_t low8(int v)
{
    return static_cast<std::uint8_t>(static_cast<unsigned>(v) & 0xFFu);
}

int nibbleOf(char c, bool allowF)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (allowF && c == 'F')
        return 15;
    return -1;
}

// A whole decimal integer of 32 bits (an optional "-", then digits).
std::int32_t decimalInt32(const std::string& text)
{
    std::int32_t v = 0;
    const char* first = text.data();
    const char* last = first + text.size();
    const auto [end, ec] = std::from_chars(first, last, v, 10);
    if (ec != std::errc() || end != last || first == last)
        throw ConversionError(text);
    return v;
}

} // namespace

std::string ShortFrame(std::uint8_t c, int a)
{
    const std::uint8_t addr = low8(a);
    std::string f;
    f.reserve(5);
    f.push_back(0x10);
    f.push_back(byteChar(c));
    f.push_back(byteChar(addr));
    f.push_back(byteChar(c + addr));
    f.push_back(0x16);
    return f;
}

std::string LongFrame(std::uint8_t c, int a, std::uint8_t ci, const std::string& data)
{
    const unsigned l = 3 + static_cast<unsigned>(data.size());
    std::string f;
    f.reserve(l + 6);
    f.push_back(0x68);
    f.push_back(byteChar(l));
    f.push_back(byteChar(l));
    f.push_back(0x68);
    f.push_back(byteChar(c));
    f.push_back(byteChar(low8(a)));
    f.push_back(byteChar(ci));
    f.append(data);
    f.push_back(byteChar(Sum8(std::string_view(f).substr(4))));
    f.push_back(0x16);
    return f;
}

std::string BcdIdBytes(const std::string& text, bool allowF)
{
    if (text.size() != 8)
        throw ConversionError(text);
    int d[8];
    for (int i = 0; i < 8; ++i) {
        d[i] = nibbleOf(text[static_cast<std::size_t>(i)], allowF);
        if (d[i] < 0)
            throw ConversionError(text);
    }
    std::string out;
    out.reserve(4);
    for (int pair = 3; pair >= 0; --pair)
        out.push_back(byteChar(static_cast<unsigned>(d[2 * pair] * 16 + d[2 * pair + 1])));
    return out;
}

std::string ReqUd2Frame(int a, bool check5B)
{
    return ShortFrame(check5B ? 0x5B : 0x7B, a);
}

std::string SndNkeFrame(int a)
{
    return ShortFrame(0x40, a);
}

std::string ApplicationResetFrame(int a)
{
    return LongFrame(0x73, a, 0x50, {});
}

std::string SetBaudFrame(int a, std::uint8_t ci)
{
    return LongFrame(0x53, a, ci, {});
}

std::string SetPrimaryFrame(int a, int newAddress)
{
    const std::string data{'\x01', '\x7A', byteChar(low8(newAddress))};
    return LongFrame(0x73, a, 0x51, data);
}

std::string SetIdFrame(int a, const std::string& id)
{
    return LongFrame(0x73, a, 0x51, std::string("\x0C\x79", 2) + BcdIdBytes(id));
}

std::string SetLitersFrame(int a, const std::string& value, bool binary)
{
    std::string data;
    if (binary) {
        const auto v = static_cast<std::uint32_t>(decimalInt32(value));
        data = {'\x04', '\x13', byteChar(v), byteChar(v >> 8), byteChar(v >> 16), byteChar(v >> 24)};
    } else {
        data = std::string("\x0C\x13", 2) + BcdIdBytes(value);
    }
    return LongFrame(0x53, a, 0x51, data);
}

std::string SetValueVifFrame(int a, const std::string& value, std::uint8_t vif)
{
    return LongFrame(0x53, a, 0x51, std::string{'\x0C', byteChar(vif)} + BcdIdBytes(value));
}

std::string SelectByIdFrame(const std::string& id)
{
    return LongFrame(0x53, 0xFD, 0x52, BcdIdBytes(id) + std::string(4, '\xFF'));
}

std::string SetMediumFrame(int a, std::uint8_t medium, const std::string& id)
{
    const std::string data = std::string("\x07\x79", 2) + BcdIdBytes(id, true)
        + std::string(3, '\xFF') + byteChar(medium);
    return LongFrame(0x53, a, 0x51, data);
}

std::string SetUnitFrame(int a, std::uint8_t medium, std::uint8_t vif)
{
    const std::string data{'\x0F', byteChar(vif), '\x03', byteChar(medium), '\x01', '\x01'};
    return LongFrame(0x53, a, 0x51, data);
}

void MasterFrames::hand(const std::string& frame, FrameBuilder builder, const std::string& target)
{
    path_.send(frame, builder, target, OperationWord(builder));
}

void MasterFrames::SendReqUd2(int a)
{
    hand(ReqUd2Frame(a, settings_.Check_5B()), FrameBuilder::ReqUd2, std::to_string(a));
}

void MasterFrames::SendSndNke(int a)
{
    hand(SndNkeFrame(a), FrameBuilder::SndNke, std::to_string(a));
}

void MasterFrames::SendApplicationReset(int a)
{
    hand(ApplicationResetFrame(a), FrameBuilder::ApplicationReset, std::to_string(a));
}

void MasterFrames::SendSetBaud(int a, std::uint8_t ci)
{
    hand(SetBaudFrame(a, ci), FrameBuilder::SetBaud, std::to_string(a));
}

void MasterFrames::SendSetPrimary(int a, int newAddress)
{
    hand(SetPrimaryFrame(a, newAddress), FrameBuilder::SetPrimary, std::to_string(a));
}

void MasterFrames::SendSetId(int a, const std::string& id)
{
    hand(SetIdFrame(a, id), FrameBuilder::SetId, std::to_string(a));
}

void MasterFrames::SendSetLiters(int a, const std::string& value)
{
    hand(SetLitersFrame(a, value, settings_.Check_value_wendix()), FrameBuilder::SetLiters,
         std::to_string(a));
}

void MasterFrames::SendSetValueVif(int a, const std::string& value, std::uint8_t vif)
{
    hand(SetValueVifFrame(a, value, vif), FrameBuilder::SetValueVif, std::to_string(a));
}

void MasterFrames::SendSelectById(const std::string& id)
{
    std::string frame;
    try {
        frame = SelectByIdFrame(id);
    } catch (const ConversionError&) {
        return; // a bad ID selects nobody, quietly
    }
    hand(frame, FrameBuilder::SelectById, id);
}

void MasterFrames::SendSetMedium(int a, std::uint8_t medium, const std::string& id)
{
    hand(SetMediumFrame(a, medium, id), FrameBuilder::SetMedium, std::to_string(a));
}

void MasterFrames::SendSetUnit(int a, std::uint8_t medium, std::uint8_t vif)
{
    hand(SetUnitFrame(a, medium, vif), FrameBuilder::SetUnit, std::to_string(a));
}

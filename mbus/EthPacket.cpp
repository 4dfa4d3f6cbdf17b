#include "EthPacket.h"

#include "ConversionError.h"
#include "FrameBytes.h"

#include <charconv>

namespace {

constexpr std::size_t HeaderSize = 12;
constexpr std::size_t SummedSize = EthPacketSize - 2;   // bytes before the packet sum
constexpr std::size_t BodyFrame = 6;                    // a body's bytes around its payload
// FinishEthPacket's limit is the payload limit: a longer payload does not fit the packet.
static_assert(HeaderSize + EthPayloadMax + BodyFrame == SummedSize);

std::string body(char kind, char second, std::string_view payload)
{
    std::string b;
    b.reserve(payload.size() + BodyFrame);
    b.push_back(kind);
    b.push_back(byteChar(static_cast<unsigned>(payload.size() + 2)));
    b.push_back(second);
    b.push_back(0);
    b.append(payload);
    b.push_back(byteChar(Sum8(std::string_view(b).substr(1))));
    b.push_back(static_cast<char>(0xAA));
    return b;
}

void wrap(std::string& payload, std::string (*build)(std::string_view), const NetNumberBytes& net,
          std::int32_t packetNo)
{
    std::string packet;   // stays empty when the payload does not fit
    FinishEthPacket(BuildEthHeader(net, packetNo) + build(payload), packet);
    payload = std::move(packet);
}

// The parts between three dots, or false when the text has another number of dots.
bool splitDots(std::string_view text, std::string_view (&parts)[4])
{
    std::size_t start = 0;
    for (int i = 0; i < 3; ++i) {
        const std::size_t dot = text.find('.', start);
        if (dot == std::string_view::npos)
            return false;
        parts[i] = text.substr(start, dot - start);
        start = dot + 1;
    }
    parts[3] = text.substr(start);
    return parts[3].find('.') == std::string_view::npos;
}

} // namespace

std::string BuildEthHeader(const NetNumberBytes& net, std::int32_t packetNo)
{
    const auto number = static_cast<std::uint32_t>(packetNo);
    std::string h;
    h.reserve(HeaderSize);
    h.push_back(0x01);
    for (const std::uint8_t b : net)
        h.push_back(byteChar(b));
    h.push_back(0);
    h.push_back(byteChar(number >> 8));
    h.push_back(byteChar(number));
    h.push_back(0);   // the kind, always 1
    h.push_back(0x01);
    h.push_back(byteChar(Sum8(h)));
    h.push_back(0x04);
    return h;
}

std::string BuildMbusBody(std::string_view frame) { return body(static_cast<char>(0xA8), 0x10, frame); }

std::string BuildTextBody(std::string_view text) { return body(static_cast<char>(0xA1), 0x00, text); }

bool FinishEthPacket(std::string_view bytes, std::string& packet)
{
    if (bytes.size() > SummedSize)
        return false;
    std::string p(bytes);
    p.resize(SummedSize, '\0');
    p.push_back(byteChar(Sum8(p)));
    p.push_back(0x04);
    packet = std::move(p);
    return true;
}

void WrapMbusTelegram(std::string& frame, const NetNumberBytes& net, std::int32_t packetNo)
{
    wrap(frame, &BuildMbusBody, net, packetNo);
}

void WrapTextCommand(std::string& text, const NetNumberBytes& net, std::int32_t packetNo)
{
    wrap(text, &BuildTextBody, net, packetNo);
}

bool ParseNetNumber(std::string_view text, NetNumberBytes& net)
{
    std::string_view parts[4];
    if (!splitDots(text, parts))
        return false;
    NetNumberBytes parsed {};
    for (int i = 0; i < 4; ++i) {
        const std::string_view p = parts[i];
        if (p.empty())
            return false;
        unsigned value = 0;
        for (const char c : p) {
            if (c < '0' || c > '9')
                return false;
            value = value * 10 + static_cast<unsigned>(c - '0');
            if (value > 255)   // also ends a long digit string before it could overflow
                return false;
        }
        parsed[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value);
    }
    net = parsed;
    return true;
}

std::string NetNumberText(const NetNumberBytes& net)
{
    std::string t;
    for (std::size_t i = 0; i < net.size(); ++i) {
        if (i)
            t.push_back('.');
        t += std::to_string(net[i]);
    }
    return t;
}

bool IsValidIp(std::string_view text)
{
    std::string_view parts[4];
    if (!splitDots(text, parts))
        return false;
    bool valid = true;
    for (const std::string_view p : parts) {
        std::int32_t value = 0;
        const char* first = p.data();
        const char* last = first + p.size();
        const auto [end, ec] = std::from_chars(first, last, value, 10);
        if (p.empty() || ec != std::errc() || end != last)
            throw ConversionError(std::string(p));
        if (value > 255)
            valid = false;
    }
    return valid;
}

EthReplyCheck CheckEthReply(std::string_view block)
{
    EthReplyCheck r;
    const std::size_t count = block.size();
    // Offsets are unsigned and every read is bounded by the block: a byte outside it reads 0.
    const auto at = [&](std::size_t i) -> std::uint8_t {
        return i < count ? static_cast<std::uint8_t>(block[i]) : 0;
    };
    // The sum of the bytes before index end (those of them within the block).
    const auto sumBefore = [&](std::size_t end) { return Sum8(block.substr(0, end)); };

    if (at(0) != 0x01) {
        r.lines.emplace_back("Error in START byte of ethernet response...");
        return r;
    }
    if (sumBefore(19) != at(19)) {
        r.lines.emplace_back("Error in header CRC of ethernet response...");
        return r;
    }
    if (count < 3 || sumBefore(count - 2) != at(count - 2)) {
        r.lines.emplace_back("Error in packet CRC of ethernet response...");
        return r;
    }
    if (at(count - 1) != 0x04) {
        r.lines.emplace_back("Error in STOP byte of ethernet response...");
        return r;
    }
    const NetNumberBytes device {at(1), at(2), at(3), at(4)};
    r.netNumber = device;
    r.lines.push_back("Device " + NetNumberText(device));

    std::vector<std::string> status;
    if (at(21) == 0xA5) {
        status = ReportEthStatus(at(24), at(26), at(25));
    } else {
        const std::size_t d = at(22);
        for (std::size_t i = 25; i + 4 < 25 + d && i < count; ++i)   // bytes 25 .. 20+d
            r.text.push_back(static_cast<char>(at(i)));
        status = ReportEthStatus(at(d + 28), at(d + 30), at(d + 29));
    }
    r.lines.insert(r.lines.end(), status.begin(), status.end());
    return r;
}

std::vector<std::string> ReportEthStatus(std::uint8_t status, std::uint8_t flags1, std::uint8_t flags2)
{
    if (status == 0)
        return {"Done!"};
    static const char* const flags1Texts[8] = {
        "Error in header checksum...",
        "Error in telegram checksum...",
        "Wrong telegram length...",
        "Bad telegram, unknow Start charachter...",
        "Action denied, no rights to perform it...",
        "Unknown telegram...",
        "Start/Stop charachter not recognized...",
        "Bad network number...",
    };
    static const char* const flags2Texts[8] = {
        "Packet number does not match...",
        "Timeout expired...",
        nullptr,
        nullptr,
        nullptr,
        nullptr,
        "Bad m-bus command...",
        "Bad packet, general communication error...",
    };
    std::vector<std::string> lines;
    for (int bit = 0; bit < 8; ++bit)
        if (flags1 & (1u << bit))
            lines.emplace_back(flags1Texts[bit]);
    for (int bit = 0; bit < 8; ++bit)
        if ((flags2 & (1u << bit)) && flags2Texts[bit])
            lines.emplace_back(flags2Texts[bit]);
    return lines;
}

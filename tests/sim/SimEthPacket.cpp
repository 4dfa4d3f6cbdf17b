#include "SimEthPacket.h"

namespace simeth {

namespace {

unsigned at(std::string_view b, std::size_t i)
{
    return static_cast<unsigned char>(b[i]);
}

void put(std::string& b, std::size_t i, unsigned v)
{
    b[i] = static_cast<char>(v & 0xFF);
}

// Sum at 298 and STOP at 299 of a 300-byte packet.
void seal(std::string& p)
{
    put(p, 298, sum(p, 0, 297));
    put(p, 299, 0x04);
}

std::string replyHeader(const NetNumber& net, std::uint16_t packetNo, std::uint8_t kind)
{
    std::string p(packetSize, '\0');
    put(p, 0, 0x01);
    for (std::size_t i = 0; i < 4; ++i)
        put(p, 1 + i, net[i]);
    put(p, 6, packetNo >> 8);
    put(p, 7, packetNo);
    put(p, 9, 0x01);
    put(p, 19, sum(p, 0, 18));
    put(p, 20, 0x04);
    put(p, 21, kind);
    return p;
}

} // namespace

std::uint8_t sum(std::string_view bytes, std::size_t from, std::size_t to)
{
    unsigned s = 0;
    for (std::size_t i = from; i <= to && i < bytes.size(); ++i)
        s += at(bytes, i);
    return static_cast<std::uint8_t>(s);
}

std::string netText(const NetNumber& net)
{
    return std::to_string(net[0]) + "." + std::to_string(net[1]) + "." + std::to_string(net[2]) + "."
        + std::to_string(net[3]);
}

Request readRequest(std::string_view p)
{
    Request r;
    auto fail = [&](std::string what, std::uint8_t f1) {
        r.failures.push_back(std::move(what));
        r.complaint.status = 0x01;
        r.complaint.flags1 |= f1;
    };
    if (p.size() != packetSize) {
        fail("size " + std::to_string(p.size()), f1Length);
        return r;
    }
    for (std::size_t i = 0; i < 4; ++i)
        r.net[i] = static_cast<std::uint8_t>(at(p, 1 + i));
    r.packetNo = static_cast<std::uint16_t>(at(p, 6) << 8 | at(p, 7));
    r.body = static_cast<std::uint8_t>(at(p, 12));

    if (at(p, 0) != 0x01)
        fail("START", f1Start);
    if (sum(p, 0, 9) != at(p, 10))
        fail("header sum", f1HeaderSum);
    if (sum(p, 0, 297) != at(p, 298))
        fail("packet sum", f1TelegramSum);
    if (at(p, 299) != 0x04)
        fail("STOP", f1StartStop);
    if (at(p, 5) != 0x00 || at(p, 8) != 0x00 || at(p, 9) != 0x01 || at(p, 11) != 0x04)
        fail("fixed header bytes", f1Unknown);

    const bool mbus = r.body == mbusBody;
    if (!mbus && r.body != textBody) {
        fail("body kind", f1Unknown);
        return r;
    }
    if (at(p, 14) != (mbus ? 0x10u : 0x00u) || at(p, 15) != 0x00)
        fail("body bytes 2-3", f1Unknown);

    // The body ends in AA, and only zeros follow it up to 297.
    std::size_t end = 297;
    while (end > 12 && at(p, end) == 0)
        --end;
    if (at(p, end) != 0xAA || end < 17) {
        fail("AA", f1Length);
        return r;
    }
    const std::size_t n = end - 17; // AA at 12 + 5 + n
    r.payload = std::string(p.substr(16, n));
    if (at(p, 13) != ((n + 2) & 0xFF))
        fail("LL", f1Length);
    if (sum(p, 13, 15 + n) != at(p, 16 + n))
        fail("body sum", f1TelegramSum);
    return r;
}

std::string buildRequest(const NetNumber& net, std::uint16_t packetNo, std::uint8_t body,
                         std::string_view payload)
{
    if (payload.size() > maxPayload)
        return {};
    const std::size_t n = payload.size();
    std::string p(packetSize, '\0');
    put(p, 0, 0x01);
    for (std::size_t i = 0; i < 4; ++i)
        put(p, 1 + i, net[i]);
    put(p, 6, packetNo >> 8);
    put(p, 7, packetNo);
    put(p, 9, 0x01);
    put(p, 10, sum(p, 0, 9));
    put(p, 11, 0x04);
    put(p, 12, body);
    put(p, 13, n + 2);
    put(p, 14, body == mbusBody ? 0x10 : 0x00);
    p.replace(16, n, payload);
    put(p, 16 + n, sum(p, 13, 15 + n));
    put(p, 17 + n, 0xAA);
    seal(p);
    return p;
}

std::string textReply(const NetNumber& net, std::uint16_t packetNo, std::uint8_t kind,
                      std::string_view text, const Status& status)
{
    text = text.substr(0, maxReplyText);
    const std::size_t d = text.size() + 4;
    std::string p = replyHeader(net, packetNo, kind);
    put(p, 22, d);
    p.replace(25, text.size(), text);
    put(p, d + 28, status.status);
    put(p, d + 29, status.flags2);
    put(p, d + 30, status.flags1);
    seal(p);
    return p;
}

std::string statusReply(const NetNumber& net, std::uint16_t packetNo, const Status& status)
{
    std::string p = replyHeader(net, packetNo, statusOnly);
    put(p, 24, status.status);
    put(p, 25, status.flags2);
    put(p, 26, status.flags1);
    seal(p);
    return p;
}

void corrupt(std::string& p, Corruption what)
{
    if (p.size() != packetSize)
        return;
    switch (what) {
    case Corruption::None:
        return;
    case Corruption::Start:
        put(p, 0, 0x02);
        put(p, 19, sum(p, 0, 18));
        break;
    case Corruption::HeaderSum:
        put(p, 19, at(p, 19) + 1);
        break;
    case Corruption::PacketSum:
        put(p, 298, at(p, 298) + 1);
        return;
    case Corruption::Stop:
        put(p, 299, 0x05);
        return;
    }
    put(p, 298, sum(p, 0, 297));
}

} // namespace simeth

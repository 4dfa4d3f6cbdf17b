// The gateway simulator's packet code, on any bytes.
//
// Properties: a 300-byte request passes every check exactly when it is the packet the builder
// makes of its network number, packet number, body kind and payload (anything else names at
// least one failed check and a complaint); a built request reads back as built; a reply
// carries its text, cut to 251 bytes, and its status at the offsets the program reads, and
// each corruption fails exactly the one check it names.
#include "FuzzCheck.h"
#include "SimEthPacket.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

unsigned at(const std::string& b, std::size_t i)
{
    return static_cast<unsigned char>(b[i]);
}

unsigned sumOf(const std::string& b, std::size_t from, std::size_t to)
{
    unsigned s = 0;
    for (std::size_t i = from; i <= to; ++i)
        s += at(b, i);
    return s & 0xFF;
}

// The program's four reply checks, in their order; 0 when all pass, else the failing one.
int firstFailure(const std::string& r)
{
    if (at(r, 0) != 0x01)
        return 1;
    if (sumOf(r, 0, 18) != at(r, 19))
        return 2;
    if (sumOf(r, 0, 297) != at(r, 298))
        return 3;
    if (at(r, 299) != 0x04)
        return 4;
    return 0;
}

void checkRequest(std::string_view bytes)
{
    const simeth::Request r = simeth::readRequest(bytes);
    if (bytes.size() != simeth::packetSize) {
        FUZZ_CHECK(!r.failures.empty());
        return;
    }
    const bool good = r.failures.empty();
    FUZZ_CHECK(good == (r.complaint == simeth::Status {}));
    FUZZ_CHECK(good || r.complaint.status == 0x01);
    const std::string rebuilt = simeth::buildRequest(r.net, r.packetNo, r.body, r.payload);
    FUZZ_CHECK(good == (rebuilt == bytes));
}

void checkRoundTrip(std::string_view bytes)
{
    if (bytes.size() < 7)
        return;
    const simeth::NetNumber net {static_cast<std::uint8_t>(bytes[0]), static_cast<std::uint8_t>(bytes[1]),
                                 static_cast<std::uint8_t>(bytes[2]), static_cast<std::uint8_t>(bytes[3])};
    const auto no = static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[4]) << 8
                                               | static_cast<unsigned char>(bytes[5]));
    const std::uint8_t body = bytes[6] & 1 ? simeth::mbusBody : simeth::textBody;
    const std::string_view payload = bytes.substr(7);

    const std::string request = simeth::buildRequest(net, no, body, payload);
    if (payload.size() > simeth::maxPayload) {
        FUZZ_CHECK(request.empty());
    } else {
        const simeth::Request r = simeth::readRequest(request);
        FUZZ_CHECK(r.failures.empty() && r.net == net && r.packetNo == no && r.body == body
                   && r.payload == payload);
    }

    const simeth::Status status {static_cast<std::uint8_t>(bytes[4]), static_cast<std::uint8_t>(bytes[5]),
                                 static_cast<std::uint8_t>(bytes[6])};
    const std::string reply = simeth::textReply(net, no, simeth::textBody, payload, status);
    FUZZ_CHECK(reply.size() == simeth::packetSize && firstFailure(reply) == 0);
    const std::size_t n = payload.size() < simeth::maxReplyText ? payload.size() : simeth::maxReplyText;
    const std::size_t d = at(reply, 22);
    FUZZ_CHECK(d == n + 4 && reply.substr(25, d - 4) == payload.substr(0, n));
    FUZZ_CHECK(at(reply, d + 28) == status.status && at(reply, d + 29) == status.flags2
               && at(reply, d + 30) == status.flags1);
    for (int i = 0; i < 4; ++i)
        FUZZ_CHECK(at(reply, 1 + i) == net[i]);

    const std::string only = simeth::statusReply(net, no, status);
    FUZZ_CHECK(firstFailure(only) == 0 && at(only, 21) == 0xA5 && at(only, 24) == status.status
               && at(only, 25) == status.flags2 && at(only, 26) == status.flags1);

    const simeth::Corruption kinds[] = {simeth::Corruption::Start, simeth::Corruption::HeaderSum,
                                        simeth::Corruption::PacketSum, simeth::Corruption::Stop};
    for (int k = 0; k < 4; ++k) {
        std::string damaged = reply;
        simeth::corrupt(damaged, kinds[k]);
        FUZZ_CHECK(firstFailure(damaged) == k + 1);
        // Only the failing check fails: the later ones pass on the damaged packet.
        if (k == 0)
            FUZZ_CHECK(sumOf(damaged, 0, 18) == at(damaged, 19) && sumOf(damaged, 0, 297) == at(damaged, 298));
        if (k == 1 || k == 3)
            FUZZ_CHECK(sumOf(damaged, 0, 297) == at(damaged, 298));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    checkRequest(bytes);
    checkRequest(bytes.substr(0, simeth::packetSize));
    checkRoundTrip(bytes);
    return 0;
}

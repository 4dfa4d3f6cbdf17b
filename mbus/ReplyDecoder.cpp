#include "ReplyDecoder.h"

#include "FrameBytes.h"
#include "HexText.h"
#include "TelegramHeader.h"

namespace {

constexpr std::size_t kMinimumReply = 8;
constexpr std::size_t kHeaderFrame = 21; // header, checksum and stop byte

} // namespace

DecodedReply DecodeReply(std::string_view reply, bool fullReportMode, char decimalSeparator)
{
    DecodedReply out;
    const std::size_t n = reply.size();
    if (n < kMinimumReply)
        return out;

    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(reply[i]); };
    // The sum from C to the last byte before the checksum.
    if (Sum8(reply.substr(4, n - 6)) != byte(n - 2))
        out.failures.emplace_back("Wrong CRC");
    if (byte(n - 1) != 0x16)
        out.failures.emplace_back("Wrong STOP byte");
    if (n != static_cast<std::size_t>(byte(1)) + 6)
        out.failures.emplace_back("Wrong length in the header");
    if (!out.failures.empty() || n < kHeaderFrame)
        return out;

    out.valid = true;
    ReplyHeader& h = out.header;
    h.primaryAddress = byte(5);
    h.id = GetTelegramId(reply);
    h.manufacturer = GetManufacturerCode(reply);
    MediumInfo medium = GetMediumText(reply);
    h.medium = std::move(medium.medium);
    h.expectedUnits = std::move(medium.units);
    h.accessNumber = GetAccessNumber(reply);
    if (h.manufacturer == "QVX" && !fullReportMode) {
        h.status = GetStatusText(reply, false);
    } else {
        h.status = "0x" + HexDigits(reply.substr(16, 1));
    }
    out.records = DecodeTelegramRecords(reply, decimalSeparator);
    return out;
}

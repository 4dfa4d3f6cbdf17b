#pragma once

#include "TelegramRecords.h"

#include <array>
#include <string>
#include <string_view>
#include <vector>

// The header values of a valid reply.
struct ReplyHeader {
    int primaryAddress = 0;
    std::string id;           // eight hex digits, most significant first
    std::string manufacturer; // three letters
    std::string medium;
    std::array<std::string, 3> expectedUnits; // the first is the medium's main unit
    int accessNumber = 0;
    std::string status;
};

struct DecodedReply {
    bool valid = false;
    // "Wrong CRC", "Wrong STOP byte", "Wrong length in the header", in that order.
    std::vector<std::string> failures;
    // Filled only for a valid reply.
    ReplyHeader header;
    std::vector<RecordRow> records;
};

// Checks an RSP_UD long frame and decodes its header and records, with no window involved.
// A reply of fewer than 8 bytes is invalid without a failure line; otherwise the checksum
// (bytes 4 to n-3 against byte n-2), the stop byte and the length (n = L + 6) are all
// checked. A frame that passes them but cannot hold the header, checksum and stop byte
// (fewer than 21 bytes) is invalid too, again without a failure line. The status text is in
// hex ("0x" and two digits) in report mode and for every manufacturer but "QVX".
// decimalSeparator goes between the integer and decimal digits of values.
DecodedReply DecodeReply(std::string_view reply, bool fullReportMode, char decimalSeparator);

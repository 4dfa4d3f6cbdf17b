#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Decoding of the variable data block of an RSP_UD telegram: one row per data record.

// The seven columns of a record row.
enum RecordColumn : std::size_t {
    ColNumber,      // record number, from 1
    ColValue,       // value text
    ColUnit,        // unit text
    ColDescription, // description text
    ColDif,         // the DIF and every DIFE, each as two hex digits and a blank ("84 40 ")
    ColVif,         // the VIF, two hex digits
    ColVife,        // the VIFEs, each as two hex digits and a blank; empty when none
    RecordColumnCount
};

struct RecordRow {
    std::array<std::string, RecordColumnCount> cells;
    // The DIF's function text, with its first DIFE described.
    std::string functionText;
    std::uint8_t dif = 0;
    // The rest of the telegram as manufacturer data (DIF xF).
    bool manufacturerData = false;

    // The record as a line of the detailed report; empty for the empty row. Built on request,
    // as only the report needs it.
    std::string reportLine() const;
};

// Data length in bytes of the DIF's data-field code (its low four bits): 0 for 0 and 8, 1 for 1
// and 9, ..., 8 for 7; 5 for D, which the value decoder replaces by the variable length.
// Code F (manufacturer data to the end) gives 0.
std::size_t DifDataLength(unsigned code);

// Whether a byte whose high hex digit is `highDigit` has the extension bit (digits 8 to F).
bool SkipIfExtension(unsigned highDigit);

struct DifFunction {
    const char* text;  // ends with a blank
    bool difeFollows;  // the first DIFE is described after the text
};
// The DIF's high hex digit to its function text.
DifFunction DifFunctionText(unsigned highDigit);

// The first DIFE: "Storage is: " s ", Tariff is: " t " " (s only when below 10).
std::string DifeText(std::uint8_t dife);

struct VifMeaning {
    std::string unit = "Unknown";
    std::string description;
    double multiplier = 1.0;
};
// Unit, description and multiplier of a VIF. firstVife is the byte after the VIF when the VIF
// has the extension bit; text the characters of a plain-text VIF (7C/FC).
VifMeaning DecodeVif(std::uint8_t vif, std::uint8_t firstVife, std::string_view text);

// The extension tables after VIF FD and FB, by the VIFE with bit 7 cleared.
std::string VifExtFDText(std::uint8_t vife);
struct VifExtension {
    const char* unit;
    double multiplier;
};
VifExtension VifExtFBText(std::uint8_t vife);

struct RecordValue {
    std::string functionText;
    std::string value;
    std::size_t dataLength = 0; // bytes of data, the variable length included
    bool truncated = false;     // the data (or a date's own bytes) runs past the last data byte
};
// The value of one record. data is the telegram up to its last data byte (checksum and stop
// byte cut off); difPos the DIF's position, dataPos the first data byte's.
RecordValue DecodeRecordValue(std::string_view data, std::size_t difPos, std::size_t dataPos,
                              std::uint8_t vif, double multiplier, char separator);

// A type G date (VIF 6C/EC, two bytes) or type F date and time (6D/ED, four bytes) from the
// data position; "Exception decoding DateTime" when the bytes are not there.
std::string DecodeDateTime(std::string_view data, std::uint8_t vif, std::size_t dataPos);

// Hex digits to their bits, four "0"/"1" characters a digit; ConversionError for a non-digit.
std::string HexToBinStr(std::string_view hex);
// 32 bits of an IEEE single (sign, exponent, fraction), times multiplier, as value text.
std::string BinStrToFloatText(std::string_view bits, double multiplier, char separator);

// Every data record of a checked long frame, from byte 19 to the last byte before the
// checksum. Never reads beyond the reply.
std::vector<RecordRow> DecodeTelegramRecords(std::string_view reply, char separator);

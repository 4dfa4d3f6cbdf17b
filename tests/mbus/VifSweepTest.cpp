// Every VIF, and every VIFE of the two extension tables, decoded from a record whose data is
// 1,000,000, so that each multiplier shows as its own value.
#include "ReplyDecoder.h"
#include "TelegramBuilder.h"

#include <gtest/gtest.h>

#include <map>

namespace {

const std::string kMillion = "40 42 0F 00";

struct Expect {
    const char* unit;
    const char* description;
    const char* value;
};

RecordRow decodeOne(const std::string& record)
{
    const DecodedReply d = DecodeReply(telegram(TelegramHeader{}, hexBytes(record)), false, '.');
    EXPECT_TRUE(d.valid) << record;
    EXPECT_EQ(d.records.size(), 1u) << record;
    return d.records.empty() ? RecordRow{} : d.records[0];
}

std::string hex2(int v)
{
    static const char digits[] = "0123456789ABCDEF";
    return {digits[(v >> 4) & 15], digits[v & 15]};
}

// The primary table, VIF 00-7F (data code 4, 1,000,000).
const std::map<int, Expect> kPrimary = {
    {0x00, {"kWh", "", "1.000"}}, {0x01, {"kWh", "", "10.000"}},
    {0x02, {"kWh", "", "100.000"}}, {0x03, {"kWh", "", "1000.000"}},
    {0x04, {"kWh", "", "10000.000"}}, {0x05, {"kWh", "", "100000.000"}},
    {0x06, {"kWh", "", "1000000.000"}}, {0x07, {"kWh", "", "10000000.000"}},
    {0x08, {"kJ", "", "1000.000"}}, {0x09, {"kJ", "", "10000.000"}},
    {0x0A, {"kJ", "", "100000.000"}}, {0x0B, {"kJ", "", "1000000.000"}},
    {0x0C, {"kJ", "", "10000000.000"}}, {0x0D, {"kJ", "", "100000000.000"}},
    {0x0E, {"kJ", "", "1000000000.000"}}, {0x0F, {"kJ", "", "10000000000.000"}},
    {0x10, {"m3", "", "1.000"}}, {0x11, {"m3", "", "10.000"}},
    {0x12, {"m3", "", "100.000"}}, {0x13, {"m3", "TX1", "1000.000"}},
    {0x14, {"m3", "TX2", "10000.000"}}, {0x15, {"m3", "", "100000.000"}},
    {0x16, {"m3", "", "1000000.000"}}, {0x17, {"m3", "", "10000000.000"}},
    {0x18, {"N/A", "", "1000000.000"}}, {0x19, {"N/A", "", "1000000.000"}},
    {0x1A, {"N/A", "", "1000000.000"}}, {0x1B, {"N/A", "", "1000000.000"}},
    {0x1C, {"N/A", "", "1000000.000"}}, {0x1D, {"N/A", "", "1000000.000"}},
    {0x1E, {"N/A", "", "1000000.000"}}, {0x1F, {"N/A", "", "1000000.000"}},
    {0x20, {"On Time", "seconds", "1000000.000"}}, {0x21, {"On Time", "minutes", "1000000.000"}},
    {0x22, {"On Time", "hours", "1000000.000"}}, {0x23, {"On Time", "days", "1000000.000"}},
    {0x24, {"Operating Time", "seconds", "1000000.000"}},
    {0x25, {"Operating Time", "minutes", "1000000.000"}},
    {0x26, {"Operating Time", "hours", "1000000.000"}},
    {0x27, {"Operating Time", "days", "1000000.000"}},
    {0x28, {"W", "", "1000.000"}}, {0x29, {"W", "", "10000.000"}},
    {0x2A, {"W", "", "100000.000"}}, {0x2B, {"W", "", "1000000.000"}},
    {0x2C, {"W", "", "10000000.000"}}, {0x2D, {"W", "", "100000000.000"}},
    {0x2E, {"kW", "", "1000000.000"}}, {0x2F, {"kW", "", "10000000.000"}},
    {0x30, {"J/h", "", "1000000.000"}}, {0x31, {"J/h", "", "10000000.000"}},
    {0x32, {"J/h", "", "100000000.000"}}, {0x33, {"J/h", "", "1000000000.000"}},
    {0x34, {"J/h", "", "10000000000.000"}}, {0x35, {"J/h", "", "100000000000.000"}},
    {0x36, {"J/h", "", "1000000000000.000"}}, {0x37, {"N/A", "", "1000000.000"}},
    {0x38, {"l/h", "Debit", "1000.000"}}, {0x39, {"l/h", "Debit", "10000.000"}},
    {0x3A, {"l/h", "Debit", "100000.000"}}, {0x3B, {"l/h", "Debit", "1000000.000"}},
    {0x3C, {"l/h", "Debit", "10000000.000"}}, {0x3D, {"l/h", "Debit", "100000000.000"}},
    {0x3E, {"l/h", "Debit", "1000000000.000"}}, {0x3F, {"l/h", "Debit", "10000000000.000"}},
    {0x58, {"deg. C", "Flow Temp.", "1000.000"}}, {0x59, {"deg. C", "Flow Temp.", "10000.000"}},
    {0x5A, {"deg. C", "Flow Temp.", "100000.000"}},
    {0x5B, {"deg. C", "Flow Temp.", "1000000.000"}},
    {0x5C, {"deg. C", "Return Temp.", "1000.000"}},
    {0x5D, {"deg. C", "Return Temp.", "10000.000"}},
    {0x5E, {"deg. C", "Return Temp.", "100000.000"}},
    {0x5F, {"deg. C", "Return Temp.", "1000000.000"}},
    {0x60, {"deg. K", "TDiff", "1000.000"}}, {0x61, {"deg. K", "TDiff", "10000.000"}},
    {0x62, {"deg. K", "TDiff", "100000.000"}}, {0x63, {"deg. K", "TDiff", "1000000.000"}},
    {0x64, {"deg. C", "External Temperature", "1000.000"}},
    {0x65, {"deg. C", "External Temperature", "10000.000"}},
    {0x66, {"deg. C", "External Temperature", "100000.000"}},
    {0x67, {"deg. C", "External Temperature", "1000000.000"}},
    {0x68, {"mbar", "", "1000000.000"}}, {0x69, {"mbar", "", "10000000.000"}},
    {0x6A, {"mbar", "", "100000000.000"}}, {0x6B, {"N/A", "", "1000000.000"}},
    {0x6C, {"Time point", "Date (dd.mm.yyyy)", "0.2.34"}},
    {0x6D, {"Time point", "Date and time (hh:mm, dd.mm.yyyy)", "2:00, 15.0.0"}},
    {0x6E, {"Dimensionless", "", "1000000.000"}}, {0x6F, {"N/A", "", "1000000.000"}},
    {0x70, {"Average duration", "", "1000000.000"}}, {0x71, {"N/A", "", "1000000.000"}},
    {0x72, {"N/A", "", "1000000.000"}}, {0x73, {"N/A", "", "1000000.000"}},
    {0x74, {"Actuality Duration", "", "1000000.000"}}, {0x75, {"N/A", "", "1000000.000"}},
    {0x76, {"N/A", "", "1000000.000"}}, {0x77, {"N/A", "", "1000000.000"}},
    {0x78, {"Fabr. No.", "", "1000000"}}, {0x79, {"N/A", "", "1000000.000"}},
    {0x7A, {"N/A", "", "1000000.000"}}, {0x7B, {"N/A", "", "1000000.000"}},
    {0x7C, {"Unknown", "", "1000000.000"}}, {0x7D, {"N/A", "", "1000000.000"}},
    {0x7E, {"Readout - not supported for now", "", "1000000.000"}},
    {0x7F, {"Manufacturer specific", "", "1000000.000"}},
};

// The F range keeps its own meaning: F0-FA do not fold onto 70-7A.
const std::map<int, Expect> kFRange = {
    {0xF0, {"N/A", "", "1000000.000"}}, {0xF4, {"N/A", "", "1000000.000"}},
    {0xF8, {"N/A", "", "1000000.000"}}, {0xFA, {"N/A", "", "1000000.000"}},
    {0xFB, {"kWh", "", "100000000.000"}},
    {0xFC, {"Unknown", "", "1000000.000"}},
    {0xFD, {"Credit in currency units", "", "1000000.000"}},
    {0xFE, {"Readout - not supported for now", "", "1000000.000"}},
    {0xFF, {"Manufacturer specific", "", "1000000.000"}},
};

TEST(VifSweep, EveryVifWithoutExtensionBit)
{
    for (int vif = 0; vif < 0x80; ++vif) {
        const auto it = kPrimary.find(vif);
        const Expect e = it != kPrimary.end() ? it->second : Expect{"N/A", "", "1000000.000"};
        // a plain-text VIF carries its character count first
        const std::string record = "04 " + hex2(vif) + (vif == 0x7C ? " 00 " : " ") + kMillion;
        const RecordRow row = decodeOne(record);
        EXPECT_EQ(row.cells[ColUnit], e.unit) << record;
        EXPECT_EQ(row.cells[ColDescription], e.description) << record;
        EXPECT_EQ(row.cells[ColValue], e.value) << record;
        EXPECT_EQ(row.cells[ColVif], hex2(vif)) << record;
        EXPECT_EQ(row.cells[ColVife], "") << record;
    }
}

TEST(VifSweep, EveryVifWithExtensionBit)
{
    for (int vif = 0x80; vif < 0x100; ++vif) {
        Expect e;
        if (vif >= 0xF0) {
            const auto it = kFRange.find(vif);
            e = it != kFRange.end() ? it->second : Expect{"N/A", "", "1000000.000"};
        } else {
            // bit 7 only announces the VIFE
            const auto it = kPrimary.find(vif & 0x7F);
            e = it != kPrimary.end() ? it->second : Expect{"N/A", "", "1000000.000"};
        }
        const std::string record = "04 " + hex2(vif) + (vif == 0xFC ? " 00" : "") + " 00 " + kMillion;
        const RecordRow row = decodeOne(record);
        EXPECT_EQ(row.cells[ColUnit], e.unit) << record;
        EXPECT_EQ(row.cells[ColDescription], e.description) << record;
        EXPECT_EQ(row.cells[ColValue], e.value) << record;
        EXPECT_EQ(row.cells[ColVif], hex2(vif)) << record;
        EXPECT_EQ(row.cells[ColVife], "00 ") << record;
    }
}

TEST(VifSweep, EveryVifeAfterFd)
{
    const std::map<int, const char*> units = {
        {0x00, "Credit in currency units"}, {0x01, "Credit in currency units"},
        {0x02, "Credit in currency units"}, {0x03, "Credit in currency units"},
        {0x04, "Debit in currency units"}, {0x05, "Debit in currency units"},
        {0x06, "Debit in currency units"}, {0x07, "Debit in currency units"},
        {0x08, "Access Number"}, {0x09, "Medium"}, {0x0A, "Manufacturer"},
        {0x0B, "Enhanced identification"}, {0x0C, "Model/Version"},
        {0x0D, "Hardware version No."}, {0x0E, "Firmware version No."},
        {0x0F, "Software version No."}, {0x10, "Customer location"}, {0x11, "Customer"},
        {0x12, "Access code user"}, {0x13, "Access code operator"}, {0x16, "Password"},
        {0x17, "Error flags"}, {0x18, "Error mask"}, {0x19, "Reserved"},
        {0x1A, "Digitial Output (binary)"}, {0x1B, "Digitial Input (binary)"},
        {0x1C, "Baudrate"}, {0x1D, "Response Delay time"}, {0x1E, "Retry"},
        {0x1F, "Reserved"}, {0x3A, "Dimensionless"},
        {0x40, "Volts, 10^-9"}, {0x41, "Volts, 10^-8"}, {0x42, "Volts, 10^-7"},
        {0x43, "Volts, 10^-6"}, {0x44, "Volts, 10^-5"}, {0x45, "Volts, 10^-4"},
        {0x46, "Volts, 10^-3"}, {0x47, "Volts, 10^-2"}, {0x48, "Volts, 10^-1"},
        {0x49, "Volts, 10^0"}, {0x4A, "Volts, 10^1"}, {0x4B, "Volts, 10^2"},
        {0x4C, "Volts, 10^3"}, {0x4D, "Volts, 10^4"}, {0x4E, "Volts, 10^5"},
        {0x4F, "Volts, 10^6"}, {0x50, "Ampers, 10^-12"}, {0x51, "Ampers, 10^-11"},
        {0x52, "Ampers, 10^-10"}, {0x53, "Ampers, 10^-9"}, {0x54, "Ampers, 10^-8"},
        {0x55, "Ampers, 10^-7"},
    };
    for (int vife = 0; vife < 0x80; ++vife) {
        const auto it = units.find(vife);
        const std::string unit = it != units.end() ? it->second : "VIF not supported";
        const std::string record = "04 FD " + hex2(vife) + " " + kMillion;
        const RecordRow row = decodeOne(record);
        EXPECT_EQ(row.cells[ColUnit], unit) << record;
        EXPECT_EQ(row.cells[ColValue], "1000000.000") << record;
        EXPECT_EQ(row.cells[ColVife], hex2(vife) + " ") << record;
        // bit 7 of the VIFE (another VIFE follows) does not change the table entry
        const RecordRow chained = decodeOne("04 FD " + hex2(vife | 0x80) + " 3E " + kMillion);
        EXPECT_EQ(chained.cells[ColUnit], unit) << record;
        EXPECT_EQ(chained.cells[ColVife], hex2(vife | 0x80) + " 3E ") << record;
        EXPECT_EQ(chained.cells[ColValue], "1000000.000") << record;
    }
}

TEST(VifSweep, EveryVifeAfterFb)
{
    const Expect reserved{"Reserved", "", "1000000.000"};
    std::map<int, Expect> table = {
        {0x00, {"kWh", "", "100000000.000"}}, {0x01, {"kWh", "", "1000000000.000"}},
        {0x08, {"GJ", "", "100000.000"}}, {0x09, {"GJ", "", "1000000.000"}},
        {0x10, {"m3", "", "100000000.000"}}, {0x11, {"m3", "", "1000000000.000"}},
        {0x28, {"kW", "", "100000000.000"}}, {0x29, {"kW", "", "1000000000.000"}},
        {0x58, {"Flow Temperature, deg. F", "", "1000.000"}},
        {0x59, {"Flow Temperature, deg. F", "", "10000.000"}},
        {0x5A, {"Flow Temperature, deg. F", "", "100000.000"}},
        {0x5B, {"Flow Temperature, F", "", "1000000.000"}},
        {0x5C, {"Return Temperature, deg. F", "", "1000.000"}},
        {0x5D, {"Return Temperature, deg. F", "", "10000.000"}},
        {0x5E, {"Return Temperature, deg. F", "", "100000.000"}},
        {0x5F, {"Return Temperature, deg. F", "", "1000000.000"}},
        {0x60, {"Temp. difference, deg. F", "", "1000.000"}},
        {0x61, {"Temp. difference, deg. F", "", "10000.000"}},
        {0x62, {"Temp. difference, deg. F", "", "100000.000"}},
        {0x63, {"Temp. difference, deg. F", "", "1000000.000"}},
        {0x64, {"External temperature, F", "", "1000.000"}},
        {0x65, {"External temperature, F", "", "10000.000"}},
        {0x66, {"External temperature, F", "", "100000.000"}},
        {0x67, {"External temperature, F", "", "1000000.000"}},
    };
    for (int v : {0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F,
                  0x2A, 0x2B, 0x2C, 0x2D, 0x2E, 0x2F, 0x68, 0x69, 0x6A, 0x6B, 0x6C, 0x6D,
                  0x6E, 0x6F})
        table[v] = reserved;
    for (int vife = 0; vife < 0x80; ++vife) {
        const auto it = table.find(vife);
        const Expect e = it != table.end() ? it->second : Expect{"VIF not supported", "", "1000000.000"};
        const std::string record = "04 FB " + hex2(vife) + " " + kMillion;
        const RecordRow row = decodeOne(record);
        EXPECT_EQ(row.cells[ColUnit], e.unit) << record;
        EXPECT_EQ(row.cells[ColValue], e.value) << record;
        const RecordRow chained = decodeOne("04 FB " + hex2(vife | 0x80) + " 00 " + kMillion);
        EXPECT_EQ(chained.cells[ColUnit], e.unit) << record;
        EXPECT_EQ(chained.cells[ColValue], e.value) << record;
    }
}

} // namespace

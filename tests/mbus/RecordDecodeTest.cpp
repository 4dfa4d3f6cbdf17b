// Data records: columns, report lines, data lengths, value kinds, truncated data.
#include "ConversionError.h"
#include "HexFile.h"
#include "ReplyDecoder.h"
#include "TelegramBuilder.h"
#include "TelegramRecords.h"

#include <gtest/gtest.h>

namespace {

std::vector<RecordRow> rowsOf(const std::string& records, char separator = '.')
{
    const DecodedReply d = DecodeReply(telegram(TelegramHeader{}, hexBytes(records)), false, separator);
    EXPECT_TRUE(d.valid) << records;
    return d.records;
}

// The cells of a row as one comparable list (number, value, unit, description, DIF, VIF, VIFE).
std::vector<std::string> cellsOf(const RecordRow& row)
{
    return {row.cells.begin(), row.cells.end()};
}

const std::string kKnown = "04 13 39 30 00 00"; // 12.345 m3, TX1

TEST(RecordColumns, VolumeRecordAndItsReportLine)
{
    const auto rows = rowsOf(kKnown);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(cellsOf(rows[0]),
              (std::vector<std::string>{"1", "12.345", "m3", "TX1", "04 ", "13", ""}));
    EXPECT_EQ(rows[0].reportLine(),
              "DIF,DIFE=04 ; VIF, VIFE=13 ; Instantenous value , 12.345 m3, TX1");
}

TEST(RecordColumns, DifeIsDescribedAfterTheFunction)
{
    const auto rows = rowsOf("84 40 06 10 27 00 00");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(cellsOf(rows[0]),
              (std::vector<std::string>{"1", "10000.000", "kWh", "", "84 40 ", "06", ""}));
    EXPECT_EQ(rows[0].reportLine(),
              "DIF,DIFE=84 40 ; VIF, VIFE=06 ; Instantenous value, Extension Storage is: 0, "
              "Tariff is: 0 , 10000.000 kWh, ");
}

TEST(RecordColumns, FunctionTextOfEveryDifHighDigit)
{
    const char* texts[16] = {
        "Instantenous value ",
        "Maximum value ",
        "Minimum value ",
        "Value during Error state ",
        "Storage number, Instantenous value ",
        "Storage number, Maximum value ",
        "Storage number, Minimum value ",
        "Storage number, Value during Error state ",
        "Instantenous value, Extension Storage is: 0, Tariff is: 0 ",
        "Maximum value, Extension Storage is: 0, Tariff is: 0 ",
        "Minimum value, Extension Storage is: 0, Tariff is: 0 ",
        "Value during error state, Extension Storage is: 0, Tariff is: 0 ",
        "Storage number, Instantenous value, Extension Storage is: 0, Tariff is: 0 ",
        "Storage number, Maximum value, Extension Storage is: 0, Tariff is: 0 ",
        "Storage number, Minimum value, Extension Storage is: 0, Tariff is: 0 ",
        "Storage number, Value during Error state, Extension Storage is: 0, Tariff is: 0 ",
    };
    const char* digits = "0123456789ABCDEF";
    for (int high = 0; high < 16; ++high) {
        std::string record = std::string(1, digits[high]) + "1 " + (high >= 8 ? "00 " : "") + "13 07";
        const auto rows = rowsOf(record);
        ASSERT_EQ(rows.size(), 1u) << record;
        EXPECT_EQ(rows[0].cells[ColValue], "0.007") << record;
        const std::string expected = std::string("; ") + texts[high] + ", 0.007 m3, TX1";
        const std::string& line = rows[0].reportLine();
        ASSERT_GE(line.size(), expected.size()) << record;
        EXPECT_EQ(line.substr(line.size() - expected.size()), expected) << record;
    }
}

TEST(RecordColumns, OnlyTheFirstDifeIsDescribed)
{
    const struct {
        const char* record;
        const char* dif;
        const char* function;
    } cases[] = {
        {"84 C1 02 13 01 00 00 00", "84 C1 02 ", "Instantenous value, Extension Storage is: 1, Tariff is: 0 "},
        {"84 0A 13 01 00 00 00", "84 0A ", "Instantenous value, Extension Storage is: , Tariff is: 0 "},
        {"84 3F 13 01 00 00 00", "84 3F ", "Instantenous value, Extension Storage is: , Tariff is: 3 "},
        {"C4 19 13 01 00 00 00", "C4 19 ", "Storage number, Instantenous value, Extension Storage is: 9, Tariff is: 1 "},
    };
    for (const auto& c : cases) {
        const auto rows = rowsOf(c.record);
        ASSERT_EQ(rows.size(), 1u) << c.record;
        EXPECT_EQ(rows[0].cells[ColDif], c.dif) << c.record;
        EXPECT_NE(rows[0].reportLine().find(std::string("; ") + c.function + ", 0.001 m3"),
                  std::string::npos)
            << rows[0].reportLine();
    }
    EXPECT_EQ(DifeText(0x40), "Storage is: 0, Tariff is: 0 ");
    EXPECT_EQ(DifeText(0x2C), "Storage is: , Tariff is: 2 ");
}

TEST(RecordDates, TypeGAndTypeF)
{
    const struct {
        const char* record;
        const char* value;
        const char* description;
    } cases[] = {
        {"02 6C 41 3C", "1.12.26", "Date (dd.mm.yyyy)"},
        {"02 EC 7E 41 3C", "1.12.26", "Date (dd.mm.yyyy)"},
        {"04 6D 05 0A 41 3C", "10:05, 1.12.26", "Date and time (hh:mm, dd.mm.yyyy)"},
        {"04 ED 00 3B 17 FF FF", "23:59, 31.15.127", "Date and time (hh:mm, dd.mm.yyyy)"},
        {"04 6D 00 00 00 00", "0:00, 0.0.0", "Date and time (hh:mm, dd.mm.yyyy)"},
        {"42 6C 1F 0C", "31.12.0", "Date (dd.mm.yyyy)"},
        // a date is read from the data position whatever the data-field code
        {"01 6C E1 F1", "1.1.127", "Date (dd.mm.yyyy)"},
    };
    for (const auto& c : cases) {
        const auto rows = rowsOf(c.record);
        ASSERT_GE(rows.size(), 1u) << c.record;
        EXPECT_EQ(rows[0].cells[ColValue], c.value) << c.record;
        EXPECT_EQ(rows[0].cells[ColUnit], "Time point") << c.record;
        EXPECT_EQ(rows[0].cells[ColDescription], c.description) << c.record;
    }
}

TEST(RecordDates, ShortDataFieldStillReadsFourBytesThenTheWalkGoesOnByTheDif)
{
    // 02 6D takes two bytes of data but its date and time reads four.
    const auto rows = rowsOf("02 6D 05 0A 01 13 07");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].cells[ColValue], "10:05, 1.3.8");
    EXPECT_EQ(cellsOf(rows[1]), (std::vector<std::string>{"2", "0.007", "m3", "TX1", "01 ", "13", ""}));
}

TEST(RecordDates, ADateThatRunsPastTheDataEndsTheWalkInBothModes)
{
    // DIF 00 takes no data, but the date reads its own two or four bytes; with fewer left the
    // date row is the last one, and its bytes are never read as the next record.
    const char* const cases[] = {
        "00 6C 41",          // type G, one byte left
        "00 6D 05",          // type F, one, two and three bytes left
        "00 6D 05 0A",
        "00 6D 05 0A 41",
        "04 13 39 30 00 00 00 6D 05 0A 41",   // after a whole record
        "00 ED 05 0A 41",
    };
    for (const char* records : cases) {
        for (const bool reportMode : {false, true}) {
            SCOPED_TRACE(std::string(records) + (reportMode ? " (report)" : " (table)"));
            const DecodedReply d = DecodeReply(telegram(TelegramHeader{}, hexBytes(records)), reportMode, '.');
            ASSERT_TRUE(d.valid);
            ASSERT_FALSE(d.records.empty());
            const RecordRow& date = d.records.back();
            EXPECT_EQ(date.cells[ColValue], "Exception decoding DateTime");
            EXPECT_EQ(date.cells[ColUnit], "Time point");
            EXPECT_EQ(date.cells[ColDif], "00 ");
            EXPECT_EQ(d.records.size(), std::string(records).starts_with("04") ? 2u : 1u);
        }
    }
}

TEST(RecordValues, EveryDataFieldCodeHasItsLength)
{
    const struct {
        const char* record;
        const char* value;
    } cases[] = {
        {"00 13", "No data "},
        {"01 13 7B", "0.123"},
        {"02 13 39 30", "12.345"},
        {"03 13 39 30 01", "77.881"},
        {"04 13 39 30 00 00", "12.345"},
        {"05 13 00 00 80 3F", "0.00100"},
        {"06 13 39 30 00 00 00 00", "12.345"},
        {"07 13 01 02 03 04 05 06 07 08", "64-bit integer not supported, but hex is: 0x0807060504030201"},
        {"08 13", "Unrecognizable DIF, not decoded "},
        {"09 13 45", "0.045"},
        {"0A 13 45 23", "2.345"},
        {"0B 13 45 23 01", "12.345"},
        {"0C 13 45 23 01 00", "12.345"},
        {"0D 13 02 41 42", "AB"},
        {"0E 13 45 23 01 00 00 00", "12.345"},
    };
    for (const auto& c : cases) {
        const auto rows = rowsOf(std::string(c.record) + " " + kKnown);
        ASSERT_EQ(rows.size(), 2u) << c.record;
        EXPECT_EQ(rows[0].cells[ColValue], c.value) << c.record;
        EXPECT_EQ(cellsOf(rows[1]), (std::vector<std::string>{"2", "12.345", "m3", "TX1", "04 ", "13", ""}))
            << c.record;
    }
}

TEST(RecordValues, SignednessOfBinaryCodes)
{
    const struct {
        const char* record;
        const char* value;
    } cases[] = {
        {"01 13 FF", "0.255"},
        {"02 13 FF FF", "65.535"},
        {"03 13 FF FF FF", "16777.215"},
        {"04 13 FF FF FF FF", "-0.001"},
        {"04 13 00 00 00 80", "-2147483.648"},
        {"06 13 FF FF FF FF FF FF", "-0.001"},
        {"06 13 00 00 00 00 00 80", "-140737488355.300"},
        {"06 13 FF FF FF FF FF 7F", "140737488355.300"},
        {"04 06 FF FF FF 7F", "2147483647.000"},
    };
    for (const auto& c : cases) {
        const auto rows = rowsOf(c.record);
        ASSERT_EQ(rows.size(), 1u) << c.record;
        EXPECT_EQ(rows[0].cells[ColValue], c.value) << c.record;
    }
}

TEST(RecordValues, FabricationNumber)
{
    const struct {
        const char* record;
        const char* value;
    } cases[] = {
        {"0C 78 78 56 34 12", "12345678"},
        {"0C 78 7A 56 34 12", "1234567A"}, // digits as text, not converted
        {"0B 78 AB 12 00", "0012AB"},
        {"0E 78 12 90 78 56 34 12", "123456789012"},
        {"03 78 56 34 12", "00123456"},
        {"04 78 4E 61 BC 00", "12345678"},
        {"04 78 15 CD 5B 07", "1.2345679E+8"},
        {"06 78 15 CD 5B 07 00 00", "1.2345679E+8"},
        {"04 78 FF FF FF FF", "-1"},
        {"09 78 12", "12.000"},
        {"0A 78 34 12", "1234.000"},
        // F8 is not the fabrication number
        {"0C F8 00 78 56 34 12", "12345678.000"},
    };
    for (const auto& c : cases) {
        const auto rows = rowsOf(c.record);
        ASSERT_EQ(rows.size(), 1u) << c.record;
        EXPECT_EQ(rows[0].cells[ColValue], c.value) << c.record;
    }
}

TEST(RecordValues, BcdThroughSignedThirtyTwoBits)
{
    const struct {
        const char* record;
        const char* value;
    } cases[] = {
        {"0A 13 12 0F", "Exception "},
        {"0C 13 12 34 56 F0", "Exception "}, // negative BCD
        {"09 13 A0", "Exception "},
        {"0E 13 47 36 48 47 21 00", "2147483.647"},
        {"0E 13 48 36 48 47 21 00", "Exception "},
        {"0E 13 00 00 00 50 21 00", "Exception "},
        {"0C 13 99 99 99 99", "99999.999"},
    };
    for (const auto& c : cases) {
        const auto rows = rowsOf(std::string(c.record) + " " + kKnown);
        ASSERT_EQ(rows.size(), 2u) << c.record;
        EXPECT_EQ(rows[0].cells[ColValue], c.value) << c.record;
        EXPECT_EQ(rows[1].cells[ColValue], "12.345") << c.record;
    }
}

TEST(RecordValues, RealInSinglePrecision)
{
    const struct {
        const char* record;
        const char* value;
    } cases[] = {
        {"05 16 00 00 80 3F", "1.00000"},
        {"05 16 00 00 80 BF", "-1.00000"},
        {"05 16 B7 E6 40 46", "12345.67870"},
        {"05 16 00 00 00 00", "0.00000"}, // exponent 0 is 2^-127, not zero, but rounds to it
        {"05 16 00 00 00 80", "-0.00000"},
        {"05 16 00 00 80 7F", "NaN or Infinite"},
        {"05 16 FF FF FF FF", "NaN or Infinite"},
        {"05 16 FF FF 7F 7F", "3.40282347E+38"},
        {"05 13 00 00 20 41", "0.01000"},
        {"05 FB 01 00 00 80 3F", "1000.00000"},
    };
    for (const auto& c : cases) {
        const auto rows = rowsOf(c.record);
        ASSERT_EQ(rows.size(), 1u) << c.record;
        EXPECT_EQ(rows[0].cells[ColValue], c.value) << c.record;
    }
    EXPECT_EQ(HexToBinStr("3F80000A"), "00111111100000000000000000001010");
    EXPECT_THROW(HexToBinStr("3G"), ConversionError);
    EXPECT_EQ(BinStrToFloatText(HexToBinStr("3F800000"), 1.0, ','), "1,00000");
    EXPECT_EQ(BinStrToFloatText("0011111110000000000000000000000", 1.0, '.'), "Exception on float conversion");
    EXPECT_EQ(BinStrToFloatText("0011111110000000000000000000002X", 1.0, '.'), "Exception on float conversion");
}

TEST(RecordValues, VariableLengthKinds)
{
    const struct {
        const char* record;
        const char* value;
    } cases[] = {
        {"0D FD 11 03 41 42 43", "ABC"},
        {"0D 13 00", ""},
        {"0D 13 C2 12 34", "1234"},
        {"0D 13 C0", ""},
        {"0D 13 D2 12 34", "-1234"},
        {"0D 13 E2 12 34", "0x1234"},
        {"0D 13 F2 12 34", "Floating point, to be defined in the future, but hex is: 0x1234"},
        {"0D 13 FA 01 02 03 04 05 06 07 08 09 0A", "Floating point, to be defined in the future, but hex is: 0x0102030405060708090A"},
        {"0D 13 FB", "Reserved for future use? "},
        {"0D 13 FF", "Reserved for future use? "},
    };
    for (const auto& c : cases) {
        const auto rows = rowsOf(std::string(c.record) + " " + kKnown);
        ASSERT_EQ(rows.size(), 2u) << c.record;
        EXPECT_EQ(rows[0].cells[ColValue], c.value) << c.record;
        EXPECT_EQ(rows[1].cells[ColValue], "12.345") << c.record;
    }
    const auto customer = rowsOf("0D FD 11 03 41 42 43");
    ASSERT_EQ(customer.size(), 1u);
    EXPECT_EQ(customer[0].cells[ColUnit], "Customer");

    // A long text (191 characters) and its data length.
    std::string text(191, 'x');
    std::string record = "0D FD 11 BF";
    for (char ch : text)
        record += " " + spacedHex(std::string(1, ch)).substr(0, 2);
    const auto rows = rowsOf(record + " " + kKnown);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].cells[ColValue], text);
}

TEST(RecordValues, ExtensionTablesAndMultipliers)
{
    const struct {
        const char* record;
        const char* unit;
        const char* value;
    } cases[] = {
        {"01 FB 01 0A", "kWh", "10000.000"},
        {"04 FD 48 10 00 00 00", "Volts, 10^-1", "16.000"},
        {"04 93 00 39 30 00 00", "m3", "12.345"},
        {"04 F8 00 39 30 00 00", "N/A", "12345.000"},
        {"02 FD 17 00 00", "Error flags", "0.000"},
        {"02 FF 21 07 00", "Manufacturer specific", "7.000"},
        {"04 FE 00 39 30 00 00", "Readout - not supported for now", "12345.000"},
    };
    for (const auto& c : cases) {
        const auto rows = rowsOf(c.record);
        ASSERT_EQ(rows.size(), 1u) << c.record;
        EXPECT_EQ(rows[0].cells[ColUnit], c.unit) << c.record;
        EXPECT_EQ(rows[0].cells[ColValue], c.value) << c.record;
    }
    const auto rows = rowsOf("04 93 00 39 30 00 00");
    EXPECT_EQ(rows[0].cells[ColDescription], "TX1");
    EXPECT_EQ(rows[0].cells[ColVife], "00 ");
}

TEST(RecordValues, DecimalSeparatorIsTheCallers)
{
    const auto rows = rowsOf("04 13 39 30 00 00 05 16 00 00 80 3F 0C 78 78 56 34 12 02 6C 41 3C", ',');
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].cells[ColValue], "12,345");
    EXPECT_EQ(rows[1].cells[ColValue], "1,00000");
    EXPECT_EQ(rows[2].cells[ColValue], "12345678");
    EXPECT_EQ(rows[3].cells[ColValue], "1.12.26");
}

TEST(PlainTextVif, CountAndTextAreSkippedBeforeVifesAndData)
{
    // FC: count, text, then the VIFEs, then the data.
    auto rows = rowsOf("02 FC 03 48 52 25 74 22 15 " + kKnown);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(cellsOf(rows[0]), (std::vector<std::string>{"1", "5410.000", "VIF is user ASCII string: HR%",
                                                          "", "02 ", "FC", "74 "}));
    EXPECT_EQ(rows[1].cells[ColValue], "12.345");

    rows = rowsOf("02 FC 01 41 80 74 22 15 " + kKnown);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].cells[ColUnit], "VIF is user ASCII string: A");
    EXPECT_EQ(rows[0].cells[ColVife], "80 74 ");
    EXPECT_EQ(rows[0].cells[ColValue], "5410.000");

    // 7C: count and text, no VIFE.
    rows = rowsOf("02 7C 02 41 42 10 00 " + kKnown);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(cellsOf(rows[0]), (std::vector<std::string>{"1", "16.000", "VIF is user ASCII string: AB",
                                                          "", "02 ", "7C", ""}));
    EXPECT_EQ(rows[1].cells[ColValue], "12.345");

    // A count of 0 leaves the unit unknown.
    rows = rowsOf("02 7C 00 10 00 " + kKnown);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].cells[ColUnit], "Unknown");
    EXPECT_EQ(rows[0].cells[ColValue], "16.000");
}

TEST(PlainTextVif, RecordedTelegramDecodesPastTheText)
{
    const DecodedReply d = DecodeReply(readHexFile(telegramDir() / "meters" / "ELV-Elvaco-CMa10.hex"), false, '.');
    ASSERT_TRUE(d.valid);
    bool found = false;
    for (std::size_t i = 0; i < d.records.size(); ++i) {
        const auto& c = d.records[i].cells;
        if (c[ColVif] != "FC" || c[ColDif] != "02 ")
            continue;
        found = true;
        EXPECT_EQ(c[ColUnit], "VIF is user ASCII string: HR%");
        EXPECT_EQ(c[ColVife], "74 ");
        EXPECT_EQ(c[ColValue], "5410.000");
        ASSERT_LT(i + 1, d.records.size());
        EXPECT_EQ(d.records[i + 1].cells[ColDif], "22 ");
        EXPECT_EQ(d.records[i + 1].cells[ColVif], "FC");
        break;
    }
    EXPECT_TRUE(found);
}

TEST(ManufacturerData, EndsTheWalk)
{
    auto rows = rowsOf(kKnown + " 0F 01 02 03 " + kKnown);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(cellsOf(rows[1]), (std::vector<std::string>{"2", "01 02 03 04 13 39 30 00 00 ", "",
                                                          "Manf. secific", "", "", ""}));
    EXPECT_EQ(rows[1].reportLine(), "DIF:0F, Manufacturer specific: 01 02 03 04 13 39 30 00 00 ");

    rows = rowsOf("2F 2F 2F");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].cells[ColValue], "2F 2F ");
    rows = rowsOf("1F");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].cells[ColValue], "");
    EXPECT_EQ(rows[0].reportLine(), "DIF:1F, Manufacturer specific: ");
}

TEST(TruncatedRecords, NeverReadPastTheLastDataByte)
{
    const struct {
        const char* name;
        const char* records;
        std::size_t rows;
        const char* lastValue; // of the last row, when there is one
    } cases[] = {
        {"data runs out", "04 13 39 30", 1, "Exception "},
        {"data runs out after a record", "04 13 39 30 00 00 04 13 39", 2, "Exception "},
        {"lvar runs out", "0D FD 11 05 41 42", 1, "Exception "},
        {"lvar length byte missing", "0D FD 11", 1, "Exception "},
        {"date runs out", "04 6D 05 0A", 1, "Exception decoding DateTime"},
        {"date reads past the end", "02 6D 05 0A", 1, "Exception decoding DateTime"},
        {"type G date runs out", "02 6C 41", 1, "Exception decoding DateTime"},
        {"text fits, data does not", "04 7C 02 41 42", 1, "Exception "},
        {"dife chain runs out", "04 13 39 30 00 00 84 80", 1, "12.345"},
        {"vif missing", "04 13 39 30 00 00 84 40", 1, "12.345"},
        {"vife chain runs out", "04 13 39 30 00 00 04 93 80", 1, "12.345"},
        {"text count runs out", "04 13 39 30 00 00 04 7C", 1, "12.345"},
        {"text runs out", "04 13 39 30 00 00 04 7C 05 41 42", 1, "12.345"},
        {"vifes after text run out", "04 13 39 30 00 00 04 FC 01 41 80", 1, "12.345"},
        {"vifes after text missing", "04 13 39 30 00 00 04 FC 01 41", 1, "12.345"},
        {"no data needed", "04 13 39 30 00 00 00 13", 2, "No data "},
        {"empty block", "", 0, ""},
    };
    for (const auto& c : cases) {
        const auto rows = rowsOf(c.records);
        ASSERT_EQ(rows.size(), c.rows) << c.name;
        if (c.rows > 0) {
            EXPECT_EQ(rows.back().cells[ColValue], c.lastValue) << c.name;
        }
    }
}

TEST(TruncatedRecords, PiecesRefuseDataThatIsNotThere)
{
    const std::string data = hexBytes("05 0A 41");
    EXPECT_EQ(DecodeDateTime(data, 0x6D, 0), "Exception decoding DateTime");
    EXPECT_EQ(DecodeDateTime(data, 0x6C, 1), "10.1.32");
    EXPECT_EQ(DecodeDateTime(data, 0x6C, 2), "Exception decoding DateTime");
    EXPECT_EQ(DecodeDateTime(data, 0x6C, 5), "Exception decoding DateTime");
    EXPECT_EQ(DecodeDateTime(hexBytes("41 3C"), 0x13, 0), "Exception decoding DateTime");

    const std::string record = hexBytes("04 13 39 30 00");
    const RecordValue v = DecodeRecordValue(record, 0, 2, 0x13, 0.001, '.');
    EXPECT_TRUE(v.truncated);
    EXPECT_EQ(v.value, "Exception ");
    const RecordValue whole = DecodeRecordValue(hexBytes("04 13 39 30 00 00"), 0, 2, 0x13, 0.001, '.');
    EXPECT_FALSE(whole.truncated);
    EXPECT_EQ(whole.value, "12.345");
    EXPECT_EQ(whole.dataLength, 4u);
    EXPECT_EQ(whole.functionText, "Instantenous value ");
    EXPECT_TRUE(DecodeRecordValue(record, 5, 6, 0x13, 1.0, '.').truncated);
}

} // namespace

// A simulated meter must answer with a telegram that a real meter could send, carrying its
// current model, and must take exactly the configuration that a master wrote.
#include "SimMeter.h"

#include "HexFile.h"
#include "SimHex.h"
#include "TelegramBuilder.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

unsigned at(const std::string& b, std::size_t i)
{
    return static_cast<unsigned char>(b[i]);
}

TEST(SimMeter, BuiltTelegramCarriesTheModel)
{
    const SimMeter m(5, "12345678", "ABC", 0x01, 0x07, hexBytes("0C 13 45 23 01 00"));
    // Worked out by hand: ABC = 1*1024 + 2*32 + 3 = 0x0443, sent low byte first.
    EXPECT_EQ(simHex(m.telegram()),
              "68 15 15 68 08 05 72 78 56 34 12 43 04 01 07 01 00 00 00 0C 13 45 23 01 00 6B 16");
    EXPECT_EQ(m.idText(), "12345678");
    EXPECT_EQ(m.manufacturer(), "ABC");
    EXPECT_TRUE(simPassesReplyChecks(m.telegram()));
}

TEST(SimMeter, TelegramFollowsModelChanges)
{
    SimMeter m(5, "12345678", "ABC", 0x01, 0x07);
    m.setAddress(9);
    m.setId("0000002A");
    m.setManufacturer("EMH");
    m.setVersion(0x33);
    m.setMedium(0x04);
    const std::string t = m.telegram();
    EXPECT_EQ(at(t, 5), 9u);
    EXPECT_EQ(simHex(t.substr(7, 8)), "2A 00 00 00 A8 15 33 04");
    EXPECT_TRUE(simPassesReplyChecks(t));
}

TEST(SimMeter, RejectsBadFields)
{
    EXPECT_THROW(SimMeter(1, "1234567", "ABC", 1, 7), std::invalid_argument);
    EXPECT_THROW(SimMeter(1, "1234567G", "ABC", 1, 7), std::invalid_argument);
    EXPECT_THROW(SimMeter(1, "12345678", "abc", 1, 7), std::invalid_argument);
    EXPECT_THROW(SimMeter(1, "12345678", "ABCD", 1, 7), std::invalid_argument);
    EXPECT_THROW(SimMeter(1, "12345678", "ABC", 1, 7, std::string(241, '\0')), std::invalid_argument);
    EXPECT_NO_THROW(SimMeter(1, "12345678", "ABC", 1, 7, std::string(240, '\0')));
    EXPECT_EQ(SimMeter(1, "12345678", "ABC", 1, 7, std::string(240, '\0')).telegram().size(), 261u);
    EXPECT_THROW(SimMeter::fromTelegram(1, ""), std::invalid_argument);
    EXPECT_THROW(SimMeter::fromTelegram(1, hexBytes("10 7B 01 7C 16")), std::invalid_argument);
    EXPECT_THROW(SimMeter::fromTelegram(1, hexBytes("68 03 03 68 08 01 72 7B 17")), std::invalid_argument);
}

TEST(SimMeter, RecordedTelegramsKeepTheirRecordsUnderTheModelsHeader)
{
    for (const auto& file : telegramFiles("meters")) {
        const std::string stem = file.stem().string();
        const std::string original = readHexFile(file);
        SimMeter m = SimMeter::fromTelegram(200, original);
        const bool variable = at(original, 6) == 0x72;
        if (variable) {
            // The model starts as the recorded header says.
            char id[16];
            std::snprintf(id, sizeof id, "%02X%02X%02X%02X", at(original, 10), at(original, 9),
                          at(original, 8), at(original, 7));
            EXPECT_EQ(m.idText(), id) << stem;
            EXPECT_EQ(m.manufacturerCode(), at(original, 11) | at(original, 12) << 8) << stem;
            EXPECT_EQ(m.version(), at(original, 13)) << stem;
            EXPECT_EQ(m.medium(), at(original, 14)) << stem;
            const std::string t = m.telegram();
            EXPECT_EQ(t.substr(6, t.size() - 8), original.substr(6, original.size() - 8))
                << stem << ": only the address (and so the sum) changed";
        }
        m.setId("87654321");
        m.setManufacturer("XYZ");
        m.setVersion(0x5A);
        m.setMedium(0x16);
        const std::string t = m.telegram();
        ASSERT_EQ(t.size(), original.size()) << stem;
        EXPECT_TRUE(simPassesReplyChecks(t)) << stem;
        EXPECT_EQ(at(t, 5), 200u) << stem;
        EXPECT_EQ(at(t, 6), at(original, 6)) << stem;
        if (variable) {
            EXPECT_EQ(simHex(t.substr(7, 8)), "21 43 65 87 3A 63 5A 16") << stem;
            EXPECT_EQ(t.substr(15, 4), original.substr(15, 4)) << stem << ": access, status, signature";
            EXPECT_EQ(t.substr(19, t.size() - 21), original.substr(19, original.size() - 21)) << stem;
        } else {
            EXPECT_EQ(t.substr(6, t.size() - 8), original.substr(6, original.size() - 8)) << stem;
        }
    }
}

TEST(SimMeter, DamagedRecordingsAreRefusedOrRepaired)
{
    // Whatever the broken recordings hold, a meter made of one sends a frame that passes
    // the checks, or it is refused when made.
    for (const auto& file : telegramFiles("broken")) {
        const std::string bytes = readHexFile(file);
        try {
            const SimMeter m = SimMeter::fromTelegram(3, bytes);
            const std::string t = m.telegram();
            EXPECT_TRUE(simPassesReplyChecks(t)) << file.filename();
            EXPECT_EQ(t.size(), bytes.size()) << file.filename();
        } catch (const std::invalid_argument&) {
        }
    }
}

TEST(SimMeter, ReplyChecksAreAMastersChecks)
{
    const std::string good = telegram(TelegramHeader {}, hexBytes("04 13 39 30 00 00"));
    EXPECT_TRUE(simPassesReplyChecks(good));
    std::string wrongSum = good;
    wrongSum[wrongSum.size() - 2] ^= 1;
    EXPECT_FALSE(simPassesReplyChecks(wrongSum));
    std::string wrongStop = good;
    wrongStop.back() = 0x17;
    EXPECT_FALSE(simPassesReplyChecks(wrongStop));
    std::string wrongLength = good;
    wrongLength[1] = static_cast<char>(at(good, 1) + 1);
    EXPECT_FALSE(simPassesReplyChecks(wrongLength));
    std::string startBytes = good; // a master does not look at them
    startBytes[0] = 0x60;
    startBytes[3] = 0x00;
    EXPECT_TRUE(simPassesReplyChecks(startBytes));
    EXPECT_FALSE(simPassesReplyChecks(hexBytes("E5")));
    EXPECT_FALSE(simPassesReplyChecks(hexBytes("68 01 01 68 00 00 16")));
}

struct SelectionCase {
    const char* selection;
    bool matches;
};

void PrintTo(const SelectionCase& c, std::ostream* os)
{
    *os << c.selection;
}

class Selection : public ::testing::TestWithParam<SelectionCase> {};

TEST_P(Selection, WildcardsMatchAnything)
{
    // ID 12345678, manufacturer ABC (43 04), version 01, medium 07.
    const SimMeter m(5, "12345678", "ABC", 0x01, 0x07);
    EXPECT_EQ(m.matchesSelection(hexBytes(GetParam().selection)), GetParam().matches)
        << GetParam().selection;
}

INSTANTIATE_TEST_SUITE_P(Cases, Selection, ::testing::Values(
    SelectionCase {"78 56 34 12 43 04 01 07", true},
    SelectionCase {"78 56 34 12 FF FF FF FF", true},
    SelectionCase {"FF FF FF FF FF FF FF FF", true},
    SelectionCase {"F8 FF FF FF FF FF FF FF", true},   // lowest digit 8
    SelectionCase {"F7 FF FF FF FF FF FF FF", false},
    SelectionCase {"7F FF FF FF FF FF FF FF", true},   // second digit 7
    SelectionCase {"8F FF FF FF FF FF FF FF", false},
    SelectionCase {"FF FF FF 1F FF FF FF FF", true},   // highest digit 1
    SelectionCase {"FF FF FF 2F FF FF FF FF", false},
    SelectionCase {"FF FF FF F1 FF FF FF FF", false},  // second-highest digit 2, not 1
    SelectionCase {"78 56 34 12 43 05 FF FF", false},
    SelectionCase {"78 56 34 12 43 FF FF FF", true},   // each manufacturer byte on its own
    SelectionCase {"78 56 34 12 FF 04 FF FF", true},
    SelectionCase {"78 56 34 12 FF FF 02 FF", false},
    SelectionCase {"78 56 34 12 FF FF FF 06", false},
    SelectionCase {"78 56 34 12 FF FF FF", false}));   // too short

// The records of a telegram, after its 12-byte header, without the sum and stop byte.
std::string recordsOf(const SimMeter& m)
{
    const std::string t = m.telegram();
    return t.substr(19, t.size() - 21);
}

TEST(SimMeter, ACounterWriteSetsTheFirstCounterInItsOwnCoding)
{
    struct Case {
        const char* label;
        const char* records;   // the meter's
        const char* write;
        const char* after;     // the meter's records then
    } cases[] = {
        {"BCD over BCD", "0C 13 11 00 00 00 0C 06 27 04 00 00", "0C 13 23 01 00 00",
         "0C 13 23 01 00 00 0C 06 27 04 00 00"},
        {"binary over BCD", "0C 13 11 00 00 00", "04 13 7B 00 00 00", "0C 13 23 01 00 00"},
        {"BCD over binary", "04 13 00 00 00 00", "0C 13 21 43 00 00", "04 13 E1 10 00 00"},
        {"the first of two", "0C 13 11 00 00 00 4C 13 22 00 00 00", "0C 13 99 00 00 00",
         "0C 13 99 00 00 00 4C 13 22 00 00 00"},
        {"behind a record with DIFE", "84 10 06 01 00 00 00 0B 13 56 34 12", "0C 13 78 56 34 12",
         "84 10 06 01 00 00 00 0B 13 78 56 34"},
        {"no counter", "0C 06 27 04 00 00", "0C 13 23 01 00 00", "0C 06 27 04 00 00"},
        {"not BCD", "0C 13 11 00 00 00", "0C 13 2A 00 00 00", "0C 13 11 00 00 00"},
        {"a real is not set", "05 13 00 00 80 3F", "0C 13 23 01 00 00", "05 13 00 00 80 3F"},
        {"other VIFs stay", "0C 13 11 00 00 00", "0C 14 23 01 00 00", "0C 13 11 00 00 00"},
    };
    for (const Case& c : cases) {
        SimMeter m(5, "12345678", "ABC", 1, 0x07, hexBytes(c.records));
        const auto notes = m.applyRecords(hexBytes(c.write));
        ASSERT_EQ(notes.size(), 1u) << c.label;
        EXPECT_EQ(spacedHex(recordsOf(m)), std::string(c.after) + " ") << c.label << ": " << notes[0];
        EXPECT_TRUE(simPassesReplyChecks(m.telegram())) << c.label;
    }
}

TEST(SimMeter, ACounterWriteReachesARecordedTelegram)
{
    const std::string frame = longFrame(0x08, 1, 0x72,
                                        hexBytes("78 56 34 12 24 40 01 07 01 00 00 00 0C 13 11 00 00 00"));
    SimMeter m = SimMeter::fromTelegram(3, frame);
    m.applyRecords(hexBytes("0C 13 23 01 00 00"));
    EXPECT_EQ(spacedHex(recordsOf(m)), "0C 13 23 01 00 00 ");
    EXPECT_TRUE(simPassesReplyChecks(m.telegram()));
}

struct RecordsCase {
    const char* label;
    const char* records;
    unsigned address;
    const char* id;
    const char* manufacturer;
    unsigned version;
    unsigned medium;
    std::size_t notes;
};

void PrintTo(const RecordsCase& c, std::ostream* os)
{
    *os << c.label;
}

class ConfigurationRecords : public ::testing::TestWithParam<RecordsCase> {};

TEST_P(ConfigurationRecords, ChangeExactlyWhatTheyWrite)
{
    const RecordsCase& c = GetParam();
    SimMeter m(5, "12345678", "ABC", 0x01, 0x07);
    const auto notes = m.applyRecords(hexBytes(c.records));
    EXPECT_EQ(m.address(), c.address) << c.label;
    EXPECT_EQ(m.idText(), c.id) << c.label;
    EXPECT_EQ(m.manufacturer(), c.manufacturer) << c.label;
    EXPECT_EQ(m.version(), c.version) << c.label;
    EXPECT_EQ(m.medium(), c.medium) << c.label;
    EXPECT_EQ(notes.size(), c.notes) << c.label << ": " << ::testing::PrintToString(notes);
}

INSTANTIATE_TEST_SUITE_P(Cases, ConfigurationRecords, ::testing::Values(
    RecordsCase {"new primary address", "01 7A 07", 7, "12345678", "ABC", 1, 7, 1},
    RecordsCase {"address 250 is the last", "01 7A FA", 250, "12345678", "ABC", 1, 7, 1},
    RecordsCase {"address 251 is refused", "01 7A FB", 5, "12345678", "ABC", 1, 7, 1},
    RecordsCase {"new ID", "0C 79 21 43 65 87", 5, "87654321", "ABC", 1, 7, 1},
    RecordsCase {"whole secondary address", "07 79 04 03 02 01 24 40 01 04", 5, "01020304", "PAD", 1, 4, 1},
    RecordsCase {"medium only", "07 79 FF FF FF FF FF FF FF 06", 5, "12345678", "ABC", 1, 6, 1},
    RecordsCase {"one ID digit", "07 79 F1 FF FF FF FF FF 02 FF", 5, "12345671", "ABC", 2, 7, 1},
    RecordsCase {"ID and a counter value", "0C 79 11 11 11 11 0C 06 07 01 00 00", 5, "11111111", "ABC", 1, 7, 2},
    RecordsCase {"counter value alone", "0C 13 07 01 00 00", 5, "12345678", "ABC", 1, 7, 1},
    RecordsCase {"fillers skipped", "2F 2F 01 7A 09", 9, "12345678", "ABC", 1, 7, 1},
    RecordsCase {"a record with DIFE and VIFE is skipped whole", "84 10 93 3B 00 00 00 00 01 7A 03",
                 3, "12345678", "ABC", 1, 7, 2},
    RecordsCase {"variable length skipped whole", "0D 78 03 01 7A 09 01 7A 04", 4, "12345678", "ABC", 1, 7, 2},
    RecordsCase {"cut-off address record", "01 7A", 5, "12345678", "ABC", 1, 7, 1},
    RecordsCase {"cut-off ID record", "0C 79 21 43", 5, "12345678", "ABC", 1, 7, 1},
    RecordsCase {"DIFE chain without end", "81 81", 5, "12345678", "ABC", 1, 7, 1},
    RecordsCase {"manufacturer data is left alone", "0F 01 7A 09", 5, "12345678", "ABC", 1, 7, 1},
    RecordsCase {"nothing", "", 5, "12345678", "ABC", 1, 7, 0}));

} // namespace

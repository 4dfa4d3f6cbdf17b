// Frames the bus master sends, byte for byte, and what reaches the send path.
#include "ConversionError.h"
#include "FrameCodes.h"
#include "HexFile.h"
#include "MasterFrames.h"
#include "TelegramBuilder.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

struct FakeSettings : FrameSettings {
    bool fcbClear = false;
    bool binaryValue = false;
    mutable int reads = 0;
    bool Check_5B() const override { ++reads; return fcbClear; }
    bool Check_value_wendix() const override { ++reads; return binaryValue; }
};

struct Sent {
    std::string frame;
    FrameBuilder builder;
    std::string target;
    std::string operation;
};

struct CapturingPath : SendPath {
    std::vector<Sent> sent;
    void send(const std::string& frame, FrameBuilder builder, const std::string& target,
              const std::string& operation) override
    {
        sent.push_back({frame, builder, target, operation});
    }
};

struct Fixture : ::testing::Test {
    FakeSettings settings;
    CapturingPath path;
    MasterFrames frames{path, settings};
};

struct FrameCase {
    const char* name;
    std::function<void(MasterFrames&, FakeSettings&)> build;
    const char* frame;
    FrameBuilder builder;
    const char* target;
    const char* operation;
};

class BuilderFrames : public Fixture, public ::testing::WithParamInterface<FrameCase> {};

TEST_P(BuilderFrames, SendsExactFrameWithTargetAndOperation)
{
    const FrameCase& c = GetParam();
    c.build(frames, settings);
    ASSERT_EQ(path.sent.size(), 1u);
    EXPECT_EQ(spacedHex(path.sent[0].frame), spacedHex(hexBytes(c.frame)));
    EXPECT_EQ(path.sent[0].builder, c.builder);
    EXPECT_EQ(path.sent[0].target, c.target);
    EXPECT_EQ(path.sent[0].operation, c.operation);
}

const FrameCase kFrameCases[] = {
    {"ReqUd2", [](MasterFrames& f, FakeSettings&) { f.SendReqUd2(1); }, "10 7B 01 7C 16",
     FrameBuilder::ReqUd2, "1", "reading device "},
    {"ReqUd2With5B",
     [](MasterFrames& f, FakeSettings& s) { s.fcbClear = true; f.SendReqUd2(1); },
     "10 5B 01 5C 16", FrameBuilder::ReqUd2, "1", "reading device "},
    {"ReqUd2LowEightBits", [](MasterFrames& f, FakeSettings&) { f.SendReqUd2(0x1FD); },
     "10 7B FD 78 16", FrameBuilder::ReqUd2, "509", "reading device "},
    {"SndNkeSumWraps", [](MasterFrames& f, FakeSettings&) { f.SendSndNke(255); },
     "10 40 FF 3F 16", FrameBuilder::SndNke, "255", "SND_NKE device "},
    {"ApplicationReset", [](MasterFrames& f, FakeSettings&) { f.SendApplicationReset(5); },
     "68 03 03 68 73 05 50 C8 16", FrameBuilder::ApplicationReset, "5", "reset device "},
    {"SetBaud2400", [](MasterFrames& f, FakeSettings&) { f.SendSetBaud(3, 0xBB); },
     "68 03 03 68 53 03 BB 11 16", FrameBuilder::SetBaud, "3", "Change baud of device "},
    {"SetPrimary", [](MasterFrames& f, FakeSettings&) { f.SendSetPrimary(0, 7); },
     "68 06 06 68 73 00 51 01 7A 07 46 16", FrameBuilder::SetPrimary, "0",
     "setting primary address, old is "},
    {"SetId", [](MasterFrames& f, FakeSettings&) { f.SendSetId(254, "12345678"); },
     "68 09 09 68 73 FE 51 0C 79 78 56 34 12 5B 16", FrameBuilder::SetId, "254", "changing ID "},
    {"SetLitersBcd", [](MasterFrames& f, FakeSettings&) { f.SendSetLiters(2, "00001234"); },
     "68 09 09 68 53 02 51 0C 13 34 12 00 00 0B 16", FrameBuilder::SetLiters, "2",
     "setting liters "},
    {"SetLitersBinary",
     [](MasterFrames& f, FakeSettings& s) { s.binaryValue = true; f.SendSetLiters(2, "00001234"); },
     "68 09 09 68 53 02 51 04 13 D2 04 00 00 93 16", FrameBuilder::SetLiters, "2",
     "setting liters "},
    {"SetValueVif",
     [](MasterFrames& f, FakeSettings&) { f.SendSetValueVif(254, "87654321", 0x05); },
     "68 09 09 68 53 FE 51 0C 05 21 43 65 87 03 16", FrameBuilder::SetValueVif, "254",
     "setting liters "},
    {"SelectById", [](MasterFrames& f, FakeSettings&) { f.SendSelectById("12345678"); },
     "68 0B 0B 68 53 FD 52 78 56 34 12 FF FF FF FF B2 16", FrameBuilder::SelectById, "12345678",
     "reading by secondary "},
    {"SetMediumWildcard",
     [](MasterFrames& f, FakeSettings&) { f.SendSetMedium(254, 0x07, "FFFFFFFF"); },
     "68 0D 0D 68 53 FE 51 07 79 FF FF FF FF FF FF FF 07 22 16", FrameBuilder::SetMedium, "254",
     "setting medium to "},
    {"SetMediumMixedNibbles",
     [](MasterFrames& f, FakeSettings&) { f.SendSetMedium(1, 0x02, "1234567F"); },
     "68 0D 0D 68 53 01 51 07 79 7F 56 34 12 FF FF FF 02 3F 16", FrameBuilder::SetMedium, "1",
     "setting medium to "},
    {"SetUnit", [](MasterFrames& f, FakeSettings&) { f.SendSetUnit(9, 0x04, 0x05); },
     "68 09 09 68 53 09 51 0F 05 03 04 01 01 CA 16", FrameBuilder::SetUnit, "9",
     "setting unit to "},
};

INSTANTIATE_TEST_SUITE_P(Frames, BuilderFrames, ::testing::ValuesIn(kFrameCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Fixture, SetPrimaryMatchesRecordedBroadcastFrameButForItsControlField)
{
    // The recording sets address 8 by broadcast with C 53; this builder sends the FCB-set 73.
    std::string recorded = readHexFile(telegramDir() / "master" / "manual_frame4.hex");
    ASSERT_EQ(recorded.size(), 12u);
    recorded[4] = 0x73;
    recorded[10] = 0x45;
    frames.SendSetPrimary(254, 8);
    ASSERT_EQ(path.sent.size(), 1u);
    EXPECT_EQ(spacedHex(path.sent[0].frame), spacedHex(recorded));
}

TEST_F(Fixture, SettingsAreReadAtEveryCall)
{
    frames.SendReqUd2(1);
    settings.fcbClear = true;
    frames.SendReqUd2(1);
    settings.fcbClear = false;
    frames.SendReqUd2(1);
    ASSERT_EQ(path.sent.size(), 3u);
    EXPECT_EQ(static_cast<unsigned char>(path.sent[0].frame[1]), 0x7B);
    EXPECT_EQ(static_cast<unsigned char>(path.sent[1].frame[1]), 0x5B);
    EXPECT_EQ(static_cast<unsigned char>(path.sent[2].frame[1]), 0x7B);
}

TEST_F(Fixture, BinaryCounterCarriesAllThirtyTwoBits)
{
    settings.binaryValue = true;
    const struct {
        const char* text;
        const char* data;
    } cases[] = {
        {"00001234", "04 13 D2 04 00 00"},
        {"16777215", "04 13 FF FF FF 00"},
        {"16777216", "04 13 00 00 00 01"},
        {"99999999", "04 13 FF E0 F5 05"},
        {"123456789", "04 13 15 CD 5B 07"},
        {"2147483647", "04 13 FF FF FF 7F"},
    };
    for (const auto& c : cases) {
        path.sent.clear();
        frames.SendSetLiters(0x10, c.text);
        ASSERT_EQ(path.sent.size(), 1u) << c.text;
        EXPECT_EQ(spacedHex(path.sent[0].frame.substr(7, 6)), spacedHex(hexBytes(c.data))) << c.text;
        EXPECT_EQ(path.sent[0].frame, longFrame(0x53, 0x10, 0x51, hexBytes(c.data))) << c.text;
    }
}

// Texts that must stop a builder before anything goes out.
struct BadText {
    const char* text;
};

const BadText kBadEightDigitTexts[] = {
    {"1234567A"}, {"1234567"}, {"123456789"}, {""}, {"1234567F"}, {"f2345678"},
    {" 1234567"}, {"-1234567"}, {"1234 678"},
};

TEST_F(Fixture, BadTextsRaiseAndSendNothing)
{
    for (const auto& b : kBadEightDigitTexts) {
        const std::string t = b.text;
        EXPECT_THROW(frames.SendSetId(1, t), ConversionError) << t;
        EXPECT_THROW(frames.SendSetLiters(1, t), ConversionError) << t;
        EXPECT_THROW(frames.SendSetValueVif(1, t, 0x13), ConversionError) << t;
        frames.SendSelectById(t); // quietly nothing
    }
    EXPECT_TRUE(path.sent.empty());
}

TEST_F(Fixture, MediumIdTakesOnlyDigitsAndUpperF)
{
    for (const char* t : {"1234567A", "1234567f", "FFFFFFF", "FFFFFFFFF", "", "FFFF FFF"})
        EXPECT_THROW(frames.SendSetMedium(254, 0x07, t), ConversionError) << t;
    EXPECT_TRUE(path.sent.empty());
}

TEST_F(Fixture, BinaryCounterRejectsWhatIsNotADecimalInteger)
{
    settings.binaryValue = true;
    for (const char* t : {"", "12a", "+12", " 12", "12 ", "0x10", "2147483648", "1.5"})
        EXPECT_THROW(frames.SendSetLiters(1, t), ConversionError) << t;
    EXPECT_TRUE(path.sent.empty());
}

TEST_F(Fixture, ConversionErrorNamesTheText)
{
    try {
        frames.SendSetId(1, "12X45678");
        FAIL() << "no error";
    } catch (const ConversionError& e) {
        EXPECT_EQ(e.text(), "12X45678");
        EXPECT_NE(std::string(e.what()).find("12X45678"), std::string::npos);
    }
}

TEST(FrameCodes, MediumCodeOverItsWholeTable)
{
    const struct {
        const char* name;
        int code;
    } cases[] = {
        {"Oil", 0x01}, {"Electricity", 0x02}, {"Gas", 0x03}, {"Heat meter", 0x04},
        {"Steam", 0x05}, {"Hot water", 0x06}, {"Water", 0x07}, {"H.C.A", 0x08},
        {"Cold meter", 0x0B}, {"Cold water", 0x16}, {"Pressure", 0x18}, {"Other", 0x00},
        // medium texts of decoded telegrams
        {"Heat (rt)", 0x04}, {"Heat C.A.", 0x08}, {"Compr. Air", 0x09}, {"Cooling, rt", 0x0A},
        {"Cooling, ft", 0x0B}, {"Heat (ft)", 0x0C}, {"H/C load meter", 0x0D},
        {"Bus/System", 0x0E}, {"Unknown", 0x0F}, {"Dual water", 0x17}, {"A/D converter", 0x19},
        // exact comparison
        {"other", 0x0F}, {"heat meter", 0x0F}, {"Water ", 0x0F}, {"", 0x0F}, {"Heat", 0x0F},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MediumCode(c.name), c.code) << c.name;
}

TEST(FrameCodes, UnitVifCodeOverItsWholeTable)
{
    const char* multipliers[] = {"0.001", "0.01", "0.1", "1", "10", "100", "1000", "10000"};
    const int wh[] = {0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07};
    const int kj[] = {0x08, 0x09, 0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F};
    const int l[] = {0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17};
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(UnitVifCode(multipliers[i], "Wh"), wh[i]) << multipliers[i];
        EXPECT_EQ(UnitVifCode(multipliers[i], "kJ"), kj[i]) << multipliers[i];
        EXPECT_EQ(UnitVifCode(multipliers[i], "l"), l[i]) << multipliers[i];
        EXPECT_EQ(UnitVifCode(multipliers[i], "N/A"), 0x6E) << multipliers[i];
        EXPECT_EQ(UnitVifCode(multipliers[i], "m3"), 0x00) << multipliers[i];
    }
    EXPECT_EQ(UnitVifCode("100", "Wh"), 0x05);
    EXPECT_EQ(UnitVifCode("5", "l"), 0x00);
    EXPECT_EQ(UnitVifCode("1.0", "kJ"), 0x00);
    EXPECT_EQ(UnitVifCode("", "N/A"), 0x6E);
    EXPECT_EQ(UnitVifCode("1", "wh"), 0x00);
}

} // namespace

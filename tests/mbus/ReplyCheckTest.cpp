// Frame checks of a reply and the fixed telegram header.
#include "ConversionError.h"
#include "HexFile.h"
#include "HexText.h"
#include "ReplyDecoder.h"
#include "TelegramBuilder.h"
#include "TelegramHeader.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

using Failures = std::vector<std::string>;

std::string validTelegram()
{
    return telegram(TelegramHeader{}, hexBytes("04 13 39 30 00 00"));
}

TEST(ReplyCheck, FewerThanEightBytesIsInvalidWithoutFailureLines)
{
    for (const std::string& reply : {std::string(), hexBytes("68"), hexBytes("68 01 01 68 08 01 16")}) {
        const DecodedReply d = DecodeReply(reply, false, '.');
        EXPECT_FALSE(d.valid);
        EXPECT_TRUE(d.failures.empty());
        EXPECT_TRUE(d.records.empty());
    }
}

TEST(ReplyCheck, EveryCheckRunsAndReportsInOrder)
{
    const std::string good = validTelegram();
    const std::size_t n = good.size();
    auto withCrc = [&](std::string f) { f[n - 2] = static_cast<char>(f[n - 2] + 1); return f; };
    auto withStop = [&](std::string f) { f[n - 1] = 0x17; return f; };
    auto withLength = [&](std::string f) { f[1] = static_cast<char>(f[1] + 1); return f; };
    const struct {
        const char* name;
        std::string frame;
        Failures failures;
    } cases[] = {
        {"crc", withCrc(good), {"Wrong CRC"}},
        {"stop", withStop(good), {"Wrong STOP byte"}},
        {"length", withLength(good), {"Wrong length in the header"}},
        {"crc and stop", withStop(withCrc(good)), {"Wrong CRC", "Wrong STOP byte"}},
        {"all three", withLength(withStop(withCrc(good))),
         {"Wrong CRC", "Wrong STOP byte", "Wrong length in the header"}},
        {"one byte short", good.substr(0, n - 1),
         {"Wrong CRC", "Wrong STOP byte", "Wrong length in the header"}},
    };
    for (const auto& c : cases) {
        const DecodedReply d = DecodeReply(c.frame, false, '.');
        EXPECT_FALSE(d.valid) << c.name;
        EXPECT_EQ(d.failures, c.failures) << c.name;
        EXPECT_TRUE(d.records.empty()) << c.name;
        EXPECT_TRUE(d.header.id.empty()) << c.name;
    }
}

TEST(ReplyCheck, StartBytesRepeatedLengthAndCiAreNotChecked)
{
    TelegramHeader h;
    h.ci = 0x70;
    std::string f = telegram(h, hexBytes("04 13 39 30 00 00"));
    f[0] = 0x00;
    f[2] = static_cast<char>(f[2] + 5);
    f[3] = 0x11;
    const DecodedReply d = DecodeReply(f, false, '.');
    EXPECT_TRUE(d.valid);
    EXPECT_TRUE(d.failures.empty());
    ASSERT_EQ(d.records.size(), 1u);
    EXPECT_EQ(d.records[0].cells[ColValue], "12.345");
}

TEST(ReplyCheck, FramesTooShortForTheHeaderAreInvalidQuietly)
{
    for (const char* file : {"master/manual_frame4.hex", "broken/application_busy.hex",
                             "broken/too_short_header.hex"}) {
        const std::string reply = readHexFile(telegramDir() / file);
        ASSERT_LT(reply.size(), 21u) << file;
        const DecodedReply d = DecodeReply(reply, false, '.');
        EXPECT_FALSE(d.valid) << file;
        EXPECT_TRUE(d.failures.empty()) << file;
        EXPECT_TRUE(d.records.empty()) << file;
    }
    // 20 bytes of a frame that passes every check
    const std::string twenty = longFrame(0x08, 1, 0x72, std::string(11, '\0'));
    ASSERT_EQ(twenty.size(), 20u);
    EXPECT_FALSE(DecodeReply(twenty, false, '.').valid);

    const std::string six = readHexFile(telegramDir() / "master" / "manual_frame6.hex");
    ASSERT_EQ(six.size(), 21u);
    const DecodedReply d = DecodeReply(six, false, '.');
    EXPECT_TRUE(d.valid);
    EXPECT_TRUE(d.failures.empty());
    EXPECT_TRUE(d.records.empty());
}

TEST(TelegramHeaderFields, DecodesAddressIdManufacturerAccessAndStatus)
{
    TelegramHeader h;
    h.address = 0xFE;
    h.id = "12345678";
    h.manufacturer = "EMH";
    h.access = 0xC8;
    h.status = 0x10;
    const std::string f = telegram(h, "");
    EXPECT_EQ(spacedHex(f.substr(7, 6)), "78 56 34 12 A8 15 ");
    const DecodedReply d = DecodeReply(f, false, '.');
    ASSERT_TRUE(d.valid);
    EXPECT_EQ(d.header.primaryAddress, 254);
    EXPECT_EQ(d.header.id, "12345678");
    EXPECT_EQ(d.header.manufacturer, "EMH");
    EXPECT_EQ(d.header.accessNumber, 200);
    EXPECT_EQ(d.header.status, "0x10");
}

TEST(TelegramHeaderFields, IdIsNotValidatedAndLettersGoBeyondZ)
{
    TelegramHeader h;
    h.id = "0500023E";
    h.manufacturer = "@@@";
    const DecodedReply d = DecodeReply(telegram(h, ""), false, '.');
    ASSERT_TRUE(d.valid);
    EXPECT_EQ(d.header.id, "0500023E");
    EXPECT_EQ(d.header.manufacturer, "@@@");

    std::string f = telegram(h, "");
    f[11] = static_cast<char>(0xFF); // value FFFF: 63, 31, 31
    f[12] = static_cast<char>(0xFF);
    EXPECT_EQ(GetManufacturerCode(f), std::string({static_cast<char>(127), '_', '_'}));
    f[11] = 0x21; // value 0421: 1, 1, 1
    f[12] = 0x04;
    EXPECT_EQ(GetManufacturerCode(f), "AAA");
    f[11] = static_cast<char>(0xA8);
    f[12] = 0x15;
    EXPECT_EQ(GetManufacturerCode(f), "EMH");
}

TEST(TelegramHeaderFields, StatusLettersOnlyForQvxOutsideReportMode)
{
    const struct {
        const char* manufacturer;
        int status;
        bool report;
        const char* text;
    } cases[] = {
        {"QVX", 0xC4, false, "QBV"},
        {"QVX", 0xC4, true, "0xC4"},
        {"EMH", 0xC4, false, "0xC4"},
        {"QVX", 0x00, false, ""},
        {"QVX", 0x03, false, ""},
        {"QVX", 0xFF, false, "QBMOTV"},
        {"QVX", 0x28, false, "MT"},
        {"QVY", 0x28, false, "0x28"},
        {"EMH", 0x0A, true, "0x0A"},
    };
    for (const auto& c : cases) {
        TelegramHeader h;
        h.manufacturer = c.manufacturer;
        h.status = static_cast<std::uint8_t>(c.status);
        const DecodedReply d = DecodeReply(telegram(h, ""), c.report, '.');
        ASSERT_TRUE(d.valid);
        EXPECT_EQ(d.header.status, c.text) << c.manufacturer << " " << c.status << " " << c.report;
    }
    TelegramHeader h;
    h.status = 0xC4;
    EXPECT_EQ(GetStatusText(telegram(h, ""), false), "QBV");
    EXPECT_EQ(GetStatusText(telegram(h, ""), true), "0xC4");
}

TEST(TelegramHeaderFields, EveryMediumByteWithItsUnits)
{
    using Units = std::array<std::string, 3>;
    const Units kWh{"kWh", "kJ", "kJ"}, m3{"m3", "m3", "m3"}, mbar{"mbar", "mbar", "mbar"},
        none{"N/A", "N/A", "N/A"};
    const struct {
        int code;
        const char* text;
        Units units;
    } cases[] = {
        {0x00, "Other", none}, {0x01, "Oil", m3}, {0x02, "Electricity", kWh},
        {0x03, "Gas", m3}, {0x04, "Heat (rt)", kWh}, {0x05, "Steam", none},
        {0x06, "Hot water", m3}, {0x07, "Water", m3}, {0x08, "Heat C.A.", none},
        {0x09, "Compr. Air", none}, {0x0A, "Cooling, rt", kWh}, {0x0B, "Cooling, ft", kWh},
        {0x0C, "Heat (ft)", kWh}, {0x0D, "H/C load meter", kWh}, {0x0E, "Bus/System", none},
        {0x0F, "Unknown", none}, {0x10, "Unknown", none}, {0x11, "Unknown", none},
        {0x12, "Unknown", none}, {0x13, "Unknown", none}, {0x14, "Unknown", none},
        {0x15, "Unknown", none}, {0x16, "Cold water", m3}, {0x17, "Dual water", m3},
        {0x18, "Pressure", mbar}, {0x19, "A/D converter", none}, {0x1A, "Unknown", none},
        {0x20, "Unknown", none}, {0xFF, "Unknown", none},
    };
    for (const auto& c : cases) {
        TelegramHeader h;
        h.medium = static_cast<std::uint8_t>(c.code);
        const DecodedReply d = DecodeReply(telegram(h, ""), false, '.');
        ASSERT_TRUE(d.valid);
        EXPECT_EQ(d.header.medium, c.text) << c.code;
        EXPECT_EQ(d.header.expectedUnits, c.units) << c.code;
    }
}

TEST(TelegramHeaderFields, FieldDecodersRefuseAReplyWithoutHeader)
{
    const std::string shortReply = hexBytes("68 0C 0C 68 08 01 72 78 56 34 12 A8 15 01");
    EXPECT_THROW(GetTelegramId(shortReply), std::invalid_argument);
    EXPECT_THROW(GetManufacturerCode(shortReply), std::invalid_argument);
    EXPECT_THROW(GetMediumText(shortReply), std::invalid_argument);
    EXPECT_THROW(GetAccessNumber(shortReply), std::invalid_argument);
    EXPECT_THROW(GetStatusText(shortReply, false), std::invalid_argument);
}

TEST(HexStrToIntConversion, ReadsEightHexDigits)
{
    EXPECT_EQ(HexStrToInt("000000FF"), 255);
    EXPECT_EQ(HexStrToInt("FFFFFFFF"), -1);
    EXPECT_EQ(HexStrToInt("80000000"), INT_MIN);
    EXPECT_EQ(HexStrToInt("7FFFFFFF"), INT_MAX);
    EXPECT_EQ(HexStrToInt("0000abcd"), 0xABCD);
    EXPECT_EQ(HexStrToInt("12345678"), 0x12345678);
    EXPECT_EQ(HexStrToInt("00000010XYZ"), 16); // only the first eight count
    for (const char* bad : {"0000000G", "0000FF", "", "0000 0FF", "-0000001", "0x0000FF"})
        EXPECT_THROW(HexStrToInt(bad), ConversionError) << bad;
}

} // namespace

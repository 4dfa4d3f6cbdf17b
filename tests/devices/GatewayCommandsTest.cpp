// The gateways' command texts and the value rules of the page's buttons, apart from the window.
#include "GatewayCommands.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string sent(const GatewayRequest& r)
{
    EXPECT_TRUE(r.refusal.empty()) << r.refusal;
    return r.command;
}

std::string refused(const GatewayRequest& r)
{
    EXPECT_TRUE(r.command.empty()) << r.command;
    return r.refusal;
}

bool nothing(const GatewayRequest& r) { return r.command.empty() && r.refusal.empty(); }

} // namespace

TEST(GatewayCommands, CodesMatchExactNamesOnly)
{
    const char* speeds[] = {"300", "1200", "2400", "4800", "9600", "19200", "38400"};
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(SpeedCode(speeds[i]), i) << speeds[i];
    for (const char* wrong : {"9600 ", " 9600", "600", "57600", "", "09600"})
        EXPECT_FALSE(SpeedCode(wrong)) << '[' << wrong << ']';
    EXPECT_EQ(ParityCode("Even"), 0);
    EXPECT_EQ(ParityCode("Odd"), 1);
    EXPECT_EQ(ParityCode("None"), 2);
    for (const char* wrong : {"even", "EVEN", "Mark", "Space", "None ", ""})
        EXPECT_FALSE(ParityCode(wrong)) << '[' << wrong << ']';

    EXPECT_EQ(sent(SerialPortRequest("9600", "None")), "SET COM2=4,2");
    EXPECT_EQ(sent(SerialPortRequest("38400", "Even")), "SET COM2=6,0");
    EXPECT_EQ(refused(SerialPortRequest("9600 ", "None")), "Wrong speed, skipping...");
    // The speed is judged first.
    EXPECT_EQ(refused(SerialPortRequest("", "even")), "Wrong speed, skipping...");
    EXPECT_EQ(refused(SerialPortRequest("300", "even")), "Wrong parity, skipping...");
}

TEST(GatewayCommands, TwoDigitNumbersDatesAndTimes)
{
    EXPECT_EQ(sent(DueDateRequest(5, 7, 30)), "SET DUED=05/07/30");
    EXPECT_EQ(sent(DueDateRequest(31, 0, 0)), "SET DUED=31/00/00");
    EXPECT_EQ(refused(DueDateRequest(5, std::nullopt, 30)), "Wrong readout time, skipping...");

    EXPECT_EQ(sent(TwoDigitRequest("RETN", 16, 16)), "SET RETN=16");
    EXPECT_EQ(sent(TwoDigitRequest("RETN", 1, 16)), "SET RETN=01");
    EXPECT_EQ(sent(TwoDigitRequest("NETO", 3, 25)), "SET NETO=03");
    EXPECT_EQ(sent(TwoDigitRequest("PITO", 48, 48)), "SET PITO=48");
    EXPECT_TRUE(nothing(TwoDigitRequest("PITO", 49, 48)));
    EXPECT_TRUE(nothing(TwoDigitRequest("RETI", std::nullopt, 50)));

    EXPECT_EQ(GatewayDateCommand(3, 3, 2026), "SET DATE=03,03,26");
    EXPECT_EQ(GatewayDateCommand(31, 12, 2009), "SET DATE=31,12,09");
    EXPECT_EQ(GatewayDateCommand(1, 1, 99), "SET DATE=01,01,99");   // below 100: as it is
    EXPECT_EQ(GatewayTimeCommand(9, 5), "SET TIME=09,05");
    EXPECT_EQ(GatewayTimeCommand(23, 59), "SET TIME=23,59");
}

TEST(GatewayCommands, QuotedValuesTheZeroFormsAndThePin)
{
    EXPECT_EQ(GatewaySetCommand("IPV4", "192.168.1.10"), "SET IPV4=192.168.1.10");
    EXPECT_EQ(sent(QuotedRequest("APNM", "internet", false)), "SET APNM=\"internet\"");
    EXPECT_EQ(sent(QuotedRequest("APNM", "0", false)), "SET APNM=\"0\"");   // no delete form
    EXPECT_EQ(sent(QuotedRequest("PHON", "0", true)), "SET PHON=0");
    EXPECT_EQ(sent(QuotedRequest("PHON", "00", true)), "SET PHON=\"00\"");
    EXPECT_EQ(sent(QuotedRequest("USER", "0", true)), "SET USER=0");
    EXPECT_EQ(sent(QuotedRequest("PASS", "s3cret pw", true)), "SET PASS=\"s3cret pw\"");
    // Windows-1250 letters are data.
    EXPECT_EQ(sent(QuotedRequest("USER", "\xB9\x9C", true)), "SET USER=\"\xB9\x9C\"");
    EXPECT_TRUE(nothing(QuotedRequest("APNM", "", false)));

    // A quote would end the value early; a control character is no part of a text value.
    for (const std::string& bad : {std::string("in\"ternet"), std::string("\""), std::string("a\rb"),
                                  std::string("a\nb"), std::string("tab\there"), std::string("del\x7F"),
                                  std::string("nul", 4), std::string("\x1F")})
        EXPECT_EQ(refused(QuotedRequest("APNM", bad, false)), "Wrong value, skipping...");
    EXPECT_FALSE(QuotableValue("\""));
    EXPECT_TRUE(QuotableValue(" ~!#$%&'()*+,-./:;<=>?@[\\]^_`{|}"));

    EXPECT_EQ(sent(PinRequest("1234")), "SET PINC=1234");
    for (const char* wrong : {"123", "12345", ""})
        EXPECT_EQ(refused(PinRequest(wrong)), "PIN must be 4 digits, skipping...") << wrong;
}

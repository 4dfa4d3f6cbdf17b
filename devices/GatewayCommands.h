#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

// The text commands of the gateways (Tovek-2, Sarnel-1A) on their RS-232 service port: plain
// ASCII, written as they stand, with no terminator and nothing around them. Numbers are
// decimal; a two-digit number gets one leading "0" below 10.

// "SET " + key + "=" + value.
std::string GatewaySetCommand(std::string_view key, std::string_view value);

// The speed and parity names of the gateway's second serial port, in the order of their codes.
inline constexpr std::array<std::string_view, 7> GatewaySpeedNames {"300", "1200", "2400", "4800", "9600", "19200",
                                                                    "38400"};
inline constexpr std::array<std::string_view, 3> GatewayParityNames {"Even", "Odd", "None"};

// The codes of "SET COM2=": a name's place in GatewaySpeedNames (0 .. 6) or GatewayParityNames
// (0 .. 2). Only the exact name counts (case, blanks).
std::optional<int> SpeedCode(std::string_view text);
std::optional<int> ParityCode(std::string_view text);

// "SET DATE=DD,MM,YY" and "SET TIME=HH,MM" (24-hour).
std::string GatewayDateCommand(int day, int month, int year);
std::string GatewayTimeCommand(int hour, int minute);

// The refusal of a text value that cannot go out as typed.
inline constexpr const char* GatewayWrongValue = "Wrong value, skipping...";

// A value that may go between the double quotes of a command: no double quote (it would end
// the value early) and no control character (below 0x20, or 0x7F).
bool QuotableValue(std::string_view value);

// What a page button makes of its values once the gate has let it through: a refusal to log,
// or a command to send; neither means that nothing happens.
struct GatewayRequest {
    std::string refusal;
    std::string command;
};

// "SET COM2=" + speed code + "," + parity code.
GatewayRequest SerialPortRequest(std::string_view speed, std::string_view parity);
// "SET DUED=DD/HH/MM"; a missing (empty) field refuses.
GatewayRequest DueDateRequest(std::optional<int> day, std::optional<int> hour, std::optional<int> minute);
// "SET " + key + "=NN". No value does nothing, nor does a value above largest.
GatewayRequest TwoDigitRequest(std::string_view key, std::optional<int> value, int largest);
// "SET " + key + "=" + the value between double quotes; with zeroDeletes the value "0" goes
// bare ("SET PHON=0"). An empty value does nothing; one that is not quotable refuses.
GatewayRequest QuotedRequest(std::string_view key, std::string_view value, bool zeroDeletes);
// "SET PINC=" + the value, which must be four characters long.
GatewayRequest PinRequest(std::string_view value);

inline constexpr const char* GatewayTestCommand = "SET TEST";
inline constexpr const char* GatewayMainQuestion = "GET MAIN";
inline constexpr const char* GatewayServiceQuestion = "GET SERV";
inline constexpr const char* GatewayConnectionQuestion = "GET CONN";
inline constexpr const char* GatewayOperatorsQuestion = "GET OPER";
inline constexpr const char* GatewayGprsQuestion = "GET GPRS";
inline constexpr const char* GatewayStatusQuestion = "GET STAT";

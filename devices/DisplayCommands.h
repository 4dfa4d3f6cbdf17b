#pragma once

#include <string>
#include <string_view>

// The text commands of the local display: printable ASCII, no terminator, numbers in
// decimal. The address a is the text of the display table's address cell, unchanged.

// A number sent as two digits (the display's and the gateways' commands): one leading "0"
// below 10, other values in plain decimal.
std::string TwoDigits(int value);
// The year of a date command: counted from 2000 from the year 100 on, else as it is.
int CommandYear(int year);

// "SET DATE=DD/MM/YY"; a year from 100 on is counted from 2000, a smaller one is used as it is.
std::string DateCommand(int day, int month, int year);
// "SET TIME=HH:MM".
std::string TimeCommand(int hour, int minute);

// What the refresh button does with the refresh edit's text.
struct RefreshCommand {
    enum class Action { Nothing, WrongValue, Send } action = Action::Nothing;
    std::string command;   // "SET REFR=NN" for Send
};
RefreshCommand RefreshCommandFor(std::string_view editText);

inline constexpr const char* LockCommand = "SET LOCK";
inline constexpr const char* SortTableCommand = "SET SORT";
inline constexpr const char* SortCommand = "SET SRTP=1";   // by user number, always
inline constexpr const char* UpdateReadingsCommand = "SET READ";
inline constexpr const char* AddressListQuestion = "GET ADDR";
inline constexpr const char* MainInfoQuestion = "GET MAIN";
inline constexpr const char* ServiceInfoQuestion = "GET SERV";

// The per-device commands of the write, delete and zero runs.
std::string EntryCommand(std::string_view a);                              // SET ENTR=a
std::string DeviceCommand(std::string_view head, std::string_view a,
                          std::string_view value);                         // head a "," value
std::string DeleteCommand(std::string_view a);                             // DEL ENTR=a
std::string ZeroCommand(std::string_view a);                               // SET DELP=a,0

// The read questions: record 1 or 2 of an entry, pulse input 0, 1 or 3, month slot n.
std::string EntryQuestion(std::string_view a, int record);
std::string TariffQuestion(std::string_view a, int input);
std::string HistQuestion(std::string_view a, int slot);

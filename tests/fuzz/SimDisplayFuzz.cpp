// The display simulator's entries file and its commands, on any text: the input is read as
// an entries file, and then each of its lines is sent to the display as a command.
//
// Properties: a file either fills the display or fails with a runtime_error naming its line,
// the same way every time; every address is 1 to 250; every reply is one of the display's
// forms and ends in CR LF, but for record 2 of a device; an accepted "SET ENTR=" leaves the
// device in the table and an accepted "DEL ENTR=" takes it out; and the address list, read
// back range by range, names exactly the devices in the table.
#include "FuzzCheck.h"
#include "SimDisplay.h"
#include "SimDisplayFile.h"

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace {

// "1-3,7" back into 1, 2, 3, 7.
std::vector<int> listed(std::string_view list)
{
    std::vector<int> out;
    while (!list.empty()) {
        const std::size_t comma = list.find(',');
        const std::string item(list.substr(0, comma));
        list = comma == std::string_view::npos ? std::string_view() : list.substr(comma + 1);
        const std::size_t dash = item.find('-');
        const int first = std::stoi(item.substr(0, dash));
        const int last = dash == std::string::npos ? first : std::stoi(item.substr(dash + 1));
        FUZZ_CHECK(last > first || dash == std::string::npos);
        for (int a = first; a <= last; ++a)
            out.push_back(a);
    }
    return out;
}

std::vector<std::string_view> linesOf(std::string_view text)
{
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t lf = text.find('\n');
        lines.push_back(text.substr(0, lf));
        text = lf == std::string_view::npos ? std::string_view() : text.substr(lf + 1);
    }
    return lines;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    SimDisplay display;
    try {
        simParseDisplayEntries(text, display);
        SimDisplay again;
        simParseDisplayEntries(text, again);
        FUZZ_CHECK(again.addresses() == display.addresses());
        for (int a : display.addresses())
            FUZZ_CHECK(again.entry(a) == display.entry(a));
    } catch (const std::runtime_error& e) {
        FUZZ_CHECK(std::string_view(e.what()).starts_with("line "));
        SimDisplay again;
        try {
            simParseDisplayEntries(text, again);
            FUZZ_CHECK(!"the same text was accepted the second time");
        } catch (const std::runtime_error& second) {
            FUZZ_CHECK(std::string(second.what()) == e.what());
        }
    }

    static const char* const forms[] = {"OK\r\n", "Error\r\n", "No entry\r\n", "No history\r\n",
                                        "Unknown command\r\n", "Entry ", "Active devices: ", "Total pulses",
                                        "User #: ", "Hist values: ", "Pexor-V48 "};
    const auto now = SimDisplay::Clock::now();
    for (std::string_view command : linesOf(text)) {
        const std::string reply = display.handle(command, now).bytes;
        bool known = false;
        for (const char* f : forms)
            known = known || reply.starts_with(f);
        FUZZ_CHECK(known);
        FUZZ_CHECK(reply.ends_with("\r\n") != reply.starts_with("User #: "));
        if (reply.starts_with("Entry ")) {
            FUZZ_CHECK(command.starts_with("SET ENTR="));
            FUZZ_CHECK(display.entry(std::stoi(std::string(command.substr(9)))).has_value());
        }
        if (command.starts_with("DEL ENTR=") && reply == "OK\r\n")
            FUZZ_CHECK(!display.entry(std::stoi(std::string(command.substr(9)))).has_value());
    }
    for (int a : display.addresses())
        FUZZ_CHECK(a >= 1 && a <= 250);

    display.setAddrForm(SimAddrForm::List);
    const std::string list = display.handle("GET ADDR", now).bytes;
    FUZZ_CHECK(list.starts_with("Active devices: ") && list.ends_with("\r\n"));
    FUZZ_CHECK(listed(std::string_view(list).substr(16, list.size() - 18)) == display.addresses());
    return 0;
}

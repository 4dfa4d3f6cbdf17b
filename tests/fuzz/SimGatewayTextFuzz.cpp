// The gateway text simulator's reading of a command, on any bytes.
//
// Properties: a GET with a key gets two lines, each ended by CR LF, that name the key; a SET
// gets "OK", and its key and value put back together give the command again (with "=" only
// when the command has one); anything else gets "ERROR".
#include "FuzzCheck.h"
#include "SimGatewayText.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view command(reinterpret_cast<const char*>(data), size);
    const std::string answer = GatewayTextSimulator::answerTo(command);
    const auto setting = GatewayTextSimulator::settingOf(command);
    if (command.starts_with("GET ") && command.size() > 4) {
        const std::string key(command.substr(4));
        FUZZ_CHECK(answer.ends_with("\r\n"));
        FUZZ_CHECK(answer.starts_with(key + ": "));
        FUZZ_CHECK(answer.find("\r\n" + key + ": ") != std::string::npos);
        FUZZ_CHECK(!setting);
    } else if (command.starts_with("SET ") && command.size() > 4) {
        FUZZ_CHECK(answer == "OK");
        FUZZ_CHECK(setting.has_value());
        FUZZ_CHECK(setting->key.find('=') == std::string::npos);
        const bool hasValue = command.find('=') != std::string_view::npos;
        FUZZ_CHECK("SET " + setting->key + (hasValue ? "=" : "") + setting->value == command);
    } else {
        FUZZ_CHECK(answer == "ERROR");
        FUZZ_CHECK(!setting);
    }
    return 0;
}

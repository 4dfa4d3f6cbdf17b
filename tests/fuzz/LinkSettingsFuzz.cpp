// The settings texts that choose where a link goes, on any bytes: the gateway's network number,
// the dotted-address check, the listening and the client port, the serial port name.
//
// Input: the whole input is each of the texts; its first four bytes are also a network number
// and its first two bytes a client port's default.
// Properties, each against a model built from the texts' characters:
// - a network number is taken exactly when it is four parts of decimal digits at most 255
//   joined by three dots; it then prints as those parts without leading zeros and reads back
//   as the same four bytes, and a refused text leaves the number as it was; any four bytes
//   print as a text that reads back as them;
// - the dotted-address check accepts every network number that is taken, throws nothing but
//   ConversionError, and that only for the first part that is no 32-bit decimal integer, and
//   otherwise answers whether every part is at most 255;
// - the listening port is the text's number when it is in 0..65535, none for a number outside,
//   59615 for a text that is no number; a client port is the text's number in 1..65535, the
//   default for an empty text, none for anything else;
// - a port name starting with "/" is that path; "COMn" in any case, n from 1 without a leading
//   zero, is the link ports/COMn when that link exists, even when it leads nowhere, else
//   /dev/ttyS<n-1>; any other name is no port. Whatever is resolved is a full path that
//   resolves to itself again, as the serial component resolves the path it is given.
#include "ConversionError.h"
#include "EthPacket.h"
#include "FuzzCheck.h"
#include "LinkPorts.h"
#include "SioPortName.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include <signal.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

bool allDigits(std::string_view s)
{
    return std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Decimal digits without their leading zeros ("0" for zero).
std::string withoutLeadingZeros(std::string_view digits)
{
    const std::size_t first = digits.find_first_not_of('0');
    return first == std::string_view::npos ? std::string("0") : std::string(digits.substr(first));
}

// Whether the decimal digits (no leading zeros) are at most the limit's.
bool atMost(const std::string& digits, std::string_view limit)
{
    return digits.size() < limit.size() || (digits.size() == limit.size() && digits <= limit);
}

std::vector<std::string_view> dotParts(std::string_view text)
{
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (std::size_t dot; (dot = text.find('.', start)) != std::string_view::npos; start = dot + 1)
        parts.push_back(text.substr(start, dot - start));
    parts.push_back(text.substr(start));
    return parts;
}

// --- the network number and the dotted-address check ---

void checkNetNumber(std::string_view text, const std::uint8_t* data, std::size_t size)
{
    const std::vector<std::string_view> parts = dotParts(text);
    bool taken = parts.size() == 4;
    std::string canonical;
    for (const std::string_view p : parts) {
        const std::string digits = withoutLeadingZeros(p);
        taken = taken && !p.empty() && allDigits(p) && atMost(digits, "255");
        canonical += (canonical.empty() ? "" : ".") + digits;
    }

    const NetNumberBytes before {0xDE, 0xAD, static_cast<std::uint8_t>(size), 0x5A};
    NetNumberBytes net = before;
    FUZZ_CHECK(ParseNetNumber(text, net) == taken);
    if (!taken) {
        FUZZ_CHECK(net == before);
    } else {
        FUZZ_CHECK(NetNumberText(net) == canonical);
        NetNumberBytes back {};
        FUZZ_CHECK(ParseNetNumber(NetNumberText(net), back) && back == net);
    }

    // Any four bytes, as the number a reply carries.
    NetNumberBytes bytes {};
    for (std::size_t i = 0; i < bytes.size() && i < size; ++i)
        bytes[i] = data[i];
    NetNumberBytes read {};
    FUZZ_CHECK(ParseNetNumber(NetNumberText(bytes), read) && read == bytes);
    FUZZ_CHECK(IsValidIp(NetNumberText(bytes)));

    // The check: three dots; then the first part that is no 32-bit decimal integer is the
    // error; then whether every part is at most 255.
    std::optional<std::string> error;
    bool valid = true;
    if (parts.size() == 4) {
        for (const std::string_view p : parts) {
            const bool negative = !p.empty() && p[0] == '-';
            const std::string_view magnitude = p.substr(negative ? 1 : 0);
            const std::string digits = withoutLeadingZeros(magnitude);
            if (magnitude.empty() || !allDigits(magnitude)
                || !atMost(digits, negative ? "2147483648" : "2147483647")) {
                error = std::string(p);
                break;
            }
            valid = valid && (negative || atMost(digits, "255"));
        }
    }
    try {
        const bool answer = IsValidIp(text);
        FUZZ_CHECK(!error);
        FUZZ_CHECK(answer == (parts.size() == 4 && valid));
    } catch (const ConversionError& e) {
        FUZZ_CHECK(error && e.text() == *error);
    } catch (...) {
        const bool thrownOnlyConversionError = false;
        FUZZ_CHECK(thrownOnlyConversionError);
    }
    if (taken) {
        FUZZ_CHECK(IsValidIp(text));
    }
}

// --- the port texts ---

struct PortNumber {
    bool isNumber = false;   // an optional sign, then one decimal digit or more
    bool inRange = false;    // 0..65535 (minus zero is zero)
    std::string digits;      // without leading zeros
};

PortNumber portNumberOf(std::string_view text)
{
    PortNumber n;
    const bool hasSign = !text.empty() && (text[0] == '-' || text[0] == '+');
    const std::string_view magnitude = text.substr(hasSign ? 1 : 0);
    if (magnitude.empty() || !allDigits(magnitude))
        return n;
    n.isNumber = true;
    n.digits = withoutLeadingZeros(magnitude);
    n.inRange = (text[0] != '-' || n.digits == "0") && atMost(n.digits, "65535");
    return n;
}

void checkPorts(std::string_view text, const std::uint8_t* data, std::size_t size)
{
    const PortNumber n = portNumberOf(text);

    const std::optional<std::uint16_t> listen = ListenPortOf(text);
    if (!n.isNumber)
        FUZZ_CHECK(listen == GatewayPort);
    else if (!n.inRange)
        FUZZ_CHECK(!listen);
    else
        FUZZ_CHECK(listen && std::to_string(*listen) == n.digits);

    const std::uint16_t fuzzedDefault = static_cast<std::uint16_t>(size >= 2 ? data[0] << 8 | data[1] : 1);
    for (const std::uint16_t emptyDefault : {std::uint16_t {10001}, GatewayPort, fuzzedDefault}) {
        const std::optional<std::uint16_t> client = ClientPortOf(text, emptyDefault);
        if (text.empty())
            FUZZ_CHECK(client == emptyDefault);
        else if (n.isNumber && n.inRange && n.digits != "0")
            FUZZ_CHECK(client && *client >= 1 && std::to_string(*client) == n.digits);
        else
            FUZZ_CHECK(!client);
    }
}

// --- the serial port name ---

// A folder of port links, made once: COM1 and COM10 lead to a device, COM2 and the largest
// number lead nowhere, and com3 is in lower case, which names no port link. It is removed at
// exit; one left by a run that aborted on a finding is removed by the next run.
struct PortsFolder {
    static constexpr std::string_view prefix = "ferolt-fuzz-ports-";
    fs::path path;
    std::vector<std::string> links {"COM1", "COM2", "COM10", "COM2147483647"};

    PortsFolder()
    {
        const fs::path temp = fs::temp_directory_path();
        removeFoldersOfEndedRuns(temp);
        std::string pattern = (temp / (std::string(prefix) + std::to_string(getpid()) + "-XXXXXX")).string();
        if (!mkdtemp(pattern.data()))
            std::abort();
        path = pattern;
        fs::create_symlink("/dev/null", path / "COM1");
        fs::create_symlink(path / "missing", path / "COM2");
        fs::create_symlink("/dev/null", path / "COM10");
        fs::create_symlink(path / "missing", path / "COM2147483647");
        fs::create_symlink("/dev/null", path / "com3");
    }
    ~PortsFolder()
    {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
    bool hasLink(const std::string& name) const
    {
        return std::find(links.begin(), links.end(), name) != links.end();
    }

    // The folders named after a process that no longer runs.
    static void removeFoldersOfEndedRuns(const fs::path& temp)
    {
        std::error_code ec;
        for (const fs::directory_entry& entry : fs::directory_iterator(temp, ec)) {
            const std::string name = entry.path().filename().string();
            if (name.compare(0, prefix.size(), prefix) != 0)
                continue;
            const long pid = std::strtol(name.c_str() + prefix.size(), nullptr, 10);
            if (pid > 0 && kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH)
                fs::remove_all(entry.path(), ec);
        }
    }
};

const PortsFolder& portsFolder()
{
    static const PortsFolder folder;
    return folder;
}

// n of "COMn" as decimal digits: the letters in any case, then digits without a leading zero,
// from 1 to the largest int.
std::optional<std::string> comDigits(std::string_view name)
{
    if (name.size() <= 3)
        return std::nullopt;
    for (std::size_t i = 0; i < 3; ++i) {
        const char c = name[i];
        const char upper = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
        if (upper != "COM"[i])
            return std::nullopt;
    }
    const std::string_view digits = name.substr(3);
    if (!allDigits(digits) || digits[0] == '0' || !atMost(std::string(digits), "2147483647"))
        return std::nullopt;
    return std::string(digits);
}

void checkPortName(std::string_view name)
{
    const PortsFolder& ports = portsFolder();
    const std::optional<std::string> digits = comDigits(name);
    const std::string ttyS =
        digits ? "/dev/ttyS" + std::to_string(std::strtoll(digits->c_str(), nullptr, 10) - 1) : std::string();

    for (const fs::path& folder : {fs::path(), ports.path}) {
        const std::optional<std::string> device = ResolveSerialPortName(name, folder);
        if (!name.empty() && name[0] == '/') {
            FUZZ_CHECK(device == std::string(name));
        } else if (!digits) {
            FUZZ_CHECK(!device);
        } else if (!folder.empty() && ports.hasLink("COM" + *digits)) {
            FUZZ_CHECK(device == (folder / ("COM" + *digits)).string());
        } else {
            FUZZ_CHECK(device == ttyS);
        }
        if (device) {
            FUZZ_CHECK(!device->empty() && (*device)[0] == '/');
            FUZZ_CHECK(ResolveSerialPortName(*device, folder) == device);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    portsFolder();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    checkNetNumber(text, data, size);
    checkPorts(text, data, size);
    checkPortName(text);
    return 0;
}

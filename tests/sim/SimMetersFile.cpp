#include "SimMetersFile.h"

#include "HexFile.h"
#include "TelegramBuilder.h"

#include <charconv>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <stdexcept>

namespace {

const char* const knownKeys[] = {"addr", "id", "mfr", "ver", "medium", "telegram", "records",
                                 "silent", "late", "wrongsum", "e5"};

bool isKnown(const std::string& key)
{
    for (const char* k : knownKeys)
        if (key == k)
            return true;
    return false;
}

// A whole decimal number, or hex after "0x", within [0, max].
std::optional<unsigned long> number(const std::string& text, unsigned long max, bool hexAllowed)
{
    std::string_view digits = text;
    int base = 10;
    if (hexAllowed && digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        digits.remove_prefix(2);
        base = 16;
    }
    unsigned long value = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
    if (ec != std::errc() || end != digits.data() + digits.size() || digits.empty() || value > max)
        return std::nullopt;
    return value;
}

SimMeter meterOf(const std::map<std::string, std::string>& f, const std::filesystem::path& folder)
{
    auto has = [&](const char* k) { return f.count(k) != 0; };
    auto value = [&](const char* k) { return f.at(k); };
    auto byteField = [&](const char* k) {
        const auto v = number(value(k), 255, true);
        if (!v)
            throw std::runtime_error(std::string(k) + "=" + value(k) + " is not a number 0-255");
        return static_cast<std::uint8_t>(*v);
    };
    auto flag = [&](const char* k) {
        if (!has(k))
            return false;
        if (value(k) != "0" && value(k) != "1")
            throw std::runtime_error(std::string(k) + "=" + value(k) + " is neither 0 nor 1");
        return value(k) == "1";
    };

    if (!has("addr"))
        throw std::runtime_error("addr= is missing");
    const auto addr = number(value("addr"), 250, false);
    if (!addr)
        throw std::runtime_error("addr=" + value("addr") + " is not an address 0-250");
    if (has("telegram") && has("records"))
        throw std::runtime_error("telegram= and records= exclude each other");

    std::optional<SimMeter> meter;
    try {
        if (has("telegram")) {
            std::filesystem::path path = value("telegram");
            if (path.is_relative())
                path = folder / path;
            meter = SimMeter::fromTelegram(static_cast<std::uint8_t>(*addr), readHexFile(path));
            if (has("id"))
                meter->setId(value("id"));
            if (has("mfr"))
                meter->setManufacturer(value("mfr"));
        } else {
            if (!has("id"))
                throw std::runtime_error("id= is missing");
            meter.emplace(static_cast<std::uint8_t>(*addr), value("id"), has("mfr") ? value("mfr") : "ABC",
                          1, 0x07, has("records") ? hexBytes(value("records")) : std::string());
        }
    } catch (const std::invalid_argument& e) {
        throw std::runtime_error(e.what());
    }
    if (has("ver"))
        meter->setVersion(byteField("ver"));
    if (has("medium"))
        meter->setMedium(byteField("medium"));

    SimFaults faults;
    faults.silent = flag("silent");
    faults.wrongChecksum = flag("wrongsum");
    faults.e5InsteadOfTelegram = flag("e5");
    if (has("late")) {
        const auto ms = number(value("late"), 600000, false);
        if (!ms)
            throw std::runtime_error("late=" + value("late") + " is not a number of milliseconds");
        faults.late = std::chrono::milliseconds(*ms);
    }
    meter->setFaults(faults);
    return *meter;
}

} // namespace

std::vector<SimMeter> simParseMeters(std::string_view text, const std::filesystem::path& folder)
{
    std::vector<SimMeter> meters;
    std::istringstream in {std::string(text)};
    std::string line;
    int lineNo = 0;
    while (std::getline(in, line)) {
        ++lineNo;
        if (const auto hash = line.find('#'); hash != std::string::npos)
            line.erase(hash);
        std::istringstream fields(line);
        std::map<std::string, std::string> f;
        std::string token;
        try {
            while (fields >> token) {
                const auto eq = token.find('=');
                if (eq == std::string::npos || eq == 0 || eq + 1 == token.size())
                    throw std::runtime_error("\"" + token + "\" is not key=value");
                const std::string key = token.substr(0, eq);
                if (!isKnown(key))
                    throw std::runtime_error("unknown key \"" + key + "\"");
                if (!f.emplace(key, token.substr(eq + 1)).second)
                    throw std::runtime_error(key + "= given twice");
            }
            if (!f.empty())
                meters.push_back(meterOf(f, folder));
        } catch (const std::exception& e) {
            throw std::runtime_error("line " + std::to_string(lineNo) + ": " + e.what());
        }
    }
    return meters;
}

std::vector<SimMeter> simReadMetersFile(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in)
        throw std::runtime_error(file.string() + ": cannot be read");
    std::ostringstream text;
    text << in.rdbuf();
    try {
        return simParseMeters(text.str(), file.parent_path());
    } catch (const std::exception& e) {
        throw std::runtime_error(file.string() + ": " + e.what());
    }
}

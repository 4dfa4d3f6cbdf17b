#include "SimDisplayFile.h"

#include <charconv>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>

namespace {

const char* const entryKeys[] = {"addr", "unit", "mult", "div", "user", "start", "total", "hist", "day"};
const char* const settingKeys[] = {"months", "t1", "addrform"};

template <std::size_t N>
bool among(const std::string& key, const char* const (&keys)[N])
{
    for (const char* k : keys)
        if (key == k)
            return true;
    return false;
}

int number(const std::string& text, int min, int max, const std::string& key)
{
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < min || value > max)
        throw std::runtime_error(key + "=" + text + " is not a number " + std::to_string(min) + "-"
                                 + std::to_string(max));
    return value;
}

std::vector<std::string> split(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(text);
    while (std::getline(in, part, separator))
        parts.push_back(part);
    return parts;
}

template <std::size_t N>
void fill(std::array<std::string, N>& slots, const std::string& key, const std::string& text, char separator)
{
    const std::vector<std::string> parts = split(text, separator);
    if (parts.size() > N)
        throw std::runtime_error(key + "= has more than " + std::to_string(N) + " values");
    for (std::size_t i = 0; i < parts.size(); ++i)
        slots[i] = parts[i];
}

void applySettings(const std::map<std::string, std::string>& f, SimDisplay& display)
{
    for (const auto& [key, value] : f) {
        if (key == "months") {
            if (value != "en" && value != "it" && value != "ru")
                throw std::runtime_error("months=" + value + " is not en, it or ru");
            display.setMonthNames(value == "it" ? SimMonthNames::Italian
                                  : value == "ru" ? SimMonthNames::Russian1251
                                                  : SimMonthNames::English);
        } else if (key == "t1") {
            display.setT1Layout(number(value, 0, 1, key) == 1);
        } else {
            if (value != "list" && value != "listcr" && value != "lines")
                throw std::runtime_error("addrform=" + value + " is not list, listcr or lines");
            display.setAddrForm(value == "lines" ? SimAddrForm::Lines
                                : value == "listcr" ? SimAddrForm::ListCr
                                                    : SimAddrForm::List);
        }
    }
}

void applyEntry(const std::map<std::string, std::string>& f, const std::string* text, SimDisplay& display)
{
    if (!f.count("addr"))
        throw std::runtime_error("addr= is missing");
    const int address = number(f.at("addr"), 1, 250, "addr");
    SimDisplayEntry e;
    for (const auto& [key, value] : f) {
        if (key == "unit")
            e.unit = value;
        else if (key == "mult")
            e.multiplier = value;
        else if (key == "div")
            e.divider = value;
        else if (key == "user")
            e.userNumber = value;
        else if (key == "start")
            fill(e.start, key, value, ',');
        else if (key == "total")
            fill(e.total, key, value, ',');
    }
    if (f.count("hist")) {
        const std::string& h = f.at("hist");
        const auto colon = h.find(':');
        if (colon != 5 || h[2] != '/')
            throw std::runtime_error("hist=" + h + " does not begin with MM/YY:");
        SimDisplayHistory history;
        history.newestMonth = number(h.substr(0, 2), 1, 12, "hist month");
        history.newestYear = number(h.substr(3, 2), 0, 99, "hist year");
        history.values.fill("0");
        fill(history.values, "hist", h.substr(6), ';');
        if (f.count("day"))
            history.day = number(f.at("day"), 1, 31, "day");
        e.history = history;
    }
    if (text)
        e.text = *text;
    display.setEntry(address, std::move(e));
}

} // namespace

void simParseDisplayEntries(std::string_view text, SimDisplay& display)
{
    std::istringstream in {std::string(text)};
    std::string line;
    int lineNo = 0;
    while (std::getline(in, line)) {
        ++lineNo;
        try {
            if (const auto hash = line.find('#'); hash != std::string::npos)
                line.erase(hash);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            // The free text runs to the line end.
            std::optional<std::string> freeText;
            for (std::size_t at = line.find("text="); at != std::string::npos; at = line.find("text=", at + 1)) {
                if (at == 0 || line[at - 1] == ' ' || line[at - 1] == '\t') {
                    freeText = line.substr(at + 5);
                    line.erase(at);
                    break;
                }
            }
            std::istringstream fields(line);
            std::map<std::string, std::string> f;
            std::string token;
            bool entry = freeText.has_value();
            bool setting = false;
            while (fields >> token) {
                const auto eq = token.find('=');
                if (eq == std::string::npos || eq == 0 || eq + 1 == token.size())
                    throw std::runtime_error("\"" + token + "\" is not key=value");
                const std::string key = token.substr(0, eq);
                if (among(key, entryKeys))
                    entry = true;
                else if (among(key, settingKeys))
                    setting = true;
                else
                    throw std::runtime_error("unknown key \"" + key + "\"");
                if (!f.emplace(key, token.substr(eq + 1)).second)
                    throw std::runtime_error(key + "= given twice");
            }
            if (entry && setting)
                throw std::runtime_error("display settings and a device on one line");
            if (setting)
                applySettings(f, display);
            else if (entry)
                applyEntry(f, freeText ? &*freeText : nullptr, display);
        } catch (const std::exception& e) {
            throw std::runtime_error("line " + std::to_string(lineNo) + ": " + e.what());
        }
    }
}

void simReadDisplayFile(const std::filesystem::path& file, SimDisplay& display)
{
    std::ifstream in(file, std::ios::binary);
    if (!in)
        throw std::runtime_error(file.string() + ": cannot be read");
    std::ostringstream text;
    text << in.rdbuf();
    try {
        simParseDisplayEntries(text.str(), display);
    } catch (const std::exception& e) {
        throw std::runtime_error(file.string() + ": " + e.what());
    }
}

// The simulator's meters file, whatever a person typed into it.
//
// Telegram files are looked up in a folder of the target's own (a.hex a recorded meter,
// b.hex a short frame, c.hex no hex at all); inputs naming any other path ('/' or "..") are
// skipped, so no input reaches a file outside it.
// Properties: a file either gives meters or fails with a runtime_error naming its line; the
// same text gives the same meters; every meter has an address of 0 to 250 and answers with
// a telegram that passes a master's checks; and each built meter, written back as a line of
// the file, reads back as the same meter; and each field of a meter's line is what the
// meter has.
#include "FuzzCheck.h"
#include "HexFile.h"
#include "SimMetersFile.h"

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace {

namespace fs = std::filesystem;

fs::path g_folder;

void removeFolder()
{
    std::error_code ec;
    fs::remove_all(g_folder, ec);
}

const fs::path& telegramFolder()
{
    if (g_folder.empty()) {
        std::string pattern = (fs::temp_directory_path() / "ferolt-fuzz-meters-XXXXXX").string();
        FUZZ_CHECK(::mkdtemp(pattern.data()) != nullptr);
        g_folder = pattern;
        std::atexit(removeFolder);
        fs::copy_file(telegramDir() / "meters" / "kamstrup_multical_601.hex", g_folder / "a.hex");
        std::ofstream(g_folder / "b.hex") << "10 7B 05 80 16\n";
        std::ofstream(g_folder / "c.hex") << "not hex\n";
    }
    return g_folder;
}

std::string hexOf(std::string_view bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (char c : bytes) {
        out.push_back(digits[static_cast<unsigned char>(c) >> 4]);
        out.push_back(digits[static_cast<unsigned char>(c) & 15]);
    }
    return out;
}

// A built meter as a line of the file.
std::string lineOf(const SimMeter& m)
{
    const std::string t = m.telegram();
    std::string line = "addr=" + std::to_string(m.address()) + " id=" + m.idText() + " mfr=" + m.manufacturer()
                       + " ver=" + std::to_string(m.version()) + " medium=0x" + hexOf(std::string(1, char(m.medium())));
    if (t.size() > 21)
        line += " records=" + hexOf(std::string_view(t).substr(19, t.size() - 21));
    const SimFaults& f = m.faults();
    line += std::string(" silent=") + (f.silent ? "1" : "0") + " wrongsum=" + (f.wrongChecksum ? "1" : "0")
            + " e5=" + (f.e5InsteadOfTelegram ? "1" : "0") + " late=" + std::to_string(f.late.count());
    return line;
}

// The key=value fields of each line that has any, comments cut off.
std::vector<std::map<std::string, std::string>> fieldLines(std::string_view text)
{
    std::vector<std::map<std::string, std::string>> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        line = line.substr(0, line.find('#'));
        std::map<std::string, std::string> fields;
        std::size_t i = 0;
        while (i < line.size()) {
            while (i < line.size() && std::isspace(static_cast<unsigned char>(line[i])))
                ++i;
            std::size_t j = i;
            while (j < line.size() && !std::isspace(static_cast<unsigned char>(line[j])))
                ++j;
            if (j > i) {
                const std::string_view token = line.substr(i, j - i);
                const std::size_t eq = token.find('=');
                fields[std::string(token.substr(0, eq))] = std::string(token.substr(eq + 1));
            }
            i = j;
        }
        if (!fields.empty())
            lines.push_back(std::move(fields));
    }
    return lines;
}

unsigned long numberOf(const std::string& text)
{
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    return std::strtoul(text.c_str() + (hex ? 2 : 0), nullptr, hex ? 16 : 10);
}

// What each field of a meter's line says of the meter.
void checkFields(const SimMeter& m, const std::map<std::string, std::string>& f)
{
    const auto has = [&](const char* k) { return f.count(k) != 0; };
    FUZZ_CHECK(m.address() == numberOf(f.at("addr")));
    if (has("id")) {
        std::string id = f.at("id");
        for (char& c : id)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        FUZZ_CHECK(m.idText() == id);
    }
    if (has("mfr"))
        FUZZ_CHECK(m.manufacturer() == f.at("mfr"));
    if (has("ver"))
        FUZZ_CHECK(m.version() == numberOf(f.at("ver")));
    if (has("medium"))
        FUZZ_CHECK(m.medium() == numberOf(f.at("medium")));
    FUZZ_CHECK(m.faults().silent == (has("silent") && f.at("silent") == "1"));
    FUZZ_CHECK(m.faults().wrongChecksum == (has("wrongsum") && f.at("wrongsum") == "1"));
    FUZZ_CHECK(m.faults().e5InsteadOfTelegram == (has("e5") && f.at("e5") == "1"));
    FUZZ_CHECK(static_cast<unsigned long>(m.faults().late.count()) == (has("late") ? numberOf(f.at("late")) : 0));
    FUZZ_CHECK(m.recorded() == has("telegram"));
    if (has("records")) {
        const std::string t = m.telegram();
        FUZZ_CHECK(t.size() >= 21);
        std::string records = f.at("records");
        for (char& c : records)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        FUZZ_CHECK(hexOf(std::string_view(t).substr(19, t.size() - 21)) == records);
    }
}

bool sameMeter(const SimMeter& a, const SimMeter& b)
{
    return a.address() == b.address() && a.id() == b.id() && a.manufacturerCode() == b.manufacturerCode()
           && a.version() == b.version() && a.medium() == b.medium() && a.faults() == b.faults()
           && a.recorded() == b.recorded() && a.telegram() == b.telegram();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (text.find('/') != std::string_view::npos || text.find("..") != std::string_view::npos)
        return 0;
    const fs::path& folder = telegramFolder();

    std::vector<SimMeter> meters;
    try {
        meters = simParseMeters(text, folder);
    } catch (const std::runtime_error& e) {
        FUZZ_CHECK(std::string_view(e.what()).substr(0, 5) == "line ");
        try {
            simParseMeters(text, folder);
            FUZZ_CHECK(!"the same text was accepted the second time");
        } catch (const std::runtime_error& again) {
            FUZZ_CHECK(std::string(again.what()) == e.what());
        }
        return 0;
    }
    const std::vector<SimMeter> again = simParseMeters(text, folder);
    FUZZ_CHECK(again.size() == meters.size());
    const auto lines = fieldLines(text);
    FUZZ_CHECK(lines.size() == meters.size());
    for (std::size_t i = 0; i < meters.size(); ++i) {
        const SimMeter& m = meters[i];
        FUZZ_CHECK(sameMeter(m, again[i]));
        checkFields(m, lines[i]);
        FUZZ_CHECK(m.address() <= 250);
        const std::string t = m.telegram();
        FUZZ_CHECK(simPassesReplyChecks(t) && static_cast<unsigned char>(t[5]) == m.address());
        if (m.recorded())
            continue;
        const std::string line = lineOf(m);
        const std::vector<SimMeter> back = simParseMeters(line, folder);
        FUZZ_CHECK(back.size() == 1 && sameMeter(back[0], m));
    }
    return 0;
}
